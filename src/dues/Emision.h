#pragma once

#include "core/Money.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

// Issuing dues: for one member (the individual issuance) or for chosen members of a plan (the plan-wide
// issuance). Checks, lookups and the writing of a run; no widgets here. A run is written in one transaction:
// kept whole or not at all.
namespace Emision {

struct [[nodiscard]] Resultado {
    enum class Estado { Emitido, Rechazado, Cancelado, Fallo };
    // Which check refused the run, or what undid it: the windows act on this, never on the message.
    enum class Causa { Ninguna, Plan, Socio, Anio, Dia, MesAnio, SinAfiliados, Cancelada, Base };
    Estado estado = Estado::Rechazado;
    Causa causa = Causa::Ninguna;
    QString mensaje;          // the refusing check's message, or why the run was not kept
    QStringList avisos;       // "ya ha sido emitida" notices, in the order of the run
    int agregadas = 0;        // new dues
    int actualizadas = 0;     // existing unpaid dues whose amount was replaced
    int pagadasSinCambio = 0; // existing paid dues, left as they were
    bool ok() const { return estado == Estado::Emitido; }
};

// A member as the issuance window shows it.
struct Socio {
    QString apellido;
    QString nombres;
    qint64 idPlan = 0;
    QString descripcionPlan;
};
// The member and the description of its plan; nothing when the member, its plan number or the plan is
// missing.
std::optional<Socio> socio(const QString &tag);

// The year of issue and the due day as typed: anything that reads as a number in the locale, rounded half
// to even to a 16-bit whole number; nothing otherwise.
std::optional<qint16> leerEntero(const QString &texto);

// One member's run, as the individual issuance window holds it.
struct Individual {
    QString tag;    // idAfiliado
    QString noPlan; // idPlan
    QString anio;   // year of issue, as typed
    QString dia;    // due day, as typed (only checked)
    QDate primerVencimiento;
    bool inscripcion = true;
    QDate fechaInscripcion;
};
// Checks in order (plan, member, year, day) and writes the inscription due (unless the member has the plan's
// for that year) and each monthly due of the series whose month the member has no due of the plan in yet.
Resultado emitirIndividual(const Individual &e);

// The plans for the plan-wide issuance: description and number, in the table's order.
struct Item {
    QString texto;
    qint64 id = 0;
};
QVector<Item> planes();
// The members of a plan, "Apellido, Nombres", in the list's Spanish order.
QVector<Item> afiliadosDelPlan(qint64 idPlan);

// The amounts list (the scratch table TmpCuotas): emptied, or one row per due of the plan at its monthly
// amount. Returns the number of rows. Emptying fails only on a database error (logged).
[[nodiscard]] bool vaciarMontos();
int prepararMontos(qint64 idPlan);
// The amounts list's record source (for its grid) and its amounts in due order.
QString recordSourceMontos();
QVector<Money> montos();

// A plan-wide run, as the plan-wide issuance window holds it.
struct Grupal {
    QString noPlan;
    QString mes;               // initial month, as typed (only checked)
    QString anio;              // initial year, as typed: the Año of every due of the run
    bool hayAfiliados = true;  // whether the member list has entries at all
    QVector<qint64> afiliados; // the selected members, in list order
    QDate primerVencimiento;
    bool inscripcion = true;
    QDate fechaInscripcion;
    QVector<Money> montos; // amount of due n at index n - 1
};
// Called before each member with the members done so far and the total; false cancels the run.
using Progreso = std::function<bool(int hechos, int total)>;
// Checks (plan, month and year, members) and writes for every selected member the inscription due (unless
// the plan's for that year exists) and each due of the series; where the member already has a due of the
// plan in that month, an unpaid one gets the new amount and a paid one is left as it is. A member that no
// longer exists, a refused write or a cancellation undoes the whole run.
Resultado emitirGrupal(const Grupal &e, const Progreso &progreso = {});

} // namespace Emision
