#include "db/SqlEnginePg.h"

#include "core/Clock.h"
#include "core/Log.h"
#include "db/ServerBackup.h"
#include "db/SqlEngine.h"
#include "db/Tables.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <QVariant>
#include <libpq-events.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <vector>
#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#endif

using namespace SqlEngine;

namespace {
// Waits at most ms for the connection's socket to be ready for what libpq asked (reading or writing); false
// on a time-out, an error or no socket.
bool esperarSocket(int fd, bool leer, int ms) {
    if (fd < 0)
        return false;
#ifdef _WIN32
    // select(), as libpq itself uses on Windows; a failed connection shows among the exceptions.
    fd_set listo, falla;
    FD_ZERO(&listo);
    FD_ZERO(&falla);
    FD_SET(SOCKET(fd), &listo);
    FD_SET(SOCKET(fd), &falla);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    return select(0, leer ? &listo : nullptr, leer ? nullptr : &listo, &falla, &tv) > 0;
#else
    pollfd p{fd, short(leer ? POLLIN : POLLOUT), 0};
    return ::poll(&p, 1, ms) > 0;
#endif
}

// The connection's handle, also once it was lost (Qt counts a lost connection as not open).
PGconn *rawHandle(const QSqlDatabase &db) {
    if (!db.isValid() || !db.driver())
        return nullptr;
    const QVariant h = db.driver()->handle();
    // Qt names the type after libpq's struct tag.
    if (!h.isValid() || (qstrcmp(h.typeName(), "PGconn*") != 0 && qstrcmp(h.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(h.data());
}

PGconn *handle(const QSqlDatabase &db) {
    return db.isOpen() ? rawHandle(db) : nullptr;
}

// The error of the last statement run here that failed, per connection: once a failed statement has spoilt
// a server's transaction, its code is no longer to be had from the connection.
// Connections on worker threads fail too: the table is shared under a lock.
QMutex g_failuresLock;
QHash<QString, QSqlError> &failures() {
    static QHash<QString, QSqlError> f;
    return f;
}
void noteFailure(const QSqlDatabase &db, const QSqlError &e) {
    QMutexLocker lock(&g_failuresLock);
    failures().insert(db.connectionName(), e);
}

QString stateText(const QString &state, const QString &message);

Result run(const QSqlDatabase &db, const QString &sql, const QVariantList &params = {}) {
    QSqlQuery q(db);
    bool ok = true;
    if (params.isEmpty())
        ok = q.exec(sql);
    else {
        ok = q.prepare(sql);
        for (const QVariant &p : params)
            q.addBindValue(p);
        ok = ok && q.exec();
    }
    if (!ok) {
        noteFailure(db, q.lastError());
        Log::error(QStringLiteral("Servidor"), sql + QStringLiteral(": ") + q.lastError().text());
        return PostgresEngine::instance().failure(q.lastError(), db,
                                                  PostgresEngine::instance().errorText(q.lastError()));
    }
    return Result::done();
}

// The tables whose rows take their number from an identity counter, and the key column of each.
const QList<QPair<QString, QString>> &identityTables() {
    static const QList<QPair<QString, QString>> t = [] {
        QList<QPair<QString, QString>> out;
        for (const Tables::Table &table : Tables::all())
            if (table.counter)
                out.append({QString::fromUtf8(table.name), QString::fromUtf8(table.key)});
        return out;
    }();
    return t;
}

QString keyOf(const QString &table) {
    for (const auto &t : identityTables())
        if (t.first == table)
            return t.second;
    return {};
}

QString quoted(const QString &name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// A trigger written as SQLite writes it, as a PL/pgSQL function and the trigger that calls it. The
// condition moves into the function: a server's WHEN may not hold a subquery.
QStringList translateTrigger(const QString &sql) {
    static const QRegularExpression re(
        QStringLiteral(
            R"re(^\s*CREATE TRIGGER "([^"]+)" (AFTER|BEFORE|INSTEAD OF) (INSERT|DELETE|UPDATE(?: OF [^\n]*?)?) )re"
            R"re(ON "([^"]+)"\s*(?:WHEN (.*?))?\s*BEGIN (.*) END\s*$)re"),
        QRegularExpression::DotMatchesEverythingOption);
    const auto m = re.match(sql);
    if (!m.hasMatch())
        return {sql};
    const QString name = m.captured(1), timing = m.captured(2), event = m.captured(3), table = m.captured(4);
    const QString when = m.captured(5).trimmed();
    QString result = QStringLiteral("NULL");
    if (timing == QLatin1String("INSTEAD OF"))
        result = event == QLatin1String("DELETE") ? QStringLiteral("OLD") : QStringLiteral("NEW");
    // SQLite's refusal, RAISE(ABORT, 'why'), is an exception here.
    static const QRegularExpression raise(QStringLiteral(R"re(SELECT RAISE\(ABORT, ('[^']*')\);)re"));
    QString body = m.captured(6).trimmed();
    body.replace(raise, QStringLiteral("RAISE EXCEPTION \\1;"));
    const QString work = when.isEmpty() ? body : QStringLiteral("IF %1 THEN %2 END IF;").arg(when, body);
    const QString function = quoted(name + QStringLiteral("_f"));
    return {QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN %2 "
                           "RETURN %3; END $f$")
                .arg(function, work, result),
            QStringLiteral("CREATE TRIGGER %1 %2 %3 ON %4 FOR EACH ROW EXECUTE FUNCTION %5()")
                .arg(quoted(name), timing, event, quoted(table), function)};
}

// The last failure of a statement on a connection, kept as the server gave it. Once a statement fails,
// everything until the end of the transaction fails with "transaction is aborted" (Qt's own clean-up of a
// prepared statement too), and the connection's message no longer names the cause.
struct LastFailure {
    QString state;
    QString message;
    bool failing = false; // statements fail one after another since the one kept
};

int watchResults(PGEventId event, void *info, void *) {
    switch (event) {
    case PGEVT_REGISTER:
        PQsetInstanceData(static_cast<PGEventRegister *>(info)->conn, watchResults, new LastFailure);
        break;
    case PGEVT_CONNDESTROY: {
        PGconn *conn = static_cast<PGEventConnDestroy *>(info)->conn;
        delete static_cast<LastFailure *>(PQinstanceData(conn, watchResults));
        PQsetInstanceData(conn, watchResults, nullptr);
        break;
    }
    case PGEVT_RESULTCREATE: {
        const auto *created = static_cast<PGEventResultCreate *>(info);
        auto *last = static_cast<LastFailure *>(PQinstanceData(created->conn, watchResults));
        if (!last)
            break;
        if (PQresultStatus(created->result) != PGRES_FATAL_ERROR) {
            last->failing = false;
            break;
        }
        // What fails after a failure (until a statement succeeds: a rollback) is its consequence.
        const char *state = PQresultErrorField(created->result, PG_DIAG_SQLSTATE);
        if (last->failing || qstrcmp(state, "25P02") == 0)
            break;
        last->failing = true;
        last->state = QString::fromLatin1(state ? state : "");
        last->message =
            QString::fromUtf8(PQresultErrorField(created->result, PG_DIAG_MESSAGE_PRIMARY)).trimmed();
        break;
    }
    default:
        break;
    }
    return 1;
}

const LastFailure *watched(PGconn *h) {
    return h ? static_cast<const LastFailure *>(PQinstanceData(h, watchResults)) : nullptr;
}

// Scratch tables each desk keeps to itself: a temporary table of the session hides the shared one of the
// same name (its columns as in Schema.cpp), so one desk's amounts list for a plan-wide issuance is never
// emptied or filled by another desk preparing its own.
Result privateScratchTables(const QSqlDatabase &db) {
    return run(db, QStringLiteral(R"(CREATE TEMP TABLE IF NOT EXISTS "TmpCuotas" ("nro" INTEGER PRIMARY KEY,
                                 "monto" BIGINT NOT NULL DEFAULT 0))"));
}

} // namespace

const PostgresEngine &PostgresEngine::instance() {
    static const PostgresEngine engine;
    return engine;
}

Result PostgresEngine::prepareConnection(QSqlDatabase &db, bool readOnly, int lockTimeoutMs) const {
    if (!handle(db))
        return Result::failure(QStringLiteral("la conexión con el servidor no está abierta"),
                               Result::Code::ConnectionLost);
    if (!watched(handle(db)))
        PQregisterEventProc(handle(db), watchResults, "mirabel", nullptr);
    // Sums of money come back as NUMERIC: as exact text, never as a double.
    db.setNumericalPrecisionPolicy(QSql::HighPrecision);
    QStringList settings = {
        QStringLiteral("SET client_min_messages = warning"),
        // Dates the server works out ("today" without a fixed clock) are the desk's own.
        QStringLiteral("SET TIME ZONE '%1'").arg(QString::fromUtf8(QTimeZone::systemTimeZoneId())),
        // A write that waits for another desk's lock gives up after this long and says so.
        QStringLiteral("SET lock_timeout = %1").arg(lockTimeoutMs),
        QStringLiteral("SET standard_conforming_strings = on"),
        // The program's statements are short or read on indexes; compiling them (over a second for the
        // re-issue's statements on a large club) costs more than it saves.
        QStringLiteral("SET jit = off"),
    };
    if (readOnly)
        settings << QStringLiteral("SET default_transaction_read_only = on");
    QSqlQuery q(db);
    for (const QString &s : settings)
        if (!q.exec(s)) {
            // An unknown zone name falls back to the server's, and a server without JIT needs no switch; the
            // rest must hold.
            if (s.startsWith(QLatin1String("SET TIME ZONE")) || s.startsWith(QLatin1String("SET jit")))
                continue;
            return failure(q.lastError(), db, errorText(q.lastError()));
        }
    sendToday(db);
    return Result::done();
}

void PostgresEngine::sendToday(const QSqlDatabase &db) const {
    if (!handle(db))
        return;
    // Empty means the server's current_date in the desk's time zone; a fixed clock names its day.
    (void)run(db, QStringLiteral("SELECT set_config('mirabel.hoy', ?, false)"),
              {Clock::isFixed() ? Clock::today().toString(Qt::ISODate) : QStringLiteral("")});
}

QStringList PostgresEngine::preamble() const {
    return {
        // Spanish order without regard to case; accents still count, as on a single desk.
        QStringLiteral("CREATE COLLATION IF NOT EXISTS es (provider = icu, locale = 'es-u-ks-level2', "
                       "deterministic = false)"),
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION date() RETURNS date LANGUAGE sql STABLE AS $f$ "
            "SELECT COALESCE(NULLIF(current_setting('mirabel.hoy', true), '')::date, current_date) $f$"),
        // The stored sort key, as the program computes it: lower case, ñ kept after n, other marks dropped.
        QStringLiteral(
            R"(CREATE OR REPLACE FUNCTION clave_orden(t text) RETURNS text LANGUAGE sql IMMUTABLE AS $f$ )"
            R"(SELECT regexp_replace(normalize(replace(lower(COALESCE(t, '') COLLATE "und-x-icu"), )"
            R"(U&'\00F1', 'n{'), NFD), '[\u0300-\u036f\u0483-\u0489\u0591-\u05bd\u1ab0-\u1aff\u1dc0-\u1dff\u20d0-\u20ff\ufe20-\ufe2f]', '', 'g') $f$)"),
        QStringLiteral(R"(CREATE OR REPLACE FUNCTION clave_orden(a text, n text) RETURNS text LANGUAGE sql )"
                       R"(IMMUTABLE AS $f$ SELECT clave_orden(a) || chr(1) || clave_orden(n) $f$)"),
        QStringLiteral(R"(CREATE TABLE IF NOT EXISTS "VersionEsquema" ("Version" INTEGER NOT NULL))"),
        QStringLiteral(R"(INSERT INTO "VersionEsquema" ("Version") SELECT 0 WHERE NOT EXISTS )"
                       R"((SELECT 1 FROM "VersionEsquema"))"),
    };
}

QStringList PostgresEngine::schemaStatement(const QString &portable) const {
    if (portable.contains(QLatin1String("CREATE TRIGGER")))
        return translateTrigger(portable);
    QString s = portable;
    s.replace(QLatin1String("INTEGER PRIMARY KEY AUTOINCREMENT"),
              QLatin1String("BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"));
    // Sort keys are compared byte by byte, as SQLite does by default.
    s.replace(QLatin1String("COLLATE BINARY"), QLatin1String(R"(COLLATE "C")"));
    return {s};
}

Expected<int> PostgresEngine::schemaVersion(const QSqlDatabase &db) const {
    QSqlQuery q(db);
    // Every table, view or foreign table of the database outside the server's own catalogues, in whatever
    // schema and whether or not this role may read it: the catalogue lists them all to everyone (the
    // information schema shows only what the role may use). Temporary tables are each session's own.
    if (!q.exec(
            QStringLiteral("SELECT to_regclass('\"VersionEsquema\"') IS NOT NULL, "
                           "(SELECT COUNT(*) FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n "
                           "ON n.oid = c.relnamespace WHERE c.relkind IN ('r', 'p', 'v', 'm', 'f') "
                           "AND n.nspname NOT IN ('pg_catalog', 'information_schema') "
                           "AND n.nspname NOT LIKE 'pg\\_toast%' AND n.nspname NOT LIKE 'pg\\_temp\\_%')")) ||
        !q.next())
        return versionFound(-1);
    if (!q.value(0).toBool())
        return versionFound(q.value(1).toLongLong() == 0 ? 0 : -2);
    if (!q.exec(QStringLiteral(R"(SELECT MAX("Version") FROM "VersionEsquema")")) || !q.next())
        return versionFound(-1);
    return q.value(0).toInt();
}

Result PostgresEngine::setSchemaVersion(const QSqlDatabase &db, int version) const {
    return run(db, QStringLiteral(R"(UPDATE "VersionEsquema" SET "Version" = ?)"), {version});
}

Result PostgresEngine::syncKeys(const QSqlDatabase &db, const QStringList &tables) const {
    for (const auto &t : identityTables()) {
        if (!tables.isEmpty() && !tables.contains(t.first))
            continue;
        // During an upgrade a table of a later step is not there yet.
        QSqlQuery existe(db);
        existe.prepare(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"));
        existe.addBindValue(quoted(t.first));
        if (!existe.exec() || !existe.next())
            return failure(existe.lastError(), db, existe.lastError().databaseText());
        if (!existe.value(0).toBool())
            continue;
        // setval's third argument false: the next number handed out is the one given (1 on an empty table).
        const QString sql =
            QStringLiteral(
                "SELECT setval(pg_get_serial_sequence('%1', '%2'), "
                "GREATEST((SELECT COALESCE(MAX(%3), 0) FROM %1) + 1, "
                "(SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM %4)), false)")
                .arg(quoted(t.first), t.second, quoted(t.second),
                     QStringLiteral("\"%1_%2_seq\"").arg(t.first, t.second));
        if (Result r = run(db, sql); !r)
            return r;
    }
    return Result::done();
}

Expected<qint64> PostgresEngine::keyCounter(const QSqlDatabase &db, const QString &table) const {
    const QString key = keyOf(table);
    if (key.isEmpty())
        return qint64(0);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT CASE WHEN is_called THEN last_value ELSE last_value - 1 END FROM %1")
                    .arg(QStringLiteral("\"%1_%2_seq\"").arg(table, key))) ||
        !q.next())
        return failure(q.lastError(), db, q.lastError().text());
    return q.value(0).toLongLong();
}

Result PostgresEngine::reserveKeys(const QSqlDatabase &db, const QString &table, qint64 upTo) const {
    const QString key = keyOf(table);
    if (key.isEmpty())
        return Result::done();
    return run(
        db,
        QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', '%2'), GREATEST(?, "
                       "(SELECT CASE WHEN is_called THEN last_value ELSE last_value - 1 END FROM %3), 1), "
                       "true)")
            .arg(quoted(table), key, QStringLiteral("\"%1_%2_seq\"").arg(table, key)),
        {upTo});
}

int PostgresEngine::errorCode(const QSqlError &error, const QSqlDatabase &db) const {
    // A statement on a lost connection fails without an error of its own.
    if (error.type() == QSqlError::NoError)
        return connectionLost(db) ? ConnectionLost : 0;
    const QString state = error.nativeErrorCode();
    if (state.size() != 5)
        return connectionLost(db) ? ConnectionLost : SQLITE_ERROR;
    if (state == QLatin1String("53100"))
        return SQLITE_FULL;
    if (state == QLatin1String("53200"))
        return SQLITE_NOMEM;
    if (state == QLatin1String("25006") || state == QLatin1String("42501"))
        return SQLITE_READONLY;
    if (state == QLatin1String("55P03") || state == QLatin1String("57014"))
        return SQLITE_BUSY;
    if (state == QLatin1String("40001") || state == QLatin1String("40P01"))
        return SerializationFailure;
    if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")))
        return ConnectionLost;
    if (state.startsWith(QLatin1String("XX")))
        return SQLITE_CORRUPT;
    return ServerError;
}

namespace {
QString stateText(const QString &state, const QString &message) {
    // A rule of the club's own database (a trigger's RAISE) speaks for itself, in its author's words.
    if (state.startsWith(QLatin1String("P0")) && !message.trimmed().isEmpty())
        return message.trimmed();
    // By class, and the states a desk meets most; the code goes with it for whoever helps the club.
    QString text;
    const QString cls = state.left(2);
    if (state == QLatin1String("23505"))
        text =
            QStringLiteral("otro puesto guardó al mismo tiempo un dato que ya existe (el mismo número o el "
                           "mismo nombre); vuelva a intentarlo");
    else if (cls == QLatin1String("23"))
        text = QStringLiteral("los datos no cumplen una regla de la base de datos");
    else if (state == QLatin1String("40001") || state == QLatin1String("40P01"))
        text = QStringLiteral(
            "otro puesto estaba cambiando los mismos datos al mismo tiempo; vuelva a intentarlo");
    else if (state == QLatin1String("55P03") || state == QLatin1String("57014"))
        text = QStringLiteral(
            "la base de datos está ocupada por otro puesto; vuelva a intentarlo en unos momentos");
    else if (cls == QLatin1String("08") || state.startsWith(QLatin1String("57P")))
        text = QStringLiteral("se perdió la conexión con el servidor de la base de datos");
    else if (state == QLatin1String("53300"))
        text = QStringLiteral("el servidor no admite más conexiones en este momento");
    else if (cls == QLatin1String("53"))
        text = QStringLiteral("al servidor le falta espacio o memoria");
    else if (state == QLatin1String("42501"))
        text = QStringLiteral("el usuario del servidor no tiene permiso para esta operación");
    else if (state == QLatin1String("25006"))
        text = QStringLiteral("la base de datos está abierta solo para consultar");
    else if (cls == QLatin1String("42") || cls == QLatin1String("3F"))
        text =
            QStringLiteral("la base de datos del servidor no tiene la estructura que este programa espera");
    else if (cls == QLatin1String("22"))
        text = QStringLiteral("un dato no es válido para la base de datos");
    else if (cls == QLatin1String("28"))
        text = QStringLiteral("el servidor no aceptó el usuario o la contraseña");
    else if (cls == QLatin1String("3D"))
        text = QStringLiteral("la base de datos no existe en el servidor");
    else if (cls == QLatin1String("XX"))
        text = QStringLiteral("el servidor encontró un error interno en sus datos");
    else
        text = QStringLiteral("el servidor de la base de datos rechazó la operación");
    return state.size() == 5 ? QStringLiteral("%1 (código %2)").arg(text, state) : text;
}

// One connection attempt made with libpq directly, watched step by step: Qt's driver keeps nothing of a
// failed one but its message.
struct Attempt {
    bool ok = false;
    bool reached = false; // the server answered at all
    bool needsPassword = false;
    bool usedPassword = false;
    QString message;
};

Attempt attempt(const ServerAddress &a, const QString &database, const QString &password) {
    QList<QByteArray> keys, values;
    const auto add = [&](const char *key, const QString &value) {
        if (value.isEmpty())
            return;
        keys << QByteArray(key);
        values << value.toUtf8();
    };
    add("host", a.host);
    add("port", a.port > 0 ? QString::number(a.port) : QString());
    add("user", a.user);
    add("dbname", database);
    add("password", password);
    add("sslmode", a.sslmode);
    add("connect_timeout", QString::number(ConnectTimeoutSeconds));
    add("application_name", QStringLiteral("Mirabel"));
    std::vector<const char *> k, v;
    for (int i = 0; i < keys.size(); ++i) {
        k.push_back(keys.at(i).constData());
        v.push_back(values.at(i).constData());
    }
    k.push_back(nullptr);
    v.push_back(nullptr);
    Attempt r;
    PGconn *c = PQconnectStartParams(k.data(), v.data(), 0);
    // libpq's connect_timeout counts per address; the whole look is bounded here as well.
    QDeadlineTimer deadline(2 * ConnectTimeoutSeconds * 1000);
    PostgresPollingStatusType step = PGRES_POLLING_WRITING;
    while (c && PQstatus(c) != CONNECTION_BAD && step != PGRES_POLLING_OK && step != PGRES_POLLING_FAILED) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || !esperarSocket(PQsocket(c), step == PGRES_POLLING_READING, int(left)))
            break;
        step = PQconnectPoll(c);
        const ConnStatusType s = PQstatus(c);
        if (s == CONNECTION_AWAITING_RESPONSE || s == CONNECTION_SSL_STARTUP || s == CONNECTION_AUTH_OK ||
            s == CONNECTION_OK)
            r.reached = true;
    }
    r.ok = c && PQstatus(c) == CONNECTION_OK;
    if (c) {
        r.needsPassword = PQconnectionNeedsPassword(c);
        r.usedPassword = PQconnectionUsedPassword(c);
        r.message = QString::fromUtf8(PQerrorMessage(c)).trimmed();
        if (r.needsPassword || r.usedPassword)
            r.reached = true;
    }
    PQfinish(c);
    return r;
}
} // namespace

ConnectFailure SqlEngine::diagnoseConnection(const ServerAddress &address, const QString &password) {
    using Kind = ConnectFailure::Kind;
    ConnectFailure f;
    const Attempt first = attempt(address, address.database, password);
    f.detail = first.message;
    if (first.ok)
        return f; // it answers now: whatever failed before has passed
    if (first.needsPassword) {
        f.kind = Kind::NeedsPassword;
        f.reason = QStringLiteral("el servidor pide una contraseña");
    } else if (first.usedPassword && !attempt(address, QStringLiteral("template1"), password).ok) {
        // The password was asked for and given. Were it right, the same user would get into the server's
        // own template database; the failure then is this database's (missing, not allowed).
        f.kind = Kind::WrongPassword;
        f.reason = QStringLiteral("el servidor no aceptó la contraseña");
    } else if (!first.reached) {
        f.kind = Kind::Unreachable;
        f.reason =
            QStringLiteral("no se pudo llegar al servidor (compruebe la dirección, el puerto y la red, y "
                           "que el servidor esté en marcha)");
    } else {
        f.kind = Kind::Refused;
        f.reason = QStringLiteral("el servidor no permitió abrir la base de datos %1 (puede no existir, el "
                                  "usuario %2 puede no tener permiso para abrirla o el servidor puede no "
                                  "admitir más conexiones)")
                       .arg(address.database,
                            address.user.isEmpty() ? qEnvironmentVariable("PGUSER") : address.user);
    }
    return f;
}

bool PostgresEngine::inTransaction(const QSqlDatabase &db) const {
    PGconn *h = handle(db);
    if (!h)
        return false;
    const PGTransactionStatusType s = PQtransactionStatus(h);
    return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
}

int PostgresEngine::pendingError(const QSqlDatabase &db, QString *text) const {
    PGconn *h = rawHandle(db);
    if (!h)
        return 0;
    if (PQstatus(h) == CONNECTION_BAD) {
        if (text)
            *text = stateText(QStringLiteral("08006"), QString());
        return ConnectionLost;
    }
    // A statement failed inside the transaction: the server will only roll it back now. The last failure
    // that was not a consequence of an earlier one is the cause.
    if (PQtransactionStatus(h) != PQTRANS_INERROR)
        return 0;
    if (const LastFailure *last = watched(h); last && last->state.size() == 5) {
        if (text)
            *text = stateText(last->state, last->message);
        return errorCode(QSqlError(QString(), last->message, QSqlError::StatementError, last->state), db);
    }
    if (text)
        *text = QStringLiteral("la transacción fue anulada por un error anterior");
    return SQLITE_ERROR;
}

Result::Code PostgresEngine::resultCode(int nativeCode) const {
    // errorCode() has read the SQLSTATE: a lock wait or statement that ran out of time (55P03, 57014) is
    // SQLITE_BUSY, a serialisation failure or deadlock (40001, 40P01) left after the retries is ours, and
    // class 08, 57P and libpq's CONNECTION_BAD are a lost connection.
    switch (nativeCode) {
    case SQLITE_BUSY:
    case SerializationFailure:
        return Result::Code::Busy;
    case ConnectionLost:
        return Result::Code::ConnectionLost;
    default:
        return Result::Code::Failed;
    }
}

bool PostgresEngine::connectionLost(const QSqlDatabase &db) const {
    PGconn *h = rawHandle(db);
    if (!h)
        return false;
    // Between statements nothing is expected from the server: whatever waits on the socket (the notice
    // of a shutdown, the end of the connection) is taken in without blocking, and marks it lost.
    // The server's last words and the end of the connection may come in two reads.
    for (int i = 0;
         i < 2 && PQstatus(h) == CONNECTION_OK && !PQisBusy(h) && PQtransactionStatus(h) == PQTRANS_IDLE; ++i)
        PQconsumeInput(h);
    return PQstatus(h) == CONNECTION_BAD;
}

QStringList PostgresEngine::sortKeyTriggers() const {
    // Made anew, as the table: a restore may have written them into an older database already. Before the row
    // is stored, from its names, whoever writes it. A member's dues keep a copy of the key: a rename that
    // does not name "ClaveOrden" passes the key's own triggers by (the server fires column triggers by the
    // statement's columns only), so the copies follow here.
    return {
        QStringLiteral(
            R"(CREATE OR REPLACE FUNCTION "Afiliados_Clave_f"() RETURNS trigger LANGUAGE plpgsql AS )"
            R"($f$ BEGIN NEW."ClaveOrden" := clave_orden(NEW."Apellido", NEW."Nombres"); RETURN NEW; )"
            R"(END $f$)"),
        QStringLiteral(R"(DROP TRIGGER IF EXISTS "Afiliados_Clave" ON "Afiliados")"),
        QStringLiteral(
            R"(CREATE TRIGGER "Afiliados_Clave" BEFORE INSERT OR UPDATE OF "Apellido", "Nombres", )"
            R"("ClaveOrden" ON "Afiliados" FOR EACH ROW EXECUTE FUNCTION "Afiliados_Clave_f"())"),
        QStringLiteral(
            R"(CREATE OR REPLACE FUNCTION "Afiliados_Nombres_Cambio_f"() RETURNS trigger LANGUAGE )"
            R"(plpgsql AS $f$ BEGIN UPDATE "Cuotas" SET "ClaveSocio" = NEW."ClaveOrden" )"
            R"(WHERE "idAfiliado" = NEW."idAfiliado" AND "ClaveSocio" IS DISTINCT FROM )"
            R"(NEW."ClaveOrden"; RETURN NULL; END $f$)"),
        QStringLiteral(R"(DROP TRIGGER IF EXISTS "Afiliados_Nombres_Cambio" ON "Afiliados")"),
        QStringLiteral(
            R"(CREATE TRIGGER "Afiliados_Nombres_Cambio" AFTER UPDATE OF "Apellido", "Nombres" ON )"
            R"("Afiliados" FOR EACH ROW EXECUTE FUNCTION "Afiliados_Nombres_Cambio_f"())"),
        QStringLiteral(
            R"(CREATE OR REPLACE FUNCTION "Planes_Clave_f"() RETURNS trigger LANGUAGE plpgsql AS )"
            R"($f$ BEGIN NEW."ClaveOrden" := clave_orden(NEW."Descripcion"); RETURN NEW; END $f$)"),
        QStringLiteral(R"(DROP TRIGGER IF EXISTS "Planes_Clave" ON "Planes")"),
        QStringLiteral(
            R"(CREATE TRIGGER "Planes_Clave" BEFORE INSERT OR UPDATE OF "Descripcion", "ClaveOrden" )"
            R"(ON "Planes" FOR EACH ROW EXECUTE FUNCTION "Planes_Clave_f"())"),
    };
}

Result PostgresEngine::keepSortKeys(const QSqlDatabase &) const {
    // The server's triggers keep every writer's keys.
    return Result::done();
}

QString PostgresEngine::dayChangeStatement() const {
    const QString m = QStringLiteral(R"(EXTRACT(MONTH FROM "Vencimiento")::int)");
    const QString y = QStringLiteral(R"(EXTRACT(YEAR FROM "Vencimiento")::int)");
    return QStringLiteral(R"(UPDATE "Cuotas" SET "Vencimiento" = make_date(%1, %2,
            CASE %2
              WHEN 2 THEN CASE WHEN %1 % 4 = 0 AND (%1 % 100 <> 0 OR %1 % 400 = 0) THEN ?::int ELSE ?::int END
              WHEN 4 THEN ?::int WHEN 6 THEN ?::int WHEN 9 THEN ?::int WHEN 11 THEN ?::int ELSE ?::int END)
          WHERE "Vencimiento" IS NOT NULL)")
        .arg(y, m);
}

