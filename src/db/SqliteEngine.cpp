#include "db/SqliteEngine.h"

#include "core/Clock.h"
#include "core/Log.h"
#include "core/PorHilo.h"
#include "db/Schema.h"
#include "db/SqlEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QUrl>
#include <sqlite3.h>
#include <string>

namespace {

int collate(void *, int lenA, const void *a, int lenB, const void *b) {
    const QString sa = QString::fromUtf8(static_cast<const char *>(a), lenA);
    const QString sb = QString::fromUtf8(static_cast<const char *>(b), lenB);
    return SqlEngine::compare(sa, sb);
}

QString textArg(sqlite3_value *v) {
    const unsigned char *t = sqlite3_value_text(v);
    return t ? QString::fromUtf8(reinterpret_cast<const char *>(t), sqlite3_value_bytes(v)) : QString();
}

void likeFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    QChar esc;
    if (argc == 3) {
        const QString e = textArg(argv[2]);
        if (e.size() != 1) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
        esc = e.at(0);
    }
    sqlite3_result_int(ctx, SqlEngine::like(textArg(argv[0]), textArg(argv[1]), esc) ? 1 : 0);
}

void dateFunction(sqlite3_context *ctx, int, sqlite3_value **) {
    const QByteArray d = Clock::today().toString(Qt::ISODate).toUtf8();
    sqlite3_result_text(ctx, d.constData(), int(d.size()), SQLITE_TRANSIENT);
}

// Appends the sort key of a UTF-8 text, the same as SqlEngine::sortKey() gives. Opening a file checks the
// key of every member, so ASCII is folded byte by byte and each other character's key is worked out once.
void appendSortKeyUtf8(sqlite3_value *v, std::string &out) {
    const auto *s = sqlite3_value_text(v);
    const int n = s ? sqlite3_value_bytes(v) : 0;
    static PorHilo<QHash<quint32, QByteArray>> porHilo([] { return new QHash<quint32, QByteArray>; });
    QHash<quint32, QByteArray> &keys = porHilo.local();
    for (int i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            out += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
            ++i;
            continue;
        }
        int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        len = qMin(len, n - i);
        quint32 code = 0;
        for (int k = 0; k < len; ++k)
            code = (code << 8) | s[i + k];
        auto it = keys.constFind(code);
        if (it == keys.constEnd())
            it = keys.insert(
                code,
                SqlEngine::sortKey(QString::fromUtf8(reinterpret_cast<const char *>(s + i), len)).toUtf8());
        out.append(it->constData(), size_t(it->size()));
        i += len;
    }
}

void sortKeyFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    static PorHilo<std::string> porHilo([] { return new std::string; });
    std::string &key = porHilo.local();
    key.clear();
    appendSortKeyUtf8(argv[0], key);
    if (argc == 2) {
        key += '\x01'; // as memberSortKey(): surname, separator, given names
        appendSortKeyUtf8(argv[1], key);
    }
    sqlite3_result_text(ctx, key.data(), int(key.size()), SQLITE_TRANSIENT);
}

