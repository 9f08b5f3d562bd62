#include "db/Database.h"

#include "core/Clock.h"
#include "core/Log.h"
#include "db/Backup.h"
#include "db/Schema.h"
#include "db/SqlEngine.h"
#include "db/SqliteEngine.h"
#include "db/Tables.h"
#include "db/Transaction.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <future>
#include <memory>
#include <optional>

namespace {
QString g_path;
bool g_readOnly = false;
bool g_server = false;
int g_busyTimeoutMs = 5000;
Database::PasswordPrompt g_prompt;
// The server's password this run was given (asked once, never written anywhere).
QString g_password;
std::optional<SqlEngine::ServerAddress> g_address;

// What a further connection needs of the open database, copied under a lock: readers on worker threads
// (the dashboard) open theirs while the interface thread may be closing this database or opening another.
struct ExtrasSource {
    QString path; // empty: nothing open
    bool readOnly = false;
    bool server = false;
    std::optional<SqlEngine::ServerAddress> address;
    QString password;
};
QMutex g_extrasLock;
ExtrasSource g_extrasSource;
// The further connections openExtra() made, with the thread each belongs to: close() ends its own thread's
// with the default one; a worker's are ended by the worker (closeExtra), never from another thread.
QHash<QString, QThread *> g_extras;

void publishForExtras() {
    QMutexLocker lock(&g_extrasLock);
    g_extrasSource = {g_path, g_readOnly, g_server, g_address, g_password};
}

constexpr auto OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// What the file is, learnt without changing a byte of it: a read-only look before the program's own
// connection (which sets WAL mode and may upgrade) ever touches it.
struct Probe {
    enum class Kind { Empty, Unreadable, NotSqlite, Foreign, Newer, Damaged, Mirabel };
    Kind kind = Kind::Unreadable;
    int version = 0;
    QString detail;
};

// Prepares a connection just opened for its engine.
Result prepared(QSqlDatabase &db, bool readOnly) {
    return Engine::prepare(db, readOnly, g_busyTimeoutMs);
}

// integrity: also PRAGMA quick_check, which reads every page of the file (a copy's source; the program's own
// file is checked once a day on a worker instead, see checkIntegrityDaily()).
Probe probe(const QString &path, bool writable, bool integrity) {
    Probe p;
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            p.detail = f.errorString();
            return p;
        }
        if (f.size() == 0) {
            p.kind = Probe::Kind::Empty;
            return p;
        }
        if (f.read(16) != QByteArray("SQLite format 3\0", 16)) {
            p.kind = Probe::Kind::NotSqlite;
            return p;
        }
    }
    SqliteFile f;
    // Read-write without create when allowed: a read-only connection on a WAL file would leave -wal and
    // -shm files behind, while a connection that only reads and closes leaves the folder as it was.
    if (f.open(path, writable ? SqliteFile::Access::ReadWrite : SqliteFile::Access::ReadOnly,
               g_busyTimeoutMs)) {
        const int version = f.schemaVersion();
        p.version = qMax(version, 0);
        if (version == 0)
            p.kind = Probe::Kind::Empty;
        else if (version == -2)
            p.kind = Probe::Kind::Foreign;
        else if (version > Schema::currentVersion())
            p.kind = Probe::Kind::Newer;
        else if (version > 0 && !integrity) {
            // The first row of every table: a few pages, which find a file torn at its start before
            // anything is written; the whole file is read by the day's check.
            p.kind = Probe::Kind::Mirabel;
            for (const Tables::Table &t : Tables::all()) {
                const QByteArray sql = QStringLiteral(R"(SELECT COUNT(*) FROM (SELECT * FROM "%1" LIMIT 1))")
                                           .arg(QString::fromUtf8(t.name))
                                           .toUtf8();
                if (!f.number(sql.constData()) && SqliteEngine::isDamage(f.code())) {
                    p.kind = Probe::Kind::Damaged;
                    p.detail = f.message();
                    break;
                }
            }
        } else if (version > 0) {
            // The quick check reads every page once but skips the index cross-checks, and it finds a torn
            // or truncated file before anything is written.
            const auto check = f.text("PRAGMA quick_check(1)");
            if (check == QLatin1String("ok"))
                p.kind = Probe::Kind::Mirabel;
            else {
                p.kind = Probe::Kind::Damaged;
                p.detail = !check || check->isEmpty() ? f.message() : *check;
            }
        }
    }
    if (p.kind == Probe::Kind::Unreadable) {
        if (SqliteEngine::isDamage(f.code()))
            p.kind = Probe::Kind::Damaged;
        p.detail = f.message();
    }
    return p;
}

