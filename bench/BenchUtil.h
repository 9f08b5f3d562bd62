#pragma once

#include "db/Backup.h"
#include "db/Database.h"
#include "db/SqlEngine.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

// A window's control by its objectName, looked up before timing; a benchmark cannot go on without it.
template <class T> T *control(const QObject *ventana, const char *nombre) {
    T *c = ventana->findChild<T *>(QString::fromLatin1(nombre));
    if (!c) {
        std::fprintf(stderr, "falta el control %s\n", nombre);
        std::exit(1);
    }
    return c;
}

// Shared by the benchmarks: peak resident memory of this process so far, in KiB ("VmHWM" of
// /proc/self/status), or -1 when it cannot be read.
inline qint64 peakResidentKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// A benchmark runs headless and unattended: before the application object is made, off screen and without
// the offscreen platform's notes about window hints, which would bury the figures.
inline void prepararAntesDeLaAplicacion() {
    static const QtMessageHandler anterior = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType tipo, const QMessageLogContext &ctx, const QString &texto) {
        if (!texto.contains(QStringLiteral("propagateSizeHints")))
            anterior(tipo, ctx, texto);
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// A benchmark given a server's address instead of a file measures there; what it would do to a copy of the
// file it does to a throwaway database on the same server.
// Whether a call succeeded; its message into *mensaje (empty when it did), for the benchmark to print.
template <typename R> bool hecho(const R &r, QString *mensaje) {
    if (mensaje)
        *mensaje = r.ok() ? QString() : r.message();
    return r.ok();
}

namespace BenchServidor {

inline bool es(const QString &destino) {
    return Engine::at(destino).isServer();
}

inline QString nombreCitado(const QString &nombre) {
    return QLatin1Char('"') + QString(nombre).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// Runs sql on the server's maintenance database, in a connection of its own: a database cannot be copied or
// dropped from a connection to it.
inline bool mantenimiento(const QString &url, const QString &sql, QString *error) {
    const auto parsed = SqlEngine::parseServerUrl(url);
    if (!parsed) {
        if (error)
            *error = parsed.message();
        return false;
    }
    SqlEngine::ServerAddress a = *parsed;
    a.database = QStringLiteral("postgres");
    const QString conexion = QStringLiteral("bench-mantenimiento");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conexion);
        SqlEngine::configure(db, a, QString());
        QSqlQuery q(db);
        ok = db.open() && q.exec(sql);
        if (!ok && error)
            *error = (db.isOpen() ? q.lastError() : db.lastError()).text();
    }
    QSqlDatabase::removeDatabase(conexion);
    return ok;
}

// A new database on the server of url: a copy of the one at url, or an empty one. Its address, empty on
// failure.
inline QString nueva(const QString &url, bool copia, QString *nombre, QString *error) {
    const auto parsed = SqlEngine::parseServerUrl(url);
    if (!parsed) {
        if (error)
            *error = parsed.message();
        return {};
    }
    SqlEngine::ServerAddress a = *parsed;
    static int n = 0;
    *nombre = QStringLiteral("mirabel_bench_%1_%2").arg(QCoreApplication::applicationPid()).arg(++n);
    QString sql = QStringLiteral("CREATE DATABASE %1").arg(nombreCitado(*nombre));
    if (copia)
        sql += QStringLiteral(" TEMPLATE %1").arg(nombreCitado(a.database));
    if (!mantenimiento(url, sql, error))
        return {};
    a.database = *nombre;
    return a.display();
}

inline void borrar(const QString &url, const QString &nombre) {
    if (!nombre.isEmpty())
        mantenimiento(url,
                      QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(nombreCitado(nombre)),
                      nullptr);
}

} // namespace BenchServidor

// The club at origen copied for a benchmark that writes to it, and opened as the program's database: a file
// copied into a temporary folder, or on a server a copy made beside the club. The copy goes with this object,
// however the run ends.
// The large club named on the command line (a file that exists, or a server's address), or empty after
// telling how to call the benchmark.
inline QString clubDeLaLinea(int argc, char **argv, const char *uso) {
    const QString club = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (club.isEmpty() || (!BenchServidor::es(club) && !QFileInfo::exists(club))) {
        std::fprintf(stderr, "uso: %s\n", uso);
        return {};
    }
    return club;
}

class CopiaDelClub {
public:
    // False with the reason in *error.
    bool abrir(const QString &origen, QString *error) {
        m_origen = origen;
        QString path = m_tmp.filePath(QStringLiteral("club.db"));
        if (BenchServidor::es(origen))
            path = BenchServidor::nueva(origen, true, &m_nombre, error);
        else if (hecho(Database::open(origen, Database::Mode::MustExist), error) &&
                 hecho(Backup::copyTo(path), error))
            Database::close();
        else
            path.clear();
        return !path.isEmpty() && hecho(Database::open(path, Database::Mode::MustExist), error);
    }
    // A file or folder beside the copy.
    QString ruta(const QString &nombre) const { return m_tmp.filePath(nombre); }
    ~CopiaDelClub() {
        Database::close();
        BenchServidor::borrar(m_origen, m_nombre);
    }

private:
    QTemporaryDir m_tmp;
    QString m_origen, m_nombre;
};
