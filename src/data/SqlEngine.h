#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

class QSqlError;
struct sqlite3;
struct sqlite3_stmt;

// The engine-specific layer: everything that only SQLite needs lives here, so that another engine
// (a shared server for clubs with several desks) replaces this file and the pragmas, not the statements.
namespace SqlEngine {

// Name of the Spanish, case-insensitive collation the program's statements use: "... COLLATE es".
inline constexpr const char *Collation = "es";

// Registers on an open connection: the "es" collation, a case-insensitive Unicode like(), date() with no
// argument returning the program's Clock, and clave_orden(text) giving the stored sort key. Sets pragmas.
// A read-only connection keeps the file's journal mode and refuses every write (query_only).
bool prepareConnection(QSqlDatabase &db, QString *error = nullptr, bool readOnly = false,
                       int busyTimeoutMs = 5000);

// The stored sort key of a text: binary order of keys is Spanish dictionary order without regard to case
// or accents (Álvarez before Benítez, Ñandú after Núñez).
QString sortKey(const QString &text);
// Key of a member's list position: surname, then given names.
QString memberSortKey(const QString &apellido, const QString &nombres);
// Upper bound for a prefix search on sort keys: every key starting with prefixKey is below it.
QString prefixUpperBound(const QString &prefixKey);

// Counter keys of table up to upTo are taken: the next row added gets a higher number, even when the
// rows that used them are gone (an imported file keeps links to deleted rows, which must not come back
// pointing at new ones).
bool reserveKeys(QSqlDatabase &db, const QString &table, qint64 upTo, QString *error = nullptr);

// One statement run for many rows, its values bound straight on the engine's handle: in batch work
// (an import of a whole club) the general binding path costs more than the writing itself.
class BulkStatement {
public:
    BulkStatement(const QSqlDatabase &db, const QString &sql);
    ~BulkStatement();
    BulkStatement(const BulkStatement &) = delete;
    BulkStatement &operator=(const BulkStatement &) = delete;

    bool isValid() const { return m_stmt != nullptr; }
    // Binds the value of placeholder index (from 0): Null (a null QString too), whole numbers, text.
    void bind(int index, const QVariant &value);
    // Runs the statement with the values bound, then clears them for the next row.
    bool exec();
    QString lastError() const { return m_error; }

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    QString m_error;
};
// The connection's native handle (sqlite3 *), or nullptr when db is not an open SQLite connection.
sqlite3 *handle(const QSqlDatabase &db);
// SQLite's result code behind a Qt error; 0 when there is none.
int errorCode(const QSqlError &error);
// The error of the statement that last failed on db and has not been followed by another statement;
// 0 when the last statement succeeded.
int pendingError(const QSqlDatabase &db, QString *text = nullptr);
// Whether db has a transaction open (the engine ends one by itself after some failures).
bool inTransaction(const QSqlDatabase &db);
// The common causes of a failed write in plain Spanish ("el disco está lleno"); empty for the others.
QString errorReason(int code);

// Spanish comparison, without regard to case (accents and ñ still count).
int compare(const QString &a, const QString &b);
// LIKE with % and _ (and an optional escape character), without regard to case.
bool like(const QString &pattern, const QString &text, QChar escape = QChar());

} // namespace SqlEngine
