#include "app/Cli.h"

#include "ui/Formato.h"

#include <QGuiApplication>

namespace Cli {

void say(FILE *to, const QString &text) {
    std::fputs(text.toUtf8().constData(), to);
    std::fputc('\n', to);
    std::fflush(to);
}

QStringList iniciar(int argc, char **argv, bool conGraficos, std::unique_ptr<QCoreApplication> *app) {
    QStringList args;
    if (!QCoreApplication::instance()) {
        if (conGraficos)
            *app = std::make_unique<QGuiApplication>(argc, argv);
        else
            *app = std::make_unique<QCoreApplication>(argc, argv);
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

} // namespace Cli
