#pragma once

#include "core/Result.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

class QSqlQuery;

// What differs between the two engines a club may live on: a SQLite file on a single desk, or a
// PostgreSQL server several desks share. A connection's engine is chosen once, when the connection is
// prepared, and kept under its name; everything else asks it (Engine::of(db)) instead of looking at the
// kind itself, so the statements of the subsystems are the same on both.
class Engine {
public:
    virtual ~Engine() = default;

    // The engine of db's connection, as chosen when it was prepared (by its driver, for a connection
    // never prepared: a bare one made to look at a server).
    static const Engine &of(const QSqlDatabase &db);
    // The engine a database's location names: a server's address, or else a file's path.
    static const Engine &at(const QString &location);
    // Prepares an open connection and keeps its engine under its name. On SQLite it registers the "es"
    // collation, a case-insensitive Unicode like(), date() with no argument returning the program's Clock,
    // and clave_orden(text) giving the stored sort key, and sets pragmas; a read-only connection keeps the
    // file's journal mode and refuses every write. On a server it sets the session (time zone, lock wait).
    [[nodiscard]] static Result prepare(QSqlDatabase &db, bool readOnly = false, int busyTimeoutMs = 5000);

    // --- Locations ---
    // Whether the database is on a shared server (several desks) rather than in a file on this one.
    virtual bool isServer() const = 0;
    // The location as kept and opened: a file's absolute path (relative to the current folder), a server's
    // address as written.
    virtual QString absoluteLocation(const QString &location) const = 0;
    // The location as shown to the user: a file's path in the system's form.
    virtual QString shownLocation(const QString &location) const = 0;

    // --- Statement and schema forms ---
    // Starts a top-level transaction: on SQLite it takes the write lock at once, so two desks never both
    // read and then both write.
    virtual QString beginStatement() const = 0;
    // Starts a transaction that only reads and sees one moment of the whole database (a copy of it).
    virtual QString snapshotStatement() const = 0;
    // Runs once before the first schema step of a new database: what the engine must have for the views
    // and statements (on a server: the "es" collation, date(), clave_orden(), the version table).
    virtual QStringList preamble() const = 0;
    // The engine's form of one statement of the schema (types, key columns, triggers).
    virtual QStringList schemaStatement(const QString &portable) const = 0;
    // The triggers that keep every member's and plan's sort key ("ClaveOrden") right, made once by the
    // schema. On a server they compute it for every writer. A file's cannot name the program's key function
    // (another tool writing without it would fail): they count every write of names in "Mantenimiento"
    // instead, and the program's own connections take their writes off the count again (keepSortKeys()), so
    // a count other than 0 says another program wrote names since the keys were last made.
    virtual QStringList sortKeyTriggers() const = 0;
    // Makes db's own writes keep the sort keys (a file's connection: its own triggers, which call the key
    // function); nothing on a server or on a database without "Mantenimiento" yet.
    [[nodiscard]] virtual Result keepSortKeys(const QSqlDatabase &db) const = 0;
    // The whole day change of every due's date as one UPDATE: seven bound day numbers, as two-digit texts,
    // for February in a leap year, February, April, June, September, November and the other months.
    virtual QString dayChangeStatement() const = 0;
    // Appended to a SELECT inside a transaction: the rows read cannot be deleted by another desk until the
    // transaction ends (a file's transaction already holds the whole file).
    virtual QString keepRowsClause() const = 0;
    // A join run in the order written, the left table outside.
    virtual QString orderedJoin() const = 0;
    // Statements that give the planner the sizes of scratch tables just filled (a server's planner knows
    // nothing of a temporary table's rows otherwise); none where joins run in the order written.
    virtual QStringList statisticsStatements(const QStringList &tables) const = 0;
    // Statements that make the rest of the transaction's joins look rows up by key: a long run joins each
    // group of a thousand members to its rows, and a server's merge join would walk the index from its start
    // for every group (a file's joins already run as written).
    virtual QStringList keyedJoinStatements() const = 0;
    // What stops db's statement under way when called from another thread; empty where the engine has no
    // such way that returns at once (a server's cancel request waits on the network).
    virtual std::function<void()> interrupter(const QSqlDatabase &db) const = 0;
    // Whether expr is NULL, as the number 1 or 0 (usable in a UNION or an ORDER BY with numbers).
    virtual QString isNullNumber(const QString &expr) const = 0;
    // A LIKE condition matched as the program's connections read LIKE: without regard to case, accents and
    // ñ still counting. expression and pattern are SQL (a column, a placeholder); escape, when given, makes
    // the next character of the pattern literal.
    virtual QString likeCondition(const QString &expression, const QString &pattern,
                                  QChar escape = QChar()) const = 0;
    // How many rows one INSERT of batch work should carry: on a server every statement is a round trip.
    virtual int rowsPerInsert() const = 0;
    // The statement that makes a write wait this long for another desk's lock before it gives up.
    virtual QString lockWaitStatement(int milliseconds) const = 0;
    // Whether the engine keeps dates as days only (a server's DATE), so a copy compares them as days.
    virtual bool datesAreDays() const = 0;

