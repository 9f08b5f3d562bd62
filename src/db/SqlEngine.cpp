#include "db/SqlEngine.h"

#include "core/Clock.h"
#include "core/Log.h"
#include "core/PorHilo.h"
#include "db/SqliteEngine.h"

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
    static PorHilo<QCollator> porHilo([] {
        auto *col = new QCollator(QLocale(QLocale::Spanish, QLocale::Argentina));
        col->setCaseSensitivity(Qt::CaseInsensitive);
        col->setNumericMode(false);
        return col;
    });
    return porHilo.local();
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

BulkStatement::BulkStatement(const QSqlDatabase &db, const QString &sql) : m_db(SqliteEngine::handle(db)) {
    // Straight on the handle of a file; on a server, every row is a round trip anyway.
    if (!m_db && db.isOpen()) {
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

Expected<ServerAddress> parseServerUrl(const QString &url) {
    const auto fail = [&](const QString &why) -> Expected<ServerAddress> {
        return Result::failure(
            maskPassword(QStringLiteral("La dirección %1 no es válida: %2.").arg(url, why)),
            Result::Code::Invalid);
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

QString maskPassword(const QString &text) {
    // user:password@ right after the scheme; the last '@' ends it, as a password may hold one unencoded.
    static const QRegularExpression withPassword(
        QStringLiteral(R"(([A-Za-z][A-Za-z0-9+.-]*://[^:/@?#\s]*):[^\s]*@)"));
    QString out = text;
    out.replace(withPassword, QStringLiteral("\\1:****@"));
    return out;
}

} // namespace SqlEngine
