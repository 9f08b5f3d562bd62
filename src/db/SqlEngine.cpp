#include "db/SqlEngine.h"

#include "core/Clock.h"
#include "core/Log.h"
#include "db/SqlEnginePg.h"

#include <QCollator>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>
#include <QVector>
#include <sqlite3.h>
#include <string>

namespace {

QCollator &collator() {
    thread_local QCollator c = [] {
        QCollator col(QLocale(QLocale::Spanish, QLocale::Argentina));
        col.setCaseSensitivity(Qt::CaseInsensitive);
        col.setNumericMode(false);
        return col;
    }();
    return c;
}

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
    thread_local QHash<quint32, QByteArray> keys;
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
    thread_local std::string key;
    key.clear();
    appendSortKeyUtf8(argv[0], key);
    if (argc == 2) {
        key += '\x01'; // as memberSortKey(): surname, separator, given names
        appendSortKeyUtf8(argv[1], key);
    }
    sqlite3_result_text(ctx, key.data(), int(key.size()), SQLITE_TRANSIENT);
}

// Wildcard matching that remembers only the last '%': when a later part fails, that '%' takes one more
// character and matching resumes from there. Earlier '%'s never need revisiting, so the work is at most
// pattern length times text length, never exponential however many '%'s a pattern holds.
bool likeMatch(const QString &p, const QString &t, QChar esc) {
    struct Item {
        enum Kind { Literal, One, Any } kind;
        QChar c;
    };
    QVector<Item> items;
    items.reserve(p.size());
    for (int i = 0; i < p.size(); ++i) {
        const QChar c = p.at(i);
        if (!esc.isNull() && c == esc && i + 1 < p.size())
            items.append({Item::Literal, p.at(++i)});
        else if (c == QLatin1Char('%')) {
            if (items.isEmpty() || items.last().kind != Item::Any)
                items.append({Item::Any, QChar()});
        } else if (c == QLatin1Char('_'))
            items.append({Item::One, QChar()});
        else
            items.append({Item::Literal, c});
    }
    const int m = int(items.size());
    const int n = int(t.size());
    int pi = 0, ti = 0;
    int starItem = -1, starText = 0;
    while (ti < n) {
        if (pi < m &&
            (items[pi].kind == Item::One || (items[pi].kind == Item::Literal && items[pi].c == t.at(ti)))) {
            ++pi;
            ++ti;
        } else if (pi < m && items[pi].kind == Item::Any) {
            starItem = pi++;
            starText = ti;
        } else if (starItem >= 0) {
            pi = starItem + 1;
            ti = ++starText;
        } else {
            return false;
        }
    }
    while (pi < m && items[pi].kind == Item::Any)
        ++pi;
    return pi == m;
}

} // namespace

