#pragma once

#include "core/Columna.h"
#include "ui/Ventana.h"

#include <QVariantList>
#include <QVector>

class DataControl;
class QLabel;

// A small read-only list in a window of its own, opened from another window to look something up (a
// member's reminders): a title, the list and "Cerrar". Rows are read as they are shown.
class ListaBreve : public Ventana {
    Q_OBJECT
public:
    // vacia: what the window says when the source has no rows.
    ListaBreve(const QString &nombre, const QString &titulo, const QVector<Columna> &columnas,
               const QString &vacia, QWidget *parent = nullptr);
    // Reads the source; false (after telling the user) when it cannot be read.
    bool mostrar(const QString &sql, const QVariantList &params);
    // The window, modal over parent, with the source's rows.
    static void abrir(const QString &nombre, const QString &titulo, const QVector<Columna> &columnas,
                      const QString &vacia, const QString &sql, const QVariantList &params, QWidget *parent);

private:
    DataControl *m_datos;
    QString m_vacia;
    QLabel *m_lblInfo;
};
