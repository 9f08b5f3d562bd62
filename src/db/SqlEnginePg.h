#pragma once

// The server side of the engine layer, used by SqlEngine.cpp only.
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include "db/SqlEngine.h"

class QSqlError;

namespace SqlEngine::pg {

bool prepareConnection(QSqlDatabase &db, QString *error, bool readOnly, int lockTimeoutMs);
QStringList preamble();
QStringList translate(const QString &portable);
int schemaVersion(const QSqlDatabase &db);
bool setSchemaVersion(const QSqlDatabase &db, int version, QString *error);
bool syncKeys(const QSqlDatabase &db, const QStringList &tables, QString *error);
qint64 keyCounter(const QSqlDatabase &db, const QString &table);
bool reserveKeys(const QSqlDatabase &db, const QString &table, qint64 upTo, QString *error);
int errorCode(const QSqlError &error, const QSqlDatabase *db);
bool inTransaction(const QSqlDatabase &db);
int pendingError(const QSqlDatabase &db, QString *text);
bool connectionLost(const QSqlDatabase &db);
QString dayChangeStatement();
bool lockTables(const QSqlDatabase &db, const QStringList &tables, QString *error);
bool usePrivateScratch(const QSqlDatabase &db, QString *error);
bool lockWork(const QSqlDatabase &db, int area, qint64 number, QString *error);
QSqlError lastFailure(const QSqlDatabase &db);
void sendToday(const QSqlDatabase &db);
QString likeCondition(const QString &expression, const QString &pattern, QChar escape);
ConnectFailure diagnoseConnection(const ServerAddress &address, const QString &password);
QString errorText(const QString &sqlstate, const QString &message);

} // namespace SqlEngine::pg
