#pragma once

#include <QSqlDatabase>
#include <QString>

// All-or-nothing work: rolls back unless commit() is called. Guards nest as savepoints, so an inner
// guard that fails undoes only its own part (batch work: one savepoint per member in one transaction).
class Transaction {
public:
    explicit Transaction(const QSqlDatabase &db = QSqlDatabase::database());
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_active; } // false when the transaction could not be started
    bool commit();                             // true when stored
    void rollback();
    QString lastError() const { return m_error; }

private:
    bool exec(const QString &sql);
    QSqlDatabase m_db;
    QString m_savepoint; // empty for the outermost guard
    bool m_active = false;
    QString m_error;
};
