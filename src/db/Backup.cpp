#include "db/Backup.h"

#include "core/Log.h"
#include "db/Actividad.h"
#include "db/ArchivoNuevo.h"
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

Result fail(const QString &why, Result::Code code = Result::Code::Failed) {
    Log::error(QStringLiteral("Copia de seguridad"), why);
    return Result::failure(why, code);
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
// Writes destination through writer, which fills the file it is given. The file is made owner-only first
// and bears the final name only once complete.
Result writeCopy(const QString &destination, const std::function<Result(const QString &partial)> &writer) {
    const QFileInfo info(destination);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("No se puede crear la carpeta %1.").arg(info.absolutePath()));

    // Written under a temporary name and renamed at the end: a half-written copy never bears the name.
    const QString partial = destination + QStringLiteral(".parcial");
    QFile::remove(partial);
    {
        // Created empty with owner-only permissions before the engine writes into it.
        QFile f(partial);
        if (!f.open(QIODevice::WriteOnly, OwnerOnly))
            return fail(
                QStringLiteral("No se puede escribir la copia %1: %2.").arg(destination, f.errorString()));
        f.close();
        f.setPermissions(OwnerOnly);
    }
    if (const Result written = writer(partial); !written) {
        QFile::remove(partial);
        return fail(
            QStringLiteral("No se pudo escribir la copia %1: %2.").arg(destination, written.message()),
            written.code());
    }
    if (!ArchivoNuevo::reemplazar(partial, destination)) {
        QFile::remove(partial);
        return fail(QStringLiteral("No se pudo escribir la copia %1.").arg(destination));
    }
    QFile::setPermissions(destination, OwnerOnly);
    Log::write(QStringLiteral("Copia de seguridad escrita en %1").arg(destination));
    return Result::done();
}

// A server's copy: pg_dump's archive, one moment of the database (its snapshot) as well.
Result dumpInto(const ServerBackup::Target &target, const QString &destination) {
    return writeCopy(destination,
                     [&target](const QString &partial) { return ServerBackup::dump(target, partial); });
}

// Copies the database behind the open connection db, by its engine's own way of taking one moment of it.
Result copyConnection(const QSqlDatabase &db, const QString &destination) {
    if (!db.isOpen())
        return fail(QStringLiteral("No hay una base de datos abierta para copiar."));
    return writeCopy(destination,
                     [&db](const QString &partial) { return Engine::of(db).copyInto(db, partial); });
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

// Gives db the identity, in one transaction.
Result giveIdentity(const QSqlDatabase &db, const QString &identity) {
    return Transaction::run(db, [&](Transaction &t) {
        const Result r = Schema::setIdentity(db, identity);
        return r || t.refuse(r);
    });
}

// Gives the database at path (a file) the identity, in one transaction.
Result identityIntoFile(const QString &path, const QString &identity) {
    const QString name = QStringLiteral("mirabel-identidad-") + QUuid::createUuid().toString(QUuid::Id128);
    Result r;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(Database::busyTimeout()));
        db.setDatabaseName(path);
        r = db.open() ? giveIdentity(db, identity) : Result::failure(db.lastError().text());
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return r;
}

// A new automatic copy's name in copias/ for the database of that identity, with the given extension.
Expected<QString> nextAutomaticName(const QString &extension, const QString &identity) {
    const QString dir = Backup::folder();
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("No se puede crear la carpeta de copias %1.").arg(dir));
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

Result Backup::copyTo(const QString &destination, const QSqlDatabase &db) {
    if (const Result r = copyConnection(db, destination); !r)
        return r;
    // A read-only database keeps no log (nor anything else); otherwise a copy whose entry cannot be
    // stored is not kept.
    if (db.connectionName() != Database::db().connectionName() || Database::isReadOnly())
        return Result::done();
    const Result anotado =
        Actividad::anotarAparte(db, {Actividad::Accion::Copia, QFileInfo(destination).fileName(),
                                     std::nullopt, std::nullopt, QFileInfo(destination).absoluteFilePath()});
    if (!anotado)
        QFile::remove(destination);
    return anotado;
}

