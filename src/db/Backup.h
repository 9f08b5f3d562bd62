#pragma once

#include "db/Database.h"
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

// Consistent copies of the open database, safe while the program writes: a file's through SQLite's online
// backup (a .db file), a server's through its own pg_dump (a .dump archive, custom format), put back with
// pg_restore. Destructive commands take an automatic copy first and refuse to go on when it cannot be
// written.
class Backup {
public:
    // The data folder's copias/ (next to the default database); tests may point it elsewhere.
    static QString folder();
    static void setFolder(const QString &folder); // empty: back to the default

    // The extension of db's copies, without the dot: "db" for a file, "dump" for a server.
    static QString extension(const QSqlDatabase &db = QSqlDatabase::database());

    // Writes a copy of db to destination (replacing it only once the copy is complete). The file is
    // readable by its owner alone. On failure the reason is in Spanish.
    [[nodiscard]] static Result copyTo(const QString &destination, const QSqlDatabase &db = Database::db());

    // Automatic copy before a destructive command: copias/Mirabel-IIIIIIII-YYYYMMDD-HHMMSS.db (.dump for a
    // server), IIIIIIII being the start of the database's identity: each database keeps its own copies.
    // Keeps the newest KeepAutomatic automatic copies of each kind of that database. Gives the copy's full
    // path.
    [[nodiscard]] static Expected<QString> automatic(const QSqlDatabase &db = QSqlDatabase::database());

    // The day's first start: an automatic copy unless copias/ already holds one from today. The path
    // written, empty when none was needed.
    [[nodiscard]] static Expected<QString> daily(const QSqlDatabase &db = Database::db());

    // The newest automatic copy in folder() of db (of the kind it takes; a file's when none is open);
    // empty when there is none.
    static QString latest(const QSqlDatabase &db = QSqlDatabase::database());
    // The same for a database file that cannot be opened (a damaged one), as far as its identity can be
    // read.
    static QString latestOf(const QString &databasePath);
    // The file name pattern of db's automatic copies, for a file dialog: "Mirabel-IIIIIIII-*.db".
    static QString pattern(const QSqlDatabase &db = QSqlDatabase::database());

    // What a copy holds, read without changing it.
    struct Contents {
        QDateTime taken; // from the copy's name, else the file's time
        int members = 0;
        int dues = 0;
        int movements = 0;
        QString identity; // of the database copied; empty for a copy made by an older version
        // "300 socios, 3.450 cuotas y 1 movimiento de caja"
        QString describe() const;
    };
    // Checks that file is a sound Mirabel copy this program can open, and reads its counts. With a target
    // (a file's path or a server's address), also that the copy is of the kind that target takes.
    [[nodiscard]] static Expected<Contents> inspect(const QString &file, const QString &target = QString());

    // Replaces the database at databasePath with the copy. The copy is checked first; an existing file at
    // databasePath must be a Mirabel database (damaged is allowed: that is what restoring is for) and is
    // copied into copias/ before anything is replaced (its path comes back; empty when there was no file).
    // Nothing is replaced when that copy cannot be written.
    // databasePath may be a server's address: its database must be empty or the program's; its contents
    // are replaced in one transaction, and the program's connection to it, when open, is reopened after.
    // A file's copy is refused for a server and a server's for a file.
    // The code NotOurs tells a refused (or unreachable) target apart from a failed write.
    // A copy of another database (or one that does not say whose it is) is refused unless anyDatabase,
    // which the user must have chosen knowingly. The database restored keeps its own identity: it is
    // still the same database, now holding the copy's data.
    [[nodiscard]] static Expected<QString> restore(const QString &copy, const QString &databasePath,
                                                   bool anyDatabase = false);

    // Whether a copy (as inspect() read it) is one of the database at target (a file's path or a
    // server's address), or target has no identity to tell (a new file, an older or damaged one). When
    // not, Invalid says so in Spanish, to be put to the user.
    [[nodiscard]] static Result isCopyOf(const Contents &copy, const QString &target);

    static constexpr int KeepAutomatic = 20;

private:
    // restore() without its entry in the activity log.
    [[nodiscard]] static Expected<QString> putBack(const QString &copy, const QString &databasePath,
                                                   bool anyDatabase);
};