// open()'s look at a file, started early by precheck().
struct PendingProbe {
    QString path;
    bool writable = false;
    std::future<Probe> result;
};
PendingProbe &pending() {
    static PendingProbe p;
    return p;
}

Probe probeOrPrechecked(const QString &path, bool writable) {
    PendingProbe &p = pending();
    if (p.result.valid()) {
        const bool same = p.path == QFileInfo(path).absoluteFilePath() && p.writable == writable;
        Probe found = p.result.get(); // always collected: a stale check must not outlive its file
        if (same)
            return found;
    }
    return probe(path, writable, false);
}

QString latestCopyHint(const QString &path) {
    const QString latest = Backup::latestOf(path);
    return latest.isEmpty()
               ? QStringLiteral("No se encontró ninguna copia de seguridad en %1.").arg(Backup::folder())
               : QStringLiteral("La copia de seguridad más reciente es %1; se restaura con «mirabel restore "
                                "COPIA --database ARCHIVO» o desde Utilidades, «Restaurar copia...».")
                     .arg(latest);
}

// Another program wrote names since the keys were last made (the count the file's triggers keep; a server's
// triggers make every writer's keys, so its count stays 0): every key that differs is made again, in one
// transaction with the count's reset. One read of one row otherwise.
void refreshSortKeysIfWrittenOutside() {
    const QVariant count = Database::buscaValor(
        QStringLiteral(R"(SELECT "CambiosAjenos" FROM "Mantenimiento")"), QStringLiteral("CambiosAjenos"));
    if (!count.isNull() && count.toLongLong() == 0)
        return;
    Transaction t;
    bool ok = true;
    const QString keys[][2] = {
        {QStringLiteral("Afiliados"), QStringLiteral(R"(clave_orden("Apellido", "Nombres"))")},
        {QStringLiteral("Planes"), QStringLiteral(R"(clave_orden("Descripcion"))")}};
    for (const auto &k : keys)
        ok = ok &&
             Database::exec(
                 QStringLiteral(R"(UPDATE "%1" SET "ClaveOrden" = %2 WHERE "ClaveOrden" IS DISTINCT FROM %2)")
                     .arg(k[0], k[1]));
    QSqlQuery q(Database::db());
    ok = ok && Database::run(q, QStringLiteral(R"(UPDATE "Mantenimiento" SET "CambiosAjenos" = 0)"), {},
                             QStringLiteral("Base de datos"));
    if (ok && q.numRowsAffected() == 0)
        ok = Database::exec(QStringLiteral(R"(INSERT INTO "Mantenimiento" ("CambiosAjenos") VALUES (0))"))
                 .ok();
    if (ok)
        (void)t.commit(); // keys left stale are made again at the next opening
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

bool Database::isReadOnly() {
    return g_readOnly;
}

bool Database::isServer() {
    return g_server;
}

void Database::setPasswordPrompt(PasswordPrompt prompt) {
    g_prompt = std::move(prompt);
}

namespace {
void tellToday() {
    for (const QString &name : QSqlDatabase::connectionNames()) {
        const QSqlDatabase db = QSqlDatabase::database(name, false);
        Engine::of(db).sendToday(db);
    }
}

// Opens a connection on the server at address, asking for the password when the server wants one (and
// mayAsk: not when a lost connection is opened again in the middle of the user's work).
Result openServerConnectionAt(QSqlDatabase &db, const SqlEngine::ServerAddress &address, QString &password,
                              bool mayAsk = true) {
    using Kind = SqlEngine::ConnectFailure::Kind;
    for (int attempt = 0;; ++attempt) {
        SqlEngine::configure(db, address, password);
        if (db.open())
            return Result::done();
        // Qt keeps only the message of a failed connection; libpq's own answers say what failed.
        const SqlEngine::ConnectFailure f = SqlEngine::diagnoseConnection(address, password);
        Log::error(QStringLiteral("Servidor"),
                   address.display() + QStringLiteral(": ") + db.lastError().text() +
                       (f.detail.isEmpty() ? QString() : QStringLiteral(" / ") + f.detail));
        if (f.kind == Kind::None && attempt == 0)
            continue; // it answers now
        const bool forPassword = f.kind == Kind::NeedsPassword || f.kind == Kind::WrongPassword;
        if (forPassword && g_prompt && mayAsk && attempt < 3) {
            const QString given = g_prompt(address.display(), f.kind == Kind::WrongPassword);
            if (!given.isEmpty()) {
                password = given;
                continue;
            }
        }
        if (forPassword)
            return Result::failure(
                QStringLiteral("%1: defínala en PGPASSWORD o en el archivo ~/.pgpass, o escríbala cuando el "
                               "programa la pida")
                    .arg(f.reason));
        return Result::failure(
            f.reason.isEmpty() ? QStringLiteral("el servidor no respondió como se esperaba") : f.reason,
            f.kind == Kind::Unreachable ? Result::Code::ConnectionLost : Result::Code::Failed);
    }
}

// The same on the server at g_address, with the password this run was given.
Result openServerConnection(QSqlDatabase &db, bool mayAsk = true) {
    return openServerConnectionAt(db, *g_address, g_password, mayAsk);
}

Result openServer(const QString &url, Database::Mode mode) {
    QSqlDatabase db;
    const auto fail = [&](const QString &why, Result::Code code = Result::Code::Failed) {
        Log::error(QStringLiteral("Base de datos"), why);
        db = QSqlDatabase(); // let go before the connection is removed
        Database::close();
        return Result::failure(why, code);
    };
    const auto address = SqlEngine::parseServerUrl(url);
    if (!address)
        return fail(address.message(), address.code());
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return fail(
            QStringLiteral("Falta el controlador de PostgreSQL de Qt (paquete libqt6sql6-psql): no se "
                           "puede abrir %1.")
                .arg(address->display()));
    Database::close();
    if (!g_address || g_address->display() != address->display())
        g_password.clear();
    g_address = *address;
    db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"));
    if (const Result r = openServerConnection(db); !r)
        return fail(QStringLiteral("No se puede conectar con el servidor %1: %2.")
                        .arg(address->display(), r.message()),
                    r.code());
    g_server = true;
    g_readOnly = mode == Database::Mode::ReadOnly;
    if (const Result r = prepared(db, g_readOnly); !r)
        return fail(QStringLiteral("No se puede preparar la base de datos: %1").arg(r.message()), r.code());
    const Expected<int> found = Schema::version(db);
    if (!found && found.code() == Result::Code::NotOurs)
        return fail(QStringLiteral("La base de datos %1 contiene tablas de otro programa: no se usa, para no "
                                   "modificarla.")
                        .arg(address->display()),
                    Result::Code::NotOurs);
    if (!found)
        return fail(QStringLiteral("No se puede leer la base de datos %1.").arg(address->display()),
                    found.code());
    const int version = *found;
    if (version > Schema::currentVersion())
        return fail(
            QStringLiteral("La base de datos %1 fue creada por una versión más nueva de Mirabel (versión "
                           "%2; este programa conoce hasta la %3). Actualice el programa: la base no "
                           "se modifica.")
                .arg(address->display())
                .arg(version)
                .arg(Schema::currentVersion()));
    if (version == 0 && mode != Database::Mode::CreateIfMissing)
        return fail(QStringLiteral("La base de datos %1 está vacía: no es una base de datos de Mirabel.")
                        .arg(address->display()));
    if (version < Schema::currentVersion() && g_readOnly)
        return fail(
            QStringLiteral("La base de datos %1 es de una versión anterior de Mirabel: ábrala primero "
                           "con el programa para actualizarla.")
                .arg(address->display()));
    if (!g_readOnly)
        if (const Result r = Schema::upgrade(db); !r)
            return fail(QStringLiteral("No se puede actualizar la estructura de la base de datos: %1")
                            .arg(r.message()),
                        r.code());
    g_path = address->display();
    publishForExtras();
    Clock::setListener(tellToday);
    return Result::done();
}
} // namespace

void Database::setBusyTimeout(int milliseconds) {
    g_busyTimeoutMs = milliseconds;
    if (QSqlDatabase::contains(QSqlDatabase::defaultConnection)) {
        const QSqlDatabase open = db();
        QSqlQuery q(open);
        q.exec(Engine::of(open).lockWaitStatement(milliseconds));
    }
}

int Database::busyTimeout() {
    return g_busyTimeoutMs;
}

void Database::precheck(const QString &path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return;
    PendingProbe &p = pending();
    if (p.result.valid())
        p.result.wait();
    p.path = info.absoluteFilePath();
    p.writable = info.isWritable();
    // probe() works on its own engine handle, never on a Qt connection, so it may run on another thread.
    p.result = std::async(std::launch::async, probe, p.path, p.writable, false);
}

namespace {
// The day's integrity check of the open file, while it runs.
struct IntegrityCheck {
    QString path;
    QDate day;
    std::shared_ptr<SqliteFile> file;
    std::future<std::optional<QString>> finding; // the engine's answer; nullopt: it could not run
    int number = 0; // which check of this run: a stopped one's late news is not taken for a later one's
};
IntegrityCheck g_check;
int g_checksStarted = 0;
Database::DamageListener g_damageListener;

// On the program's thread, once the worker is done (or was stopped).
void integrityCheckEnded() {
    if (!g_check.finding.valid())
        return;
    const std::optional<QString> finding = g_check.finding.get();
    const IntegrityCheck done{g_check.path, g_check.day, std::move(g_check.file), {}};
    g_check = IntegrityCheck();
    if (done.path != g_path || done.file->wasInterrupted())
        return;
    if (finding == QLatin1String("ok")) {
        // Not noted on a file opened read-only: it is checked at each opening.
        if (!g_readOnly)
            (void)Database::exec(QStringLiteral(R"(UPDATE "Mantenimiento" SET "UltimaRevision" = ?)"),
                                 {done.day.toString(Qt::ISODate)});
        return;
    }
    const QString detail = finding && !finding->isEmpty() ? *finding : done.file->message();
    Log::error(QStringLiteral("Base de datos"), done.path + QStringLiteral(": quick_check: ") + detail);
    if (g_damageListener)
        g_damageListener(
            QStringLiteral("La revisión diaria encontró que la base de datos %1 está dañada. Para no "
                           "empeorarla, no siga cargando datos: cierre el programa y restaure una copia. %2")
                .arg(done.path, latestCopyHint(done.path)));
}
} // namespace

bool Database::checkIntegrityDaily() {
    if (g_server || g_path.isEmpty() || g_check.finding.valid())
        return false;
    const QDate today = Clock::today();
    const QVariant last = buscaValor(QStringLiteral(R"(SELECT "UltimaRevision" FROM "Mantenimiento")"),
                                     QStringLiteral("UltimaRevision"));
    if (last.toString() == today.toString(Qt::ISODate))
        return false;
    auto file = std::make_shared<SqliteFile>();
    if (!file->open(g_path, g_readOnly ? SqliteFile::Access::ReadOnly : SqliteFile::Access::ReadWrite,
                    g_busyTimeoutMs))
        return false;
    g_check.path = g_path;
    g_check.day = today;
    g_check.file = file;
    g_check.number = ++g_checksStarted;
    QObject *app = QCoreApplication::instance();
    g_check.finding = std::async(std::launch::async, [file, app, number = g_check.number] {
        std::optional<QString> found = file->text("PRAGMA quick_check(1)");
        if (app)
            QMetaObject::invokeMethod(
                app,
                [number] {
                    if (g_check.number == number)
                        integrityCheckEnded();
                },
                Qt::QueuedConnection);
        return found;
    });
    return true;
}

void Database::setDamageListener(DamageListener listener) {
    g_damageListener = std::move(listener);
}

void Database::waitIntegrityCheck() {
    if (g_check.finding.valid())
        g_check.finding.wait();
    integrityCheckEnded();
}

Result Database::open(const QString &path, Mode mode) {
    if (Engine::at(path).isServer()) {
        if (Result r = openServer(path, mode); !r)
            return r;
        if (!g_readOnly)
            refreshSortKeysIfWrittenOutside();
        return Result::done();
    }
    auto fail = [&](const QString &why, Result::Code code = Result::Code::Failed) {
        Log::error(QStringLiteral("Base de datos"), path + QStringLiteral(": ") + why);
        close();
        return Result::failure(why, code);
    };
    const QFileInfo info(path);
    if (!info.exists()) {
        if (mode != Mode::CreateIfMissing)
            return fail(QStringLiteral("No existe el archivo de base de datos %1.").arg(path),
                        Result::Code::NotFound);
        const QString folder = info.absolutePath();
        if (!QDir(folder).exists()) {
            if (!QDir().mkpath(folder))
                return fail(QStringLiteral("No se puede crear la carpeta %1.").arg(folder));
            // The folder holds members' personal data: its owner alone may look inside.
            QFile::setPermissions(folder, OwnerOnly | QFileDevice::ExeOwner);
        }
        QFile f(path);
        if (!f.open(QIODevice::NewOnly | QIODevice::WriteOnly, OwnerOnly))
            return fail(QStringLiteral("No se puede crear el archivo %1: %2.").arg(path, f.errorString()));
    } else if (info.isDir()) {
        return fail(QStringLiteral("%1 es una carpeta, no una base de datos.").arg(path));
    }

    const bool writable =
        mode != Mode::ReadOnly && QFileInfo(path).isWritable() && QFileInfo(info.absolutePath()).isWritable();
    const Probe p = probeOrPrechecked(path, QFileInfo(path).isWritable());
    switch (p.kind) {
    case Probe::Kind::Empty:
        if (mode == Mode::ReadOnly || !writable)
            return fail(
                QStringLiteral("El archivo %1 está vacío: no es una base de datos de Mirabel.").arg(path));
        break;
    case Probe::Kind::Unreadable:
        return fail(QStringLiteral("No se puede leer el archivo %1: %2.").arg(path, p.detail));
    case Probe::Kind::NotSqlite:
    case Probe::Kind::Foreign:
        return fail(QStringLiteral("El archivo %1 no es una base de datos de Mirabel: no se abre, para no "
                                   "modificarlo.")
                        .arg(path),
                    Result::Code::NotOurs);
    case Probe::Kind::Newer:
        return fail(
            QStringLiteral("El archivo %1 fue creado por una versión más nueva de Mirabel (versión %2 "
                           "de la base de datos; este programa conoce hasta la %3). Actualice el "
                           "programa: el archivo no se modifica.")
                .arg(path)
                .arg(p.version)
                .arg(Schema::currentVersion()));
    case Probe::Kind::Damaged:
        // The engine's findings go to the log; the user reads what to do.
        Log::error(QStringLiteral("Base de datos"), path + QStringLiteral(": quick_check: ") + p.detail);
        return fail(QStringLiteral("La base de datos %1 está dañada y no se abre, para no empeorarla. %2")
                        .arg(path, latestCopyHint(path)));
    case Probe::Kind::Mirabel:
        if (!writable && p.version < Schema::currentVersion())
            return fail(
                mode == Mode::ReadOnly
                    ? QStringLiteral("El archivo %1 es de una versión anterior de Mirabel: ábralo primero "
                                     "con el programa para actualizarlo.")
                          .arg(path)
                    : QStringLiteral("El archivo %1 es de una versión anterior y no se puede actualizar "
                                     "porque es de solo lectura.")
                          .arg(path));
        break;
    }

    close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    if (!QFileInfo(path).isWritable())
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open())
        return fail(QStringLiteral("No se puede abrir la base de datos: %1").arg(db.lastError().text()));
    g_readOnly = !writable;
    if (const Result r = prepared(db, g_readOnly); !r)
        return fail(QStringLiteral("No se puede preparar la base de datos: %1").arg(r.message()), r.code());
    if (!g_readOnly)
        if (const Result r = Schema::upgrade(db); !r)
            return fail(QStringLiteral("No se puede actualizar la estructura de la base de datos: %1")
                            .arg(r.message()),
                        r.code());
    g_path = info.absoluteFilePath();
    publishForExtras();
    if (g_readOnly)
        return Result::done();
    // Rows added or renamed by another tool have no sort key or a stale one: the list order and the
    // search read the key.
    refreshSortKeysIfWrittenOutside();
    return Result::done();
}

