#include "app/Main.h"

#include "app/panIngreso.h"
#include "app/panPrimerUsuario.h"
#include "app/panPrin.h"
#include "app/portada.h"
#include "cash/ui/GraficosTablero.h"
#include "cli/AvisosCli.h"
#include "cli/BackupCli.h"
#include "cli/Cli.h"
#include "cli/CopyCli.h"
#include "cli/ExportCli.h"
#include "cli/ImportMdbCli.h"
#include "cli/LogCli.h"
#include "cli/ReportCli.h"
#include "core/Configuracion.h"
#include "core/Formato.h"
#include "core/Log.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "ui/Artwork.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/PedirContrasena.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>
#include <utility>

namespace Main {

void prepararAplicacion(QApplication &app) {
    QCoreApplication::setOrganizationName(QStringLiteral("Mirabel"));
    QCoreApplication::setApplicationName(QStringLiteral("Mirabel"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.1"));
    QApplication::setApplicationDisplayName(QStringLiteral("Mirabel!"));
    QLocale::setDefault(Formato::localePrograma());
    auto *qtTr = new QTranslator(&app);
    if (qtTr->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTr);
    QApplication::setWindowIcon(Artwork::iconoPrograma());
}

bool ingresoAceptado(const QString &tag) {
    return tag == QStringLiteral("SI");
}

namespace {
bool g_contrasenaCancelada = false;
const QString kBaseServidor = QStringLiteral("BaseServidor");
} // namespace

void usarPedidoDeContrasena() {
    Database::setPasswordPrompt([](const QString &address, bool wrong) {
        const auto dada = PedirContrasena::pedir(address, wrong);
        if (!dada)
            g_contrasenaCancelada = true;
        return dada.value_or(QString());
    });
}

void avisarConexionPerdida() {
    Database::setLostListener([](const QString &motivo) {
        // Shown after the work that found it has ended: not from inside a half-read list.
        QTimer::singleShot(0, QCoreApplication::instance(), [motivo] {
            Mensaje::error(QStringLiteral("Se perdió la conexión con el servidor de la base de datos: %1.\n\n"
                                          "Las listas siguen mostrando lo último que se leyó y no se guardó "
                                          "nada a medias. El programa vuelve a conectarse solo en cuanto el "
                                          "servidor responda.")
                               .arg(motivo));
        });
    });
}

void revisarBase() {
    Database::setDamageListener([](const QString &motivo) { Mensaje::error(motivo); });
    Database::checkIntegrityDaily();
}

bool contrasenaCancelada() {
    return std::exchange(g_contrasenaCancelada, false);
}

QString baseAAbrir(const QString &elegida) {
    if (elegida.isEmpty()) {
        const QString recordada = Configuracion::leer(kBaseServidor);
        return Engine::at(recordada).isServer() ? recordada : Database::defaultPath();
    }
    return Engine::at(elegida).absoluteLocation(elegida);
}

void recordarBase(const QString &ruta) {
    if (!Engine::at(ruta).isServer() || Configuracion::leer(kBaseServidor) == ruta)
        return;
    // A settings file that cannot be written is logged there; the program goes on.
    static_cast<void>(Configuracion::escribir(kBaseServidor, ruta));
}

panPrin *arrancar(const QString &rutaBase, int *salida, bool rutaElegida) {
    *salida = 0;
    const bool servidor = Engine::at(rutaBase).isServer();
    // The first look at the file runs while the splash is up.
    Database::precheck(rutaBase);
    {
        portada splash;
        splash.mostrar();
    }

    // A mistyped --database must not silently start an empty club; only the default file is created
    // without asking.
    // A server's database is not a file: whether it exists and may be written is the server's to say.
    const QFileInfo archivo(servidor ? QString() : rutaBase);
    if (!servidor && rutaElegida && !archivo.exists() &&
        !Mensaje::preguntaSiNo(QStringLiteral("No existe el archivo %1. ¿Crear una base nueva?")
                                   .arg(QDir::toNativeSeparators(rutaBase)),
                               QStringLiteral("Atención")))
        return nullptr;
    const bool nueva = !servidor && (!archivo.exists() || archivo.size() == 0);

    usarPedidoDeContrasena();
    avisarConexionPerdida();
    contrasenaCancelada();
    if (const Result abierta = Database::open(rutaBase, Database::Mode::CreateIfMissing); !abierta) {
        QString error = abierta.message();
        // Whoever cancelled the password window knows why the program ends.
        if (contrasenaCancelada())
            return nullptr;
        // A server opened because it was the last one used may be out of reach: say how to open a file.
        if (servidor && !rutaElegida)
            error +=
                QStringLiteral("\n\nEs la base del servidor abierta la última vez; para abrir un archivo, "
                               "inicie el programa con --database ARCHIVO.");
        Mensaje::error(error);
        *salida = 1;
        return nullptr;
    }
    if (Database::isReadOnly())
        Mensaje::mostrar(
            QStringLiteral(
                "%1 es de solo lectura: puede consultar los datos, pero no se guardará ningún cambio.")
                .arg(servidor ? QStringLiteral("La base de datos %1").arg(Database::path())
                              : QStringLiteral("El archivo %1").arg(QDir::toNativeSeparators(rutaBase))),
            QStringLiteral("Atención"), QMessageBox::Warning, QMessageBox::Ok);
    // The day's first start keeps a copy; a failure is logged and does not stop the program.
    if (!nueva)
        (void)Backup::daily();

    if (!Database::hasUsers()) {
        panPrimerUsuario primero;
        if (primero.exec() != QDialog::Accepted)
            return nullptr;
    }

    {
        panIngreso login;
        login.Tag = QStringLiteral("NO");
        login.exec();
        if (!ingresoAceptado(login.Tag))
            return nullptr;
    }
    recordarBase(Database::path());

    auto *principal = new panPrin;
    principal->setAttribute(Qt::WA_DeleteOnClose);
    principal->show();
    // The file's integrity check reads the whole file: it runs while the club is in use.
    revisarBase();
    return principal;
}

int run(int argc, char **argv) {
    // Scheduled runs and tests point every part of the program at another settings file.
    const QString ajustes = qEnvironmentVariable("MIRABEL_SETTINGS");
    if (!ajustes.isEmpty())
        Configuracion::setArchivo(QDir(QDir::currentPath()).absoluteFilePath(ajustes));
    if (argc > 1 && qstrcmp(argv[1], "report") == 0) {
        // The dashboard's charts are drawn with widgets' means.
        Cli::setAplicacionGraficos([](int &n, char **v) -> std::unique_ptr<QCoreApplication> {
            return std::make_unique<QApplication>(n, v);
        });
        return ReportCli::run(argc, argv, GraficosTablero::escribirPdf);
    }
    if (argc > 1 && qstrcmp(argv[1], "send-reminders") == 0)
        return AvisosCli::run(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "export") == 0)
        return ExportCli::run(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "log") == 0)
        return LogCli::run(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "import-mdb") == 0)
        return ImportMdbCli::run(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "copy") == 0)
        return CopyCli::run(argc, argv);
    if (argc > 1 && (qstrcmp(argv[1], "backup") == 0 || qstrcmp(argv[1], "restore") == 0))
        return BackupCli::run(argc, argv);
    QApplication app(argc, argv);
    prepararAplicacion(app);
    Log::installMessageHandler();

    // The subcommands are dispatched before this line is read, so its help names them.
    constexpr int kMalUso = 1; // a wrong command line ends the program with 1, as it always did
    Cli::Linea linea(
        {.nombre = {},
         .resumen = QStringLiteral("Mirabel: socios, cuotas y caja."),
         // The applications menu opens a file by naming it alone ("mirabel %f").
         .argumentos = {{.nombre = QStringLiteral("ARCHIVO"),
                         .descripcion = QStringLiteral("base de datos a abrir (como --database)")}},
         .opciones = {{.nombres = {QStringLiteral("database")},
                       .valor = QStringLiteral("ARCHIVO"),
                       .descripcion =
                           QStringLiteral(
                               "archivo de base de datos, o la dirección de una base en un servidor "
                               "PostgreSQL (postgresql://usuario@servidor/base); por omisión, la base del "
                               "servidor abierta la última vez o el archivo %1")
                               .arg(Database::defaultPath())},
                      {.nombres = {QStringLiteral("settings")},
                       .valor = QStringLiteral("ARCHIVO"),
                       .descripcion = QStringLiteral("archivo de configuración en formato INI, sección "
                                                     "[Configuracion] (también MIRABEL_SETTINGS)")},
                      {.nombres = {QStringLiteral("v"), QStringLiteral("version")},
                       .valor = {},
                       .descripcion = QStringLiteral("muestra la versión y termina"),
                       .basta = true}},
         .notas =
             QStringLiteral("Comandos sin ventanas (cada uno explica sus opciones con --help):\n"
                            "  mirabel report          un informe en PDF\n"
                            "  mirabel send-reminders  avisos de deuda por e-mail\n"
                            "  mirabel import-mdb      trae la base del programa anterior\n"
                            "  mirabel backup|restore  copia de seguridad y restauración\n"
                            "  mirabel copy            pasa el club de un archivo a un servidor o al revés\n"
                            "  mirabel export          una lista en Excel o CSV"),
         // A second file named is ignored, as it always was.
         .sobrantes = true},
        kMalUso);
    if (const auto fin = linea.leer(QCoreApplication::arguments()))
        return *fin;
    if (linea.dada(QStringLiteral("version"))) {
        Cli::say(stdout, QStringLiteral("%1 %2").arg(QCoreApplication::applicationName(),
                                                     QCoreApplication::applicationVersion()));
        return 0;
    }
    if (linea.dada(QStringLiteral("settings")))
        Configuracion::setArchivo(
            QDir(QDir::currentPath()).absoluteFilePath(linea.valor(QStringLiteral("settings"))));
    QString elegido = linea.valor(QStringLiteral("database"));
    if (elegido.isEmpty())
        elegido = linea.argumento(0);

    // A relative --database names a file from where the user started the program, so resolve it before
    // the program's own folder becomes the working folder.
    const QString path = baseAAbrir(elegido);
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    int salida = 0;
    panPrin *principal = arrancar(path, &salida, !elegido.isEmpty());
    if (!principal)
        return salida;
    return app.exec();
}

} // namespace Main