Expected<QString> Backup::automatic(const QSqlDatabase &db) {
    if (!db.isOpen())
        return fail(QStringLiteral("No hay una base de datos abierta para copiar."));
    const QString identity = Schema::identity(db);
    const Expected<QString> name = nextAutomaticName(extension(db), identity);
    if (!name)
        return name;
    if (const Result r = copyConnection(db, *name); !r)
        return r;
    keepNewest(extension(db), identity);
    return name;
}

Expected<QString> Backup::daily(const QSqlDatabase &db) {
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    const QString ofToday =
        QStringLiteral("%1-%2-*.%3").arg(namePrefix(Schema::identity(db)), today, extension(db));
    if (!QDir(folder()).entryList({ofToday}, QDir::Files).isEmpty())
        return QString();
    return automatic(db);
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
Expected<Backup::Contents> inspectArchive(const QFileInfo &info) {
    const QString file = info.filePath();
    const QString missing = ServerBackup::missingTool(QStringLiteral("pg_restore"));
    if (!missing.isEmpty())
        return Result::failure(QStringLiteral("No se puede leer la copia %1: %2.").arg(file, missing));
    const Expected<ServerBackup::Reading> read = ServerBackup::read(info.absoluteFilePath());
    if (!read)
        return Result::failure(
            QStringLiteral("La copia %1 está dañada o incompleta: no se puede restaurar.").arg(file));
    const ServerBackup::Reading &r = *read;
    if (!r.hasMembers || r.version < 1)
        return Result::failure(QStringLiteral("El archivo %1 no es una copia de Mirabel.").arg(file),
                               Result::Code::NotOurs);
    if (r.version > Schema::currentVersion())
        return Result::failure(
            QStringLiteral("La copia %1 es de una versión más nueva de Mirabel.").arg(file));
    Backup::Contents contents;
    contents.members = r.members;
    contents.dues = r.dues;
    contents.movements = r.movements;
    contents.taken = takenAt(info);
    const QUuid identity = QUuid::fromString(r.identity);
    contents.identity = identity.isNull() ? QString() : identity.toString(QUuid::WithoutBraces);
    return contents;
}
} // namespace

Expected<Backup::Contents> Backup::inspect(const QString &file, const QString &target) {
    const auto refuse = [&](const QString &why, Result::Code code = Result::Code::Invalid) {
        return Result::failure(why, code);
    };
    const QFileInfo info(file);
    if (!info.isFile())
        return refuse(QStringLiteral("No existe la copia %1.").arg(file), Result::Code::NotFound);
    const bool toServer = !target.isEmpty() && Engine::at(target).isServer();
    if (ServerBackup::isArchive(file)) {
        if (!target.isEmpty() && !toServer)
            return refuse(QStringLiteral("La copia %1 es de una base de datos en un servidor: no se puede "
                                         "restaurar en el archivo %2. Restáurela en el servidor "
                                         "(mirabel restore COPIA --database postgresql://...).")
                              .arg(file, target));
        return inspectArchive(info);
    }
    const int version = headerVersion(file);
    if (version < 0)
        return refuse(QStringLiteral("El archivo %1 no es una copia de Mirabel.").arg(file),
                      Result::Code::NotOurs);
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
        return refuse(QStringLiteral("No se puede leer la copia %1.").arg(file), Result::Code::Failed);
    if (c.schemaVersion() <= 0)
        return refuse(QStringLiteral("El archivo %1 no es una copia de Mirabel.").arg(file),
                      Result::Code::NotOurs);
    if (c.text("PRAGMA quick_check(1)") != QLatin1String("ok"))
        return refuse(QStringLiteral("La copia %1 está dañada: no se puede restaurar.").arg(file),
                      Result::Code::Failed);
    Contents contents;
    contents.members = c.number(R"(SELECT COUNT(*) FROM "Afiliados")").value_or(-1);
    contents.dues = c.number(R"(SELECT COUNT(*) FROM "Cuotas")").value_or(-1);
    contents.movements = c.number(R"(SELECT COUNT(*) FROM "Caja")").value_or(-1);
    contents.taken = takenAt(info);
    contents.identity = identityInFile(file, true);
    return contents;
}

