#pragma once

#include "core/Result.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The database layout, as numbered upgrade steps. Version 0 is an empty file.
class Schema {
public:
    static int currentVersion();
    // Brings the file up to the current version, one step per transaction.
    [[nodiscard]] static Result upgrade(QSqlDatabase &db);
    // The stored version (Engine::schemaVersion()): 0 for an empty database; NotOurs for one of another
    // program's.
    [[nodiscard]] static Expected<int> version(const QSqlDatabase &db);
    // The statements of one step (public so that tests can check them against a plain sqlite3 reading).
    static QStringList stepStatements(int toVersion);
    // The identity the database was given when it was made: the same in its copies and wherever the club
    // is moved. Empty for an older database (before its upgrade) or when it cannot be read.
    static QString identity(const QSqlDatabase &db);
    // Gives db that identity (inside the caller's transaction, if any): a restored copy stays the
    // database it was restored into.
    [[nodiscard]] static Result setIdentity(const QSqlDatabase &db, const QString &identity);
};
