#pragma once

// The server engine: its libpq pieces stay in its own file.
#include "db/Engine.h"

// Several desks sharing a club on a PostgreSQL server.
class PostgresEngine : public Engine {
public:
    static const PostgresEngine &instance();

    // Prepares an open QPSQL connection (see Engine::prepare()); lockTimeoutMs bounds a wait for a lock.
    Result prepareConnection(QSqlDatabase &db, bool readOnly, int lockTimeoutMs) const override;

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
    bool isServer() const override { return true; }
    QString copyExtension() const override;
    Result copyInto(const QSqlDatabase &db, const QString &destination) const override;
};
