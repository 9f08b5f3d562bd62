#include "cash/Caja.h"

#include "cash/Textos.h"
#include "db/Actividad.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "db/Transaction.h"

#include <QSqlError>
#include <QSqlQuery>
#include <functional>

namespace Caja {

namespace {
// The columns of the stored query ConsultaCaja, with the account of a deleted one named as such. The names
// are looked up per row rather than joined, so that counting the list (the grid's scroll range) reads only
// Caja; ordered by the index on (Fecha, idCaja), the first rows come at once on a large book.
const QString kLista = QStringLiteral(
    R"(Select k."idCaja" AS "idCaja", k."Fecha" AS "Fecha", k."idCuenta" AS "idCuenta", k."Detalles" AS "Detalles",
       k."Ingresos" AS "Ingresos", k."Egresos" AS "Egresos", k."idTipoDivisa" AS "idTipoDivisa",
       k."idCuota" AS "idCuota",
       (Select t."TipoDivisa" from "TipoDivisas" t where t."idTipoDivisa" = k."idTipoDivisa") AS "TipoDivisa",
       coalesce((Select cu."Descripcion" from "Cuentas" cu where cu."idCuenta" = k."idCuenta"),
                '(cuenta borrada)') AS "Descripcion"
       from "Caja" k)");
const QString kOrden = QStringLiteral(R"( order by k."Fecha", k."idCaja")");

QVariant fecha(const QDate &d) {
    return d.toString(Qt::ISODate);
}

QVariantList valores(const Datos &d) {
    return {fecha(d.fecha),        d.idCuenta,    Textos::cortar(d.detalles, 100), d.ingresos.toVariant(),
            d.egresos.toVariant(), d.idTipoDivisa};
}
} // namespace

QString cuentaBorrada() {
    return QStringLiteral("(cuenta borrada)");
}

Fuente todo() {
    return {kLista + kOrden, {}};
}

Fuente delDia(const QDate &dia, const QVariant &idCuenta) {
    const QString elDia = QStringLiteral(R"(k."Fecha" >= ? AND k."Fecha" < ?)");
    if (idCuenta.isNull())
        return {kLista + QStringLiteral(" where ") + elDia + kOrden, {fecha(dia), fecha(dia.addDays(1))}};
    return {kLista + QStringLiteral(R"( where k."idCuenta" = ? AND )") + elDia + kOrden,
            {idCuenta.toLongLong(), fecha(dia), fecha(dia.addDays(1))}};
}

Fuente entre(const QDate &desde, const QDate &hasta) {
    QStringList condiciones;
    QVariantList valores;
    if (desde.isValid()) {
        condiciones << QStringLiteral(R"(k."Fecha" >= ?)");
        valores << fecha(desde);
    }
    if (hasta.isValid()) {
        // Dates brought from the old program may carry a time part: the whole last day counts.
        condiciones << QStringLiteral(R"(k."Fecha" < ?)");
        valores << fecha(hasta.addDays(1));
    }
    const QString donde = condiciones.isEmpty()
                              ? QString()
                              : QStringLiteral(" where ") + condiciones.join(QStringLiteral(" AND "));
    return {kLista + donde + kOrden, valores};
}

std::optional<Movimiento> leer(qint64 idCaja) {
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (!Database::run(q, kLista + QStringLiteral(R"( where k."idCaja" = ?)"), {idCaja},
                       QStringLiteral("Caja")) ||
        !q.next())
        return std::nullopt;
    Movimiento m;
    m.idCaja = q.value(0).toLongLong();
    m.fecha = QDate::fromString(q.value(1).toString().left(10), Qt::ISODate);
    m.idCuenta = q.value(2);
    m.detalles = q.value(3).toString();
    m.ingresos = Money::fromVariant(q.value(4)).value_or(Money());
    m.egresos = Money::fromVariant(q.value(5)).value_or(Money());
    m.idTipoDivisa = q.value(6);
    m.idCuota = q.value(7);
    m.tipoDivisa = q.value(8).toString();
    m.cuenta = q.value(9).toString();
    return m;
}

QStringList nombresCuentas() {
    return Database::textos(QStringLiteral(
        R"(SELECT "Descripcion" FROM "Cuentas" ORDER BY "Descripcion" COLLATE es, "idCuenta")"));
}

QStringList nombresTiposDivisa() {
    return Database::textos(QStringLiteral(
        R"(SELECT "TipoDivisa" FROM "TipoDivisas" ORDER BY "TipoDivisa" COLLATE es, "idTipoDivisa")"));
}

QVariant idCuentaPorNombre(const QString &nombre) {
    return Database::buscaValor(QStringLiteral(R"(SELECT "idCuenta" FROM "Cuentas"
                                                 WHERE clave_orden("Descripcion") = clave_orden(?)
                                                 ORDER BY "idCuenta" LIMIT 1)"),
                                QStringLiteral("idCuenta"), {nombre});
}

QVariant idTipoDivisaPorNombre(const QString &nombre) {
    return Database::buscaValor(QStringLiteral(R"(SELECT "idTipoDivisa" FROM "TipoDivisas"
                          WHERE clave_orden("TipoDivisa") = clave_orden(?)
                          ORDER BY "idTipoDivisa" LIMIT 1)"),
                                QStringLiteral("idTipoDivisa"), {nombre});
}

Expected<QVariant> agregar(const Datos &d) {
    QVariant id;
    const Result hecho = Transaction::run(Database::db(), [&](Transaction &t) {
        QSqlQuery q(Database::db());
        if (!Database::run(q,
                           QStringLiteral(R"(INSERT INTO "Caja" ("Fecha", "idCuenta", "Detalles", "Ingresos",
                                             "Egresos", "idTipoDivisa") VALUES (?, ?, ?, ?, ?, ?))"),
                           valores(d), QStringLiteral("Caja")))
            return t.fail(q.lastError());
        id = SqlEngine::lastInsertId(q);
        const Result anotado =
            Actividad::anotar(Database::db(), {Actividad::Accion::MovimientoAlta,
                                               QStringLiteral("movimiento %1").arg(id.toString()),
                                               std::nullopt, d.ingresos - d.egresos, d.detalles});
        return anotado.ok() || t.refuse(anotado);
    });
    if (!hecho)
        return hecho;
    return id;
}