namespace {
// A server database as a restore finds it: its schema version (Engine::schemaVersion(): NotOurs for
// another program's) and identity.
struct ServerLook {
    Expected<int> version = 0;
    QString identity;
};

// Runs work on a connection of its own to the server database (closed after); the server's reason when it
// cannot be reached.
Result onServer(const ServerBackup::Target &target, const std::function<void(QSqlDatabase &)> &work) {
    const QString name = QStringLiteral("mirabel-destino-") + QUuid::createUuid().toString(QUuid::Id128);
    Result opened;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        SqlEngine::configure(db, target.address, target.password);
        if (db.open())
            work(db);
        else
            opened = Result::failure(db.lastError().databaseText().trimmed().isEmpty()
                                         ? db.lastError().text()
                                         : db.lastError().databaseText().trimmed(),
                                     Result::Code::ConnectionLost);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return opened;
}

Expected<ServerLook> lookAt(const ServerBackup::Target &target) {
    ServerLook look;
    const Result reached = onServer(target, [&](QSqlDatabase &db) {
        look.version = Engine::of(db).schemaVersion(db);
        if (look.version && *look.version > 0)
            look.identity = Schema::identity(db);
    });
    if (!reached)
        return reached;
    return look;
}

// The server's address and the password to reach it: the one this run was given when the program has that
// database open (the tools need it too).
Expected<ServerBackup::Target> serverTarget(const QString &url, bool *ownOpen = nullptr) {
    const auto address = SqlEngine::parseServerUrl(url);
    if (!address)
        return address.failure();
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
    if (!Engine::at(target).isServer())
        return identityInFile(target, false);
    const auto server = serverTarget(target);
    if (!server)
        return {};
    const auto look = lookAt(*server);
    return look ? look->identity : QString();
}

// Whether a copy of identity copyIdentity goes into a database of identity targetIdentity without asking;
// when not, Invalid says why.
Result sameDatabase(const QString &copyIdentity, const QString &targetIdentity, const QString &target) {
    if (targetIdentity.isEmpty() || copyIdentity == targetIdentity)
        return Result::done();
    return Result::failure(
        copyIdentity.isEmpty()
            ? QStringLiteral("La copia no dice de qué base de datos es (la hizo una versión "
                             "anterior de Mirabel): puede ser de otra base, no de %1.")
                  .arg(target)
            : QStringLiteral("La copia es de otra base de datos, no de %1.").arg(target),
        Result::Code::Invalid);
}

// Replaces a server database's contents with a server copy (already inspected). The database must be
// empty or the program's; a Mirabel one is first copied into copias/ (the copy's name comes back). The
// program's own connections to it are closed while pg_restore works and opened again after.
Expected<QString> restoreOnServer(const QString &copy, const QString &copyIdentity, const QString &url,
                                  bool anyDatabase) {
    // A target refused or out of reach, told apart from a failed write.
    const auto refuse = [&](const QString &why) { return fail(why, Result::Code::NotOurs); };
    bool ownOpen = false;
    const auto server = serverTarget(url, &ownOpen);
    if (!server)
        return refuse(server.message());
    const ServerBackup::Target &target = *server;
    const SqlEngine::ServerAddress *address = &target.address;

    const Expected<ServerLook> found = lookAt(target);
    if (!found)
        return refuse(
            QStringLiteral("No se puede conectar con %1: %2.").arg(address->display(), found.message()));
    const ServerLook &look = *found;
    if (!look.version && look.version.code() == Result::Code::NotOurs)
        return refuse(
            QStringLiteral("La base de datos %1 no es una base de datos de Mirabel (tiene tablas de "
                           "otro programa): no se reemplaza.")
                .arg(address->display()));
    if (!look.version)
        return refuse(
            QStringLiteral("No se puede leer la base de datos %1: no se reemplaza.").arg(address->display()));
    const int version = *look.version;
    if (version > Schema::currentVersion())
        return refuse(QStringLiteral("La base de datos %1 es de una versión más nueva de Mirabel: no se "
                                     "reemplaza.")
                          .arg(address->display()));
    if (!anyDatabase)
        if (const Result same = sameDatabase(copyIdentity, look.identity, address->display()); !same)
            return fail(same.message(), same.code());
    QString safetyCopy;
    if (version > 0) {
        const Expected<QString> name = nextAutomaticName(QStringLiteral("dump"), look.identity);
        if (!name)
            return name;
        if (const Result dumped = dumpInto(target, *name); !dumped)
            return fail(QStringLiteral("No se restauró la copia: no se pudo guardar antes la base actual "
                                       "en %1. %2")
                            .arg(*name, dumped.message()),
                        dumped.code());
        keepNewest(QStringLiteral("dump"), look.identity);
        safetyCopy = *name;
    }

    if (ownOpen)
        Database::close();
    const Result restored = ServerBackup::restore(target, QFileInfo(copy).absoluteFilePath());
    // Still the same database, with the copy's data: it keeps its identity (and so its copies). Before
    // the program opens it again, so that an older copy is not given a new one on upgrade.
    Result identityKept;
    if (restored && !look.identity.isEmpty() && look.identity != copyIdentity) {
        const Result reached =
            onServer(target, [&](QSqlDatabase &db) { identityKept = giveIdentity(db, look.identity); });
        if (!reached)
            identityKept = reached;
    }
    const Result reopened = ownOpen ? Database::open(url, Database::Mode::MustExist) : Result::done();
    if (!restored)
        return fail(QStringLiteral("No se pudo restaurar la copia en %1: %2. La base de datos quedó "
                                   "como estaba.")
                        .arg(address->display(), restored.message()),
                    restored.code());
    if (!reopened)
        return fail(QStringLiteral("La copia se restauró en %1, pero no se pudo volver a abrir la base "
                                   "de datos: %2")
                        .arg(address->display(), reopened.message()),
                    reopened.code());
    if (!identityKept)
        Log::error(QStringLiteral("Copia de seguridad"),
                   QStringLiteral("%1 quedó con la identidad de la copia: %2")
                       .arg(address->display(), identityKept.message()));
    Log::write(QStringLiteral("Copia %1 restaurada en %2").arg(copy, address->display()));
    return safetyCopy;
}
} // namespace