Result PostgresEngine::lockTables(const QSqlDatabase &db, const QStringList &tables) const {
    QStringList names;
    for (const QString &t : tables)
        names << quoted(t);
    // Others may still read; every other write waits until this transaction ends.
    return run(db, QStringLiteral("LOCK TABLE %1 IN EXCLUSIVE MODE").arg(names.join(QStringLiteral(", "))));
}

QSqlError PostgresEngine::lastFailure(const QSqlDatabase &db) const {
    QMutexLocker lock(&g_failuresLock);
    return failures().value(db.connectionName());
}

Result PostgresEngine::usePrivateScratch(const QSqlDatabase &db) const {
    return privateScratchTables(db);
}

Result PostgresEngine::lockWork(const QSqlDatabase &db, int area, qint64 number) const {
    return run(db, QStringLiteral("SELECT pg_advisory_xact_lock(?, ?)"), {area, int(number)});
}

QString PostgresEngine::likeCondition(const QString &expression, const QString &pattern, QChar escape) const {
    // The server's LIKE tells case apart and is refused under the "es" collation: ILIKE under ICU's root
    // collation folds every letter's case, as a single desk's like() does, and leaves accents alone.
    QString out = QStringLiteral(R"((%1 COLLATE "und-x-icu" ILIKE %2)").arg(expression, pattern);
    // The server's default escape is a backslash; SQLite has none unless one is named.
    out += escape.isNull() ? QStringLiteral(" ESCAPE ''")
                           : QStringLiteral(" ESCAPE '%1'")
                                 .arg(escape == QLatin1Char('\'') ? QStringLiteral("''") : QString(escape));
    return out + QLatin1Char(')');
}

