#pragma once

#include "db/Engine.h"

#include <optional>

struct sqlite3;

// A single desk's club in a SQLite file.
class SqliteEngine : public Engine {
public:
    static const SqliteEngine &instance();

    // Prepares an open QSQLITE connection (see Engine::prepare()).
    Result prepareConnection(QSqlDatabase &db, bool readOnly, int busyTimeoutMs) const override;
    // The connection's native handle, or nullptr when db is not an open SQLite connection.
    static sqlite3 *handle(const QSqlDatabase &db);
    // Whether an engine code says the file is damaged (or not a database at all).
    static bool isDamage(int code);
    // The schema version of a file, or -1 when it is not SQLite. Asked of the engine first (the newest
    // version may still sit in the -wal file); for a file the engine cannot read, from the header's bytes,
    // so a damaged file can still be recognised as the program's own.
    static int fileVersion(const QString &path, int busyTimeoutMs);

    QString absoluteLocation(const QString &location) const override;
    QString shownLocation(const QString &location) const override;
    QString beginStatement() const override;
    QString snapshotStatement() const override;
    QStringList preamble() const override;
    QStringList schemaStatement(const QString &portable) const override;
    QStringList sortKeyTriggers() const override;
    Result keepSortKeys(const QSqlDatabase &db) const override;
    QString dayChangeStatement() const override;
    QString keepRowsClause() const override;
    QString orderedJoin() const override;
    QStringList statisticsStatements(const QStringList &tables) const override;
    QStringList keyedJoinStatements() const override;
    std::function<void()> interrupter(const QSqlDatabase &db) const override;
    QString isNullNumber(const QString &expr) const override;
    QString likeCondition(const QString &expression, const QString &pattern, QChar escape) const override;
    int rowsPerInsert() const override;
    bool datesAreDays() const override;
    QString lockWaitStatement(int milliseconds) const override;
    Expected<int> schemaVersion(const QSqlDatabase &db) const override;
    Result setSchemaVersion(const QSqlDatabase &db, int version) const override;
    Result syncKeys(const QSqlDatabase &db, const QStringList &tables) const override;
    Expected<qint64> keyCounter(const QSqlDatabase &db, const QString &table) const override;
    Result reserveKeys(const QSqlDatabase &db, const QString &table, qint64 upTo) const override;
    QVariant lastInsertId(QSqlQuery &q, const QSqlDatabase &db) const override;
    Result lockTables(const QSqlDatabase &db, const QStringList &tables) const override;
    Result lockWork(const QSqlDatabase &db, int area, qint64 number) const override;
    Result usePrivateScratch(const QSqlDatabase &db) const override;
    QSqlError lastFailure(const QSqlDatabase &db) const override;
    void sendToday(const QSqlDatabase &db) const override;
    int errorCode(const QSqlError &error, const QSqlDatabase &db) const override;
    QString errorText(const QSqlError &error) const override;
    bool connectionLost(const QSqlDatabase &db) const override;
    int pendingError(const QSqlDatabase &db, QString *text) const override;
    int spoiledTransaction(const QSqlDatabase &db, QString *text) const override;
    bool inTransaction(const QSqlDatabase &db) const override;
    Result::Code resultCode(int nativeCode) const override;
    bool isServer() const override { return false; }
    QString copyExtension() const override;
    Result copyInto(const QSqlDatabase &db, const QString &destination) const override;
};

// A database file looked at or copied straight through the engine, without a Qt connection: before the
// program's own connection (which sets WAL mode and may upgrade) ever touches it, on another thread, or on
// a file too damaged to open as a connection.
class SqliteFile {
public:
    enum class Access {
        ReadWrite, // without create: a connection that only reads and closes leaves the folder as it was
        ReadOnly,
        Immutable, // read-only and assumed unchanging: looking at a copy leaves no files beside it
    };
    SqliteFile() = default;
    ~SqliteFile();
    SqliteFile(const SqliteFile &) = delete;
    SqliteFile &operator=(const SqliteFile &) = delete;

    // Opens path; false (with the engine's code in code()) when it cannot. A busy timeout above 0 makes
    // statements wait that long for another desk's write.
    bool open(const QString &path, Access access, int busyTimeoutMs = 0);
    void close();
    // Makes a statement running on another thread stop soon; wasInterrupted() says so after.
    void interrupt();
    bool wasInterrupted() const;
    // One number (the first column of the first row); nullopt when the statement fails.
    std::optional<int> number(const char *sql);
    // One text; nullopt when the statement fails.
    std::optional<QString> text(const char *sql);
    // The schema version, as SqliteEngine::schemaVersion() reads it of a connection.
    int schemaVersion();
    // Copies the whole of source into this file in one step, under one read lock of source: one moment
    // of it. Returns the engine's code (0 when done).
    int copyFrom(const SqliteFile &source);
    // Copies this database into the file destination (made already, empty), as SqliteEngine::copyInto().
    [[nodiscard]] Result copyInto(const QString &destination) const;
    // The engine's code and text of the last failure.
    int code() const;
    QString message() const;

private:
    sqlite3 *m_h = nullptr;
    int m_openCode = 0;
};
