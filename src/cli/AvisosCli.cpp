#include "cli/AvisosCli.h"

#include "cli/Cli.h"

#include "core/Configuracion.h"
#include "core/Formato.h"
#include "core/Log.h"
#include "db/Database.h"
#include "mail/AvisosDeuda.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <cstdio>
#include <memory>

namespace {

using Cli::say;

Cli::Comando comando() {
    return {
        .nombre = QStringLiteral("send-reminders"),
        .resumen =
            QStringLiteral("Envía un e-mail de aviso por cada cuota vencida e impaga, sin abrir ventanas."),
        .argumentos = {},
        .opciones = {{.nombres = {QStringLiteral("database")},
                      .valor = QStringLiteral("ARCHIVO"),
                      .descripcion =
                          QStringLiteral(
                              "base de datos, o postgresql://usuario@servidor/base (por omisión %1)")
                              .arg(Database::defaultPath())},
                     {.nombres = {QStringLiteral("settings")},
                      .valor = QStringLiteral("ARCHIVO"),
                      .descripcion = QStringLiteral("configuración en formato INI, sección [Configuracion] "
                                                    "(por omisión la del usuario, o MIRABEL_SETTINGS)")}},
        .notas = QStringLiteral(
            "Una cuota ya avisada hoy no se vuelve a avisar el mismo día, ni antes de\n"
            "DiasEntreAvisos días cuando la configuración lo dice. La última línea dice\n"
            "\"N enviados, M fallidos, D dudosos, S sin dirección, Y ya enviados hoy\", y\n"
            "\", R avisados hace pocos días\" cuando se saltearon cuotas por DiasEntreAvisos.\n"
            "\n"
            "Estado de salida: 0 todo enviado (los socios sin dirección no cuentan), 1 uso\n"
            "incorrecto, 2 configuración incompleta, 3 servidor SMTP inaccesible, sin cifrado\n"
            "para la contraseña o usuario rechazado, 4 base de datos inexistente, ilegible o\n"
            "sin poder registrar un envío, 5 algunos mensajes no se pudieron enviar o quedaron\n"
            "dudosos (pudieron llegar; no se repiten hoy)."),
    };
}

} // namespace

namespace AvisosCli {

int run(int argc, char **argv) {
    std::unique_ptr<QCoreApplication> app;
    const QStringList args = Cli::iniciar(argc, argv, false, &app);

    Cli::Linea linea(comando(), Usage);
    if (const auto fin = linea.leer(args))
        return *fin;
    const QString database = linea.valor(QStringLiteral("database"));
    const QString settings = linea.valor(QStringLiteral("settings"));
    if (!settings.isEmpty())
        Configuracion::setArchivo(QDir::current().absoluteFilePath(settings));

    const Configuracion::Ajustes ajustes = Configuracion::leerTodo();
    if (!AvisosDeuda::configuracionCompleta(ajustes)) {
        say(stderr, QStringLiteral("Error: %1 Faltan el nombre de la empresa, el e-mail del remitente o el "
                                   "servidor SMTP en %2.")
                        .arg(AvisosDeuda::kFaltaConfiguracion, Configuracion::archivo()));
        return Settings;
    }

    const QString path = Cli::rutaBase(database);
    if (const Result opened = Database::open(path, Database::Mode::MustExist); !opened) {
        say(stderr, QStringLiteral("Error: %1").arg(opened.message()));
        return DatabaseError;
    }
    // The database stays open: every message is recorded as it goes.
    const auto total = AvisosDeuda::contarPendientes();
    if (!total) {
        say(stderr, QStringLiteral("Error: no se pudieron leer las cuotas vencidas: %1")
                        .arg(Log::escapar(total.message())));
        return DatabaseError;
    }

    AvisosDeuda::Envio envio;
    envio.locale = QLocale();
    // Member data is printed escaped: a name never makes a line of its own.
    envio.informe = [](const QString &linea, bool) { say(stdout, Log::escapar(linea)); };
    QString falla;
    // Nobody is there to answer: a server that cannot be reached ends the run.
    envio.alFallarConexion = [&falla](int codigo, const QString &descripcion) {
        falla = QStringLiteral("%1 - %2").arg(codigo).arg(descripcion);
        return AvisosDeuda::Decision::Abortar;
    };
    const AvisosDeuda::Resultado r =
        envio.ejecutar(ajustes, *total, AvisosDeuda::lectorPendientes(ajustes.dias()));
    Database::close();
    say(stdout, r.resumen());
    if (r.errorDeBase) {
        say(stderr, QStringLiteral("Error: %1").arg(Log::escapar(r.detenido)));
        return DatabaseError;
    }
    if (r.abortado) {
        say(stderr, QStringLiteral("Error: no se pudo enviar por el servidor SMTP %1: %2")
                        .arg(Log::escapar(ajustes.serverSMTP),
                             Log::escapar(r.detenido.isEmpty() ? falla : r.detenido)));
        return Server;
    }
    // Members without an address are not failures: a scheduled job sees 0 when every message that had
    // somewhere to go was handed over.
    return r.fallidos > 0 || r.dudosos > 0 ? SomeFailed : Ok;
}

} // namespace AvisosCli
