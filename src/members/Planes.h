#pragma once

#include "core/Columna.h"

#include <QVector>

#include "core/Money.h"
#include "core/Result.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

// A dues plan as the plan editor writes it.
struct Plan {
    QVariant idPlan; // Null until stored
    QString descripcion;
    QString detalles;
    Money cuotaMensual;
    Money inscripcion;
    qint16 cantidadCuotas = 0;
};

// Plans: lookups, checks, saving and deleting. No widgets here; the plan windows call these.
namespace Planes {

// The plans list's columns (its grid and its exports).
QVector<Columna> columnas();

// The plans list of the main window, in order of name.
QString recordSource();
// The plan with that number, or nothing.
std::optional<Plan> buscar(qint64 idPlan);
// Plan names in Spanish order, for the member editor's list.
QStringList nombres();
// idPlan of the first plan whose whole name equals texto without regard to case or accents; Null when
// none, and always for an empty texto.
QVariant idPorDescripcion(const QString &texto);
// Name of the plan with that number; Null when there is no such plan.
QVariant descripcionDe(const QVariant &idPlan);
// Whether a plan of that name exists (without regard to case, accented capitals included).
bool existeNombre(const QString &nombre);

// What the editor's boxes hold, as typed.
struct Entrada {
    QString nombre;
    QString detalles;
    QString cuota;
    QString inscripcion;
    QString cantidad;
};
// The boxes of the editor for a stored plan, every value whole as stored: amounts in the locale's currency
// form, the number of dues as stored even beyond 16 bits, a Null value as an empty box. Saving them back
// unchanged either stores the same values or is refused by verificar(). Nothing when there is no such plan.
std::optional<Entrada> entradaDe(qint64 idPlan, const QLocale &locale = QLocale());
enum class Campo { Ninguno, Nombre, Cuota, Inscripcion, Cantidad };
struct Verificacion {
    QString mensaje; // empty when everything reads
    Campo campo = Campo::Ninguno;
    Plan plan; // the values read, when the check passed
    bool ok() const { return campo == Campo::Ninguno; }
};
// Checks the boxes in the editor's order and reads them: amounts exactly in the locale's format, the
// number of dues as a 16-bit integer (a fraction rounds half to even; what does not fit is refused).
Verificacion verificar(const Entrada &entrada, const QLocale &locale = QLocale());
// The number of dues as typed: anything that reads as a number in the locale, rounded half to even;
// nothing when it is not a number or does not fit a 16-bit integer.
std::optional<qint16> leerCantidad(const QString &texto, const QLocale &locale = QLocale());
// The arrows beside the number of dues: the leading whole number of the text (0 when there is none)
// moved by paso, as text.
QString pasoCantidad(const QString &texto, int paso);

// Stores the plan: a new row when plan.idPlan is Null (Conflict when the name exists), else that row
// (NotFound when it no longer exists; its name is not checked). A new plan's number is put into plan.idPlan.
Result guardar(Plan &plan);
// Deletes the plan. Members and dues issued under it are not looked at.
Result borrar(qint64 idPlan);

} // namespace Planes
