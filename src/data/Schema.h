#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The database layout, as numbered upgrade steps. Version 0 is an empty file.
class Schema {
public:
    static int currentVersion();
    // Brings the file up to the current version, one step per transaction. Returns false with a reason.
    static bool upgrade(QSqlDatabase &db, QString *error);
    static int version(QSqlDatabase &db);
    // The statements of one step (public so that tests can check them against a plain sqlite3 reading).
    static QStringList stepStatements(int toVersion);
};