namespace {
// Connections found lost whose opening again failed: the next piece of work tries again.
QSet<QString> g_lost;
// A failed try is not repeated within the same piece of work (one turn of the event loop): the rest of it
// fails at once instead of waiting on the server again for each statement.
bool g_retryWaits = false;
// Whether the user was told the server is out of reach; told again only after it came back.
bool g_lostTold = false;
Database::LostListener g_lostListener;

// Qt would open a lost connection again by itself, bare: none of the session's settings, and outside the
// transaction the program still has open. Open it here instead, prepared, and only between pieces of work.
QSqlDatabase usable(const QString &name) {
    QSqlDatabase db = QSqlDatabase::database(name, false);
    if (!g_server || !g_address || Transaction::isOpenOn(db) || g_retryWaits)
        return db;
    if (!g_lost.contains(name) && !Engine::of(db).connectionLost(db))
        return db;
    db.close();
    Result reopened = openServerConnection(db, false);
    if (reopened)
        reopened = prepared(db, g_readOnly);
    const QString why = reopened.message();
    if (reopened) {
        g_lost.remove(name);
        Log::error(
            QStringLiteral("Servidor"),
            QStringLiteral("Se perdió la conexión con %1 y se volvió a abrir").arg(g_address->display()));
        if (g_lost.isEmpty())
            g_lostTold = false;
        return db;
    }
    g_lost.insert(name);
    Log::error(QStringLiteral("Servidor"),
               QStringLiteral("No se pudo volver a conectar con %1: %2").arg(g_address->display(), why));
    if (QCoreApplication::instance()) {
        g_retryWaits = true;
        QTimer::singleShot(0, QCoreApplication::instance(), [] { g_retryWaits = false; });
    }
    if (!g_lostTold && g_lostListener) {
        g_lostTold = true;
        g_lostListener(why);
    }
    return db;
}
} // namespace

