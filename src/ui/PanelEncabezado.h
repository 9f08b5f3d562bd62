#pragma once

#include <QFrame>

class QLabel;

// The coloured strip at the top of the editor windows: the option's picture and the header text.
class PanelEncabezado : public QFrame {
    Q_OBJECT
public:
    PanelEncabezado(const QString &texto, int opcion, QWidget *parent = nullptr);
    QLabel *lblTitulo;
};
