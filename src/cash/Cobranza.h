#pragma once

#include "core/Money.h"
#include "core/Result.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <optional>

// Collecting dues: a member's unpaid dues, their total, and the payment of one due with its cash movement.
// No widgets here; the collection and payment windows call these.
namespace Cobranza {

// The collection list: the member's unpaid dues (only those already due when soloVencidas).
QString recordSource(bool soloVencidas);
QVariantList recordSourceParams(qint64 idAfiliado);
// Sum of Monto over the same dues, read from Cuotas.
Money deudaTotal(qint64 idAfiliado, bool soloVencidas);
// The member's surname; Null when there is no such member.
QVariant apellido(qint64 idAfiliado);
// Writes of a due from a list that may be stale (another window or desk may have paid it meanwhile): a paid
// due keeps its one movement and its amount, so only an unpaid due is changed or deleted, checked in the
// same transaction as the write. Conflict: the due was paid meanwhile; NotFound: it is gone.
// Deletes an unpaid due.
Result borrarCuota(qint64 idCuota);
// Writes one field of an unpaid due: "Vencimiento", "Factura" or "Monto" (the others are never typed over;
// Invalid).
Result corregirCuota(qint64 idCuota, const QString &campo, const QVariant &valor);

struct Cuota {
    qint64 idCuota = 0;
    qint64 idAfiliado = 0;
    QString apellido;
    QString nombres;
    int mes = 0;
    int anio = 0;
    QString factura;
    QDate vencimiento;
    Money monto;
    bool pagada = false;
};
// The due as the payment window shows it; nothing when it does not exist.
std::optional<Cuota> leerCuota(qint64 idCuota);

// "Cobro de " + concept + " a " + surname, cut to the movement's 100 characters.
QString detalleCobro(const QString &factura, const QString &apellido);

// Marks the due paid on fechaPago and books its Monto as income of account idCuenta (form of payment 1),
// tied to the due by idCuota: both or neither. A due already paid is never paid again (Conflict); NotFound
// when the due is gone.
Result pagar(qint64 idCuota, const QDate &fechaPago, qint64 idCuenta);

// The receipt's selection formula.
QString formulaRecibo(qint64 idCuota);

} // namespace Cobranza
