#include "support/ServidorPropio.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace TestSupport {

namespace {
// A port of loopback nobody listens on now: the system's pick for a socket bound to port 0.
int puertoLibre() {
#ifdef _WIN32
    static const bool winsock = [] {
        WSADATA d;
        return WSAStartup(MAKEWORD(2, 2), &d) == 0;
    }();
    Q_UNUSED(winsock);
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    const bool abierto = s != INVALID_SOCKET;
#else
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    const bool abierto = s >= 0;
#endif
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    int puerto = 0;
    if (abierto && ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &n) == 0)
        puerto = ntohs(a.sin_port);
#ifdef _WIN32
    if (abierto)
        closesocket(s);
#else
    if (abierto)
        ::close(s);
#endif
    return puerto;
}
} // namespace

bool ServidorPropio::herramienta(const QStringList &args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(args.first(), args.mid(1));
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        m_motivo = args.join(QLatin1Char(' ')) + QStringLiteral(": no terminó");
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_motivo = args.join(QLatin1Char(' ')) + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll());
        return false;
    }
    return true;
}

ServidorPropio::ServidorPropio(bool enCastellano) {
    m_version = qEnvironmentVariable("PGVERSION");
    const QString raiz = qEnvironmentVariable("PG_CLUSTER_CONF_ROOT");
    if (m_version.isEmpty() || raiz.isEmpty()) {
        m_motivo =
            QStringLiteral("falta el entorno de tools/con-servidor.sh (PGVERSION, PG_CLUSTER_CONF_ROOT)");
        return;
    }
    // Beside the shared cluster's folders, which the cluster's owner may use.
    const QDir trabajo = QFileInfo(raiz).dir();
    m_nombre = QStringLiteral("propio%1").arg(QCoreApplication::applicationPid());
    m_puerto = puertoLibre();
    const QString clave = trabajo.filePath(m_nombre + QStringLiteral(".clave"));
    {
        QFile f(clave);
        if (!f.open(QIODevice::WriteOnly) || f.write(qgetenv("PGPASSWORD")) < 0) {
            m_motivo = QStringLiteral("no se puede escribir %1").arg(clave);
            return;
        }
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    }
    m_creado =
        herramienta({QStringLiteral("pg_createcluster"), QStringLiteral("--quiet"), QStringLiteral("-p"),
                     QString::number(m_puerto), QStringLiteral("-d"),
                     trabajo.filePath(QStringLiteral("data/%1/%2").arg(m_version, m_nombre)),
                     QStringLiteral("-l"), trabajo.filePath(QStringLiteral("log/%1.log").arg(m_nombre)),
                     QStringLiteral("--pgoption"), QStringLiteral("fsync=off"), m_version, m_nombre,
                     QStringLiteral("--"), QStringLiteral("--username=") + qEnvironmentVariable("PGUSER"),
                     QStringLiteral("--pwfile=") + clave, QStringLiteral("--nosync")});
    QFile::remove(clave);
    if (m_creado && enCastellano) {
        // The server's messages follow gettext's LANGUAGE, given to it by the cluster's environment file.
        QFile entorno(QDir(raiz).filePath(QStringLiteral("%1/%2/environment").arg(m_version, m_nombre)));
        if (!entorno.open(QIODevice::Append) || entorno.write("LANGUAGE='es'\n") < 0)
            m_motivo = QStringLiteral("no se puede escribir %1").arg(entorno.fileName());
    }
    m_listo = m_creado && m_motivo.isEmpty() && iniciar();
}

ServidorPropio::~ServidorPropio() {
    if (m_creado)
        herramienta({QStringLiteral("pg_dropcluster"), QStringLiteral("--stop"), m_version, m_nombre});
}

bool ServidorPropio::detener() {
    return herramienta({QStringLiteral("pg_ctlcluster"), m_version, m_nombre, QStringLiteral("stop"),
                        QStringLiteral("-m"), QStringLiteral("fast")});
}

bool ServidorPropio::iniciar() {
    return herramienta({QStringLiteral("pg_ctlcluster"), m_version, m_nombre, QStringLiteral("start")});
}

QString ServidorPropio::nuevaBase(const QString &nombre) {
    const QString conexion = QStringLiteral("administrar ") + m_nombre;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conexion);
        db.setHostName(QStringLiteral("localhost"));
        db.setPort(m_puerto);
        db.setDatabaseName(QStringLiteral("postgres"));
        if (!db.open() || !QSqlQuery(db).exec(QStringLiteral("CREATE DATABASE %1").arg(nombre)))
            m_motivo = db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(conexion);
    return QStringLiteral("postgresql://%1@localhost:%2/%3")
        .arg(qEnvironmentVariable("PGUSER"))
        .arg(m_puerto)
        .arg(nombre);
}

} // namespace TestSupport
