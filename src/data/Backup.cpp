#include "data/Backup.h"

#include "data/Database.h"
#include "data/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <sqlite3.h>

namespace {
QString g_folder;

constexpr auto OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr auto OwnerOnlyDir = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

sqlite3 *nativeHandle(const QSqlDatabase &db) {
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.data());
}

QString spanishReason(int code) {
    switch (code & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("el disco está lleno");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        return QStringLiteral("no se puede escribir en la carpeta de copias");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("la base de datos está ocupada por otro programa");
    case SQLITE_NOMEM:
        return QStringLiteral("no hay memoria suficiente");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("la base de datos está dañada");
    default:
        return QStringLiteral("error %1 de la base de datos").arg(code);
    }
}

bool fail(QString *error, const QString &why) {
    if (error)
        *error = why;
    Log::error(QStringLiteral("Copia de seguridad"), why);
    return false;
}
} // namespace

QString Backup::folder() {
    if (!g_folder.isEmpty())
        return g_folder;
    return QFileInfo(Database::defaultPath()).absolutePath() + QStringLiteral("/copias");
}

void Backup::setFolder(const QString &folder) {
    g_folder = folder;
}

bool Backup::copyTo(const QString &destination, QString *error, const QSqlDatabase &db) {
    sqlite3 *source = nativeHandle(db);
    if (!source)
        return fail(error, QStringLiteral("No hay una base de datos abierta para copiar."));
    const QFileInfo info(destination);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(error, QStringLiteral("No se puede crear la carpeta %1.").arg(info.absolutePath()));

    // Written under a temporary name and renamed at the end: a half-written copy never bears the name.
    const QString partial = destination + QStringLiteral(".parcial");
    QFile::remove(partial);
    {
        // Created empty with owner-only permissions before SQLite opens it.
        QFile f(partial);
        if (!f.open(QIODevice::WriteOnly))
            return fail(
                error,
                QStringLiteral("No se puede escribir la copia %1: %2.").arg(destination, f.errorString()));
        f.close();
        f.setPermissions(OwnerOnly);
    }
    sqlite3 *target = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(partial).constData(), &target, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup *b = sqlite3_backup_init(target, "main", source, "main");
        if (!b) {
            rc = sqlite3_extended_errcode(target);
        } else {
            // One step copies everything under one read lock: the copy is one moment of the database.
            rc = sqlite3_backup_step(b, -1);
            const int finish = sqlite3_backup_finish(b);
            if (rc == SQLITE_DONE)
                rc = finish;
        }
        if (rc == SQLITE_OK) {
            // A copy is a plain single file: no WAL side files to carry around.
            rc = sqlite3_exec(target, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
        }
    }
    if (target)
        sqlite3_close(target);
    if (rc != SQLITE_OK) {
        QFile::remove(partial);
        return fail(
            error,
            QStringLiteral("No se pudo escribir la copia %1: %2.").arg(destination, spanishReason(rc)));
    }
    QFile::remove(destination);
    if (!QFile::rename(partial, destination)) {
        QFile::remove(partial);
        return fail(error, QStringLiteral("No se pudo escribir la copia %1.").arg(destination));
    }
    QFile::setPermissions(destination, OwnerOnly);
    Log::write(QStringLiteral("Copia de seguridad escrita en %1").arg(destination));
    return true;
}

bool Backup::automatic(QString *written, QString *error, const QSqlDatabase &db) {
    const QString dir = folder();
    if (!QDir().mkpath(dir))
        return fail(error, QStringLiteral("No se puede crear la carpeta de copias %1.").arg(dir));
    QFile::setPermissions(dir, OwnerOnlyDir);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = QStringLiteral("%1/Mirabel-%2.db").arg(dir, stamp);
    // Two destructive commands within one second must not overwrite the first copy.
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = QStringLiteral("%1/Mirabel-%2-%3.db").arg(dir).arg(stamp).arg(n);
    if (!copyTo(name, error, db))
        return false;
    if (written)
        *written = name;

    // Names sort by time: keep the newest ones.
    QStringList copies = QDir(dir).entryList({QStringLiteral("Mirabel-*.db")}, QDir::Files, QDir::Name);
    while (copies.size() > KeepAutomatic)
        QFile::remove(dir + QLatin1Char('/') + copies.takeFirst());
    return true;
}
