#include "admin/Usuarios.h"

#include "core/Log.h"
#include "core/Sesion.h"
#include "db/Actividad.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "db/Transaction.h"

#include "core/PasswordHash.h"
#include <QSqlError>
#include <QSqlQuery>

const QString Usuarios::kUsuarioExiste = QStringLiteral("Error, el usuario ya existe!");
const QString Usuarios::kUltimoSupervisor =
    QStringLiteral("Error, debe quedar al menos un usuario Supervisor General: sin él nadie podría "
                   "administrar los usuarios ni la configuración.");
const QString Usuarios::kUsuarioActual =
    QStringLiteral("Error, no puede eliminar el usuario con el que ingresó al sistema!");

namespace {
QVariant textoONulo(const QString &s) {
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}

// Another user (not idUsuario) whose name compares equal.
// Done when no other user has the name.
Result nombreLibre(int idUsuario, const QString &nombreUsuario) {
    const QString clave = Usuarios::claveNombre(nombreUsuario);
    if (clave.isEmpty())
        return Result::done();
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (!Database::run(q, QStringLiteral(R"(SELECT "idUsuario", "NombreUsuario" FROM "Usuarios")"), {},
                       QStringLiteral("Usuarios")))
        return Database::failure(q);
    while (q.next())
        if (q.value(0).toInt() != idUsuario && Usuarios::claveNombre(q.value(1).toString()) == clave)
            return Result::failure(Usuarios::kUsuarioExiste, Result::Code::Conflict);
    return Result::done();
}

Result ejecutar(const QString &sql, const QVariantList &params) {
    return Database::exec(sql, params);
}

// The user's name and level as the log keeps them for a change of users.
Result anotarUsuario(Actividad::Accion accion, int idUsuario, const QString &detalle) {
    return Actividad::anotar(Database::db(), {accion, QStringLiteral("usuario %1").arg(idUsuario),
                                              std::nullopt, std::nullopt, detalle});
}

QString describir(const Usuarios::Datos &d) {
    return QStringLiteral("%1, nivel %2")
        .arg(d.nombreUsuario.trimmed())
        .arg(Usuarios::nivelDe(d.esSupervisor, d.esAdministrativo));
}

int otrosSupervisores(int idUsuario) {
    return Database::buscaValor(
               QStringLiteral(
                   R"(SELECT COUNT(*) AS n FROM "Usuarios" WHERE "EsSupervisor" <> 0 AND "idUsuario" <> ?)"),
               QStringLiteral("n"), {idUsuario})
        .toInt();
}

bool esSupervisor(int idUsuario) {
    return Database::buscaValor(
               QStringLiteral(R"(SELECT "EsSupervisor" FROM "Usuarios" WHERE "idUsuario" = ?)"),
               QStringLiteral("EsSupervisor"), {idUsuario})
               .toLongLong() != 0;
}
} // namespace

QString Usuarios::hash(const QString &contrasena) {
    return PasswordHash::hash(contrasena);
}

bool Usuarios::esHash(const QString &guardada) {
    return PasswordHash::isHash(guardada);
}

bool Usuarios::coincide(const QString &guardada, const QString &contrasena) {
    return PasswordHash::matches(guardada, contrasena);
}

QString Usuarios::claveNombre(const QString &nombreUsuario) {
    return SqlEngine::sortKey(nombreUsuario.trimmed());
}

int Usuarios::nivelDe(bool esSupervisor, bool esAdministrativo) {
    return esSupervisor ? 1 : esAdministrativo ? 2 : 3;
}

Usuarios::Ingreso Usuarios::ingresar(const QString &nombreUsuario, const QString &contrasena) {
    // Every refusal checks one hash, whether or not the name exists: see PasswordHash::spendCheck().
    const int antes = PasswordHash::checksMade();
    const auto rechazo = [&] {
        if (PasswordHash::checksMade() == antes)
            PasswordHash::spendCheck(contrasena);
        return Ingreso{};
    };
    const QString clave = claveNombre(nombreUsuario);
    if (clave.isEmpty())
        return anotarIngreso(nombreUsuario, rechazo());
    return anotarIngreso(nombreUsuario, ingresarSinAnotar(clave, contrasena, rechazo));
}

