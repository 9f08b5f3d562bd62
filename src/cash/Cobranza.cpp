#include "cash/Cobranza.h"

#include "cash/Textos.h"
#include "core/Log.h"
#include "db/Actividad.h"
#include "db/Database.h"
#include "db/Transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace Cobranza {

namespace {
const QString kVencidas = QStringLiteral(R"( and "Vencimiento" <= date())");

Result yaCobrada() {
    return Result::failure(QStringLiteral("Error, la cuota ya fue cobrada!"), Result::Code::Conflict);
}
Result noEncontrada() {
    return Result::failure(QStringLiteral("Error, la cuota ya no existe!"), Result::Code::NotFound);
}
} // namespace

QString recordSource(bool soloVencidas) {
    return QStringLiteral(R"(Select * from "ConsultaCuotas" where "idAfiliado" = ? and "Pagada" = 0)") +
           (soloVencidas ? kVencidas : QString());
}

QVariantList recordSourceParams(qint64 idAfiliado) {
    return {idAfiliado};
}

Money deudaTotal(qint64 idAfiliado, bool soloVencidas) {
    const QVariant v = Database::buscaValor(
        QStringLiteral(
            R"(Select sum("Monto") AS "Total" from "Cuotas" where "idAfiliado" = ? and "Pagada" = 0)") +
            (soloVencidas ? kVencidas : QString()),
        QStringLiteral("Total"), {idAfiliado});
    return Money::fromVariant(v).value_or(Money());
}

QVariant apellido(qint64 idAfiliado) {
    return Database::buscaValor(
        QStringLiteral(R"(Select "idAfiliado", "Apellido" FROM "Afiliados" where "idAfiliado" = ?)"),
        QStringLiteral("Apellido"), {idAfiliado});
}

namespace {
// Runs a write of an unpaid due (a statement ending in "... WHERE "idCuota" = ? AND "Pagada" = 0") and,
// when it touched nothing, tells a due paid meanwhile from one that is gone, in the same transaction.
Result escribirImpaga(const QString &sql, const QVariantList &valores, qint64 idCuota,
                      Actividad::Accion accion, const QString &detalle) {
    // The due was paid meanwhile, or is gone: refused, as a rule, not a failure.
    return Transaction::run(Database::db(), [&](Transaction &t) {
        QSqlQuery q(Database::db());
        // The amount as it stands before the write, for the log.
        if (!Database::run(q, QStringLiteral(R"(SELECT "Monto" FROM "Cuotas" WHERE "idCuota" = ?)"),
                           {idCuota}, QStringLiteral("Cobranza")))
            return t.fail(q.lastError());
        const std::optional<Money> antes = q.next() ? Money::fromVariant(q.value(0)) : std::nullopt;
        q.finish();
        if (!Database::run(q, sql, valores, QStringLiteral("Cobranza")))
            return t.fail(q.lastError());
        if (q.numRowsAffected() > 0) {
            std::optional<Money> despues;
            if (accion == Actividad::Accion::CuotaCambiada) {
                if (!Database::run(q, QStringLiteral(R"(SELECT "Monto" FROM "Cuotas" WHERE "idCuota" = ?)"),
                                   {idCuota}, QStringLiteral("Cobranza")))
                    return t.fail(q.lastError());
                if (q.next())
                    despues = Money::fromVariant(q.value(0));
                q.finish();
            }
            const Result anotado = Actividad::anotar(
                Database::db(), {accion, QStringLiteral("cuota %1").arg(idCuota), antes, despues, detalle});
            return anotado.ok() || t.refuse(anotado);
        }
        if (!Database::run(q, QStringLiteral(R"(SELECT 1 FROM "Cuotas" WHERE "idCuota" = ?)"), {idCuota},
                           QStringLiteral("Cobranza")))
            return t.fail(q.lastError());
        return t.refuse(q.next() ? yaCobrada() : noEncontrada());
    });
}
} // namespace

Result borrarCuota(qint64 idCuota) {
    return escribirImpaga(QStringLiteral(R"(DELETE FROM "Cuotas" WHERE "idCuota" = ? AND "Pagada" = 0)"),
                          {idCuota}, idCuota, Actividad::Accion::CuotaBorrada, {});
}

Result corregirCuota(qint64 idCuota, const QString &campo, const QVariant &valor) {
    // The field name goes into the statement: only the list's editable columns, by their stored names.
    QString columna;
    for (const char *c : {"Vencimiento", "Factura", "Monto"})
        if (campo.compare(QLatin1String(c), Qt::CaseInsensitive) == 0)
            columna = QLatin1String(c);
    if (columna.isEmpty())
        return Result::failure(QStringLiteral("el campo %1 no se modifica desde esta lista").arg(campo),
                               Result::Code::Invalid);
    return escribirImpaga(
        QStringLiteral(R"(UPDATE "Cuotas" SET "%1" = ? WHERE "idCuota" = ? AND "Pagada" = 0)").arg(columna),
        {valor, idCuota}, idCuota, Actividad::Accion::CuotaCambiada,
        QStringLiteral("%1: %2").arg(columna, valor.toString()));
}

