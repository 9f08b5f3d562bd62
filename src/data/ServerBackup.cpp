#include "data/ServerBackup.h"

#include "data/Log.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>

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
constexpr int LockWaitMs = 60000;

// libpq's quoting of a value in a connection string.
QString quoted(QString value) {
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

// The connection string for the tools' --dbname: every part of the address quoted, never a password.
// Parts the address leaves out come from libpq's variables, as for the program's own connection.
QString connectionString(const SqlEngine::ServerAddress &a) {
    QStringList parts;
    if (!a.host.isEmpty())
        parts << QStringLiteral("host=") + quoted(a.host);
    if (a.port > 0)
        parts << QStringLiteral("port=%1").arg(a.port);
    if (!a.user.isEmpty())
        parts << QStringLiteral("user=") + quoted(a.user);
    parts << QStringLiteral("dbname=") + quoted(a.database) << QStringLiteral("sslmode=") + quoted(a.sslmode)
          << QStringLiteral("connect_timeout=10") << QStringLiteral("application_name='Mirabel (copias)'");
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

// Sets up p to run tool; false with a Spanish reason when the tool is not installed.
bool prepare(QProcess &p, const QString &tool, const QStringList &args, const QString &password,
             QString *error) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        *error = missingTool(tool);
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Given to the child alone, never on its command line: others on the machine can read that.
    if (!password.isEmpty())
        env.insert(QStringLiteral("PGPASSWORD"), password);
    env.insert(QStringLiteral("PGOPTIONS"), (env.value(QStringLiteral("PGOPTIONS")) +
                                             QStringLiteral(" -c lock_timeout=%1").arg(LockWaitMs))
                                                .trimmed());
    p.setProcessEnvironment(env);
    p.setProgram(program);
    p.setArguments(args);
    return true;
}

// Runs a prepared tool to its end; false with a reason (its error output goes to the log).
bool finish(QProcess &p, const QString &tool, QString *error) {
    p.start();
    if (!p.waitForStarted(-1)) {
        *error = QStringLiteral("no se pudo ejecutar %1: %2").arg(tool, p.errorString());
        Log::error(QStringLiteral("Copia de seguridad"), *error);
        return false;
    }
    p.waitForFinished(-1);
    const QByteArray err = p.readAllStandardError();
    if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return true;
    Log::error(QStringLiteral("Copia de seguridad"),
               QStringLiteral("%1 terminó con el estado %2: %3")
                   .arg(tool)
                   .arg(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1)
                   .arg(QString::fromLocal8Bit(err).trimmed()));
    const QString detail = firstError(err);
    *error = detail.isEmpty() ? QStringLiteral("%1 terminó con un error").arg(tool)
                              : QStringLiteral("%1 terminó con un error (%2)").arg(tool, detail);
    return false;
}
} // namespace

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

bool dump(const Target &target, const QString &destination, QString *error) {
    QProcess p;
    if (!prepare(p, QStringLiteral("pg_dump"),
                 {QStringLiteral("--no-password"), QStringLiteral("--format=custom"),
                  QStringLiteral("--lock-wait-timeout=%1").arg(LockWaitMs),
                  QStringLiteral("--file=") + destination,
                  QStringLiteral("--dbname=") + connectionString(target.address)},
                 target.password, error))
        return false;
    return finish(p, QStringLiteral("pg_dump"), error);
}

bool read(const QString &archive, Reading *out, QString *error) {
    *out = Reading();
    QProcess p;
    // Only the rows, as text: every table's data is read, so a cut or damaged archive fails here.
    if (!prepare(p, QStringLiteral("pg_restore"),
                 {QStringLiteral("--data-only"), QStringLiteral("--file=-"), archive}, QString(), error))
        return false;
    p.setReadChannel(QProcess::StandardOutput);
    p.start();
    if (!p.waitForStarted(-1)) {
        *error = QStringLiteral("no se pudo ejecutar pg_restore: %1").arg(p.errorString());
        return false;
    }
    static const QRegularExpression copyLine(QStringLiteral("^COPY (?:\\S+\\.)?\"([^\"]+)\" "));
    int *counter = nullptr;
    bool inBlock = false, inVersion = false;
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
            return;
        }
        if (line == "\\.") {
            inBlock = inVersion = false;
            counter = nullptr;
        } else if (counter) {
            ++*counter;
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
        *error = firstError(err);
        return false;
    }
    return true;
}

bool restore(const Target &target, const QString &archive, QString *error) {
    QProcess p;
    // One transaction: a failure half way leaves the database as it was. Objects are made by whoever
    // restores; the copy's grants to the other desks' users are kept.
    if (!prepare(p, QStringLiteral("pg_restore"),
                 {QStringLiteral("--no-password"), QStringLiteral("--clean"), QStringLiteral("--if-exists"),
                  QStringLiteral("--single-transaction"), QStringLiteral("--no-owner"),
                  QStringLiteral("--dbname=") + connectionString(target.address), archive},
                 target.password, error))
        return false;
    return finish(p, QStringLiteral("pg_restore"), error);
}

} // namespace ServerBackup
