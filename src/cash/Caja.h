#pragma once

#include "core/Columna.h"

#include <QVector>

#include "core/Money.h"
#include "core/Result.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <optional>

// The cash book: the cash panel's list, one movement read and written, deletion and the clearing of the
// whole book. No widgets here; the cash panel and the movement editor call these.
namespace Caja {

// The cash book's columns (its grid and its exports).
QVector<Columna> columnas();

// The account shown for a movement whose account no longer exists.
QString cuentaBorrada();

struct Fuente {
    QString sql;
    QVariantList params;
};
// Every movement of every day and account ("Todo" and the list's design source), by date then number.
Fuente todo();
// The movements of one day, of one account when idCuenta is not Null: the day runs to the next one, so a
// movement stored with a time of day (brought from the old program) is listed on its day.
Fuente delDia(const QDate &dia, const QVariant &idCuenta);
// The movements of every account from desde to hasta, both included; a null date leaves that end open.
Fuente entre(const QDate &desde, const QDate &hasta);

struct Movimiento {
    qint64 idCaja = 0;
    QDate fecha;
    QVariant idCuenta;
    QString cuenta; // the account's name, cuentaBorrada() when it is gone
    QString detalles;
    Money ingresos;
    Money egresos;
    QVariant idTipoDivisa;
    QString tipoDivisa;
    QVariant idCuota;
};
std::optional<Movimiento> leer(qint64 idCaja);

// Account and form-of-payment names for the editor's lists, in Spanish order.
QStringList nombresCuentas();
QStringList nombresTiposDivisa();
// The row whose name equals the text as the database compares (letter case and accents aside); Null if none.
QVariant idCuentaPorNombre(const QString &nombre);
QVariant idTipoDivisaPorNombre(const QString &nombre);

struct Datos {
    QDate fecha;
    qint64 idCuenta = 0;
    QString detalles;
    Money ingresos;
    Money egresos;
    qint64 idTipoDivisa = 0;
};
// Adds a movement; its idCaja, or why the database refused it.
Expected<QVariant> agregar(const Datos &d);
// Changes a movement; its idCuota (the due it paid) is left as it is. NotFound: the movement is gone.
// Conflict: the movement is the payment of a paid due, which keeps exactly that one movement of its amount:
// it is not deleted, and its amount stays the due's (income).
Result modificar(qint64 idCaja, const Datos &d);
Result borrar(qint64 idCaja);

// Deletes every movement, after writing a copy of the database; the copy's path. When the copy cannot be
// written nothing is deleted. The message of a failure says which step failed and that nothing was deleted.
Expected<QString> limpiar();
// The deletion alone, without the copy. The other desks' movements and payments wait until it is done,
// and are told the database is busy if it takes longer than they wait.
Result vaciar();

} // namespace Caja
