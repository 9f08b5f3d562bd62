#include "cash/Cuentas.h"

#include "db/Actividad.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "db/Transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace Cuentas {

namespace {
// Another account (not excepto) with the same name when letter case and accents are set aside: the stored
// sort key folds both.
bool existeOtra(const QString &nombre, qint64 excepto) {
    return !Database::buscaValor(QStringLiteral(R"(SELECT "idCuenta" FROM "Cuentas"
                                                  WHERE clave_orden("Descripcion") = clave_orden(?) AND "idCuenta" <> ?
                                                  LIMIT 1)"),
                                 QStringLiteral("idCuenta"), {nombre, excepto})
                .isNull();
}
} // namespace

QString recordSource() {
    return QStringLiteral(R"(Select * from "Cuentas" order by "Descripcion" COLLATE es, "idCuenta")");
}

QString recordSourceFiltro() {
    return QStringLiteral(R"(Select * from "Cuentas")");
}

namespace {
// The lock area of account names (lockWork's first number): on a server two desks adding or renaming
// accounts take turns, so the second one sees the first one's name before it checks its own. A file's
// write transaction already holds the whole file.
constexpr int AreaNombresCuentas = 5;

// The name's check and its write in one transaction, after the other desks' name changes.
template <typename Escribir>
Result conNombreLibre(const QString &nombre, qint64 excepto, Actividad::Accion accion, Escribir escribir) {
    if (nombre.isEmpty())
        return Result::failure(QStringLiteral("la cuenta debe tener un nombre."), Result::Code::Invalid);
    return Transaction::run(Database::db(), [&](Transaction &t) {
        const QSqlDatabase db = Database::db();
        if (!Engine::of(db).lockWork(db, AreaNombresCuentas, 0))
            return t.fail(Engine::of(db).lastFailure(db));
        if (existeOtra(nombre, excepto))
            return t.refuse(Result::failure(QStringLiteral("ya existe otra cuenta con ese nombre."),
                                            Result::Code::Conflict));
        QSqlQuery q(Database::db());
        if (!escribir(q))
            return t.fail(q.lastError());
        const QString cuenta =
            QStringLiteral("cuenta %1").arg(excepto ? excepto : SqlEngine::lastInsertId(q).toLongLong());
        const Result anotado = Actividad::anotar(db, {accion, cuenta, std::nullopt, std::nullopt, nombre});
        return anotado.ok() || t.refuse(anotado);
    });
}
} // namespace

Result nueva(const QString &nombre) {
    const QString limpio = nombre.trimmed();
    return conNombreLibre(limpio, 0, Actividad::Accion::CuentaAlta, [&](QSqlQuery &q) {
        return Database::run(q, QStringLiteral(R"(INSERT INTO "Cuentas" ("Descripcion") VALUES (?))"),
                             {limpio}, QStringLiteral("Cuentas"));
    });
}

Result renombrar(qint64 idCuenta, const QString &nombre) {
    const QString limpio = nombre.trimmed();
    return conNombreLibre(limpio, idCuenta, Actividad::Accion::CuentaCambio, [&](QSqlQuery &q) {
        return Database::run(q,
                             QStringLiteral(R"(UPDATE "Cuentas" SET "Descripcion" = ? WHERE "idCuenta" = ?)"),
                             {limpio, idCuenta}, QStringLiteral("Cuentas"));
    });
}

bool borrable(qint64 idCuenta) {
    return idCuenta != 1;
}

Result borrar(qint64 idCuenta) {
    if (!borrable(idCuenta))
        return Result::failure(QStringLiteral("la cuenta 1 no se puede borrar."), Result::Code::Invalid);
    return Actividad::ejecutarYAnotar(
        QStringLiteral(R"(DELETE FROM "Cuentas" WHERE "idCuenta" = ?)"), {idCuenta},
        {Actividad::Accion::CuentaBaja, QStringLiteral("cuenta %1").arg(idCuenta)});
}

} // namespace Cuentas