namespace SqlEngine {

int compare(const QString &a, const QString &b) {
    return collator().compare(a, b);
}

bool like(const QString &pattern, const QString &text, QChar escape) {
    return likeMatch(pattern.toCaseFolded(), text.toCaseFolded(),
                     escape.isNull() ? escape : escape.toCaseFolded());
}

QString likeCondition(const QSqlDatabase &db, const QString &expression, const QString &pattern,
                      QChar escape) {
    if (isServer(db))
        return pg::likeCondition(expression, pattern, escape);
    // The connection's own like() already ignores case.
    QString out = QStringLiteral("(%1 LIKE %2").arg(expression, pattern);
    if (!escape.isNull())
        out += QStringLiteral(" ESCAPE '%1'")
                   .arg(escape == QLatin1Char('\'') ? QStringLiteral("''") : QString(escape));
    return out + QLatin1Char(')');
}

QString sortKey(const QString &text) {
    // Fold case, drop accents (but keep ñ as its own letter after n) so that plain binary order of the
    // keys is Spanish dictionary order.
    QString out;
    out.reserve(text.size() + 2);
    for (const QChar ch : text) {
        // Most names are plain ASCII: folding them needs no decomposition (a club has 100,000 of them to
        // check at every start).
        if (ch.unicode() < 0x80) {
            out += ch.unicode() >= 'A' && ch.unicode() <= 'Z' ? QChar(ch.unicode() + 32) : ch;
            continue;
        }
        const QChar c = ch.toLower();
        if (c == QChar(0x00F1)) { // ñ
            out += QLatin1Char('n');
            out += QLatin1Char('{'); // '{' follows 'z': ña.. sorts after every nz..
            continue;
        }
        const QString decomposed = QString(c).normalized(QString::NormalizationForm_D);
        for (const QChar d : decomposed)
            if (d.category() != QChar::Mark_NonSpacing)
                out += d;
    }
    return out;
}

QString memberSortKey(const QString &apellido, const QString &nombres) {
    // A control character below every letter separates the surname from the given names, so "Paz"
    // comes before "Paza" whatever the given names are.
    return sortKey(apellido) + QChar(0x01) + sortKey(nombres);
}

QString prefixUpperBound(const QString &prefixKey) {
    return prefixKey + QChar(0xFFFF);
}

sqlite3 *handle(const QSqlDatabase &db) {
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(h.data());
}

int errorCode(const QSqlError &error) {
    if (error.type() == QSqlError::NoError) {
        // A statement on a lost server connection fails without an error of its own.
        const QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
        return connectionLost(db) ? ConnectionLost : 0;
    }
    if (error.driverText().startsWith(QLatin1String("QPSQL")) || error.nativeErrorCode().size() == 5) {
        const QSqlDatabase db = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
        return pg::errorCode(error, db.isValid() ? &db : nullptr);
    }
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok && code != 0 ? code : SQLITE_ERROR;
}

int pendingError(const QSqlDatabase &db, QString *text) {
    if (isServer(db))
        return pg::pendingError(db, text);
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

bool connectionLost(const QSqlDatabase &db) {
    return isServer(db) && pg::connectionLost(db);
}

bool inTransaction(const QSqlDatabase &db) {
    if (isServer(db))
        return pg::inTransaction(db);
    sqlite3 *h = handle(db);
    return h && !sqlite3_get_autocommit(h);
}

QString errorReason(int code) {
    switch (code & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("el disco está lleno; libere espacio y vuelva a intentarlo");
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return QStringLiteral(
            "la base de datos es de solo lectura (el archivo o su carpeta no admiten cambios)");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("la base de datos está ocupada por otro programa: otro puesto está haciendo un "
                              "cambio general (o hay un envío programado en curso); vuelva a intentarlo en "
                              "unos momentos");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("la base de datos está dañada; restaure la copia de seguridad más reciente");
    case SQLITE_IOERR:
        return QStringLiteral("no se pudo leer o escribir el disco");
    case SQLITE_CANTOPEN:
        return QStringLiteral("no se puede abrir el archivo de la base de datos");
    case SQLITE_NOMEM:
        return QStringLiteral("no hay memoria suficiente");
    case ConnectionLost & 0xff:
        if (code == ConnectionLost)
            return QStringLiteral("se perdió la conexión con el servidor de la base de datos; nada de esta "
                                  "operación quedó a medias. Compruebe la red y vuelva a intentarlo");
        return {};
    case SerializationFailure & 0xff:
        if (code == SerializationFailure)
            return QStringLiteral("otro puesto estaba cambiando los mismos datos al mismo tiempo; vuelva a "
                                  "intentarlo");
        return {};
    default:
        return {};
    }
}

BulkStatement::BulkStatement(const QSqlDatabase &db, const QString &sql) : m_db(handle(db)) {
    if (isServer(db)) {
        m_query = new QSqlQuery(db);
        if (!m_query->prepare(sql)) {
            m_error = m_query->lastError().text();
            delete m_query;
            m_query = nullptr;
        }
        return;
    }
    if (!m_db) {
        m_error = QStringLiteral("la base de datos no está abierta");
        return;
    }
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &m_stmt, nullptr) != SQLITE_OK) {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        m_stmt = nullptr;
    }
}

BulkStatement::~BulkStatement() {
    sqlite3_finalize(m_stmt);
    delete m_query;
}

