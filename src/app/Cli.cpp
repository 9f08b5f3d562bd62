#include "app/Cli.h"

#include "data/Database.h"
#include "data/SqlEngine.h"
#include "ui/Formato.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <csignal>

namespace {
volatile std::sig_atomic_t g_interrumpida = 0;

extern "C" void alInterrumpir(int) {
    g_interrumpida = 1;
}
} // namespace

namespace Cli {

Interrupcion::Interrupcion() {
    g_interrumpida = 0;
    m_int = std::signal(SIGINT, alInterrumpir);
    m_term = std::signal(SIGTERM, alInterrumpir);
}

Interrupcion::~Interrupcion() {
    std::signal(SIGINT, m_int);
    std::signal(SIGTERM, m_term);
}

bool Interrupcion::interrumpida() {
    return g_interrumpida != 0;
}

void say(FILE *to, const QString &text) {
    std::fputs(text.toUtf8().constData(), to);
    std::fputc('\n', to);
    std::fflush(to);
}

QStringList iniciar(int argc, char **argv, Aplicacion tipo, std::unique_ptr<QCoreApplication> *app) {
    QStringList args;
    if (!QCoreApplication::instance()) {
        switch (tipo) {
        case Aplicacion::Consola:
            *app = std::make_unique<QCoreApplication>(argc, argv);
            break;
        case Aplicacion::Graficos:
            *app = std::make_unique<QGuiApplication>(argc, argv);
            break;
        case Aplicacion::Ventanas:
            *app = std::make_unique<QApplication>(argc, argv);
            break;
        }
        QCoreApplication::setOrganizationName(QStringLiteral("Mirabel"));
        QCoreApplication::setApplicationName(QStringLiteral("Mirabel"));
        args = QCoreApplication::arguments();
    } else {
        for (int i = 0; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
    }
    QLocale::setDefault(Formato::localePrograma());
    return args;
}

QStringList iniciar(int argc, char **argv, bool conGraficos, std::unique_ptr<QCoreApplication> *app) {
    return iniciar(argc, argv, conGraficos ? Aplicacion::Graficos : Aplicacion::Consola, app);
}

std::unique_ptr<QTemporaryDir> sinPantalla() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QTemporaryDir> runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtime =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/mirabel-runtime-XXXXXX"));
        if (runtime->isValid()) {
            QFile::setPermissions(runtime->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", runtime->path().toLocal8Bit());
        }
    }
    return runtime;
}

QString rutaBase(const QString &database) {
    if (database.isEmpty())
        return Database::defaultPath();
    return Engine::at(database).absoluteLocation(database);
}

} // namespace Cli
