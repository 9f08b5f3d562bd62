#pragma once

#include "core/Columna.h"
#include "core/Result.h"

#include <QVector>

#include <QDate>
#include <QString>
#include <QVariant>
#include <array>
#include <optional>

// One member as the member editor holds it.
struct Afiliado {
    static constexpr int NumCampos = 12;
    QVariant idAfiliado; // Null for a member not stored yet
    std::array<QString, NumCampos>
        campos; // the editor's text boxes 0..11, in the fields of Afiliados::campo()
    QDate fechaNacimiento;
    QDate fechaAfiliacion;
    QVariant idPlan;      // may name a plan that no longer exists
    QVariant idCategoria; // Null when the member has none
};

// Members: lookups, checks, saving, deleting, the debt summary and the list positions. No widgets here.
namespace Afiliados {

// The members list's columns (the "Clientes" grid and its exports).
QVector<Columna> columnas();

// The members list of the main window: surname order (Spanish, without regard to case), read from the
// stored key.
QString recordSource();
// The number of rows of recordSource(), from the counts the database keeps.
QString cantidadSql();

// The stored field of text box i (0..11): the boxes' labels differ from several field names
// ("Nombre del padre :" is kept in Barrio, "Escuela :" in Ocupacion).
QString campo(int i);
// The title of text box i used in the required-field message; empty for the optional boxes.
QString titulo(int i);

// The member with that number, or nothing. Null text fields read as empty text.
std::optional<Afiliado> buscar(qint64 idAfiliado);

struct Verificacion {
    QString mensaje; // empty when the member may be stored
    int campo = -1;  // the offending text box, or PlanCampo / CategoriaCampo
    QVariant idPlan; // found by the plan's name
    QVariant idCategoria;
    bool ok() const { return campo < 0; }
};
inline constexpr int PlanCampo = 100;
inline constexpr int CategoriaCampo = 101;
// The editor's checks in order: required boxes by index (blanks count as content), then the plan and the
// category by name, without regard to case.
Verificacion verificar(const std::array<QString, Afiliado::NumCampos> &campos, const QString &plan,
                       const QString &categoria);

// Stores the member with every text as typed: a new row when a.idAfiliado is Null (its new number is put
// there), else that row, which must still exist (NotFound). A failure's message is the engine's description
// and number, "texto (número)", as the member editor shows it.
Result guardar(Afiliado &a);

// Deletes the member and all its dues, paid or not, in one transaction; the cash movements stay.
Result borrar(qint64 idAfiliado);

// The member's debt summary, as the stored queries give it; a Null value where the member has no row there.
struct ResumenDeuda {
    QVariant sumaDeMonto; // overdue unpaid amount, ten-thousandths
    QVariant nroCuotas;   // number of overdue unpaid dues
    QVariant maxFecha;    // latest payment date, ISO text
};
ResumenDeuda resumenDeuda(qint64 idAfiliado);

// 0-based position, in the members list (surname, names, number), of the first member whose surname starts
// with texto without regard to case or accents; an empty texto finds the first member with a surname.
// With clavesDePagina, also the members' numbers of the page of filasPorPagina rows that holds it, in list
// order: read around it in the list's index, so that nothing above it is skipped row by row.
std::optional<int> posicionPorApellido(const QString &texto, QVariantList *clavesDePagina = nullptr,
                                       int filasPorPagina = 0);
// Position of the member in the members list.
std::optional<int> posicionDe(qint64 idAfiliado);

} // namespace Afiliados
