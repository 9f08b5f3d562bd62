#include "db/Backup.h"

#include "core/Log.h"
#include "db/Actividad.h"
#include "db/Database.h"
#include "db/Schema.h"
#include "db/ServerBackup.h"
#include "db/SqlEngine.h"
#include "db/SqliteEngine.h"
#include "db/Transaction.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlError>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <optional>

namespace {
QString g_folder;

constexpr auto OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr auto OwnerOnlyDir = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

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

namespace {
// Writes destination through writer, which fills the file it is given and returns an empty string or why it
// could not. The file is made owner-only first and bears the final name only once complete.
bool writeCopy(const QString &destination, QString *error,
               const std::function<QString(const QString &partial)> &writer) {
    const QFileInfo info(destination);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(error, QStringLiteral("No se puede crear la carpeta %1.").arg(info.absolutePath()));

    // Written under a temporary name and renamed at the end: a half-written copy never bears the name.
    const QString partial = destination + QStringLiteral(".parcial");
    QFile::remove(partial);
    {
        // Created empty with owner-only permissions before the engine writes into it.
        QFile f(partial);
        if (!f.open(QIODevice::WriteOnly, OwnerOnly))
            return fail(
                error,
                QStringLiteral("No se puede escribir la copia %1: %2.").arg(destination, f.errorString()));
        f.close();
        f.setPermissions(OwnerOnly);
    }
    const QString why = writer(partial);
    if (!why.isEmpty()) {
        QFile::remove(partial);
        return fail(error, QStringLiteral("No se pudo escribir la copia %1: %2.").arg(destination, why));
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

// A server's copy: pg_dump's archive, one moment of the database (its snapshot) as well.
bool dumpInto(const ServerBackup::Target &target, const QString &destination, QString *error) {
    return writeCopy(destination, error, [&target](const QString &partial) {
        QString why;
        return ServerBackup::dump(target, partial, &why) ? QString() : why;
    });
}

// Copies the database behind the open connection db, by its engine's own way of taking one moment of it.
bool copyConnection(const QSqlDatabase &db, const QString &destination, QString *error) {
    if (!db.isOpen())
        return fail(error, QStringLiteral("No hay una base de datos abierta para copiar."));
    return writeCopy(destination, error, [&db](const QString &partial) {
        const Result copied = Engine::of(db).copyInto(db, partial);
        return copied ? QString() : copied.message();
    });
}

const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss");

// The start of the names of a database's automatic copies: the start of its identity tells them apart
// from another database's in the shared folder. A database without one (an older file being replaced)
// has the plain old names.
QString namePrefix(const QString &identity) {
    return identity.isEmpty() ? QStringLiteral("Mirabel") : QStringLiteral("Mirabel-") + identity.left(8);
}

// The identity stored in a database file; empty when it has none or cannot be read. A copy is opened
// immutable (never changed, nothing left beside it); a database as it stands, without creating it.
QString identityInFile(const QString &path, bool copy) {
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    const QString name = QStringLiteral("mirabel-identidad-") + QUuid::createUuid().toString(QUuid::Id128);
    QString identity;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        if (copy) {
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
            db.setDatabaseName(QString::fromUtf8(QUrl::fromLocalFile(info.absoluteFilePath()).toEncoded() +
                                                 "?mode=ro&immutable=1"));
        } else {
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(Database::busyTimeout()));
            db.setDatabaseName(info.absoluteFilePath());
        }
        if (db.open())
            identity = Schema::identity(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return identity;
}

// Gives the database at path (a file) the identity, in one transaction.
bool identityIntoFile(const QString &path, const QString &identity, QString *why) {
    const QString name = QStringLiteral("mirabel-identidad-") + QUuid::createUuid().toString(QUuid::Id128);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(Database::busyTimeout()));
        db.setDatabaseName(path);
        if (db.open()) {
            Transaction t(db);
            ok = t.isActive() && Schema::setIdentity(db, identity, why) && t.commit();
            if (!ok && why && why->isEmpty())
                *why = t.lastError();
        } else if (why) {
            *why = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// A new automatic copy's name in copias/ for the database of that identity, with the given extension;
// empty (with *error) when impossible.
QString nextAutomaticName(const QString &extension, const QString &identity, QString *error) {
    const QString dir = Backup::folder();
    if (!QDir().mkpath(dir)) {
        fail(error, QStringLiteral("No se puede crear la carpeta de copias %1.").arg(dir));
        return {};
    }
    QFile::setPermissions(dir, OwnerOnlyDir);
    const QString stamp = QDateTime::currentDateTime().toString(kStampFormat);
    const QString prefix = namePrefix(identity);
    QString name = QStringLiteral("%1/%2-%3.%4").arg(dir, prefix, stamp, extension);
    // Two destructive commands within one second must not overwrite the first copy.
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = QStringLiteral("%1/%2-%3-%4.%5").arg(dir, prefix, stamp).arg(n).arg(extension);
    return name;
}

// The names of a database's automatic copies of one kind.
QString copiesPattern(const QString &identity, const QString &extension) {
    return namePrefix(identity) + QStringLiteral("-*.") + extension;
}

// Each database keeps its own newest copies, and each kind its own: a file's copies are not pushed out by
// a server's, nor one club's by another's. Copies that cannot be told whose they are stay.
void keepNewest(const QString &extension, const QString &identity) {
    if (identity.isEmpty())
        return;
    const QString dir = Backup::folder();
    // Names sort by time: keep the newest ones.
    QStringList copies = QDir(dir).entryList({copiesPattern(identity, extension)}, QDir::Files, QDir::Name);
    while (copies.size() > Backup::KeepAutomatic)
        QFile::remove(dir + QLatin1Char('/') + copies.takeFirst());
}

// The schema version of a database file, or -1 when the file is not SQLite (a damaged file still tells).
int headerVersion(const QString &path) {
    return SqliteEngine::fileVersion(path, Database::busyTimeout());
}
} // namespace

QString Backup::extension(const QSqlDatabase &db) {
    return Engine::of(db).copyExtension();
}

bool Backup::copyTo(const QString &destination, QString *error, const QSqlDatabase &db) {
    if (!copyConnection(db, destination, error))
        return false;
    // A read-only database keeps no log (nor anything else); otherwise a copy whose entry cannot be
    // stored is not kept.
    if (db.connectionName() != Database::db().connectionName() || Database::isReadOnly())
        return true;
    const Result anotado =
        Actividad::anotarAparte(db, {Actividad::Accion::Copia, QFileInfo(destination).fileName(),
                                     std::nullopt, std::nullopt, QFileInfo(destination).absoluteFilePath()});
    if (anotado)
        return true;
    QFile::remove(destination);
    return fail(error, anotado.message());
}

bool Backup::automatic(QString *written, QString *error, const QSqlDatabase &db) {
    if (!db.isOpen())
        return fail(error, QStringLiteral("No hay una base de datos abierta para copiar."));
    const QString identity = Schema::identity(db);
    const QString name = nextAutomaticName(extension(db), identity, error);
    if (name.isEmpty() || !copyConnection(db, name, error))
        return false;
    if (written)
        *written = name;
    keepNewest(extension(db), identity);
    return true;
}

bool Backup::daily(QString *written, QString *error, const QSqlDatabase &db) {
    if (written)
        written->clear();
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    const QString ofToday =
        QStringLiteral("%1-%2-*.%3").arg(namePrefix(Schema::identity(db)), today, extension(db));
    if (!QDir(folder()).entryList({ofToday}, QDir::Files).isEmpty())
        return true;
    return automatic(written, error, db);
}

namespace {
QString newestOf(const QString &pattern) {
    const QFileInfoList copies =
        QDir(Backup::folder()).entryInfoList({pattern}, QDir::Files, QDir::Name | QDir::Reversed);
    return copies.isEmpty() ? QString() : copies.first().absoluteFilePath();
}
} // namespace

QString Backup::pattern(const QSqlDatabase &db) {
    return copiesPattern(db.isOpen() ? Schema::identity(db) : QString(), extension(db));
}

QString Backup::latest(const QSqlDatabase &db) {
    return newestOf(pattern(db));
}

QString Backup::latestOf(const QString &databasePath) {
    return newestOf(copiesPattern(identityInFile(databasePath, false), QStringLiteral("db")));
}

QString Backup::Contents::describe() const {
    const QLocale es(QLocale::Spanish, QLocale::Argentina);
    const auto count = [&](int n, const char *one, const char *many) {
        return es.toString(n) + QLatin1Char(' ') + QString::fromUtf8(n == 1 ? one : many);
    };
    return QStringLiteral("%1, %2 y %3")
        .arg(count(members, "socio", "socios"), count(dues, "cuota", "cuotas"),
             count(movements, "movimiento de caja", "movimientos de caja"));
}

namespace {
// When the copy was taken: from its name, else the file's time.
QDateTime takenAt(const QFileInfo &info) {
    // Mirabel-[identity's start-]YYYYMMDD-HHMMSS[-n].ext
    const QRegularExpression stamp(QStringLiteral("^Mirabel-(?:[0-9a-f]{8}-)?(\\d{8}-\\d{6})(?:-\\d+)?\\."));
    const auto m = stamp.match(info.fileName());
    const QDateTime taken = m.hasMatch() ? QDateTime::fromString(m.captured(1), kStampFormat) : QDateTime();
    return taken.isValid() ? taken : info.lastModified();
}

// A server's copy (pg_dump's archive): read whole, so a cut or damaged one is found before anything
// is replaced.
bool inspectArchive(const QFileInfo &info, Backup::Contents *contents, QString *error) {
    const QString file = info.filePath();
    const auto refuse = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QString missing = ServerBackup::missingTool(QStringLiteral("pg_restore"));
    if (!missing.isEmpty())
        return refuse(QStringLiteral("No se puede leer la copia %1: %2.").arg(file, missing));
    ServerBackup::Reading r;
    QString why;
    if (!ServerBackup::read(info.absoluteFilePath(), &r, &why))
        return refuse(
            QStringLiteral("La copia %1 está dañada o incompleta: no se puede restaurar.").arg(file));
    if (!r.hasMembers || r.version < 1)
        return refuse(QStringLiteral("El archivo %1 no es una copia de Mirabel.").arg(file));
    if (r.version > Schema::currentVersion())
        return refuse(QStringLiteral("La copia %1 es de una versión más nueva de Mirabel.").arg(file));
    if (contents) {
        contents->members = r.members;
        contents->dues = r.dues;
        contents->movements = r.movements;
        contents->taken = takenAt(info);
        const QUuid identity = QUuid::fromString(r.identity);
        contents->identity = identity.isNull() ? QString() : identity.toString(QUuid::WithoutBraces);
    }
    return true;
}
} // namespace

bool Backup::inspect(const QString &file, Contents *contents, QString *error, const QString &target) {
    const auto refuse = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QFileInfo info(file);
    if (!info.isFile())
        return refuse(QStringLiteral("No existe la copia %1.").arg(file));
    const bool toServer = !target.isEmpty() && SqlEngine::isServerUrl(target);
    if (ServerBackup::isArchive(file)) {
        if (!target.isEmpty() && !toServer)
            return refuse(QStringLiteral("La copia %1 es de una base de datos en un servidor: no se puede "
                                         "restaurar en el archivo %2. Restáurela en el servidor "
                                         "(mirabel restore COPIA --database postgresql://...).")
                              .arg(file, target));
        return inspectArchive(info, contents, error);
    }
    const int version = headerVersion(file);
    if (version < 0)
        return refuse(QStringLiteral("El archivo %1 no es una copia de Mirabel.").arg(file));
    if (toServer)
        return refuse(
            QStringLiteral("La copia %1 es de una base de datos en un archivo: no se puede restaurar "
                           "en el servidor %2. Para un servidor elija una copia .dump hecha en él.")
                .arg(file, target));
    if (version > Schema::currentVersion())
        return refuse(QStringLiteral("La copia %1 es de una versión más nueva de Mirabel.").arg(file));
    SqliteFile c;
    // Read-only and immutable: looking at a copy never changes it or leaves files beside it.
    if (!c.open(info.absoluteFilePath(), SqliteFile::Access::Immutable))
        return refuse(QStringLiteral("No se puede leer la copia %1.").arg(file));
    if (c.schemaVersion() <= 0)
        return refuse(QStringLiteral("El archivo %1 no es una copia de Mirabel.").arg(file));
    if (c.text("PRAGMA quick_check(1)") != QLatin1String("ok"))
        return refuse(QStringLiteral("La copia %1 está dañada: no se puede restaurar.").arg(file));
    if (contents) {
        contents->members = c.number(R"(SELECT COUNT(*) FROM "Afiliados")").value_or(-1);
        contents->dues = c.number(R"(SELECT COUNT(*) FROM "Cuotas")").value_or(-1);
        contents->movements = c.number(R"(SELECT COUNT(*) FROM "Caja")").value_or(-1);
        contents->taken = takenAt(info);
        contents->identity = identityInFile(file, true);
    }
    return true;
}

namespace {
// A server database as a restore finds it: its schema version (as Engine::schemaVersion()) and
// identity, or why it cannot be reached.
struct ServerLook {
    int version = -1;
    QString identity;
    QString why;
};

// Runs work on a connection of its own to the server database (closed after); false with why when the
// server cannot be reached.
bool onServer(const ServerBackup::Target &target, const std::function<void(QSqlDatabase &)> &work,
              QString *why) {
    const QString name = QStringLiteral("mirabel-destino-") + QUuid::createUuid().toString(QUuid::Id128);
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        SqlEngine::configure(db, target.address, target.password);
        opened = db.open();
        if (opened)
            work(db);
        else
            *why = db.lastError().databaseText().trimmed().isEmpty()
                       ? db.lastError().text()
                       : db.lastError().databaseText().trimmed();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return opened;
}

ServerLook lookAt(const ServerBackup::Target &target) {
    ServerLook look;
    onServer(
        target,
        [&](QSqlDatabase &db) {
            look.version = Engine::of(db).schemaVersion(db);
            if (look.version > 0)
                look.identity = Schema::identity(db);
        },
        &look.why);
    return look;
}

// The server's address and the password to reach it: the one this run was given when the program has that
// database open (the tools need it too).
std::optional<ServerBackup::Target> serverTarget(const QString &url, QString *why, bool *ownOpen = nullptr) {
    const auto address = SqlEngine::parseServerUrl(url, why);
    if (!address)
        return std::nullopt;
    ServerBackup::Target target{*address, QString()};
    const bool own = Database::isServer() && Database::path() == address->display();
    if (own)
        target.password = Database::db().password();
    if (ownOpen)
        *ownOpen = own;
    return target;
}

// The identity of the database at target (a file's path or a server's address); empty when it has none
// or it cannot be read.
QString identityAt(const QString &target) {
    if (Database::db().isOpen() && Database::path() == target)
        return Schema::identity(Database::db());
    if (!SqlEngine::isServerUrl(target))
        return identityInFile(target, false);
    QString why;
    const auto server = serverTarget(target, &why);
    return server ? lookAt(*server).identity : QString();
}

// Whether a copy of identity copyIdentity goes into a database of identity targetIdentity without asking;
// when not, *why says so.
bool sameDatabase(const QString &copyIdentity, const QString &targetIdentity, const QString &target,
                  QString *why) {
    if (targetIdentity.isEmpty() || copyIdentity == targetIdentity)
        return true;
    if (why)
        *why = copyIdentity.isEmpty()
                   ? QStringLiteral("La copia no dice de qué base de datos es (la hizo una versión anterior "
                                    "de Mirabel): puede ser de otra base, no de %1.")
                         .arg(target)
                   : QStringLiteral("La copia es de otra base de datos, no de %1.").arg(target);
    return false;
}

// Replaces a server database's contents with a server copy (already inspected). The database must be
// empty or the program's; a Mirabel one is first copied into copias/. The program's own connections to
// it are closed while pg_restore works and opened again after.
bool restoreOnServer(const QString &copy, const QString &copyIdentity, const QString &url, QString *error,
                     QString *safetyCopy, bool *notOurs, bool anyDatabase) {
    const auto refuse = [&](const QString &why) {
        if (notOurs)
            *notOurs = true;
        return fail(error, why);
    };
    QString why;
    bool ownOpen = false;
    const auto server = serverTarget(url, &why, &ownOpen);
    if (!server)
        return refuse(why);
    const ServerBackup::Target &target = *server;
    const SqlEngine::ServerAddress *address = &target.address;

    const ServerLook look = lookAt(target);
    const int version = look.version;
    why = look.why;
    if (!why.isEmpty())
        return refuse(QStringLiteral("No se puede conectar con %1: %2.").arg(address->display(), why));
    if (version == -2)
        return refuse(
            QStringLiteral("La base de datos %1 no es una base de datos de Mirabel (tiene tablas de "
                           "otro programa): no se reemplaza.")
                .arg(address->display()));
    if (version < 0)
        return refuse(
            QStringLiteral("No se puede leer la base de datos %1: no se reemplaza.").arg(address->display()));
    if (version > Schema::currentVersion())
        return refuse(QStringLiteral("La base de datos %1 es de una versión más nueva de Mirabel: no se "
                                     "reemplaza.")
                          .arg(address->display()));
    if (!anyDatabase && !sameDatabase(copyIdentity, look.identity, address->display(), &why))
        return fail(error, why);
    if (version > 0) {
        const QString name = nextAutomaticName(QStringLiteral("dump"), look.identity, error);
        if (name.isEmpty())
            return false;
        if (!dumpInto(target, name, &why))
            return fail(error,
                        QStringLiteral("No se restauró la copia: no se pudo guardar antes la base actual "
                                       "en %1. %2")
                            .arg(name, why));
        keepNewest(QStringLiteral("dump"), look.identity);
        if (safetyCopy)
            *safetyCopy = name;
    }

    if (ownOpen)
        Database::close();
    bool restored = ServerBackup::restore(target, QFileInfo(copy).absoluteFilePath(), &why);
    // Still the same database, with the copy's data: it keeps its identity (and so its copies). Before
    // the program opens it again, so that an older copy is not given a new one on upgrade.
    QString identityWhy;
    const bool identityKept =
        !restored || look.identity.isEmpty() || look.identity == copyIdentity ||
        (onServer(
             target,
             [&](QSqlDatabase &db) {
                 Transaction t(db);
                 if (!t.isActive() || !Schema::setIdentity(db, look.identity, &identityWhy) || !t.commit())
                     identityWhy = identityWhy.isEmpty() ? t.lastError() : identityWhy;
             },
             &identityWhy) &&
         identityWhy.isEmpty());
    QString reopenWhy;
    const bool reopened = !ownOpen || Database::open(url, Database::Mode::MustExist, &reopenWhy);
    if (!restored)
        return fail(error, QStringLiteral("No se pudo restaurar la copia en %1: %2. La base de datos quedó "
                                          "como estaba.")
                               .arg(address->display(), why));
    if (!reopened)
        return fail(error,
                    QStringLiteral("La copia se restauró en %1, pero no se pudo volver a abrir la base "
                                   "de datos: %2")
                        .arg(address->display(), reopenWhy));
    if (!identityKept)
        Log::error(
            QStringLiteral("Copia de seguridad"),
            QStringLiteral("%1 quedó con la identidad de la copia: %2").arg(address->display(), identityWhy));
    Log::write(QStringLiteral("Copia %1 restaurada en %2").arg(copy, address->display()));
    return true;
}
} // namespace

bool Backup::isCopyOf(const Contents &copy, const QString &target, QString *why) {
    return sameDatabase(copy.identity, identityAt(target), target, why);
}

namespace {
// The restored database gets its entry (on a connection of its own: the program's may be closed).
// The restore itself is done by then and stays; an entry that cannot be stored is reported in the log.
void noteRestore(const QString &copy, const QString &databasePath) {
    const QString name = QStringLiteral("restauracion-registro");
    QString why;
    {
        QSqlDatabase db = Database::openOther(name, databasePath, Database::Mode::MustExist, &why);
        if (db.isValid()) {
            const Result r =
                Actividad::anotarAparte(db, {Actividad::Accion::Restauracion, QFileInfo(copy).fileName(),
                                             std::nullopt, std::nullopt, QFileInfo(copy).absoluteFilePath()});
            why = r.message();
        }
    }
    Database::closeOther(name);
    if (!why.isEmpty())
        Log::error(QStringLiteral("Copia de seguridad"),
                   QStringLiteral("La restauración en %1 no quedó en el registro de actividad: %2")
                       .arg(databasePath, why));
}
} // namespace

bool Backup::restore(const QString &copy, const QString &databasePath, QString *error, QString *safetyCopy,
                     bool *notOurs, bool anyDatabase) {
    if (!putBack(copy, databasePath, error, safetyCopy, notOurs, anyDatabase))
        return false;
    noteRestore(copy, databasePath);
    return true;
}

bool Backup::putBack(const QString &copy, const QString &databasePath, QString *error, QString *safetyCopy,
                     bool *notOurs, bool anyDatabase) {
    if (safetyCopy)
        safetyCopy->clear();
    if (notOurs)
        *notOurs = false;
    Contents contents;
    if (!inspect(copy, &contents, error, databasePath))
        return false;
    if (SqlEngine::isServerUrl(databasePath))
        return restoreOnServer(copy, contents.identity, databasePath, error, safetyCopy, notOurs,
                               anyDatabase);
    const QFileInfo target(databasePath);
    if (target.exists() && target.canonicalFilePath() == QFileInfo(copy).canonicalFilePath())
        return fail(error, QStringLiteral("La copia y la base de datos son el mismo archivo."));
    const bool existing = target.exists() && target.size() > 0;
    if (existing) {
        const int version = headerVersion(databasePath);
        if (version < 1 || version > Schema::currentVersion()) {
            if (notOurs)
                *notOurs = true;
            return fail(error, QStringLiteral("El archivo %1 no es una base de datos de Mirabel: no se "
                                              "reemplaza.")
                                   .arg(databasePath));
        }
    }
    const QString identity = existing ? identityAt(databasePath) : QString();
    QString why;
    if (!anyDatabase && !sameDatabase(contents.identity, identity, databasePath, &why))
        return fail(error, why);

    SqliteFile dest;
    if (!existing && !target.exists()) {
        if (!QDir().mkpath(target.absolutePath()))
            return fail(error, QStringLiteral("No se puede crear la carpeta %1.").arg(target.absolutePath()));
        QFile f(databasePath);
        if (!f.open(QIODevice::NewOnly | QIODevice::WriteOnly, OwnerOnly))
            return fail(
                error,
                QStringLiteral("No se puede crear el archivo %1: %2.").arg(databasePath, f.errorString()));
    }
    int rc =
        dest.open(databasePath, SqliteFile::Access::ReadWrite, Database::busyTimeout()) ? 0 : dest.code();
    if (existing) {
        // The file being replaced is kept first; when it is too damaged for the online copy, its bytes.
        const QString name = nextAutomaticName(QStringLiteral("db"), identity, error);
        if (name.isEmpty())
            return false;
        const auto keep = [&dest](const QString &partial) {
            const Result copied = dest.copyInto(partial);
            return copied ? QString() : copied.message();
        };
        if (rc != 0 || !writeCopy(name, &why, keep)) {
            if (!QFile::copy(databasePath, name))
                return fail(error, QStringLiteral("No se restauró la copia: no se pudo guardar antes la base "
                                                  "actual en %1. %2")
                                       .arg(name, why));
            QFile::setPermissions(name, OwnerOnly);
        }
        keepNewest(QStringLiteral("db"), identity);
        if (safetyCopy)
            *safetyCopy = name;
    }

    SqliteFile source;
    if (!source.open(copy, SqliteFile::Access::ReadOnly))
        return fail(error, QStringLiteral("No se puede leer la copia %1.").arg(copy));
    // Through the online backup, so another program with the file open waits and then sees the restored
    // data, and the file keeps its journal mode.
    if (rc == 0)
        rc = dest.copyFrom(source);
    if (SqliteEngine::isDamage(rc)) {
        // Too damaged to write into: the file is replaced whole (its old bytes are in copias/).
        dest.close();
        const QString partial = databasePath + QStringLiteral(".parcial");
        QFile::remove(partial);
        if (!QFile::copy(copy, partial))
            return fail(error, QStringLiteral("No se pudo restaurar la copia en %1.").arg(databasePath));
        QFile::setPermissions(partial, OwnerOnly);
        QFile::remove(databasePath + QStringLiteral("-wal"));
        QFile::remove(databasePath + QStringLiteral("-shm"));
        QFile::remove(databasePath);
        if (!QFile::rename(partial, databasePath))
            return fail(error, QStringLiteral("No se pudo restaurar la copia en %1.").arg(databasePath));
        rc = 0;
    }
    if (rc != 0)
        return fail(error, QStringLiteral("No se pudo restaurar la copia en %1: %2.")
                               .arg(databasePath, SqlEngine::errorReason(rc).isEmpty()
                                                      ? QStringLiteral("error %1 de la base de datos").arg(rc)
                                                      : SqlEngine::errorReason(rc)));
    // Still the same database, with the copy's data: it keeps its identity, and so its copies.
    dest.close();
    if (!identity.isEmpty() && identity != contents.identity &&
        !identityIntoFile(databasePath, identity, &why))
        Log::error(QStringLiteral("Copia de seguridad"),
                   QStringLiteral("%1 quedó con la identidad de la copia: %2").arg(databasePath, why));
    Log::write(QStringLiteral("Copia %1 restaurada en %2").arg(copy, databasePath));
    return true;
}
