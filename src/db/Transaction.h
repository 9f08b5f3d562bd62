#pragma once

#include "core/Result.h"
#include "db/Database.h"

#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <optional>

class QSqlError;

// All-or-nothing work: rolls back unless commit() is called. Guards nest as savepoints, so an inner
// guard that fails undoes only its own part (batch work: one savepoint per member in one transaction).
class Transaction {
public:
    explicit Transaction(const QSqlDatabase &db = Database::db());
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_active; } // false when the transaction could not be started
    [[nodiscard]] bool commit();               // true when stored
    void rollback();
    // Why the work could not be stored, in Spanish, for the user: the first error of the transaction (its
    // own BEGIN/COMMIT, or a statement run inside it that failed). Empty when nothing failed.
    QString lastError() const;
    // SQLite's result code of that first error (SQLITE_FULL, SQLITE_BUSY, ...); 0 when nothing failed.
    int nativeErrorCode() const;

    // The user's message for an engine error: the common causes (disk full, read-only file, file busy,
    // damaged file) in plain Spanish; others with the engine's own text.
    static QString userMessage(int nativeCode, const QString &engineText);
    static QString userMessage(const QSqlError &error, const QSqlDatabase &db = Database::db());
    // Whether a guard is open on db's connection (work under way that must end before anything else).
    static bool isOpenOn(const QSqlDatabase &db);

    // For work inside the transaction: keeps a failed statement's error as the cause (its code tells a
    // retry from a plain failure) and returns false: `return t.fail(q.lastError());`.
    bool fail(const QSqlError &error);
    // For work inside the transaction that refuses by a rule of its own (a due paid meanwhile, a name
    // taken): everything is undone and run() returns why, as given: `return t.refuse(Result::failure(...));`.
    bool refuse(Result why);
    // Why the work could not be stored: lastError() with the code the engine gives its cause (Busy,
    // ConnectionLost, Failed).
    Result failure() const;

    // Runs work in a transaction and commits it. When another desk was changing the same rows (a server's
    // serialisation failure or deadlock) everything is undone and work runs again from the start, up to
    // attempts times in all; within an outer transaction it runs once, as only the whole can be repeated.
    // work returns false to undo everything: after fail() for a failed statement, after refuse() for a
    // refusal of its own. Returns done when stored; else the refusal as given, or a database failure with
    // the engine's code and the user's message.
    [[nodiscard]] static Result run(const QSqlDatabase &db, const std::function<bool(Transaction &)> &work,
                                    int attempts = 3);

private:
    bool exec(const QString &sql);
    void remember(int code, const QString &text);
    // A failed statement of the caller, still on the connection; 0 when there is none.
    int pendingCode(QString *text) const;
    QSqlDatabase m_db;
    QString m_savepoint; // empty for the outermost guard
    bool m_active = false;
    int m_code = 0;
    QString m_engineText;
    std::optional<Result> m_refusal;
};
