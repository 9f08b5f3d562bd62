#include "db/Transaction.h"

#include "core/Log.h"
#include "db/SqlEngine.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

namespace {
// Open guards per connection; the outermost one owns the real transaction.
QHash<QString, int> g_depth;
int g_counter = 0;
} // namespace

Transaction::Transaction(const QSqlDatabase &db) : m_db(db) {
    int &depth = g_depth[m_db.connectionName()];
    if (depth == 0) {
        m_active = exec(Engine::of(m_db).beginStatement());
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

void Transaction::remember(int code, const QString &text) {
    // The first error is the cause; what fails after it (a ROLLBACK the engine already did) is not.
    if (m_code != 0)
        return;
    m_code = code == 0 ? -1 : code;
    m_engineText = text;
}

bool Transaction::exec(const QString &sql) {
    QSqlQuery q(m_db);
    if (!q.exec(sql)) {
        const QSqlError e = q.lastError();
        Log::error(QStringLiteral("Transacción"), sql + QStringLiteral(": ") + e.text());
        // A lost server connection fails statements without an error of their own.
        const Engine &engine = Engine::of(m_db);
        remember(engine.connectionLost(m_db) ? SqlEngine::ConnectionLost : engine.errorCode(e, m_db),
                 engine.errorText(e));
        return false;
    }
    return true;
}

int Transaction::pendingCode(QString *text) const {
    if (!m_active)
        return 0;
    return Engine::of(m_db).pendingError(m_db, text);
}

bool Transaction::commit() {
    if (!m_active)
        return false;
    // A server answers COMMIT of a transaction a failed statement spoiled by rolling it back, without an
    // error: that is a failure to report, not a success.
    QString text;
    if (const int pending = m_active ? Engine::of(m_db).spoiledTransaction(m_db, &text) : 0) {
        remember(pending, text);
        rollback();
        return false;
    }
    // The engine may have ended the transaction on its own (a server takes a COMMIT with none open as
    // success): what this guard wrote is gone, so the work was not stored.
    if (!Engine::of(m_db).inTransaction(m_db)) {
        remember(SQLITE_ABORT, QStringLiteral("la transacción terminó antes de guardarse"));
        rollback();
        return false;
    }
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
    QString text;
    if (const int pending = pendingCode(&text))
        remember(pending, text);
    // After a failed COMMIT (disk full, I/O error) the engine may already have rolled everything back;
    // rolling back again would only bury the cause under "no transaction is active".
    if (Engine::of(m_db).inTransaction(m_db)) {
        if (m_savepoint.isEmpty()) {
            exec(QStringLiteral("ROLLBACK"));
        } else {
            exec(QStringLiteral("ROLLBACK TO ") + m_savepoint);
            exec(QStringLiteral("RELEASE ") + m_savepoint);
        }
    }
    m_active = false;
    --g_depth[m_db.connectionName()];
}

QString Transaction::lastError() const {
    if (m_code != 0)
        return userMessage(m_code, m_engineText);
    QString text;
    if (const int pending = pendingCode(&text))
        return userMessage(pending, text);
    return {};
}

int Transaction::nativeErrorCode() const {
    if (m_code != 0)
        return m_code;
    QString text;
    return pendingCode(&text);
}

QString Transaction::userMessage(int nativeCode, const QString &engineText) {
    const QString reason = SqlEngine::errorReason(nativeCode);
    if (!reason.isEmpty())
        return QStringLiteral("No se pudieron guardar los cambios: %1.").arg(reason);
    // A server's error already reads in Spanish, chosen by its SQLSTATE.
    if (nativeCode == SqlEngine::ServerError)
        return QStringLiteral("No se pudieron guardar los cambios: %1.").arg(engineText);
    return QStringLiteral("No se pudieron guardar los cambios (error %1 de la base de datos: %2).")
        .arg(nativeCode)
        .arg(engineText);
}

bool Transaction::isOpenOn(const QSqlDatabase &db) {
    return g_depth.value(db.connectionName()) > 0;
}

QString Transaction::userMessage(const QSqlError &error, const QSqlDatabase &db) {
    const Engine &engine = Engine::of(db);
    return userMessage(engine.errorCode(error, db), engine.errorText(error));
}

bool Transaction::fail(const QSqlError &error) {
    // Without an error of its own the cause is whatever the connection still holds.
    if (error.type() != QSqlError::NoError)
        remember(Engine::of(m_db).errorCode(error, m_db), Engine::of(m_db).errorText(error));
    return false;
}

bool Transaction::refuse(Result why) {
    m_refusal = std::move(why);
    return false;
}

Result Transaction::failure() const {
    const int code = nativeErrorCode();
    // Work that gave up without a statement's error nor a refusal of its own: the cause is unknown.
    if (code == 0)
        return Result::failure(QStringLiteral("No se pudieron guardar los cambios."));
    return Engine::of(m_db).failure(code, lastError());
}

Result Transaction::run(const QSqlDatabase &db, const std::function<bool(Transaction &)> &work,
                        int attempts) {
    const bool anidada = g_depth.value(db.connectionName()) > 0;
    for (int intento = 1;; ++intento) {
        Transaction t(db);
        if (t.isActive() && work(t) && t.commit())
            return Result::done();
        const int code = t.m_refusal ? 0 : t.nativeErrorCode();
        Result outcome = t.m_refusal ? *t.m_refusal : t.failure();
        t.rollback();
        if (code == SqlEngine::SerializationFailure && !anidada && intento < attempts) {
            Log::write(QStringLiteral("Transacción: otro puesto cambiaba los mismos datos; intento %1 de %2")
                           .arg(intento + 1)
                           .arg(attempts));
            continue;
        }
        return outcome;
    }
}
