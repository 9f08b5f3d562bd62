#include "db/ServerBackup.h"

#include "core/Log.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUuid>

namespace ServerBackup {

QString missingTool(const QString &tool) {
    if (!QStandardPaths::findExecutable(tool).isEmpty())
        return {};
    return QStringLiteral("falta el programa %1 del servidor (instale el paquete postgresql-client)")
        .arg(tool);
}

namespace {
// How long the server's tools wait for a table another desk holds before giving up (a restore under
// way elsewhere, a long transaction): a copy or a restore never hangs the program for good.
int g_lockWaitMs = 60000;

// libpq's quoting of a value in a connection string.
QString quoted(QString value) {
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

// The connection string for the tools' --dbname: every part of the address quoted, never a password.
// Parts the address leaves out come from libpq's variables, as for the program's own connection.
QString connectionString(const SqlEngine::ServerAddress &a, const QString &applicationName) {
    QStringList parts;
    if (!a.host.isEmpty())
        parts << QStringLiteral("host=") + quoted(a.host);
    if (a.port > 0)
        parts << QStringLiteral("port=%1").arg(a.port);
    if (!a.user.isEmpty())
        parts << QStringLiteral("user=") + quoted(a.user);
    parts << QStringLiteral("dbname=") + quoted(a.database) << QStringLiteral("sslmode=") + quoted(a.sslmode)
          << QStringLiteral("connect_timeout=10")
          << QStringLiteral("application_name=") + quoted(applicationName);
    return parts.join(QLatin1Char(' '));
}

// The tool's first error line, without its "pg_dump: error: " prefix: what the user can act on.
QString firstError(const QByteArray &stderrText) {
    const QStringList lines = QString::fromLocal8Bit(stderrText).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    static const QRegularExpression prefix(QStringLiteral("^pg_\\w+: (?:error|\\w+): "));
    for (const QString &l : lines)
        if (l.contains(QLatin1String("error")) || l.contains(QLatin1String("fatal")))
            return l.trimmed().remove(prefix);
    return lines.isEmpty() ? QString() : lines.constFirst().trimmed().remove(prefix);
}

// Sets up p to run tool; a Spanish reason when the tool is not installed.
Result prepare(QProcess &p, const QString &tool, const QStringList &args, const QString &password) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return Result::failure(missingTool(tool));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Given to the child alone, never on its command line: others on the machine can read that.
    if (!password.isEmpty())
        env.insert(QStringLiteral("PGPASSWORD"), password);
    p.setProcessEnvironment(env);
    p.setProgram(program);
    p.setArguments(args);
    return Result::done();
}

// Keeps a tool's session from waiting on another session's lock for longer than g_lockWaitMs. The tools
// set lock_timeout = 0 on their own sessions (pg_restore issues it whatever the connection asked for), so
// the wait is watched from a connection of the program's own and the tool's statement is cancelled when it
// has waited too long: with --single-transaction, the tool then stops and nothing changed.
class LockWatch {
public:
    LockWatch(const Target &target, const QString &applicationName)
        : m_name(QStringLiteral("mirabel-vigia-") + QUuid::createUuid().toString(QUuid::Id128)),
          m_application(applicationName) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        SqlEngine::configure(db, target.address, target.password);
        if (!db.open())
            m_why = db.lastError().text();
    }
    ~LockWatch() {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    // Why the watch could not start (the server could not be reached); empty when it watches.
    QString why() const { return m_why; }
    // Cancels the tool's statement when it is waiting on a lock and has run longer than allowed.
    void look() {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        q.prepare(
            QStringLiteral("SELECT pg_cancel_backend(pid) FROM pg_stat_activity WHERE application_name = ? "
                           "AND wait_event_type = 'Lock' AND clock_timestamp() - query_start > CAST(? AS "
                           "double precision) * interval '1 millisecond'"));
        q.addBindValue(m_application);
        q.addBindValue(g_lockWaitMs);
        if (q.exec())
            while (q.next())
                m_cancelled = m_cancelled || q.value(0).toBool();
    }
    bool cancelled() const { return m_cancelled; }

private:
    QString m_name;
    QString m_application;
    QString m_why;
    bool m_cancelled = false;
};

// A name for one run of a tool, by which its session is found on the server.
QString runName() {
    return QStringLiteral("Mirabel (copias %1)").arg(QUuid::createUuid().toString(QUuid::Id128).left(12));
}

// Runs a prepared tool to its end; a reason when it fails (its error output goes to the log). With a
// watch, a session of the tool left waiting on another's lock too long is stopped (Busy).
Result finish(QProcess &p, const QString &tool, LockWatch *watch = nullptr) {
    p.start();
    if (!p.waitForStarted(30000)) {
        const QString why = QStringLiteral("no se pudo ejecutar %1: %2").arg(tool, p.errorString());
        Log::error(QStringLiteral("Copia de seguridad"), why);
        p.kill();
        p.waitForFinished(5000);
        return Result::failure(why);
    }
    while (p.state() != QProcess::NotRunning && !p.waitForFinished(watch ? 500 : -1))
        watch->look();
    const QByteArray err = p.readAllStandardError();
    if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return Result::done();
    Log::error(QStringLiteral("Copia de seguridad"),
               QStringLiteral("%1 terminó con el estado %2: %3")
                   .arg(tool)
                   .arg(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1)
                   .arg(QString::fromLocal8Bit(err).trimmed()));
    if (watch && watch->cancelled())
        return Result::failure(
            QStringLiteral("otro puesto u otro programa tiene en uso la base de datos y no la soltó en %1 "
                           "segundos; vuelva a intentarlo cuando termine")
                .arg(g_lockWaitMs / 1000),
            Result::Code::Busy);
    const QString detail = firstError(err);
    return Result::failure(detail.isEmpty()
                               ? QStringLiteral("%1 terminó con un error").arg(tool)
                               : QStringLiteral("%1 terminó con un error (%2)").arg(tool, detail));
}
// Runs a prepared tool whose session is named name, its lock waits bounded from outside.
Result watched(QProcess &p, const QString &tool, const Target &target, const QString &name) {
    LockWatch watch(target, name);
    if (!watch.why().isEmpty()) {
        Log::error(QStringLiteral("Copia de seguridad"), watch.why());
        return Result::failure(QStringLiteral("no se puede conectar con el servidor"),
                               Result::Code::ConnectionLost);
    }
    return finish(p, tool, &watch);
}
} // namespace

void setLockWait(int milliseconds) {
    g_lockWaitMs = milliseconds;
}

Target targetOf(const QSqlDatabase &db) {
    Target t;
    t.address.host = db.hostName();
    t.address.port = db.port();
    t.address.user = db.userName();
    t.address.database = db.databaseName();
    for (const QString &option : db.connectOptions().split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (option.trimmed().startsWith(QLatin1String("sslmode=")))
            t.address.sslmode = option.trimmed().mid(8);
    t.password = db.password();
    return t;
}

bool isArchive(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) && f.read(5) == "PGDMP";
}

Result dump(const Target &target, const QString &destination) {
    QProcess p;
    const QString name = runName();
    if (Result r = prepare(p, QStringLiteral("pg_dump"),
                           {QStringLiteral("--no-password"), QStringLiteral("--format=custom"),
                            QStringLiteral("--file=") + destination,
                            QStringLiteral("--dbname=") + connectionString(target.address, name)},
                           target.password);
        !r)
        return r;
    return watched(p, QStringLiteral("pg_dump"), target, name);
}

Expected<Reading> read(const QString &archive) {
    Reading found;
    Reading *out = &found;
    QProcess p;
    // Only the rows, as text: every table's data is read, so a cut or damaged archive fails here.
    if (Result r = prepare(p, QStringLiteral("pg_restore"),
                           {QStringLiteral("--data-only"), QStringLiteral("--file=-"), archive}, QString());
        !r)
        return r;
    p.setReadChannel(QProcess::StandardOutput);
    p.start();
    if (!p.waitForStarted(-1))
        return Result::failure(QStringLiteral("no se pudo ejecutar pg_restore: %1").arg(p.errorString()));
    static const QRegularExpression copyLine(QStringLiteral("^COPY (?:\\S+\\.)?\"([^\"]+)\" "));
    int *counter = nullptr;
    bool inBlock = false, inVersion = false, inIdentity = false;
    const auto take = [&](const QByteArray &raw) {
        const QByteArray line = raw.endsWith('\n') ? raw.chopped(1) : raw;
        if (!inBlock) {
            const auto m = copyLine.match(QString::fromUtf8(line.left(200)));
            if (!m.hasMatch())
                return;
            inBlock = true;
            const QString table = m.captured(1);
            counter = table == QLatin1String("Afiliados") ? &out->members
                      : table == QLatin1String("Cuotas")  ? &out->dues
                      : table == QLatin1String("Caja")    ? &out->movements
                                                          : nullptr;
            out->hasMembers = out->hasMembers || table == QLatin1String("Afiliados");
            inVersion = table == QLatin1String("VersionEsquema");
            inIdentity = table == QLatin1String("IdentidadBase");
            return;
        }
        if (line == "\\.") {
            inBlock = inVersion = inIdentity = false;
            counter = nullptr;
        } else if (counter) {
            ++*counter;
        } else if (inIdentity) {
            out->identity = QString::fromUtf8(line.trimmed());
        } else if (inVersion) {
            bool ok = false;
            const int v = line.trimmed().toInt(&ok);
            if (ok)
                out->version = std::max(out->version, v);
        }
    };
    for (;;) {
        while (p.canReadLine())
            take(p.readLine());
        if (p.state() == QProcess::NotRunning)
            break;
        p.waitForReadyRead(-1);
    }
    while (p.canReadLine())
        take(p.readLine());
    if (p.bytesAvailable())
        take(p.readAll());
    const QByteArray err = p.readAllStandardError();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        Log::error(QStringLiteral("Copia de seguridad"),
                   QStringLiteral("pg_restore no pudo leer %1: %2")
                       .arg(archive, QString::fromLocal8Bit(err).trimmed()));
        return Result::failure(firstError(err));
    }
    return found;
}

Result restore(const Target &target, const QString &archive) {
    QProcess p;
    // One transaction: a failure half way leaves the database as it was. Objects are made by whoever
    // restores; the copy's grants to the other desks' users are kept.
    const QString name = runName();
    if (Result r = prepare(p, QStringLiteral("pg_restore"),
                           {QStringLiteral("--no-password"), QStringLiteral("--clean"),
                            QStringLiteral("--if-exists"), QStringLiteral("--single-transaction"),
                            QStringLiteral("--no-owner"),
                            QStringLiteral("--dbname=") + connectionString(target.address, name), archive},
                           target.password);
        !r)
        return r;
    // A restore that cannot take the tables in time changes nothing, and the other desks, queued behind
    // it, go on.
    return watched(p, QStringLiteral("pg_restore"), target, name);
}

} // namespace ServerBackup
