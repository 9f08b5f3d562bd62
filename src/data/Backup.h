#pragma once

#include <QSqlDatabase>
#include <QString>

// Consistent copies of the open database (SQLite's online backup: safe while the program writes).
// Destructive commands take an automatic copy first and refuse to go on when it cannot be written.
class Backup {
public:
    // The data folder's copias/ (next to the default database); tests may point it elsewhere.
    static QString folder();
    static void setFolder(const QString &folder); // empty: back to the default

    // Writes a copy of db to destination (replacing it only once the copy is complete). The file is
    // readable by its owner alone. On failure returns false with a Spanish reason in *error.
    static bool copyTo(const QString &destination, QString *error,
                       const QSqlDatabase &db = QSqlDatabase::database());

    // Automatic copy before a destructive command: copias/Mirabel-YYYYMMDD-HHMMSS.db. Keeps the newest
    // KeepAutomatic automatic copies. On success *written holds the copy's full path.
    static bool automatic(QString *written, QString *error,
                          const QSqlDatabase &db = QSqlDatabase::database());

    static constexpr int KeepAutomatic = 20;
};
