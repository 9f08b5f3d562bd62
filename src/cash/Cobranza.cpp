#include "cash/Cobranza.h"

#include "cash/Textos.h"
#include "data/Database.h"
#include "data/Log.h"
#include "data/Transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace Cobranza {

namespace {
const QString kVencidas = QStringLiteral(R"( and "Vencimiento" <= date())");

void fallo(QString *error, const QString &why) {
    if (error)
        *error = why;
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

bool borrarCuota(qint64 idCuota, QString *error) {
    return Database::exec(QStringLiteral(R"(DELETE FROM "Cuotas" WHERE "idCuota" = ?)"), {idCuota}, error);
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

Pago pagar(qint64 idCuota, const QDate &fechaPago, qint64 idCuenta, QString *error) {
    Transaction t;
    if (!t.isActive()) {
        fallo(error, t.lastError());
        return Pago::Fallo;
    }
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (!Database::run(
            q,
            QStringLiteral(R"(Select "idAfiliado", "Factura", "Pagada" from "Cuotas" where "idCuota" = ?)"),
            {idCuota}, QStringLiteral("Cobranza"))) {
        fallo(error, q.lastError().text());
        return Pago::Fallo;
    }
    if (!q.next())
        return Pago::NoEncontrada;
    const QVariant idAfiliado = q.value(0);
    const QString factura = q.value(1).toString();
    q.finish();

    // The due first, then its movement, as always; only an unpaid due is marked, so a due paid
    // meanwhile (another window, another program on the file) is never booked twice.
    const QString fecha = fechaPago.toString(Qt::ISODate);
    if (!Database::run(q, QStringLiteral(R"(UPDATE "Cuotas" SET "Pagada" = 1, "Fecha de Pago" = ?
                                        WHERE "idCuota" = ? AND "Pagada" = 0)"),
                       {fecha, idCuota}, QStringLiteral("Cobranza"))) {
        fallo(error, q.lastError().text());
        return Pago::Fallo;
    }
    if (q.numRowsAffected() != 1)
        return Pago::YaCobrada;

    const QVariant ap = Database::buscaValor(
        QStringLiteral(R"(Select "Apellido" from "ConsultaCuotas" where "idAfiliado" = ? LIMIT 1)"),
        QStringLiteral("Apellido"), {idAfiliado.isNull() ? QVariant(qlonglong(0)) : idAfiliado});
    // The amount is read from the due inside the transaction: a correction typed in the list is booked.
    if (!Database::run(
            q, QStringLiteral(R"(INSERT INTO "Caja" ("Fecha", "idCuenta", "Detalles", "Ingresos", "Egresos",
                                        "idCuota", "idTipoDivisa")
                                        SELECT ?, ?, ?, "Monto", 0, "idCuota", 1 FROM "Cuotas" WHERE "idCuota" = ?)"),
            {fecha, idCuenta, detalleCobro(factura, ap.toString()), idCuota}, QStringLiteral("Cobranza")) ||
        q.numRowsAffected() != 1) {
        fallo(error, q.lastError().text());
        return Pago::Fallo;
    }
    if (!t.commit()) {
        fallo(error, t.lastError());
        return Pago::Fallo;
    }
    return Pago::Registrado;
}

QString formulaRecibo(qint64 idCuota) {
    return QStringLiteral("{ConsultaCuotas.IdCuota} = ") + QString::number(idCuota);
}

} // namespace Cobranza