namespace {
// The movement as stored, and whether it is the payment of a paid due (then the due's amount).
struct Actual {
    bool existe = false;
    Money ingresos, egresos;
    std::optional<Money> montoCuotaPagada;
};
bool leerActual(qint64 idCaja, Actual *a, QSqlQuery &q) {
    if (!Database::run(q, QStringLiteral(R"(SELECT k."Ingresos", k."Egresos", c."Monto", c."Pagada"
                                            FROM "Caja" k LEFT JOIN "Cuotas" c ON c."idCuota" = k."idCuota"
                                            WHERE k."idCaja" = ?)"),
                       {idCaja}, QStringLiteral("Caja")))
        return false;
    *a = Actual();
    if (q.next()) {
        a->existe = true;
        a->ingresos = Money::fromVariant(q.value(0)).value_or(Money());
        a->egresos = Money::fromVariant(q.value(1)).value_or(Money());
        if (!q.value(3).isNull() && q.value(3).toLongLong() != 0)
            a->montoCuotaPagada = Money::fromVariant(q.value(2)).value_or(Money());
    }
    q.finish();
    return true;
}

// What escribir makes of the stored movement.
enum class Cambio { Guardado, CobroDeCuota, Fallo };
// The stored movement is read and written in one transaction: escribir returns Guardado to keep its write,
// Fallo with the failed statement's error left on q, or CobroDeCuota to refuse.
// The log entry names the movement and its net amount before and after (after: nullopt when deleted).
Result conMovimiento(qint64 idCaja, const QString &cobroDeCuota, Actividad::Accion accion,
                     std::optional<Money> despues, const QString &detalle,
                     const std::function<Cambio(const Actual &, QSqlQuery &)> &escribir) {
    return Transaction::run(Database::db(), [&](Transaction &t) {
        QSqlQuery q(Database::db());
        Actual actual;
        if (!leerActual(idCaja, &actual, q))
            return t.fail(q.lastError());
        if (!actual.existe)
            return t.refuse(Result::failure(QStringLiteral("Movimiento de Caja no localizado !!"),
                                            Result::Code::NotFound));
        switch (escribir(actual, q)) {
        case Cambio::Guardado: {
            const Result anotado =
                Actividad::anotar(Database::db(), {accion, QStringLiteral("movimiento %1").arg(idCaja),
                                                   actual.ingresos - actual.egresos, despues, detalle});
            return anotado.ok() || t.refuse(anotado);
        }
        case Cambio::CobroDeCuota:
            return t.refuse(Result::failure(cobroDeCuota, Result::Code::Conflict));
        case Cambio::Fallo:
            break;
        }
        return t.fail(q.lastError());
    });
}
} // namespace

