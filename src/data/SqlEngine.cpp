#include "data/SqlEngine.h"

#include "data/Clock.h"
#include "data/Log.h"

#include <QCollator>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <sqlite3.h>

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

void sortKeyFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    QString key;
    if (argc == 1)
        key = SqlEngine::sortKey(textArg(argv[0]));
    else
        key = SqlEngine::memberSortKey(textArg(argv[0]), textArg(argv[1]));
    const QByteArray k = key.toUtf8();
    sqlite3_result_text(ctx, k.constData(), int(k.size()), SQLITE_TRANSIENT);
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
    if (error.type() == QSqlError::NoError)
        return 0;
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok && code != 0 ? code : SQLITE_ERROR;
}

int pendingError(const QSqlDatabase &db, QString *text) {
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

bool inTransaction(const QSqlDatabase &db) {
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
        return QStringLiteral("la base de datos está ocupada por otro programa (otro puesto o un envío "
                              "programado); vuelva a intentarlo en unos momentos");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("la base de datos está dañada; restaure la copia de seguridad más reciente");
    case SQLITE_IOERR:
        return QStringLiteral("no se pudo leer o escribir el disco");
    case SQLITE_CANTOPEN:
        return QStringLiteral("no se puede abrir el archivo de la base de datos");
    case SQLITE_NOMEM:
        return QStringLiteral("no hay memoria suficiente");
    default:
        return {};
    }
}

bool prepareConnection(QSqlDatabase &db, QString *error, bool readOnly, int busyTimeoutMs) {
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

} // namespace SqlEngine