Usuarios::Ingreso Usuarios::ingresarSinAnotar(const QString &clave, const QString &contrasena,
                                              const std::function<Ingreso()> &rechazo) {
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    // The names are few; comparing them here ignores accents as well as case, which SQL alone does not.
    if (!Database::run(q, QStringLiteral(R"(SELECT "idUsuario", "NombreUsuario", "Contrasena", "EsSupervisor",
                                         "EsAdministrativo" FROM "Usuarios" ORDER BY "idUsuario")"),
                       {}, QStringLiteral("Ingreso")))
        return rechazo();
    while (q.next()) {
        if (claveNombre(q.value(1).toString()) != clave || q.value(2).isNull())
            continue;
        const QString guardada = q.value(2).toString();
        if (!coincide(guardada, contrasena))
            continue;
        Ingreso r;
        r.idUsuario = q.value(0).toInt();
        r.nombreUsuario = q.value(1).toString().trimmed();
        r.nivel = nivelDe(q.value(3).toLongLong() != 0, q.value(4).toLongLong() != 0);
        if (!esHash(guardada)) {
            const QString h = hash(contrasena);
            const Result replaced =
                h.isEmpty()
                    ? Result::failure(QString())
                    : Database::exec(
                          QStringLiteral(R"(UPDATE "Usuarios" SET "Contrasena" = ? WHERE "idUsuario" = ?)"),
                          {h, r.idUsuario});
            if (!replaced)
                Log::error(QStringLiteral("Ingreso"),
                           QStringLiteral("No se pudo reemplazar la contraseña legible del usuario %1: %2")
                               .arg(r.idUsuario)
                               .arg(replaced.message()));
        }
        return r;
    }
    return rechazo();
}

Usuarios::Ingreso Usuarios::anotarIngreso(const QString &escrito, const Ingreso &ingreso) {
    // A read-only database keeps no log; a login whose entry cannot be stored still goes on (it wrote
    // nothing), and the program's own log says so.
    if (Database::isReadOnly())
        return ingreso;
    const bool aceptado = ingreso.nivel != 0;
    Actividad::Quien quien{ingreso.idUsuario, aceptado ? ingreso.nombreUsuario : escrito.trimmed(),
                           ingreso.nivel};
    if (const Result r = Actividad::anotarAparte(
            Database::db(), {aceptado ? Actividad::Accion::Ingreso : Actividad::Accion::IngresoFallido,
                             QString(), std::nullopt, std::nullopt, QString(), quien});
        !r)
        Log::error(QStringLiteral("Ingreso"), r.message());
    return ingreso;
}

QString Usuarios::recordSource() {
    return QStringLiteral(R"(SELECT "idUsuario", "NombreUsuario", "NombreCompleto", "EsSupervisor",
                             "EsAdministrativo", "EsDataEntry" FROM "Usuarios" ORDER BY "idUsuario")");
}

Result Usuarios::guardar(int idUsuario, const Datos &d) {
    Transaction t;
    if (!t.isActive())
        return t.failure();
    if (Result libre = nombreLibre(idUsuario, d.nombreUsuario); !libre)
        return libre;
    if (!d.esSupervisor && esSupervisor(idUsuario) && otrosSupervisores(idUsuario) == 0)
        return Result::failure(kUltimoSupervisor, Result::Code::Invalid);
    QString sql = QStringLiteral(R"(UPDATE "Usuarios" SET "NombreCompleto" = ?, "NombreUsuario" = ?,
                                    "EsSupervisor" = ?, "EsAdministrativo" = ?, "EsDataEntry" = ?)");
    QVariantList params = {textoONulo(d.nombreCompleto.trimmed()), textoONulo(d.nombreUsuario.trimmed()),
                           int(d.esSupervisor), int(d.esAdministrativo), int(d.esDataEntry)};
    if (!d.contrasenaNueva.isEmpty()) {
        const QString h = hash(d.contrasenaNueva);
        if (h.isEmpty())
            return Result::failure(QStringLiteral("Error, no se pudo proteger la contraseña."));
        sql += QStringLiteral(R"(, "Contrasena" = ?)");
        params << h;
    }
    sql += QStringLiteral(R"( WHERE "idUsuario" = ?)");
    params << idUsuario;
    if (Result r = ejecutar(sql, params); !r)
        return r;
    if (Result r = anotarUsuario(
            Actividad::Accion::UsuarioCambio, idUsuario,
            describir(d) + (d.contrasenaNueva.isEmpty() ? QString() : QStringLiteral(", contraseña nueva")));
        !r)
        return r;
    if (!t.commit())
        return t.failure();
    return Result::done();
}