void BulkStatement::bind(int index, const QVariant &value) {
    if (m_query) {
        if (m_values.size() <= index)
            m_values.resize(index + 1);
        m_values[index] = value;
        return;
    }
    if (!m_stmt)
        return;
    const int i = index + 1;
    // A driver's Null keeps its column's type (a Null integer read from a server): Null, never 0.
    if (value.isNull()) {
        sqlite3_bind_null(m_stmt, i);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        sqlite3_bind_null(m_stmt, i);
        break;
    case QMetaType::Bool:
        sqlite3_bind_int64(m_stmt, i, value.toBool() ? 1 : 0);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
        sqlite3_bind_int64(m_stmt, i, value.toLongLong());
        break;
    default: {
        const QString text = value.toString();
        if (text.isNull()) // as Qt's own driver binds it
            sqlite3_bind_null(m_stmt, i);
        else
            sqlite3_bind_text16(m_stmt, i, text.utf16(), int(text.size() * sizeof(QChar)), SQLITE_TRANSIENT);
        break;
    }
    }
}

bool BulkStatement::exec() {
    if (m_query) {
        for (int i = 0; i < m_values.size(); ++i)
            m_query->bindValue(i, m_values.at(i));
        const bool ok = m_query->exec();
        if (!ok)
            m_error = m_query->lastError().text();
        m_values.clear();
        return ok;
    }
    if (!m_stmt)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc != SQLITE_DONE)
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    return rc == SQLITE_DONE;
}

bool reserveKeys(QSqlDatabase &db, const QString &table, qint64 upTo, QString *error) {
    if (isServer(db))
        return pg::reserveKeys(db, table, upTo, error);
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
    if (!ok && error)
        *error = q.lastError().text();
    return ok;
}

bool prepareConnection(QSqlDatabase &db, QString *error, bool readOnly, int busyTimeoutMs) {
    if (isServer(db))
        return pg::prepareConnection(db, error, readOnly, busyTimeoutMs);
    if (!db.driver() || qstrcmp(db.driver()->handle().typeName(), "sqlite3*") != 0) {
        if (error)
            *error = QStringLiteral("el controlador de base de datos no es SQLite");
        return false;
    }
    sqlite3 *h = handle(db);
    if (!h) {
        if (error)
            *error = QStringLiteral("la base de datos no está abierta");
        return false;
    }
    int rc = sqlite3_create_collation(h, Collation, SQLITE_UTF8, nullptr, collate);
    rc |= sqlite3_create_function(h, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction,
                                  nullptr, nullptr);
    rc |= sqlite3_create_function(h, "like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction,
                                  nullptr, nullptr);
    rc |= sqlite3_create_function(h, "date", 0, SQLITE_UTF8, nullptr, dateFunction, nullptr, nullptr);
    rc |= sqlite3_create_function(h, "clave_orden", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                  sortKeyFunction, nullptr, nullptr);
    rc |= sqlite3_create_function(h, "clave_orden", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                  sortKeyFunction, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(h));
        return false;
    }
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
    return true;
}

Kind kind(const QSqlDatabase &db) {
    return db.driverName() == QLatin1String("QPSQL") ? Kind::Postgres : Kind::Sqlite;
}

bool isServerUrl(const QString &target) {
    return target.startsWith(QLatin1String("postgresql://")) ||
           target.startsWith(QLatin1String("postgres://"));
}

QString ServerAddress::display() const {
    QString out = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        out += QString::fromUtf8(QUrl::toPercentEncoding(user)) + QLatin1Char('@');
    out += host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    if (port > 0)
        out += QLatin1Char(':') + QString::number(port);
    out += QLatin1Char('/') + QString::fromUtf8(QUrl::toPercentEncoding(database));
    if (sslmode != QLatin1String("prefer"))
        out += QStringLiteral("?sslmode=") + sslmode;
    return out;
}