Result Backup::isCopyOf(const Contents &copy, const QString &target) {
    return sameDatabase(copy.identity, identityAt(target), target);
}

namespace {
// The restored database gets its entry (on a connection of its own: the program's may be closed).
// The restore itself is done by then and stays; an entry that cannot be stored is reported in the log.
void noteRestore(const QString &copy, const QString &databasePath) {
    const QString name = QStringLiteral("restauracion-registro");
    QString why;
    {
        const Expected<QSqlDatabase> db = Database::openOther(name, databasePath, Database::Mode::MustExist);
        why = db ? Actividad::anotarAparte(*db,
                                           {Actividad::Accion::Restauracion, QFileInfo(copy).fileName(),
                                            std::nullopt, std::nullopt, QFileInfo(copy).absoluteFilePath()})
                       .message()
                 : db.message();
    }
    Database::closeOther(name);
    if (!why.isEmpty())
        Log::error(QStringLiteral("Copia de seguridad"),
                   QStringLiteral("La restauración en %1 no quedó en el registro de actividad: %2")
                       .arg(databasePath, why));
}
} // namespace

Expected<QString> Backup::restore(const QString &copy, const QString &databasePath, bool anyDatabase) {
    Expected<QString> put = putBack(copy, databasePath, anyDatabase);
    if (put)
        noteRestore(copy, databasePath);
    return put;
}

