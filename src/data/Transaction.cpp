#include "data/Transaction.h"

#include "data/Log.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace {
// Open guards per connection; the outermost one owns the real transaction.
QHash<QString, int> g_depth;
int g_counter = 0;
} // namespace

Transaction::Transaction(const QSqlDatabase &db) : m_db(db) {
    int &depth = g_depth[m_db.connectionName()];
    if (depth == 0) {
        m_active = exec(QStringLiteral("BEGIN IMMEDIATE"));
    } else {
        m_savepoint = QStringLiteral("sp%1").arg(++g_counter);
        m_active = exec(QStringLiteral("SAVEPOINT ") + m_savepoint);
    }
    if (m_active)
        ++depth;
}

Transaction::~Transaction() {
    if (m_active)
        rollback();
}

bool Transaction::exec(const QString &sql) {
    QSqlQuery q(m_db);
    if (!q.exec(sql)) {
        m_error = q.lastError().text();
        Log::error(QStringLiteral("Transacción"), sql + QStringLiteral(": ") + m_error);
        return false;
    }
    return true;
}

bool Transaction::commit() {
    if (!m_active)
        return false;
    const bool ok = m_savepoint.isEmpty() ? exec(QStringLiteral("COMMIT"))
                                          : exec(QStringLiteral("RELEASE ") + m_savepoint);
    if (!ok) {
        rollback();
        return false;
    }
    m_active = false;
    --g_depth[m_db.connectionName()];
    return true;
}

void Transaction::rollback() {
    if (!m_active)
        return;
    if (m_savepoint.isEmpty()) {
        exec(QStringLiteral("ROLLBACK"));
    } else {
        exec(QStringLiteral("ROLLBACK TO ") + m_savepoint);
        exec(QStringLiteral("RELEASE ") + m_savepoint);
    }
    m_active = false;
    --g_depth[m_db.connectionName()];
}
