// Loads a club file into an empty database on a server, for the benchmarks: every table's rows as they
// are, keys included, by COPY, then the identity counters and the planner's statistics.
//   mirabel-bench-load CLUB.db postgresql://user@host[:port]/dbname
// The server database must exist; an empty one gets the schema. One with members, dues or cash is refused.

#include "db/Database.h"
#include "db/SqlEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDriver>
#include <QStringList>
#include <cstdio>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace {

int fail(const QString &why) {
    std::fprintf(stderr, "mirabel-bench-load: %s\n", why.toUtf8().constData());
    return 1;
}

QByteArray quoted(const QByteArray &name) {
    return '"' + QByteArray(name).replace('"', "\"\"") + '"';
}

PGconn *handleOf(const QSqlDatabase &db) {
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    if (!h.isValid() || (qstrcmp(h.typeName(), "PGconn*") != 0 && qstrcmp(h.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(h.data());
}

bool command(PGconn *c, const QByteArray &sql, QString *error) {
    PGresult *r = PQexec(c, sql.constData());
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
    if (!ok)
        *error =
            QString::fromUtf8(sql) + QStringLiteral(": ") + QString::fromUtf8(PQerrorMessage(c)).trimmed();
    PQclear(r);
    return ok;
}

// One value in COPY's text form.
void append(QByteArray &out, sqlite3_stmt *st, int col) {
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL:
        out += "\\N";
        return;
    case SQLITE_INTEGER:
        out += QByteArray::number(sqlite3_column_int64(st, col));
        return;
    case SQLITE_FLOAT:
        out += QByteArray::number(sqlite3_column_double(st, col), 'g', 17);
        return;
    case SQLITE_BLOB: {
        const auto *p = static_cast<const char *>(sqlite3_column_blob(st, col));
        out += "\\\\x" + QByteArray(p, sqlite3_column_bytes(st, col)).toHex();
        return;
    }
    default: {
        const char *p = reinterpret_cast<const char *>(sqlite3_column_text(st, col));
        const int n = sqlite3_column_bytes(st, col);
        for (int i = 0; i < n; ++i) {
            switch (p[i]) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += p[i];
            }
        }
    }
    }
}

// Copies one table's rows; returns the number copied, -1 on failure.
qint64 copyTable(sqlite3 *src, PGconn *dst, const QByteArray &table, QString *error) {
    QList<QByteArray> columns;
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(src, ("PRAGMA table_info(" + quoted(table) + ")").constData(), -1, &st, nullptr);
        while (st && sqlite3_step(st) == SQLITE_ROW)
            columns << quoted(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
        sqlite3_finalize(st);
    }
    const QByteArray list = columns.join(", ");
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(src, ("SELECT " + list + " FROM " + quoted(table)).constData(), -1, &st,
                           nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(src));
        return -1;
    }
    // The rows go as they are: their own keys, and no trigger re-deriving what the file already holds.
    if (!command(dst, "ALTER TABLE " + quoted(table) + " DISABLE TRIGGER USER", error) ||
        !command(dst, "DELETE FROM " + quoted(table), error)) {
        sqlite3_finalize(st);
        return -1;
    }
    PGresult *r = PQexec(dst, ("COPY " + quoted(table) + " (" + list + ") FROM STDIN").constData());
    const bool started = PQresultStatus(r) == PGRES_COPY_IN;
    PQclear(r);
    if (!started) {
        *error = QString::fromUtf8(PQerrorMessage(dst)).trimmed();
        sqlite3_finalize(st);
        return -1;
    }
    qint64 rows = 0;
    QByteArray buffer;
    bool ok = true;
    int rc = SQLITE_ROW;
    while (ok && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        for (int c = 0; c < columns.size(); ++c) {
            if (c)
                buffer += '\t';
            append(buffer, st, c);
        }
        buffer += '\n';
        ++rows;
        if (buffer.size() > (1 << 20)) {
            ok = PQputCopyData(dst, buffer.constData(), int(buffer.size())) == 1;
            buffer.clear();
        }
    }
    if (rc != SQLITE_DONE && ok) {
        *error = QString::fromUtf8(sqlite3_errmsg(src));
        ok = false;
    }
    sqlite3_finalize(st);
    if (ok && !buffer.isEmpty())
        ok = PQputCopyData(dst, buffer.constData(), int(buffer.size())) == 1;
    PQputCopyEnd(dst, ok ? nullptr : "lectura interrumpida");
    while ((r = PQgetResult(dst))) {
        if (PQresultStatus(r) != PGRES_COMMAND_OK) {
            ok = false;
            if (error->isEmpty())
                *error = QString::fromUtf8(PQerrorMessage(dst)).trimmed();
        }
        PQclear(r);
    }
    if (!ok || !command(dst, "ALTER TABLE " + quoted(table) + " ENABLE TRIGGER USER", error))
        return -1;
    return rows;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3 || !SqlEngine::isServerUrl(QString::fromLocal8Bit(argv[2])))
        return fail(QStringLiteral("uso: mirabel-bench-load CLUB.db postgresql://usuario@servidor/base"));
    const QString file = QString::fromLocal8Bit(argv[1]);
    const QString url = QString::fromLocal8Bit(argv[2]);
    QElapsedTimer timer;
    timer.start();

    // Opened once the program's way first: an older file is brought to this version's schema.
    if (const Result opened = Database::open(file, Database::Mode::MustExist); !opened)
        return fail(opened.message());
    Database::close();
    sqlite3 *src = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &src, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK)
        return fail(QStringLiteral("no se puede leer %1").arg(file));
    QList<QByteArray> tables;
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(
            src,
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
            "ESCAPE '\\' ORDER BY name",
            -1, &st, nullptr);
        while (st && sqlite3_step(st) == SQLITE_ROW)
            tables << reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }

    QString error;
    if (const Result opened = Database::open(url, Database::Mode::CreateIfMissing); !opened)
        return fail(opened.message());
    PGconn *dst = handleOf(Database::db());
    if (!dst)
        return fail(QStringLiteral("la conexión con el servidor no da su manejador"));
    for (const char *t : {"Afiliados", "Cuotas", "Caja"})
        if (Database::buscaValor(QStringLiteral(R"(SELECT COUNT(*) AS n FROM "%1")").arg(QLatin1String(t)),
                                 QStringLiteral("n"))
                .toLongLong() > 0)
            return fail(QStringLiteral("%1 ya tiene datos: se carga solo en una base vacía").arg(url));

    if (!command(dst, "BEGIN", &error))
        return fail(error);
    QStringList counts;
    for (const QByteArray &t : std::as_const(tables)) {
        const qint64 n = copyTable(src, dst, t, &error);
        if (n < 0) {
            command(dst, "ROLLBACK", &error);
            return fail(QStringLiteral("%1: %2").arg(QString::fromUtf8(t), error));
        }
        counts << QStringLiteral("%1 %2").arg(QString::fromUtf8(t)).arg(n);
    }
    if (!command(dst, "COMMIT", &error))
        return fail(error);
    sqlite3_close(src);
    // The counters past the copied keys, and statistics (a fresh load has none) for the planner.
    if (const Result synced = Engine::of(Database::db()).syncKeys(Database::db()); !synced)
        return fail(synced.message());
    if (!command(dst, "VACUUM (ANALYZE)", &error))
        return fail(error);
    Database::close();
    std::printf("mirabel-bench-load: %s en %.1f s\n", qPrintable(counts.join(QStringLiteral(", "))),
                double(timer.elapsed()) / 1000);
    return 0;
}