std::optional<Cuota> leerCuota(qint64 idCuota) {
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (!Database::run(q,
                       QStringLiteral(R"(Select "idCuota", "idAfiliado", "Apellido", "Nombres", "Mes", "Año",
                                 "Factura", "Vencimiento", "Monto", "Pagada" from "ConsultaCuotas"
                                 where "idCuota" = ?)"),
                       {idCuota}, QStringLiteral("Cobranza")) ||
        !q.next())
        return std::nullopt;
    Cuota c;
    c.idCuota = q.value(0).toLongLong();
    c.idAfiliado = q.value(1).toLongLong();
    c.apellido = q.value(2).toString();
    c.nombres = q.value(3).toString();
    c.mes = q.value(4).toInt();
    c.anio = q.value(5).toInt();
    c.factura = q.value(6).toString();
    c.vencimiento = QDate::fromString(q.value(7).toString().left(10), Qt::ISODate);
    c.monto = Money::fromVariant(q.value(8)).value_or(Money());
    c.pagada = q.value(9).toLongLong() != 0;
    return c;
}

QString detalleCobro(const QString &factura, const QString &apellido) {
    return Textos::cortar(QStringLiteral("Cobro de ") + factura + QStringLiteral(" a ") + apellido, 100);
}

Result pagar(qint64 idCuota, const QDate &fechaPago, qint64 idCuenta) {
    return Transaction::run(Database::db(), [&](Transaction &t) {
        QSqlQuery q(Database::db());
        q.setForwardOnly(true);
        if (!Database::run(
                q,
                QStringLiteral(
                    R"(Select "idAfiliado", "Factura", "Pagada" from "Cuotas" where "idCuota" = ?)"),
                {idCuota}, QStringLiteral("Cobranza")))
            return t.fail(q.lastError());
        if (!q.next())
            return t.refuse(noEncontrada());
        const QVariant idAfiliado = q.value(0);
        const QString factura = q.value(1).toString();
        q.finish();

        // The due first, then its movement, as always; only an unpaid due is marked, so a due paid
        // meanwhile (another window, another desk) is never booked twice: a desk paying the same due at
        // the same moment waits here for the first one's row and then finds it paid.
        const QString fecha = fechaPago.toString(Qt::ISODate);
        if (!Database::run(q, QStringLiteral(R"(UPDATE "Cuotas" SET "Pagada" = 1, "Fecha de Pago" = ?
                                            WHERE "idCuota" = ? AND "Pagada" = 0)"),
                           {fecha, idCuota}, QStringLiteral("Cobranza")))
            return t.fail(q.lastError());
        if (q.numRowsAffected() != 1)
            return t.refuse(yaCobrada());

        const QVariant ap = Database::buscaValor(
            QStringLiteral(R"(Select "Apellido" from "ConsultaCuotas" where "idAfiliado" = ? LIMIT 1)"),
            QStringLiteral("Apellido"), {idAfiliado.isNull() ? QVariant(qlonglong(0)) : idAfiliado});
        // The amount is read from the due inside the transaction: a correction typed in the list is
        // booked.
        if (!Database::run(q,
                           QStringLiteral(
                               R"(INSERT INTO "Caja" ("Fecha", "idCuenta", "Detalles", "Ingresos", "Egresos",
                                            "idCuota", "idTipoDivisa")
                                            SELECT ?, ?, ?, "Monto", 0, "idCuota", 1 FROM "Cuotas" WHERE "idCuota" = ?)"),
                           {fecha, idCuenta, detalleCobro(factura, ap.toString()), idCuota},
                           QStringLiteral("Cobranza")))
            return t.fail(q.lastError());
        if (q.numRowsAffected() != 1)
            return t.refuse(
                Result::failure(QStringLiteral("No se pudo asentar el movimiento de caja del pago.")));
        if (!Database::run(q, QStringLiteral(R"(SELECT "Monto" FROM "Cuotas" WHERE "idCuota" = ?)"),
                           {idCuota}, QStringLiteral("Cobranza")))
            return t.fail(q.lastError());
        const std::optional<Money> monto = q.next() ? Money::fromVariant(q.value(0)) : std::nullopt;
        q.finish();
        const Result anotado = Actividad::anotar(
            Database::db(), {Actividad::Accion::Pago,
                             QStringLiteral("cuota %1, socio %2").arg(idCuota).arg(idAfiliado.toLongLong()),
                             std::nullopt, monto, factura});
        return anotado.ok() || t.refuse(anotado);
    });
}

QString formulaRecibo(qint64 idCuota) {
    return QStringLiteral("{ConsultaCuotas.IdCuota} = ") + QString::number(idCuota);
}

} // namespace Cobranza