void Database::setLostListener(LostListener listener) {
    g_lostListener = std::move(listener);
}

QSqlDatabase Database::db() {
    return usable(QString::fromLatin1(QSqlDatabase::defaultConnection));
}

Expected<QSqlDatabase> Database::openExtra(const QString &connectionName) {
    if (QSqlDatabase::contains(connectionName))
        return usable(connectionName);
    ExtrasSource source;
    {
        QMutexLocker lock(&g_extrasLock);
        source = g_extrasSource;
        if (source.path.isEmpty())
            return Result::failure(QStringLiteral("No hay una base de datos abierta."));
        g_extras.insert(connectionName, QThread::currentThread());
    }
    if (source.server) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
        if (!source.address)
            return Result::failure(QString());
        // Only the interface thread may ask for the password again.
        const bool mayAsk = QCoreApplication::instance() &&
                            QThread::currentThread() == QCoreApplication::instance()->thread();
        Result r = openServerConnectionAt(db, *source.address, source.password, mayAsk);
        if (r && mayAsk)
            g_password = source.password;
        if (r)
            r = prepared(db, source.readOnly);
        if (!r)
            return r;
        return db;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(source.path);
    // Like the first connection: the engine's read-only flag only when the file demands it (a read-only
    // connection that closes last leaves -wal and -shm behind); query_only refuses the writes.
    if (!QFileInfo(source.path).isWritable())
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open())
        return Result::failure(db.lastError().text());
    if (const Result r = prepared(db, source.readOnly); !r)
        return r;
    return db;
}

