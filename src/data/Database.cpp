#include "data/Database.h"

#include "data/Log.h"
#include "data/Schema.h"
#include "data/SqlEngine.h"
#include "data/Transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>

namespace {
QString g_path;

bool looksLikeSqlite(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    if (f.size() == 0)
        return true; // an empty file is a new database
    return f.read(16) == QByteArray("SQLite format 3\0", 16);
}
// The keys are checked with one read; only a file that has stale keys is written (in one transaction).
void refreshSortKeys(const QString &table, const QString &key) {
    const QString stale = QStringLiteral(R"("ClaveOrden" IS NOT %1)").arg(key);
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (!Database::run(q, QStringLiteral(R"(SELECT 1 FROM "%1" WHERE %2 LIMIT 1)").arg(table, stale), {},
                       QStringLiteral("Base de datos")) ||
        !q.next())
        return;
    q.finish();
    Transaction t;
    if (Database::exec(
            QStringLiteral(R"(UPDATE "%1" SET "ClaveOrden" = %2 WHERE %3)").arg(table, key, stale)))
        t.commit();
}
} // namespace

QString Database::defaultPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/.local/share/Mirabel");
    return dir + QStringLiteral("/BASE.db");
}

QString Database::path() {
    return g_path;
}

bool Database::open(const QString &path, Mode mode, QString *error) {
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        Log::error(QStringLiteral("Base de datos"), path + QStringLiteral(": ") + why);
        close();
        return false;
    };
    const QFileInfo info(path);
    if (!info.exists()) {
        if (mode == Mode::MustExist)
            return fail(QStringLiteral("No existe el archivo de base de datos %1.").arg(path));
        if (!QDir().mkpath(info.absolutePath()))
            return fail(QStringLiteral("No se puede crear la carpeta %1.").arg(info.absolutePath()));
    } else if (!looksLikeSqlite(path)) {
        return fail(
            QStringLiteral("El archivo %1 no es una base de datos de Mirabel o no se puede leer.").arg(path));
    }

    close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    if (!db.open())
        return fail(QStringLiteral("No se puede abrir la base de datos: %1").arg(db.lastError().text()));
    QString why;
    if (!SqlEngine::prepareConnection(db, &why))
        return fail(QStringLiteral("No se puede preparar la base de datos: %1").arg(why));
    if (!Schema::upgrade(db, &why))
        return fail(QStringLiteral("No se puede actualizar la estructura de la base de datos: %1").arg(why));
    g_path = info.absoluteFilePath();
    // Rows added or renamed by another tool have no sort key or a stale one: the list order and the
    // search read the key, so bring every key that differs up to date.
    refreshSortKeys(QStringLiteral("Afiliados"), QStringLiteral(R"(clave_orden("Apellido", "Nombres"))"));
    refreshSortKeys(QStringLiteral("Planes"), QStringLiteral(R"(clave_orden("Descripcion"))"));
    return true;
}

QSqlDatabase Database::openExtra(const QString &connectionName, QString *error) {
    if (QSqlDatabase::contains(connectionName))
        return QSqlDatabase::database(connectionName);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(g_path);
    QString why;
    if (!db.open() || !SqlEngine::prepareConnection(db, &why)) {
        if (error)
            *error = why.isEmpty() ? db.lastError().text() : why;
    }
    return db;
}

void Database::close() {
    const QStringList names = QSqlDatabase::connectionNames();
    for (const QString &name : names) {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    g_path.clear();
}

bool Database::run(QSqlQuery &q, const QString &sql, const QVariantList &params, const QString &where) {
    bool ok = q.prepare(sql);
    if (ok) {
        for (const QVariant &p : params)
            q.addBindValue(p);
        ok = q.exec();
    }
    if (!ok)
        Log::error(where, sql + QStringLiteral(": ") + q.lastError().text());
    return ok;
}

int Database::fieldIndex(const QSqlRecord &record, const QString &name) {
    const int idx = record.indexOf(name);
    if (idx >= 0)
        return idx;
    for (int i = 0; i < record.count(); ++i)
        if (record.fieldName(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool Database::exec(const QString &sql, const QVariantList &params, QString *error) {
    QSqlQuery q(db());
    const bool ok = run(q, sql, params, QStringLiteral("SQL"));
    if (!ok && error)
        *error = q.lastError().text();
    return ok;
}

QVariant Database::buscaValor(const QString &sql, const QString &campo, const QVariantList &params) {
    QSqlQuery q(db());
    q.setForwardOnly(true);
    if (!run(q, sql, params, QStringLiteral("BuscaValor")) || !q.next())
        return {};
    const int idx = fieldIndex(q.record(), campo);
    if (idx < 0) {
        Log::error(QStringLiteral("BuscaValor"),
                   QStringLiteral("campo inexistente %1 en %2").arg(campo, sql));
        return {};
    }
    return q.value(idx);
}

QStringList Database::textos(const QString &sql, const QVariantList &params) {
    QStringList out;
    QSqlQuery q(db());
    q.setForwardOnly(true);
    if (!run(q, sql, params, QStringLiteral("SQL")))
        return out;
    while (q.next())
        if (!q.value(0).isNull())
            out << q.value(0).toString();
    return out;
}

bool Database::hasUsers() {
    return !buscaValor(QStringLiteral(R"(SELECT "idUsuario" FROM "Usuarios" LIMIT 1)"),
                       QStringLiteral("idUsuario"))
                .isNull();
}