Expected<int> Usuarios::nuevo() {
    Transaction t;
    if (!t.isActive())
        return t.failure();
    QSqlQuery q(Database::db());
    if (!Database::run(q, QStringLiteral(R"(INSERT INTO "Usuarios" ("NombreCompleto") VALUES (?))"),
                       {QStringLiteral("<Nuevo>")}, QStringLiteral("Usuarios")))
        return Database::failure(q);
    const int id = SqlEngine::lastInsertId(q).toInt();
    if (Result r = anotarUsuario(Actividad::Accion::UsuarioAlta, id, QStringLiteral("<Nuevo>")); !r)
        return r;
    if (!t.commit())
        return t.failure();
    return id;
}

Result Usuarios::puedeBorrarse(int idUsuario, int idUsuarioActual) {
    if (idUsuario == idUsuarioActual)
        return Result::failure(kUsuarioActual, Result::Code::Invalid);
    if (esSupervisor(idUsuario) && otrosSupervisores(idUsuario) == 0)
        return Result::failure(kUltimoSupervisor, Result::Code::Invalid);
    return Result::done();
}

Result Usuarios::borrar(int idUsuario, int idUsuarioActual) {
    Transaction t;
    if (!t.isActive())
        return t.failure();
    if (Result r = puedeBorrarse(idUsuario, idUsuarioActual); !r)
        return r;
    const QString nombre =
        Database::buscaValor(
            QStringLiteral(R"(SELECT "NombreUsuario" FROM "Usuarios" WHERE "idUsuario" = ?)"),
            QStringLiteral("NombreUsuario"), {idUsuario})
            .toString();
    if (Result r = ejecutar(QStringLiteral(R"(DELETE FROM "Usuarios" WHERE "idUsuario" = ?)"), {idUsuario});
        !r)
        return r;
    if (Result r = anotarUsuario(Actividad::Accion::UsuarioBaja, idUsuario, nombre); !r)
        return r;
    if (!t.commit())
        return t.failure();
    return Result::done();
}

Expected<int> Usuarios::agregar(const Datos &d) {
    const QString h = hash(d.contrasenaNueva);
    if (h.isEmpty())
        return Result::failure(QStringLiteral("no se pudo proteger la contraseña."));
    Transaction t;
    if (!t.isActive())
        return t.failure();
    if (Result libre = nombreLibre(0, d.nombreUsuario); !libre)
        return libre;
    QSqlQuery q(Database::db());
    if (!Database::run(
            q, QStringLiteral(R"(INSERT INTO "Usuarios" ("NombreUsuario", "Contrasena", "NombreCompleto",
                                         "EsSupervisor", "EsAdministrativo", "EsDataEntry") VALUES (?, ?, ?, ?, ?, ?))"),
            {textoONulo(d.nombreUsuario.trimmed()), h, textoONulo(d.nombreCompleto.trimmed()),
             int(d.esSupervisor), int(d.esAdministrativo), int(d.esDataEntry)},
            QStringLiteral("Usuarios")))
        return Database::failure(q);
    const int id = SqlEngine::lastInsertId(q).toInt();
    if (Result r = anotarUsuario(Actividad::Accion::UsuarioAlta, id, describir(d)); !r)
        return r;
    if (!t.commit())
        return t.failure();
    return id;
}

Result Usuarios::crearPrimerSupervisor(const QString &nombreCompleto, const QString &nombreUsuario,
                                       const QString &contrasena) {
    Transaction t;
    if (Database::hasUsers())
        return Result::failure(QStringLiteral("Ya existe un usuario."), Result::Code::Conflict);
    Datos d;
    d.nombreCompleto = nombreCompleto;
    d.nombreUsuario = nombreUsuario;
    d.contrasenaNueva = contrasena;
    d.esSupervisor = true;
    if (const auto id = agregar(d); !id)
        return id.failure();
    if (!t.commit())
        return t.failure();
    return Result::done();
}
