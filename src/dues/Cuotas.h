#pragma once

#include "core/Columna.h"
#include "core/Result.h"
#include "db/KeysetList.h"

#include <QVector>

#include <QString>
#include <QVariantList>
#include <functional>
#include <optional>

// The dues register: the dues list's record sources, clearing the register and the due-day change.
// No widgets here; the dues panel and the "Utilidades" panel call these.
namespace Cuotas {

// The dues list's columns (its grid and its exports).
QVector<Columna> columnas();

// A record source for the dues list: SQL and its bound values.
struct Fuente {
    QString sql;
    QVariantList params;
    // The same list in parts, one per plan in list order, each read on its own index: what the dues panel
    // reads a page at a time. Reads the plans that dues name.
    std::function<Expected<QVector<KeysetList::Part>>()> tramos;
};

// Every due by plan name, month, year and surname (the list's opening order).
Fuente recordSourceDiseno();
// "Mostrar Todas": every due by plan name, surname and given names.
Fuente recordSourceTodas();
// "Buscar": the dues of one month and year, by plan name, surname and given names. Nothing when either
// text is not a number (the list then stays as it was).
std::optional<Fuente> recordSourceMesAnio(const QString &mes, const QString &anio);

// "Limpiar Registro de Cuotas": writes an automatic copy of the database first and then deletes every due,
// paid or not, in one transaction. When the copy cannot be written nothing is deleted. The copy's path.
Expected<QString> limpiarRegistro();
// The deletion alone, without the copy. Like the day change, a general change: the other desks' writes of
// dues wait until it is done, and are told the database is busy if it takes longer than they wait.
Result vaciarRegistro();

// The new due day as typed: a whole number from 1 to 31, or nothing.
std::optional<int> leerDia(const QString &texto);
// Moves every due (paid or not, inscriptions included) to that day of its own month; a month without the
// day gets its last day. One transaction: all dues change or none. A day out of 1..31 is Invalid.
Result cambiarDia(int dia);
// The same after writing an automatic copy of the database; nothing changes when the copy fails. The
// copy's path.
Expected<QString> cambiarDiaConCopia(int dia);

} // namespace Cuotas
