// The debt reminder run: 2,000 reminders to a local SMTP server (aiosmtpd, discarding what it receives),
// messages per second of the run as the program does it (one connection for the whole run), against the
// same messages sent opening one connection per message, in the same run.
//
//   bench_reminders [LARGE.db]   (the large club is not needed: the messages are made here)

#include "core/Configuracion.h"
#include "core/Money.h"
#include "db/SqlEngine.h"
#include "mail/AvisosDeuda.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kMessages = 2000;

int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

bool accepts(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(quint16(port));
    const bool ok = ::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

double messagesPerSecond(const Configuracion::Ajustes &settings, const QVector<AvisosDeuda::Aviso> &avisos,
                         bool reuse, int *sent) {
    AvisosDeuda::Envio run;
    run.locale = QLocale(QLocale::Spanish, QLocale::Argentina);
    run.reusarConexion = reuse;
    run.registrarEnBase = false; // no database here: only the sending is measured
    QElapsedTimer t;
    t.start();
    const AvisosDeuda::Resultado r = run.ejecutar(settings, avisos);
    const qint64 ns = t.nsecsElapsed();
    *sent = r.enviados;
    return r.enviados / (double(ns) / 1e9);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && SqlEngine::isServerUrl(QString::fromLocal8Bit(argv[1]))) {
        std::printf(
            "# bench_reminders: no lee la base de datos; en el servidor no hay nada distinto que medir\n");
        return 0;
    }
    const int port = freePort();
    QProcess server;
    server.setStandardOutputFile(QProcess::nullDevice());
    server.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-m"), QStringLiteral("aiosmtpd"), QStringLiteral("-n"),
                  QStringLiteral("-l"), QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("-c"),
                  QStringLiteral("aiosmtpd.handlers.Sink")});
    QDeadlineTimer deadline(30000);
    while (!accepts(port) && !deadline.hasExpired() && server.state() != QProcess::NotRunning)
        server.waitForFinished(50); // lets the server start; returns early only when it ended
    if (!accepts(port)) {
        std::fprintf(stderr, "bench_reminders: no arrancó el servidor SMTP de prueba (python3-aiosmtpd)\n");
        return 1;
    }

    Configuracion::Ajustes settings;
    settings.nombreEmpresa = QStringLiteral("Club Atlético de Prueba");
    settings.email = QStringLiteral("socios@club.example");
    settings.serverSMTP = QStringLiteral("127.0.0.1:%1").arg(port);
    settings.autentica = QStringLiteral("NO");
    QVector<AvisosDeuda::Aviso> avisos;
    for (int i = 0; i < kMessages; ++i)
        avisos.push_back({QStringLiteral("socio%1@example.org").arg(i), QStringLiteral("Pérez %1").arg(i),
                          QStringLiteral("Juan"), QDate(2024, 1 + i % 12, 10), Money::fromWhole(2500 + i),
                          QStringLiteral("Plan Anual")});

    int sentBaseline = 0, sentRun = 0;
    // A short warm-up so neither case pays for the server's first connection.
    messagesPerSecond(settings, avisos.mid(0, 20), true, &sentRun);
    const double baseline = messagesPerSecond(settings, avisos, false, &sentBaseline);
    const double run = messagesPerSecond(settings, avisos, true, &sentRun);
    server.kill();
    server.waitForFinished(5000);
    if (sentBaseline != kMessages || sentRun != kMessages) {
        std::fprintf(stderr, "bench_reminders: se enviaron %d y %d de %d mensajes\n", sentBaseline, sentRun,
                     kMessages);
        return 1;
    }
    std::printf("reminders_per_s: %.0f msg/s (%.2f vs baseline)\n", run, run / baseline);
    std::printf("reminders_per_s_baseline_one_connection_each: %.0f msg/s (1.00 vs baseline)\n", baseline);
    return 0;
}