std::optional<ServerAddress> parseServerUrl(const QString &url, QString *error) {
    const auto fail = [&](const QString &why) -> std::optional<ServerAddress> {
        if (error)
            *error = maskPassword(QStringLiteral("La dirección %1 no es válida: %2.").arg(url, why));
        return std::nullopt;
    };
    if (!isServerUrl(url))
        return fail(QStringLiteral("debe empezar con postgresql://"));
    const QUrl u(url, QUrl::StrictMode);
    // Looked for in the text too: a password QUrl cannot parse (an '@' in it) must not be shown as part of
    // its reason.
    if (maskPassword(url) != url || !u.password().isEmpty())
        return fail(QStringLiteral("no escriba la contraseña en la dirección; use PGPASSWORD, el archivo "
                                   "~/.pgpass, o escríbala cuando el programa la pida"));
    if (!u.isValid())
        return fail(u.errorString());
    if (!u.password().isEmpty())
        return fail(QStringLiteral("no escriba la contraseña en la dirección; use PGPASSWORD, el archivo "
                                   "~/.pgpass, o escríbala cuando el programa la pida"));
    ServerAddress a;
    a.host = u.host();
    a.port = u.port(-1);
    a.user = u.userName();
    a.database = u.path().mid(1);
    if (a.database.isEmpty() || a.database.contains(QLatin1Char('/')))
        return fail(
            QStringLiteral("falta el nombre de la base de datos (postgresql://usuario@servidor/base)"));
    const QUrlQuery query(u);
    for (const auto &item : query.queryItems(QUrl::FullyDecoded)) {
        if (item.first != QLatin1String("sslmode"))
            return fail(QStringLiteral("la opción %1 no se admite (solo sslmode)").arg(item.first));
        static const QStringList modes = {QStringLiteral("disable"),   QStringLiteral("allow"),
                                          QStringLiteral("prefer"),    QStringLiteral("require"),
                                          QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
        if (!modes.contains(item.second))
            return fail(QStringLiteral("sslmode=%1 no es un modo conocido").arg(item.second));
        a.sslmode = item.second;
    }
    return a;
}

void configure(QSqlDatabase &db, const ServerAddress &a, const QString &password) {
    // Empty parts are left to libpq's own sources (PGHOST, PGUSER, PGPASSWORD, ~/.pgpass, ...).
    if (!a.host.isEmpty())
        db.setHostName(a.host);
    if (a.port > 0)
        db.setPort(a.port);
    if (!a.user.isEmpty())
        db.setUserName(a.user);
    db.setDatabaseName(a.database);
    if (!password.isEmpty())
        db.setPassword(password);
    // Every wait on the network is bounded: the connection itself, and a server or network that stops
    // answering in the middle of a statement (keepalives while idle, a limit on unacknowledged data).
    db.setConnectOptions(QStringLiteral("sslmode=%1;connect_timeout=%2;application_name=Mirabel;keepalives=1;"
                                        "keepalives_idle=30;keepalives_interval=10;keepalives_count=3;"
                                        "tcp_user_timeout=60000")
                             .arg(a.sslmode)
                             .arg(ConnectTimeoutSeconds));
}

ConnectFailure diagnoseConnection(const ServerAddress &address, const QString &password) {
    return pg::diagnoseConnection(address, password);
}

QString maskPassword(const QString &text) {
    // user:password@ right after the scheme; the last '@' ends it, as a password may hold one unencoded.
    static const QRegularExpression withPassword(
        QStringLiteral(R"(([A-Za-z][A-Za-z0-9+.-]*://[^:/@?#\s]*):[^\s]*@)"));
    QString out = text;
    out.replace(withPassword, QStringLiteral("\\1:****@"));
    return out;
}

QString beginStatement(const QSqlDatabase &db) {
    return isServer(db) ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE");
}

QStringList preamble(const QSqlDatabase &db) {
    return isServer(db) ? pg::preamble() : QStringList();
}

QStringList schemaStatement(const QSqlDatabase &db, const QString &portable) {
    if (isServer(db))
        return pg::translate(portable);
    QString s = portable;
    // A single desk stores dates as ISO text (YYYY-MM-DD), which sorts and compares as dates.
    static const QRegularExpression dateType(QStringLiteral(R"((") DATE\b)"));
    s.replace(dateType, QStringLiteral("\\1 TEXT"));
    return {s};
}

int schemaVersion(const QSqlDatabase &db) {
    if (isServer(db))
        return pg::schemaVersion(db);
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("PRAGMA user_version")) && q.next())
        return q.value(0).toInt();
    return -1;
}

bool setSchemaVersion(const QSqlDatabase &db, int version, QString *error) {
    if (isServer(db))
        return pg::setSchemaVersion(db, version, error);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version = %1").arg(version))) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    return true;
}

