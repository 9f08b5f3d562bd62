#pragma once

#include "core/Result.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <functional>

// Opening, creating and upgrading the database file, and the small query helpers every subsystem uses.
class Database {
public:
    // ReadOnly: for commands that only read (reports, copies): the file must be a Mirabel database of
    // this version; nothing is created, upgraded or written, and every write is refused.
    enum class Mode { CreateIfMissing, MustExist, ReadOnly };

    // The default location: BASE.db in the per-user data folder.
    static QString defaultPath();

    // Opens (and if needed creates and upgrades) the file as the program's default connection. path may
    // also be a server's address, "postgresql://user@host[:port]/dbname": the database there must exist;
    // an empty one gets the schema (CreateIfMissing), one of another program is refused.
    // On failure returns why, in Spanish, and leaves no connection open. A file that
    // is not a Mirabel database, comes from a newer version or fails the quick integrity check is
    // refused without a byte of it changed (the full integrity check is checkIntegrityDaily()'s). A file the
    // user may not write opens read-only (isReadOnly()). Opening writes nothing unless an upgrade needs it
    // or another program wrote names without their sort keys.
    [[nodiscard]] static Result open(const QString &path, Mode mode);
    // Starts open()'s look at an existing file on another thread, so that it runs while the splash is
    // shown; the next open() of the same file takes its finding.
    static void precheck(const QString &path);
    // The open file's integrity check (it reads every page), at most once a day: on a worker thread with a
    // connection of its own, while the program is in use. Returns whether one was started: not on a server,
    // not when the file was found sound today already or a check is running. When it ends, on the
    // program's thread, a sound file is noted as checked today; damage is logged and told to the listener
    // (in Spanish, with what to do). Closing the file stops a check under way (it runs again next time).
    static bool checkIntegrityDaily();
    using DamageListener = std::function<void(const QString &why)>;
    static void setDamageListener(DamageListener listener);
    // Waits until a check under way has ended and its finding was handled.
    static void waitIntegrityCheck();
    // Opens a further connection on the same file (reports, background readers), prepared the same way.
    // May be called on a worker thread, which then ends the connection itself with closeExtra().
    [[nodiscard]] static Expected<QSqlDatabase> openExtra(const QString &connectionName);
    static void closeExtra(const QString &connectionName);
    static void close();
    // A connection named connectionName on another database (a file or a server's address), prepared as
    // the default one, for work between two databases (a copy, an import). Refused as open() refuses:
    // a file or server database that is not Mirabel's, of a newer version, damaged; ReadOnly also refuses
    // an empty or older one and every write. Otherwise the schema is left as found (an empty database has
    // none): the caller brings it up with Schema::upgrade() inside its own transaction, so that a failed
    // piece of work leaves nothing behind. A missing file is created (not in ReadOnly or MustExist).
    // The program's own connection and path are untouched. On failure no connection is left under the name.
    [[nodiscard]] static Expected<QSqlDatabase> openOther(const QString &connectionName, const QString &path,
                                                          Mode mode);
    static void closeOther(const QString &connectionName);
    // Whether the open file only allows reading (its permissions, or Mode::ReadOnly): writes are refused.
    static bool isReadOnly();
    // How long a write waits for another program's write on the same file before giving up.
    static void setBusyTimeout(int milliseconds);
    static int busyTimeout();
    // The program's connection. A server connection that was lost (found so by a failed statement, or by
    // what the server said before it went away) is opened again, prepared as at the start, when no work is
    // under way on it; in the middle of a transaction it stays lost, so the rest of that work fails as a
    // whole instead of going on outside it. While the server does not answer, one try per piece of work.
    static QSqlDatabase db();
    // The open file's path, or the server's address (without any password).
    static QString path();
    // Whether the open database is on a shared server rather than in a file.
    static bool isServer();
    // Asks the user for the server's password when libpq's own sources (PGPASSWORD, ~/.pgpass) give none
    // or a wrong one; returns an empty string when the user gives up. The answer is kept in memory only,
    // for this run's further connections. Without a prompt, the open fails with a message saying how to
    // give one.
    using PasswordPrompt = std::function<QString(const QString &address, bool wrong)>;
    static void setPasswordPrompt(PasswordPrompt prompt);
    // Told once (with the reason, in Spanish) when the server is found out of reach and cannot be opened
    // again; told again only after it came back and was lost anew. The program keeps trying at each
    // further piece of work, and goes on as before once the server answers.
    using LostListener = std::function<void(const QString &why)>;
    static void setLostListener(LostListener listener);

    // Prepares sql on q, binds params in order and runs it. Errors are logged (with where) and give false.
    [[nodiscard]] static bool run(QSqlQuery &q, const QString &sql, const QVariantList &params,
                                  const QString &where);
    // A statement of the program's connection that failed, with the engine's code and Qt's text of it.
    [[nodiscard]] static Result failure(const QSqlQuery &q);
    // Index of a field by name, without regard to case as the stored names are; -1 when absent.
    static int fieldIndex(const QSqlRecord &record, const QString &name);
    // Runs a statement with bound values; errors are logged and returned with the engine's code.
    [[nodiscard]] static Result exec(const QString &sql, const QVariantList &params = {});
    // The value of field campo in the first row of the query, or a null QVariant when there is no row,
    // the query fails or the field does not exist. Failures are logged, never shown.
    static QVariant buscaValor(const QString &sql, const QString &campo, const QVariantList &params = {});
    // The first column of every row, as text (rows with Null are left out).
    static QStringList textos(const QString &sql, const QVariantList &params = {});
    // Whether the file has at least one user (the first start asks for a supervisor otherwise).
    static bool hasUsers();
};
