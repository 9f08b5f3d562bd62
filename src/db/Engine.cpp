#include "db/Engine.h"

#include "db/SqlEngine.h"
#include "db/SqlEnginePg.h"
#include "db/SqliteEngine.h"

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
