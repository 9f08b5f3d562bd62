#pragma once

#include <QFrame>

class QLabel;

// The coloured strip at the top of the editor windows: the option's picture and the header text.
class PanelEncabezado : public QFrame {
    Q_OBJECT
public:
    PanelEncabezado(const QString &texto, int opcion, QWidget *parent = nullptr);
    // The header text, for a window that rewrites it (the collection names the member there).
    QLabel *titulo() const { return m_lblTitulo; }

private:
    QLabel *m_lblTitulo;
};
