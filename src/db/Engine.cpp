#include "db/Engine.h"

#include "db/SqlEngine.h"
#include "db/SqlEnginePg.h"
#include "db/SqliteEngine.h"
#include "db/Transaction.h"

#include <QHash>
#include <QMutex>

namespace {
// The only place that looks at what kind of database a connection or a location is.
const Engine &chosenFor(const QSqlDatabase &db) {
    if (db.driverName() == QLatin1String("QPSQL"))
        return PostgresEngine::instance();
    return SqliteEngine::instance();
}

struct Chosen {
    QString driver; // a name used again for another kind of connection chooses anew
    const Engine *engine = nullptr;
};

QMutex &chosenLock() {
    static QMutex m;
    return m;
}

QHash<QString, Chosen> &chosen() {
    static QHash<QString, Chosen> c;
    return c;
}
} // namespace

const Engine &Engine::of(const QSqlDatabase &db) {
    const QString name = db.connectionName();
    const QString driver = db.driverName();
    QMutexLocker lock(&chosenLock());
    const auto found = chosen().constFind(name);
    if (found != chosen().constEnd() && found->driver == driver)
        return *found->engine;
    const Engine &engine = chosenFor(db);
    chosen().insert(name, {driver, &engine});
    return engine;
}

const Engine &Engine::at(const QString &location) {
    if (SqlEngine::isServerUrl(location))
        return PostgresEngine::instance();
    return SqliteEngine::instance();
}

Result Engine::prepare(QSqlDatabase &db, bool readOnly, int busyTimeoutMs) {
    const Engine &engine = chosenFor(db);
    {
        QMutexLocker lock(&chosenLock());
        chosen().insert(db.connectionName(), {db.driverName(), &engine});
    }
    return engine.prepareConnection(db, readOnly, busyTimeoutMs);
}

Expected<int> Engine::versionFound(int version) {
    if (version == -2)
        return Result::failure(QStringLiteral("la base de datos contiene tablas de otro programa"),
                               Result::Code::NotOurs);
    if (version < 0)
        return Result::failure(QStringLiteral("no se pudo leer la versión de la base de datos"));
    return version;
}

Result Engine::failure(int nativeCode, const QString &message) const {
    return Result::failure(message, resultCode(nativeCode));
}

Result Engine::failure(const QSqlError &error, const QSqlDatabase &db) const {
    return failure(error, db, Transaction::userMessage(errorCode(error, db), errorText(error)));
}

Result Engine::failure(const QSqlError &error, const QSqlDatabase &db, const QString &message) const {
    // A statement on a lost connection fails without an error of its own.
    return failure(connectionLost(db) ? SqlEngine::ConnectionLost : errorCode(error, db), message);
}