QString PostgresEngine::absoluteLocation(const QString &location) const {
    return location; // an address is taken as written
}

QString PostgresEngine::shownLocation(const QString &location) const {
    return location;
}

QString PostgresEngine::beginStatement() const {
    return QStringLiteral("BEGIN");
}

QString PostgresEngine::snapshotStatement() const {
    return QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
}

QString PostgresEngine::keepRowsClause() const {
    return QStringLiteral(" FOR KEY SHARE");
}

QString PostgresEngine::orderedJoin() const {
    // The planner chooses the order itself and takes a plain JOIN ... ON.
    return QStringLiteral("JOIN");
}

QStringList PostgresEngine::statisticsStatements(const QStringList &tables) const {
    QStringList out;
    for (const QString &t : tables)
        out << QStringLiteral("ANALYZE %1").arg(quoted(t));
    return out;
}

QStringList PostgresEngine::keyedJoinStatements() const {
    return {QStringLiteral("SET LOCAL enable_mergejoin = off"),
            QStringLiteral("SET LOCAL enable_hashjoin = off")};
}

std::function<void()> PostgresEngine::interrupter(const QSqlDatabase &) const {
    return {};
}

QString PostgresEngine::isNullNumber(const QString &expr) const {
    // IS NULL is a boolean, which does not mix with numbers in a UNION or an ORDER BY.
    return QStringLiteral("(%1 IS NULL)::int").arg(expr);
}