Expected<QString> Backup::putBack(const QString &copy, const QString &databasePath, bool anyDatabase) {
    const Expected<Contents> inspected = inspect(copy, databasePath);
    if (!inspected)
        return inspected.failure();
    const Contents &contents = *inspected;
    if (Engine::at(databasePath).isServer())
        return restoreOnServer(copy, contents.identity, databasePath, anyDatabase);
    const QFileInfo target(databasePath);
    if (target.exists() && target.canonicalFilePath() == QFileInfo(copy).canonicalFilePath())
        return fail(QStringLiteral("La copia y la base de datos son el mismo archivo."));
    const bool existing = target.exists() && target.size() > 0;
    if (existing) {
        const int version = headerVersion(databasePath);
        if (version < 1 || version > Schema::currentVersion())
            return fail(QStringLiteral("El archivo %1 no es una base de datos de Mirabel: no se "
                                       "reemplaza.")
                            .arg(databasePath),
                        Result::Code::NotOurs);
    }
    const QString identity = existing ? identityAt(databasePath) : QString();
    if (!anyDatabase)
        if (const Result same = sameDatabase(contents.identity, identity, databasePath); !same)
            return fail(same.message(), same.code());

    SqliteFile dest;
    if (!existing && !target.exists()) {
        if (!QDir().mkpath(target.absolutePath()))
            return fail(QStringLiteral("No se puede crear la carpeta %1.").arg(target.absolutePath()));
        QFile f(databasePath);
        if (!f.open(QIODevice::NewOnly | QIODevice::WriteOnly, OwnerOnly))
            return fail(
                QStringLiteral("No se puede crear el archivo %1: %2.").arg(databasePath, f.errorString()));
    }
    int rc =
        dest.open(databasePath, SqliteFile::Access::ReadWrite, Database::busyTimeout()) ? 0 : dest.code();
    QString safetyCopy;
    if (existing) {
        // The file being replaced is kept first; when it is too damaged for the online copy, its bytes.
        const Expected<QString> named = nextAutomaticName(QStringLiteral("db"), identity);
        if (!named)
            return named;
        const QString &name = *named;
        const auto keep = [&dest](const QString &partial) { return dest.copyInto(partial); };
        const Result kept = rc != 0 ? Result::failure(QString()) : writeCopy(name, keep);
        if (!kept) {
            if (!QFile::copy(databasePath, name))
                return fail(QStringLiteral("No se restauró la copia: no se pudo guardar antes la base "
                                           "actual en %1. %2")
                                .arg(name, kept.message()));
            QFile::setPermissions(name, OwnerOnly);
        }
        keepNewest(QStringLiteral("db"), identity);
        safetyCopy = name;
    }

    SqliteFile source;
    if (!source.open(copy, SqliteFile::Access::ReadOnly))
        return fail(QStringLiteral("No se puede leer la copia %1.").arg(copy));
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
            return fail(QStringLiteral("No se pudo restaurar la copia en %1.").arg(databasePath));
        QFile::setPermissions(partial, OwnerOnly);
        QFile::remove(databasePath + QStringLiteral("-wal"));
        QFile::remove(databasePath + QStringLiteral("-shm"));
        if (!ArchivoNuevo::reemplazar(partial, databasePath))
            return fail(QStringLiteral("No se pudo restaurar la copia en %1.").arg(databasePath));
        rc = 0;
    }
    if (rc != 0)
        return fail(QStringLiteral("No se pudo restaurar la copia en %1: %2.")
                        .arg(databasePath, SqlEngine::errorReason(rc).isEmpty()
                                               ? QStringLiteral("error %1 de la base de datos").arg(rc)
                                               : SqlEngine::errorReason(rc)),
                    SqliteEngine::instance().resultCode(rc));
    // Still the same database, with the copy's data: it keeps its identity, and so its copies.
    dest.close();
    if (!identity.isEmpty() && identity != contents.identity)
        if (const Result kept = identityIntoFile(databasePath, identity); !kept)
            Log::error(QStringLiteral("Copia de seguridad"),
                       QStringLiteral("%1 quedó con la identidad de la copia: %2")
                           .arg(databasePath, kept.message()));
    Log::write(QStringLiteral("Copia %1 restaurada en %2").arg(copy, databasePath));
    return safetyCopy;
}