// One number from h; nullopt when the statement fails (the code stays on h).
std::optional<int> numberOf(sqlite3 *h, const char *sql) {
    sqlite3_stmt *st = nullptr;
    std::optional<int> out;
    if (sqlite3_prepare_v2(h, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        out = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return out;
}

// The program's file: a schema version and the members' table. A version newer than this program's is
// reported as it is, whatever tables it holds: a later version's layout is not this program's to judge.
int versionOf(sqlite3 *h) {
    if (!h)
        return -1;
    const auto version = numberOf(h, "PRAGMA user_version");
    if (!version)
        return -1;
    if (*version == 0) {
        const auto tables =
            numberOf(h, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name NOT "
                        "LIKE 'sqlite\\_%' ESCAPE '\\'");
        return !tables ? -1 : *tables == 0 ? 0 : -2;
    }
    if (*version > Schema::currentVersion())
        return *version;
    const auto members =
        numberOf(h, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'Afiliados'");
    return !members ? -1 : *members == 0 ? -2 : *version;
}

// SQLite's online backup of source into target, in one step under one read lock of source.
int onlineCopy(sqlite3 *source, sqlite3 *target) {
    sqlite3_backup *b = sqlite3_backup_init(target, "main", source, "main");
    if (!b)
        return sqlite3_extended_errcode(target);
    int rc = sqlite3_backup_step(b, -1);
    const int finish = sqlite3_backup_finish(b);
    if (rc == SQLITE_DONE)
        rc = finish;
    return rc;
}

QString spanishReason(int code) {
    const QString reason = SqlEngine::errorReason(code);
    return reason.isEmpty() ? QStringLiteral("error %1 de la base de datos").arg(code) : reason;
}

// Copies the database behind source into the file destination (made already, empty): one moment of it, a
// plain single file without WAL side files.
Result copyHandleInto(sqlite3 *source, const QString &destination) {
    sqlite3 *target = nullptr;
    int rc =
        sqlite3_open_v2(QFile::encodeName(destination).constData(), &target, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK)
        rc = onlineCopy(source, target);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(target, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    if (target)
        sqlite3_close(target);
    if (rc == SQLITE_OK)
        return Result::done();
    const int primary = rc & 0xff;
    if (primary == SQLITE_READONLY || primary == SQLITE_PERM || primary == SQLITE_CANTOPEN)
        return Result::failure(QStringLiteral("no se puede escribir en la carpeta de copias"));
    return Result::failure(spanishReason(rc));
}

} // namespace

const SqliteEngine &SqliteEngine::instance() {
    static const SqliteEngine engine;
    return engine;
}

sqlite3 *SqliteEngine::handle(const QSqlDatabase &db) {
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(h.data());
}

bool SqliteEngine::isDamage(int code) {
    return (code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB;
}

Result SqliteEngine::prepareConnection(QSqlDatabase &db, bool readOnly, int busyTimeoutMs) const {
    if (!db.driver() || qstrcmp(db.driver()->handle().typeName(), "sqlite3*") != 0)
        return Result::failure(QStringLiteral("el controlador de base de datos no es SQLite"));
    sqlite3 *h = handle(db);
    if (!h)
        return Result::failure(QStringLiteral("la base de datos no está abierta"));
    int rc = sqlite3_create_collation(h, SqlEngine::Collation, SQLITE_UTF8, nullptr, collate);
    rc |= sqlite3_create_function(h, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction,
                                  nullptr, nullptr);
    rc |= sqlite3_create_function(h, "like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction,
                                  nullptr, nullptr);
    rc |= sqlite3_create_function(h, "date", 0, SQLITE_UTF8, nullptr, dateFunction, nullptr, nullptr);
    rc |= sqlite3_create_function(h, "clave_orden", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                  sortKeyFunction, nullptr, nullptr);
    rc |= sqlite3_create_function(h, "clave_orden", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                  sortKeyFunction, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return Result::failure(QString::fromUtf8(sqlite3_errmsg(h)));
    QSqlQuery q(db);
    // The busy timeout first: even setting WAL mode waits for another desk rather than failing.
    QStringList pragmas = {QStringLiteral("PRAGMA busy_timeout=%1").arg(busyTimeoutMs)};
    if (readOnly)
        pragmas << QStringLiteral("PRAGMA query_only=ON");
    else
        pragmas << QStringLiteral("PRAGMA journal_mode=WAL") << QStringLiteral("PRAGMA synchronous=FULL");
    pragmas << QStringLiteral("PRAGMA foreign_keys=OFF") << QStringLiteral("PRAGMA cache_size=-65536")
            << QStringLiteral("PRAGMA temp_store=MEMORY");
    for (const QString &pragma : pragmas) {
        if (!q.exec(pragma))
            Log::error(QStringLiteral("Base de datos"), pragma + QStringLiteral(": ") + q.lastError().text());
    }
    return readOnly ? Result::done() : keepSortKeys(db);
}

QString SqliteEngine::absoluteLocation(const QString &location) const {
    return QFileInfo(QDir::fromNativeSeparators(location)).absoluteFilePath();
}

QString SqliteEngine::shownLocation(const QString &location) const {
    return QDir::toNativeSeparators(location);
}

QString SqliteEngine::beginStatement() const {
    return QStringLiteral("BEGIN IMMEDIATE");
}

QString SqliteEngine::snapshotStatement() const {
    // A deferred transaction reads one moment of the file from its first read on.
    return QStringLiteral("BEGIN");
}

QStringList SqliteEngine::preamble() const {
    return {};
}

QStringList SqliteEngine::schemaStatement(const QString &portable) const {
    QString s = portable;
    // A single desk stores dates as ISO text (YYYY-MM-DD), which sorts and compares as dates.
    static const QRegularExpression dateType(QStringLiteral(R"((") DATE\b)"));
    s.replace(dateType, QStringLiteral("\\1 TEXT"));
    // SQLite takes no NULLS FIRST in an index, and an ascending one puts NULLs first already.
    if (s.startsWith(QLatin1String("CREATE INDEX")))
        s.remove(QStringLiteral(" NULLS FIRST"));
    return {s};
}

namespace {
// The names each table's key is made of, and the key's expression.
struct KeyedTable {
    const char *table;
    const char *key;
    const char *names; // the columns the key is made of
    const char *expression;
};
const KeyedTable kKeyedTables[] = {
    {"Afiliados", "idAfiliado", R"("Apellido", "Nombres")", R"(clave_orden(NEW."Apellido", NEW."Nombres"))"},
    {"Planes", "idPlan", R"("Descripcion")", R"(clave_orden(NEW."Descripcion"))"},
};

// A trigger counting a table's writes of names in "Mantenimiento", by step (1 or -1).
QString countingTrigger(const QString &create, const QString &name, const QString &event, const KeyedTable &t,
                        int step) {
    return QStringLiteral(R"(%1 "%2" AFTER %3 ON %4"%5" BEGIN
        UPDATE "Mantenimiento" SET "CambiosAjenos" = "CambiosAjenos" + %6; END)")
        .arg(create, name, event,
             create.contains(QLatin1String("TEMP")) ? QStringLiteral("main.") : QString(),
             QString::fromLatin1(t.table))
        .arg(step);
}

QString updateOfNames(const KeyedTable &t) {
    return QStringLiteral(R"(UPDATE OF %1, "ClaveOrden")").arg(QString::fromLatin1(t.names));
}
} // namespace

QStringList SqliteEngine::sortKeyTriggers() const {
    QStringList out;
    // "IF NOT EXISTS", as the table: a restore may have written them into an older database already.
    const QString create = QStringLiteral("CREATE TRIGGER IF NOT EXISTS");
    for (const KeyedTable &t : kKeyedTables) {
        const QString table = QString::fromLatin1(t.table);
        out << countingTrigger(create, table + QStringLiteral("_Nombres_Alta"), QStringLiteral("INSERT"), t,
                               1)
            << countingTrigger(create, table + QStringLiteral("_Nombres_Cambio"), updateOfNames(t), t, 1);
    }
    return out;
}

Result SqliteEngine::keepSortKeys(const QSqlDatabase &db) const {
    sqlite3 *h = handle(db);
    if (!h || sqlite3_db_readonly(h, "main") == 1)
        return Result::done();
    const auto made =
        numberOf(h, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'Mantenimiento'");
    if (made.value_or(0) == 0)
        return Result::done();
    // The connection's own triggers: each write of names they see is one the permanent triggers counted, so
    // they take it off the count; and they make the key of a row whose key differs from its names'. A key
    // made here fires the counting pair again, both of them.
    QStringList statements;
    const QString create = QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS");
    for (const KeyedTable &t : kKeyedTables) {
        const QString table = QString::fromLatin1(t.table), key = QString::fromLatin1(t.expression);
        statements << countingTrigger(create, table + QStringLiteral("_Nombres_Alta_Propia"),
                                      QStringLiteral("INSERT"), t, -1)
                   << countingTrigger(create, table + QStringLiteral("_Nombres_Cambio_Propia"),
                                      updateOfNames(t), t, -1);
        for (const QString &event : {QStringLiteral("INSERT"), updateOfNames(t)})
            statements << QStringLiteral(R"(%1 "%2_Clave_%3" AFTER %4 ON main."%2"
                WHEN NEW."ClaveOrden" IS NOT %5
                BEGIN UPDATE "%2" SET "ClaveOrden" = %5 WHERE "%6" = NEW."%6"; END)")
                              .arg(create, table,
                                   event == QLatin1String("INSERT") ? QStringLiteral("Alta")
                                                                    : QStringLiteral("Cambio"),
                                   event, key, QString::fromLatin1(t.key));
    }
    for (const QString &sql : std::as_const(statements)) {
        char *message = nullptr;
        if (sqlite3_exec(h, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
            const QString why = QString::fromUtf8(message ? message : "");
            sqlite3_free(message);
            return Result::failure(why);
        }
    }
    return Result::done();
}

QString SqliteEngine::dayChangeStatement() const {
    const QString anio = QStringLiteral(R"(CAST(substr("Vencimiento", 1, 4) AS INTEGER))");
    return QStringLiteral(R"(UPDATE "Cuotas" SET "Vencimiento" = substr("Vencimiento", 1, 8) ||
            CASE substr("Vencimiento", 6, 2)
              WHEN '02' THEN CASE WHEN %1 % 4 = 0 AND (%1 % 100 <> 0 OR %1 % 400 = 0) THEN ? ELSE ? END
              WHEN '04' THEN ? WHEN '06' THEN ? WHEN '09' THEN ? WHEN '11' THEN ? ELSE ? END
          WHERE length("Vencimiento") >= 10 AND substr("Vencimiento", 5, 1) = '-'
            AND substr("Vencimiento", 8, 1) = '-')")
        .arg(anio);
}

QString SqliteEngine::keepRowsClause() const {
    return {};
}

QString SqliteEngine::orderedJoin() const {
    // SQLite keeps the order of a CROSS JOIN.
    return QStringLiteral("CROSS JOIN");
}

QStringList SqliteEngine::statisticsStatements(const QStringList &) const {
    return {}; // the joins over scratch tables are written in the order they run (orderedJoin)
}

QStringList SqliteEngine::keyedJoinStatements() const {
    return {};
}

std::function<void()> SqliteEngine::interrupter(const QSqlDatabase &db) const {
    sqlite3 *h = handle(db);
    if (!h)
        return {};
    return [h] { sqlite3_interrupt(h); }; // made to be called from any thread
}

QString SqliteEngine::isNullNumber(const QString &expr) const {
    return QStringLiteral("(%1 IS NULL)").arg(expr);
}

QString SqliteEngine::likeCondition(const QString &expression, const QString &pattern, QChar escape) const {
    // The connection's own like() already ignores case.
    QString out = QStringLiteral("(%1 LIKE %2").arg(expression, pattern);
    if (!escape.isNull())
        out += QStringLiteral(" ESCAPE '%1'")
                   .arg(escape == QLatin1Char('\'') ? QStringLiteral("''") : QString(escape));
    return out + QLatin1Char(')');
}

int SqliteEngine::rowsPerInsert() const {
    // Values are bound straight on the handle: one row a statement is as fast as it gets.
    return 1;
}

bool SqliteEngine::datesAreDays() const {
    return false;
}

QString SqliteEngine::lockWaitStatement(int milliseconds) const {
    return QStringLiteral("PRAGMA busy_timeout = %1").arg(milliseconds);
}

Expected<int> SqliteEngine::schemaVersion(const QSqlDatabase &db) const {
    return versionFound(versionOf(handle(db)));
}

Result SqliteEngine::setSchemaVersion(const QSqlDatabase &db, int version) const {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version = %1").arg(version)))
        return failure(q.lastError(), db, q.lastError().text());
    return Result::done();
}

Result SqliteEngine::syncKeys(const QSqlDatabase &, const QStringList &) const {
    // SQLite hands out max(key, highest ever) + 1 by itself.
    return Result::done();
}

Expected<qint64> SqliteEngine::keyCounter(const QSqlDatabase &db, const QString &table) const {
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?")))
        return failure(q.lastError(), db, q.lastError().text());
    q.addBindValue(table);
    if (!q.exec())
        return failure(q.lastError(), db, q.lastError().text());
    return q.next() ? q.value(0).toLongLong() : qint64(0);
}

Result SqliteEngine::reserveKeys(const QSqlDatabase &db, const QString &table, qint64 upTo) const {
    // AUTOINCREMENT keeps the highest number handed out in sqlite_sequence; raise it, never lower it.
    QSqlQuery q(db);
    bool ok = q.prepare(QStringLiteral("UPDATE sqlite_sequence SET seq = ? WHERE name = ? AND seq < ?"));
    q.addBindValue(upTo);
    q.addBindValue(table);
    q.addBindValue(upTo);
    ok = ok && q.exec();
    if (ok && q.numRowsAffected() == 0) {
        ok = q.prepare(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) SELECT ?, ? WHERE NOT EXISTS "
                                      "(SELECT 1 FROM sqlite_sequence WHERE name = ?)"));
        q.addBindValue(table);
        q.addBindValue(upTo);
        q.addBindValue(table);
        ok = ok && q.exec();
    }
    return ok ? Result::done() : failure(q.lastError(), db, q.lastError().text());
}

QVariant SqliteEngine::lastInsertId(QSqlQuery &q, const QSqlDatabase &) const {
    return q.lastInsertId();
}

Result SqliteEngine::lockTables(const QSqlDatabase &, const QStringList &) const {
    // The transaction already holds the whole file.
    return Result::done();
}

Result SqliteEngine::lockWork(const QSqlDatabase &, int, qint64) const {
    return Result::done();
}

Result SqliteEngine::usePrivateScratch(const QSqlDatabase &) const {
    return Result::done();
}

QSqlError SqliteEngine::lastFailure(const QSqlDatabase &) const {
    return {};
}

void SqliteEngine::sendToday(const QSqlDatabase &) const {
    // date() asks the program's Clock itself.
}

int SqliteEngine::errorCode(const QSqlError &error, const QSqlDatabase &) const {
    if (error.type() == QSqlError::NoError)
        return 0;
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok && code != 0 ? code : SQLITE_ERROR;
}

QString SqliteEngine::errorText(const QSqlError &error) const {
    return error.databaseText().trimmed().isEmpty() ? error.text() : error.databaseText().trimmed();
}

Result::Code SqliteEngine::resultCode(int nativeCode) const {
    // Another program held the file for longer than the busy timeout.
    switch (nativeCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Result::Code::Busy;
    default:
        return Result::Code::Failed;
    }
}

bool SqliteEngine::connectionLost(const QSqlDatabase &) const {
    return false;
}

int SqliteEngine::pendingError(const QSqlDatabase &db, QString *text) const {
    sqlite3 *h = handle(db);
    if (!h)
        return 0;
    const int code = sqlite3_extended_errcode(h);
    if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE)
        return 0;
    if (text)
        *text = QString::fromUtf8(sqlite3_errmsg(h));
    return code;
}

int SqliteEngine::spoiledTransaction(const QSqlDatabase &, QString *) const {
    // A failed statement leaves SQLite's transaction as it was: COMMIT stores what succeeded.
    return 0;
}

bool SqliteEngine::inTransaction(const QSqlDatabase &db) const {
    sqlite3 *h = handle(db);
    return h && !sqlite3_get_autocommit(h);
}

QString SqliteEngine::copyExtension() const {
    return QStringLiteral("db");
}

Result SqliteEngine::copyInto(const QSqlDatabase &db, const QString &destination) const {
    sqlite3 *source = handle(db);
    if (!source)
        return Result::failure(QStringLiteral("No hay una base de datos abierta para copiar."),
                               Result::Code::NotFound);
    return copyHandleInto(source, destination);
}

int SqliteEngine::fileVersion(const QString &path, int busyTimeoutMs) {
    {
        SqliteFile f;
        if (f.open(path, SqliteFile::Access::ReadWrite, busyTimeoutMs))
            if (const auto v = f.number("PRAGMA user_version"); v && *v >= 0)
                return *v;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = f.read(100);
    if (head.size() < 100 || !head.startsWith(QByteArray("SQLite format 3\0", 16)))
        return -1;
    const auto *b = reinterpret_cast<const unsigned char *>(head.constData() + 60);
    return int((quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | quint32(b[3]));
}

SqliteFile::~SqliteFile() {
    close();
}

bool SqliteFile::open(const QString &path, Access access, int busyTimeoutMs) {
    close();
    int rc = SQLITE_OK;
    if (access == Access::Immutable) {
        const QByteArray uri =
            QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded() + "?mode=ro&immutable=1";
        rc = sqlite3_open_v2(uri.constData(), &m_h, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    } else {
        const int flags = access == Access::ReadWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
#ifdef Q_OS_WIN
        // SQLite takes the name in UTF-8 there and makes the wide name itself, not in the ANSI code page.
        const QByteArray nombre = path.toUtf8();
#else
        const QByteArray nombre = QFile::encodeName(path);
#endif
        rc = sqlite3_open_v2(nombre.constData(), &m_h, flags, nullptr);
    }
    m_openCode = rc;
    if (rc == SQLITE_OK && busyTimeoutMs > 0)
        sqlite3_busy_timeout(m_h, busyTimeoutMs);
    return rc == SQLITE_OK;
}

void SqliteFile::close() {
    sqlite3_close(m_h);
    m_h = nullptr;
    m_openCode = 0;
}

void SqliteFile::interrupt() {
    if (m_h)
        sqlite3_interrupt(m_h);
}

bool SqliteFile::wasInterrupted() const {
    return (code() & 0xff) == SQLITE_INTERRUPT;
}

std::optional<int> SqliteFile::number(const char *sql) {
    return m_h ? numberOf(m_h, sql) : std::nullopt;
}

std::optional<QString> SqliteFile::text(const char *sql) {
    if (!m_h)
        return std::nullopt;
    sqlite3_stmt *st = nullptr;
    std::optional<QString> out;
    if (sqlite3_prepare_v2(m_h, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        out = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return out;
}

int SqliteFile::schemaVersion() {
    return versionOf(m_h);
}

int SqliteFile::copyFrom(const SqliteFile &source) {
    if (!m_h)
        return code();
    if (!source.m_h)
        return source.code();
    return onlineCopy(source.m_h, m_h);
}

Result SqliteFile::copyInto(const QString &destination) const {
    if (!m_h)
        return Result::failure(spanishReason(m_openCode));
    return copyHandleInto(m_h, destination);
}

int SqliteFile::code() const {
    return m_h ? sqlite3_extended_errcode(m_h) : m_openCode;
}

QString SqliteFile::message() const {
    return m_h ? QString::fromUtf8(sqlite3_errmsg(m_h)) : QString();
}