    // --- Whether a database is the program's ---
    // What versionFound() makes of a version read as a number: -1 could not be read, -2 another program's.
    static Expected<int> versionFound(int version);
    // The schema version stored in the database: 0 for an empty one; NotOurs when it holds tables of
    // something else, Failed when it cannot be read. The one check of "is this ours" for the engine.
    [[nodiscard]] virtual Expected<int> schemaVersion(const QSqlDatabase &db) const = 0;
    [[nodiscard]] virtual Result setSchemaVersion(const QSqlDatabase &db, int version) const = 0;

    // --- Identity counters ---
    // The counters set past the highest key of every table (of tables, when given): rows written with their
    // own numbers (the first rows of a new database, an import, a copy) must not be handed out again.
    [[nodiscard]] virtual Result syncKeys(const QSqlDatabase &db, const QStringList &tables = {}) const = 0;
    // The highest key the counter of table has handed out (deleted rows count); 0 when none.
    [[nodiscard]] virtual Expected<qint64> keyCounter(const QSqlDatabase &db, const QString &table) const = 0;
    // Counter keys of table up to upTo are taken: the next row added gets a higher number, even when the
    // rows that used them are gone (an imported file keeps links to deleted rows).
    [[nodiscard]] virtual Result reserveKeys(const QSqlDatabase &db, const QString &table,
                                             qint64 upTo) const = 0;
    // The key the last INSERT of q (run on db) gave its row.
    virtual QVariant lastInsertId(QSqlQuery &q, const QSqlDatabase &db) const = 0;

    // --- Locks ---
    // Inside a transaction: keeps the other desks from writing tables until it ends (a day change, a
    // clearing, an import). SQLite's transaction already holds the whole file.
    [[nodiscard]] virtual Result lockTables(const QSqlDatabase &db, const QStringList &tables) const = 0;
    // Inside a transaction: one desk at a time does work named by area and number.
    [[nodiscard]] virtual Result lockWork(const QSqlDatabase &db, int area, qint64 number) const = 0;
    // From here on this connection's scratch tables ("TmpCuotas") are its own: on a server, a temporary
    // table of the session hides the shared one. Nothing to do in a file, which one desk uses at a time.
    [[nodiscard]] virtual Result usePrivateScratch(const QSqlDatabase &db) const = 0;
    // The error of the last of this layer's own statements on db that failed (a lock), for a transaction to
    // tell a lock that waited too long from other failures; no error on SQLite.
    virtual QSqlError lastFailure(const QSqlDatabase &db) const = 0;
    // Tells the connection the program's "today" (date() in the views and statements reads it).
    virtual void sendToday(const QSqlDatabase &db) const = 0;

    // --- Errors ---
    // The result code behind an error of db's (SQLite's codes; a server's SQLSTATE mapped onto them, or onto
    // SqlEngine's own codes); 0 when there is none.
    virtual int errorCode(const QSqlError &error, const QSqlDatabase &db) const = 0;
    // What an engine error means, for the user: on a server, a Spanish text chosen by the SQLSTATE (its own
    // message is English and goes to the log only); in a file, the engine's text.
    virtual QString errorText(const QSqlError &error) const = 0;
    // Whether db is a connection that was lost (the server or the network went away), read without
    // waiting.
    virtual bool connectionLost(const QSqlDatabase &db) const = 0;
    // The error of the statement that last failed on db and has not been followed by another statement;
    // 0 when the last statement succeeded.
    virtual int pendingError(const QSqlDatabase &db, QString *text = nullptr) const = 0;
    // The error that makes a COMMIT on db not store the work although the engine answers it as a success
    // (a server rolls back a transaction a failed statement spoiled); 0 when there is none.
    virtual int spoiledTransaction(const QSqlDatabase &db, QString *text) const = 0;
    // Whether db has a transaction open (the engine ends one by itself after some failures).
    virtual bool inTransaction(const QSqlDatabase &db) const = 0;
    // What kind of failure a result code of this engine's (errorCode(), pendingError()) is, for the
    // callers to decide by: Busy (a lock wait ran out, another desk's change got in the way even after the
    // retries), ConnectionLost (the server went away), or else Failed. The one place each engine maps them.
    virtual Result::Code resultCode(int nativeCode) const = 0;
    // A failure with the code the engine maps nativeCode to, and message for the user.
    Result failure(int nativeCode, const QString &message) const;
    // The same for a statement of db's that failed with error; by default with the user's message
    // (Transaction::userMessage()).
    Result failure(const QSqlError &error, const QSqlDatabase &db) const;
    Result failure(const QSqlError &error, const QSqlDatabase &db, const QString &message) const;

    // --- Copies ---
    // The extension of a copy's file, without the dot: "db" for a file, "dump" for a server.
    virtual QString copyExtension() const = 0;
    // Writes one moment of db's whole database into the file destination (made already, empty, by the
    // caller). The message says why not, in Spanish.
    [[nodiscard]] virtual Result copyInto(const QSqlDatabase &db, const QString &destination) const = 0;

protected:
    // What prepare() does once it has chosen the engine.
    [[nodiscard]] virtual Result prepareConnection(QSqlDatabase &db, bool readOnly,
                                                   int busyTimeoutMs) const = 0;
};
