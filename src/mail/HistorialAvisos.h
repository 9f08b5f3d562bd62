#pragma once

#include "core/Columna.h"

#include <QString>
#include <QVariantList>
#include <QVector>

// A member's reminders as the reminder record keeps them ("Avisos"): the list that the member editor and
// the collection window show as "Avisos enviados", newest first.
namespace HistorialAvisos {

// The list's record source: "Fecha", "Hora", "idCuota", "Factura", "Vencimiento", "Email" (the address
// written to) and "Resultado" (in words).
struct Fuente {
    QString sql;
    QVariantList params;
};
Fuente delSocio(qint64 idAfiliado);
// The list's title, and what it says when the member has none.
QString titulo();
QString sinAvisos();
QVector<Columna> columnas();

} // namespace HistorialAvisos