Result modificar(qint64 idCaja, const Datos &d) {
    QVariantList params = valores(d);
    params << idCaja;
    const QString cobro =
        QStringLiteral("Error, el movimiento es el cobro de una cuota pagada: su importe es "
                       "el de la cuota y va como ingreso !");
    return conMovimiento(
        idCaja, cobro, Actividad::Accion::MovimientoCambio, d.ingresos - d.egresos, d.detalles,
        [&](const Actual &actual, QSqlQuery &q) {
            // A paid due's movement keeps the due's amount as income; other fields change freely, and an
            // amount left as it was is saved as it was.
            const bool mismoImporte = d.ingresos == actual.ingresos && d.egresos == actual.egresos;
            if (actual.montoCuotaPagada && !mismoImporte &&
                !(d.ingresos == *actual.montoCuotaPagada && d.egresos.isZero()))
                return Cambio::CobroDeCuota;
            if (!Database::run(
                    q, QStringLiteral(R"(UPDATE "Caja" SET "Fecha" = ?, "idCuenta" = ?, "Detalles" = ?,
                                             "Ingresos" = ?, "Egresos" = ?, "idTipoDivisa" = ? WHERE "idCaja" = ?)"),
                    params, QStringLiteral("Caja")))
                return Cambio::Fallo;
            return Cambio::Guardado;
        });
}

Result borrar(qint64 idCaja) {
    const QString cobro =
        QStringLiteral("Error, el movimiento es el cobro de una cuota pagada: no se puede borrar !");
    return conMovimiento(idCaja, cobro, Actividad::Accion::MovimientoBaja, std::nullopt, {},
                         [&](const Actual &actual, QSqlQuery &q) {
                             if (actual.montoCuotaPagada)
                                 return Cambio::CobroDeCuota;
                             if (!Database::run(q, QStringLiteral(R"(DELETE FROM "Caja" WHERE "idCaja" = ?)"),
                                                {idCaja}, QStringLiteral("Caja")))
                                 return Cambio::Fallo;
                             return Cambio::Guardado;
                         });
}

Expected<QString> limpiar() {
    const Expected<QString> copia = Backup::automatic();
    if (!copia)
        return Result::failure(QStringLiteral("No se pudo hacer la copia de seguridad; no se borró nada.\n") +
                                   copia.message(),
                               copia.code());
    if (const Result r = vaciar(); !r)
        return Result::failure(QStringLiteral("No se pudo borrar el registro de caja; no se borró nada.\n") +
                                   r.message(),
                               r.code());
    return copia;
}

Result vaciar() {
    // The other desks' movements and payments wait meanwhile: none is lost in the clearing or booked into
    // a book that is going away.
    return Transaction::run(Database::db(), [](Transaction &t) {
        const QSqlDatabase db = Database::db();
        if (!Engine::of(db).lockTables(db, {QStringLiteral("Caja")}))
            return t.fail(Engine::of(db).lastFailure(db));
        QSqlQuery q(Database::db());
        if (!Database::run(q,
                           QStringLiteral(R"(SELECT COUNT(*), SUM("Ingresos") - SUM("Egresos") FROM "Caja")"),
                           {}, QStringLiteral("Caja")) ||
            !q.next())
            return t.fail(q.lastError());
        const qint64 movimientos = q.value(0).toLongLong();
        const Money saldo = Money::fromVariant(q.value(1)).value_or(Money());
        q.finish();
        if (!Database::run(q, QStringLiteral(R"(DELETE FROM "Caja")"), {}, QStringLiteral("Caja")))
            return t.fail(q.lastError());
        const Result anotado = Actividad::anotar(
            db, {Actividad::Accion::LimpiezaCaja, QStringLiteral("%1 movimientos").arg(movimientos), saldo,
                 Money(), QStringLiteral("saldo de la caja borrada")});
        return anotado.ok() || t.refuse(anotado);
    });
}

} // namespace Caja

QVector<Columna> Caja::columnas() {
    using T = Formato::Tipo;
    return {
        {QStringLiteral("Fecha"), QStringLiteral("Fecha"), T::Fecha},
        {QStringLiteral("Cuenta"), QStringLiteral("Descripcion"), T::General},
        {QStringLiteral("Detalles"), QStringLiteral("Detalles"), T::General},
        {QStringLiteral("Ingresos"), QStringLiteral("Ingresos"), T::Moneda},
        {QStringLiteral("Egresos"), QStringLiteral("Egresos"), T::Moneda},
        {QStringLiteral("TipoDivisa"), QStringLiteral("TipoDivisa"), T::General},
    };
}