void Database::closeExtra(const QString &connectionName) {
    {
        QMutexLocker lock(&g_extrasLock);
        g_extras.remove(connectionName);
    }
    closeOther(connectionName);
}

namespace {
// Passwords given this run for servers other than the open database's, by address (memory only).
QHash<QString, QString> g_otherPasswords;

Expected<QSqlDatabase> openOtherServer(const QString &name, const QString &url, Database::Mode mode) {
    const auto address = SqlEngine::parseServerUrl(url);
    if (!address)
        return address.failure();
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return Result::failure(
            QStringLiteral("Falta el controlador de PostgreSQL de Qt (paquete libqt6sql6-psql): no se puede "
                           "abrir %1.")
                .arg(address->display()));
    const QString shown = address->display();
    const bool same = g_address && g_address->display() == shown;
    QString &password = same ? g_password : g_otherPasswords[shown];
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    if (const Result r = openServerConnectionAt(db, *address, password); !r)
        return Result::failure(
            QStringLiteral("No se puede conectar con el servidor %1: %2.").arg(shown, r.message()), r.code());
    const bool readOnly = mode == Database::Mode::ReadOnly;
    if (const Result r = prepared(db, readOnly); !r)
        return Result::failure(
            QStringLiteral("No se puede preparar la base de datos %1: %2").arg(shown, r.message()), r.code());
    const Expected<int> version = Schema::version(db);
    if (!version && version.code() == Result::Code::NotOurs)
        return Result::failure(
            QStringLiteral("La base de datos %1 contiene tablas de otro programa: no se usa, "
                           "para no modificarla.")
                .arg(shown),
            Result::Code::NotOurs);
    if (!version)
        return Result::failure(QStringLiteral("No se puede leer la base de datos %1.").arg(shown),
                               version.code());
    if (*version > Schema::currentVersion())
        return Result::failure(QStringLiteral("La base de datos %1 fue creada por una versión más nueva de "
                                              "Mirabel: no se modifica.")
                                   .arg(shown));
    if (*version == 0 && mode != Database::Mode::CreateIfMissing)
        return Result::failure(
            QStringLiteral("La base de datos %1 está vacía: no es una base de datos de Mirabel.").arg(shown),
            Result::Code::NotOurs);
    if (*version < Schema::currentVersion() && readOnly)
        return Result::failure(QStringLiteral("La base de datos %1 es de una versión anterior de Mirabel: "
                                              "ábrala primero con el programa para actualizarla.")
                                   .arg(shown));
    return db;
}

Expected<QSqlDatabase> openOtherFile(const QString &name, const QString &path, Database::Mode mode) {
    const QFileInfo info(path);
    const bool readOnly = mode == Database::Mode::ReadOnly;
    if (!info.exists()) {
        if (mode != Database::Mode::CreateIfMissing) {
            return Result::failure(QStringLiteral("No existe el archivo de base de datos %1.").arg(path));
        }
        QFile f(path);
        if (!f.open(QIODevice::NewOnly | QIODevice::WriteOnly, OwnerOnly)) {
            return Result::failure(
                QStringLiteral("No se puede crear el archivo %1: %2.").arg(path, f.errorString()));
        }
    } else if (info.isDir()) {
        return Result::failure(QStringLiteral("%1 es una carpeta, no una base de datos.").arg(path));
    }
    const bool writable = QFileInfo(path).isWritable();
    if (!readOnly && !writable) {
        return Result::failure(
            QStringLiteral("El archivo %1 es de solo lectura: no se puede escribir en él.").arg(path));
    }
    const Probe p = probe(path, writable, true);
    switch (p.kind) {
    case Probe::Kind::Empty:
        if (mode != Database::Mode::CreateIfMissing) {
            return Result::failure(
                QStringLiteral("El archivo %1 está vacío: no es una base de datos de Mirabel.").arg(path));
        }
        break;
    case Probe::Kind::Unreadable:
        return Result::failure(QStringLiteral("No se puede leer el archivo %1: %2.").arg(path, p.detail));
    case Probe::Kind::NotSqlite:
    case Probe::Kind::Foreign:
        return Result::failure(
            QStringLiteral("El archivo %1 no es una base de datos de Mirabel: no se usa, para no "
                           "modificarlo.")
                .arg(path),
            Result::Code::NotOurs);
    case Probe::Kind::Newer:
        return Result::failure(
            QStringLiteral("El archivo %1 fue creado por una versión más nueva de Mirabel: no se modifica.")
                .arg(path));
    case Probe::Kind::Damaged:
        Log::error(QStringLiteral("Base de datos"), path + QStringLiteral(": quick_check: ") + p.detail);
        return Result::failure(QStringLiteral("La base de datos %1 está dañada: no se usa.").arg(path));
    case Probe::Kind::Mirabel:
        if (readOnly && p.version < Schema::currentVersion()) {
            return Result::failure(
                QStringLiteral("El archivo %1 es de una versión anterior de Mirabel: ábralo primero con el "
                               "programa para actualizarlo.")
                    .arg(path));
        }
        break;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    if (!writable)
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    Result opened = db.open() ? Result::done() : Result::failure(db.lastError().text());
    if (opened)
        opened = prepared(db, readOnly);
    if (!opened)
        return Result::failure(
            QStringLiteral("No se puede abrir la base de datos %1: %2").arg(path, opened.message()),
            opened.code());
    return db;
}
} // namespace

Expected<QSqlDatabase> Database::openOther(const QString &connectionName, const QString &path, Mode mode) {
    closeOther(connectionName);
    Expected<QSqlDatabase> db = Engine::at(path).isServer() ? openOtherServer(connectionName, path, mode)
                                                            : openOtherFile(connectionName, path, mode);
    if (db)
        return db;
    Log::error(QStringLiteral("Base de datos"), db.message());
    closeOther(connectionName);
    return db;
}

void Database::closeOther(const QString &connectionName) {
    if (!QSqlDatabase::contains(connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

void Database::close() {
    if (g_check.finding.valid()) {
        g_check.file->interrupt();
        g_check.finding.wait();
        g_check = IntegrityCheck(); // stopped: no finding
    }
    QStringList names;
    {
        QMutexLocker lock(&g_extrasLock);
        for (auto it = g_extras.begin(); it != g_extras.end();)
            if (it.value() == QThread::currentThread()) {
                names << it.key();
                it = g_extras.erase(it);
            } else {
                ++it;
            }
        g_extrasSource = ExtrasSource();
    }
    names << QString::fromLatin1(QSqlDatabase::defaultConnection);
    for (const QString &name : std::as_const(names)) {
        if (!QSqlDatabase::contains(name))
            continue;
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    g_path.clear();
    g_readOnly = false;
    g_server = false;
    g_lost.clear();
    g_lostTold = false;
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

Result Database::failure(const QSqlQuery &q) {
    const QSqlDatabase open = db();
    return Engine::of(open).failure(q.lastError(), open, q.lastError().text());
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

Result Database::exec(const QString &sql, const QVariantList &params) {
    for (int attempt = 1;; ++attempt) {
        QSqlQuery q(db());
        if (run(q, sql, params, QStringLiteral("SQL")))
            return Result::done();
        // A statement standing alone that another desk's work made fail (a deadlock) is simply run again.
        if (attempt < 3 && !Transaction::isOpenOn(db()) &&
            Engine::of(db()).errorCode(q.lastError(), db()) == SqlEngine::SerializationFailure)
            continue;
        return Engine::of(db()).failure(q.lastError(), db());
    }
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