bool syncKeys(const QSqlDatabase &db, const QStringList &tables, QString *error) {
    // SQLite hands out max(key, highest ever) + 1 by itself.
    return isServer(db) ? pg::syncKeys(db, tables, error) : true;
}

qint64 keyCounter(const QSqlDatabase &db, const QString &table) {
    if (isServer(db))
        return pg::keyCounter(db, table);
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?")))
        return -1;
    q.addBindValue(table);
    if (!q.exec())
        return -1;
    return q.next() ? q.value(0).toLongLong() : 0;
}

QString snapshotStatement(const QSqlDatabase &db) {
    // SQLite: a deferred transaction reads one moment of the file from its first read on.
    return isServer(db) ? QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")
                        : QStringLiteral("BEGIN");
}

int rowsPerInsert(const QSqlDatabase &db) {
    // SQLite binds straight on its handle: one row a statement is as fast as it gets there.
    return isServer(db) ? 250 : 1;
}

QVariant lastInsertId(QSqlQuery &q, const QSqlDatabase &db) {
    if (!isServer(db))
        return q.lastInsertId();
    // The server names the row's number through the session's last sequence value.
    QSqlQuery last(db);
    if (last.exec(QStringLiteral("SELECT lastval()")) && last.next())
        return last.value(0);
    return {};
}

QString dayChangeStatement(const QSqlDatabase &db) {
    if (isServer(db))
        return pg::dayChangeStatement();
    const QString anio = QStringLiteral(R"(CAST(substr("Vencimiento", 1, 4) AS INTEGER))");
    return QStringLiteral(R"(UPDATE "Cuotas" SET "Vencimiento" = substr("Vencimiento", 1, 8) ||
            CASE substr("Vencimiento", 6, 2)
              WHEN '02' THEN CASE WHEN %1 % 4 = 0 AND (%1 % 100 <> 0 OR %1 % 400 = 0) THEN ? ELSE ? END
              WHEN '04' THEN ? WHEN '06' THEN ? WHEN '09' THEN ? WHEN '11' THEN ? ELSE ? END
          WHERE length("Vencimiento") >= 10 AND substr("Vencimiento", 5, 1) = '-'
            AND substr("Vencimiento", 8, 1) = '-')")
        .arg(anio);
}

bool lockTables(const QSqlDatabase &db, const QStringList &tables, QString *error) {
    return isServer(db) ? pg::lockTables(db, tables, error) : true;
}

bool usePrivateScratch(const QSqlDatabase &db, QString *error) {
    return isServer(db) ? pg::usePrivateScratch(db, error) : true;
}

bool lockWork(const QSqlDatabase &db, int area, qint64 number, QString *error) {
    return isServer(db) ? pg::lockWork(db, area, number, error) : true;
}

void sendToday(const QSqlDatabase &db) {
    if (isServer(db))
        pg::sendToday(db);
}

QString keepRowsClause(const QSqlDatabase &db) {
    return isServer(db) ? QStringLiteral(" FOR KEY SHARE") : QString();
}

QString orderedJoin(const QSqlDatabase &db) {
    return isServer(db) ? QStringLiteral("JOIN") : QStringLiteral("CROSS JOIN");
}

QSqlError lastFailure(const QSqlDatabase &db) {
    return isServer(db) ? pg::lastFailure(db) : QSqlError();
}

QString errorText(const QSqlError &error) {
    const QString state = error.nativeErrorCode();
    if (error.driverText().startsWith(QLatin1String("QPSQL")) && state.size() == 5)
        return pg::errorText(state, error.databaseText());
    if (error.driverText().startsWith(QLatin1String("QPSQL")))
        return QStringLiteral("el servidor de la base de datos no respondió como se esperaba");
    return error.databaseText().trimmed().isEmpty() ? error.text() : error.databaseText().trimmed();
}

QString isNullNumber(const QSqlDatabase &db, const QString &expr) {
    return isServer(db) ? QStringLiteral("(%1 IS NULL)::int").arg(expr)
                        : QStringLiteral("(%1 IS NULL)").arg(expr);
}

} // namespace SqlEngine
