#include "cash/Cuentas.h"

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
bool conNombreLibre(const QString &nombre, qint64 excepto, bool *existe, QString *error, Escribir escribir) {
    *existe = false;
    QString motivo;
    const bool hecho = Transaction::run(
        Database::db(),
        [&](Transaction &t) {
            *existe = false;
            const QSqlDatabase db = Database::db();
            if (!Engine::of(db).lockWork(db, AreaNombresCuentas, 0))
                return t.fail(Engine::of(db).lastFailure(db));
            if (existeOtra(nombre, excepto)) {
                *existe = true;
                return false;
            }
            QSqlQuery q(Database::db());
            return escribir(q) || t.fail(q.lastError());
        },
        &motivo);
    if (!hecho && error)
        *error = motivo;
    return hecho;
}
} // namespace

Alta nueva(const QString &nombre, QString *error) {
    const QString limpio = nombre.trimmed();
    if (limpio.isEmpty())
        return Alta::Vacio;
    bool existe = false;
    if (conNombreLibre(limpio, 0, &existe, error, [&](QSqlQuery &q) {
            return Database::run(q, QStringLiteral(R"(INSERT INTO "Cuentas" ("Descripcion") VALUES (?))"),
                                 {limpio}, QStringLiteral("Cuentas"));
        }))
        return Alta::Agregada;
    return existe ? Alta::Existe : Alta::Fallo;
}

Renombre renombrar(qint64 idCuenta, const QString &nombre, QString *error) {
    const QString limpio = nombre.trimmed();
    if (limpio.isEmpty())
        return Renombre::Vacio;
    bool existe = false;
    if (conNombreLibre(limpio, idCuenta, &existe, error, [&](QSqlQuery &q) {
            return Database::run(
                q, QStringLiteral(R"(UPDATE "Cuentas" SET "Descripcion" = ? WHERE "idCuenta" = ?)"),
                {limpio, idCuenta}, QStringLiteral("Cuentas"));
        }))
        return Renombre::Hecho;
    return existe ? Renombre::Existe : Renombre::Fallo;
}

bool borrable(qint64 idCuenta) {
    return idCuenta != 1;
}

bool borrar(qint64 idCuenta, QString *error) {
    if (!borrable(idCuenta))
        return false;
    return Database::exec(QStringLiteral(R"(DELETE FROM "Cuentas" WHERE "idCuenta" = ?)"), {idCuenta}, error);
}

} // namespace Cuentas
