#pragma once

#include "core/Columna.h"
#include "core/Money.h"
#include "core/Result.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>

// The activity log (table "RegistroActividad"): who did what, when and at which desk. Rows are only ever
// added; the database itself refuses to change or delete them. Every write of the program adds its entry
// in its own transaction, so a write whose entry cannot be stored is not kept either.
namespace Actividad {

// The fixed list of actions. The numbers are stored: never renumber, only add.
enum class Accion : int {
    Ingreso = 1,
    IngresoFallido = 2,
    AfiliadoAlta = 3,
    AfiliadoCambio = 4,
    AfiliadoBaja = 5,
    PlanAlta = 6,
    PlanCambio = 7,
    PlanBaja = 8,
    CategoriaAlta = 9,
    CategoriaCambio = 10,
    CategoriaBaja = 11,
    CuentaAlta = 12,
    CuentaCambio = 13,
    CuentaBaja = 14,
    Emision = 15,
    CuotaBorrada = 16,
    CuotaCambiada = 17,
    Pago = 18,
    MovimientoAlta = 19,
    MovimientoCambio = 20,
    MovimientoBaja = 21,
    LimpiezaCuotas = 22,
    LimpiezaCaja = 23,
    CambioVencimiento = 24,
    Configuracion = 25,
    UsuarioAlta = 26,
    UsuarioCambio = 27,
    UsuarioBaja = 28,
    Copia = 29,
    Restauracion = 30,
    Importacion = 31,
    Avisos = 32,
    Transferencia = 33,
};

// Every action, in list order.
const QList<Accion> &todas();
// Its name on the window, the print-out and the command line ("Pago de cuota").
QString nombre(Accion accion);
// The action named (as nombre() gives it, letter case ignored); nullopt when none is.
std::optional<Accion> porNombre(const QString &nombre);

// Who acted, when the session does not say it (a login, before it is accepted).
struct Quien {
    int idUsuario = 0;
    QString nombre;
    int nivel = 0;
};

struct Entrada {
    Accion accion;
    QString objeto;               // member, due or movement number, run summary
    std::optional<Money> antes;   // where money changed: the amount before ...
    std::optional<Money> despues; // ... and after
    QString detalle;              // anything else worth keeping
    std::optional<Quien> quien{}; // empty: the logged-in user (core/Sesion)
};

// Stores the entry on db's connection. Call it inside the transaction of the write it records: when it
// fails, the caller fails and its transaction undoes the write.
[[nodiscard]] Result anotar(const QSqlDatabase &db, const Entrada &entrada);
// Stores the entry in a transaction of its own: for events that write nothing else (a login, a copy
// taken, settings kept outside the database).
[[nodiscard]] Result anotarAparte(const QSqlDatabase &db, const Entrada &entrada);

// Runs one statement and stores its entry, in one transaction of the open database: both or neither.
[[nodiscard]] Result ejecutarYAnotar(const QString &sql, const QVariantList &valores, const Entrada &entrada);

// The name the command line acts under: "consola:" followed by the system account that ran it.
QString usuarioConsola();

// The list, newest first, for the window, the export and the command line. Dates are inclusive; an empty
// user or no action means any. Columns: "Fecha", "Hora", "Usuario", "Nivel", "Puesto", "Accion" (its
// name), "Objeto", "MontoAntes", "MontoDespues", "Detalle".
struct Filtro {
    QDate desde;
    QDate hasta;
    QString usuario;
    std::optional<Accion> accion;
};
QString consulta(const Filtro &filtro);
// The list's columns, for the window, its export, its print-out and the command line.
QVector<Columna> columnas();
QVariantList parametros(const Filtro &filtro);
// The users named in the log, for the filter's list.
QStringList usuarios(const QSqlDatabase &db);

} // namespace Actividad
