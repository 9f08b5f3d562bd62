#include "members/Categorias.h"

#include "core/Log.h"
#include "db/Actividad.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "db/Transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace Categorias {

QString recordSource() {
    return QStringLiteral(R"(Select * from "Categorias" order by "idCategoria")");
}

QStringList nombres() {
    return Database::textos(
        QStringLiteral(R"(SELECT "Descripcion" FROM "Categorias" WHERE "Descripcion" IS NOT NULL
                                              ORDER BY "Descripcion" COLLATE es)"));
}

QVariant idPorDescripcion(const QString &texto) {
    // A category without a name is no answer to an empty box.
    if (texto.isEmpty())
        return {};
    return Database::buscaValor(QStringLiteral(R"(SELECT "idCategoria" FROM "Categorias"
                                                 WHERE clave_orden("Descripcion") = ?
                                                 ORDER BY "idCategoria" LIMIT 1)"),
                                QStringLiteral("idCategoria"), {SqlEngine::sortKey(texto)});
}

QVariant descripcionDe(const QVariant &idCategoria) {
    if (idCategoria.isNull())
        return {};
    return Database::buscaValor(
        QStringLiteral(R"(SELECT "Descripcion" FROM "Categorias" WHERE "idCategoria" = ?)"),
        QStringLiteral("Descripcion"), {idCategoria});
}

Expected<QVariant> nueva() {
    Transaction t;
    if (!t.isActive())
        return Result::failure(t.lastError());
    QSqlQuery q(Database::db());
    if (!q.exec(QStringLiteral(R"(INSERT INTO "Categorias" DEFAULT VALUES)"))) {
        Log::error(QStringLiteral("Categorias"), q.lastError().text());
        return Database::failure(q);
    }
    const QVariant id = SqlEngine::lastInsertId(q);
    if (const Result anotado =
            Actividad::anotar(Database::db(), {Actividad::Accion::CategoriaAlta,
                                               QStringLiteral("categoría %1").arg(id.toString())});
        !anotado)
        return anotado;
    if (!t.commit())
        return Result::failure(t.lastError());
    return id;
}

Result renombrar(qint64 idCategoria, const QString &descripcion) {
    return Actividad::ejecutarYAnotar(
        QStringLiteral(R"(UPDATE "Categorias" SET "Descripcion" = ? WHERE "idCategoria" = ?)"),
        {descripcion, idCategoria},
        {Actividad::Accion::CategoriaCambio, QStringLiteral("categoría %1").arg(idCategoria), std::nullopt,
         std::nullopt, descripcion});
}

bool enUso(qint64 idCategoria) {
    return !Database::buscaValor(
                QStringLiteral(R"(SELECT "idCategoria" FROM "Afiliados" WHERE "idCategoria" = ?
                                                  LIMIT 1)"),
                QStringLiteral("idCategoria"), {idCategoria})
                .isNull();
}

Result borrar(qint64 idCategoria) {
    Transaction t;
    if (!t.isActive())
        return t.failure();
    if (enUso(idCategoria))
        return Result::failure(QStringLiteral("Error, aún existen socios con dicha categoría"),
                               Result::Code::Conflict);
    if (Result r = Database::exec(QStringLiteral(R"(DELETE FROM "Categorias" WHERE "idCategoria" = ?)"),
                                  {idCategoria});
        !r)
        return r;
    if (const Result anotado =
            Actividad::anotar(Database::db(), {Actividad::Accion::CategoriaBaja,
                                               QStringLiteral("categoría %1").arg(idCategoria)});
        !anotado)
        return anotado;
    if (!t.commit())
        return t.failure();
    return Result::done();
}

} // namespace Categorias