int PostgresEngine::rowsPerInsert() const {
    return 250;
}

bool PostgresEngine::datesAreDays() const {
    return true;
}

QString PostgresEngine::lockWaitStatement(int milliseconds) const {
    return QStringLiteral("SET lock_timeout = %1").arg(milliseconds);
}

QVariant PostgresEngine::lastInsertId(QSqlQuery &, const QSqlDatabase &db) const {
    // The server names the row's number through the session's last sequence value.
    QSqlQuery last(db);
    if (last.exec(QStringLiteral("SELECT lastval()")) && last.next())
        return last.value(0);
    return {};
}

QString PostgresEngine::errorText(const QSqlError &error) const {
    const QString state = error.nativeErrorCode();
    const bool fromServer = error.driverText().startsWith(QLatin1String("QPSQL"));
    if (fromServer && state.size() == 5)
        return stateText(state, error.databaseText());
    if (fromServer)
        return QStringLiteral("el servidor de la base de datos no respondió como se esperaba");
    // An error of the program's own making (none of the server's) keeps its text.
    return error.databaseText().trimmed().isEmpty() ? error.text() : error.databaseText().trimmed();
}

int PostgresEngine::spoiledTransaction(const QSqlDatabase &db, QString *text) const {
    // The server answers COMMIT of a transaction a failed statement spoiled by rolling it back.
    return pendingError(db, text);
}

QString PostgresEngine::copyExtension() const {
    return QStringLiteral("dump");
}

Result PostgresEngine::copyInto(const QSqlDatabase &db, const QString &destination) const {
    // pg_dump's archive: one moment of the database (its snapshot) as well.
    return ServerBackup::dump(ServerBackup::targetOf(db), destination);
}
