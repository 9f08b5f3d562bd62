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

QString usage() {
    return QStringLiteral(
               "Uso: mirabel send-reminders [--database ARCHIVO] [--settings ARCHIVO]\n"
               "\n"
               "Envía un e-mail de aviso por cada cuota vencida e impaga, sin abrir ventanas.\n"
               "  --database ARCHIVO base de datos, o postgresql://usuario@servidor/base\n"
               "                     (por omisión %1)\n"
               "  --settings ARCHIVO configuración en formato INI, sección [Configuracion]\n"
               "                     (por omisión la del usuario, o MIRABEL_SETTINGS)\n"
               "\n"
               "Una cuota ya avisada hoy no se vuelve a avisar el mismo día. La última línea dice\n"
               "\"N enviados, M fallidos, D dudosos, S sin dirección, Y ya enviados hoy\".\n"
               "\n"
               "Estado de salida: 0 todo enviado (los socios sin dirección no cuentan), 1 uso\n"
               "incorrecto, 2 configuración incompleta, 3 servidor SMTP inaccesible, sin cifrado\n"
               "para la contraseña o usuario rechazado, 4 base de datos inexistente, ilegible o\n"
               "sin poder registrar un envío, 5 algunos mensajes no se pudieron enviar o quedaron\n"
               "dudosos (pudieron llegar; no se repiten hoy).")
        .arg(Database::defaultPath());
}

} // namespace

namespace AvisosCli {

int run(int argc, char **argv) {
    std::unique_ptr<QCoreApplication> app;
    const QStringList args = Cli::iniciar(argc, argv, false, &app);

    QString database, settings;
    for (int i = 2; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            say(stdout, usage());
            return Ok;
        }
        QString *out = nullptr;
        for (auto [option, target] : {std::pair{QStringLiteral("--database"), &database},
                                      std::pair{QStringLiteral("--settings"), &settings}}) {
            if (a == option) {
                if (i + 1 >= args.size()) {
                    say(stderr, QStringLiteral("Falta el valor de %1.\n\n%2").arg(a, usage()));
                    return Usage;
                }
                out = target;
                *out = args.at(++i);
            } else if (a.startsWith(option + QLatin1Char('='))) {
                out = target;
                *out = a.mid(option.size() + 1);
            }
        }
        if (!out) {
            say(stderr, QStringLiteral("Argumento desconocido: %1\n\n%2").arg(a, usage()));
            return Usage;
        }
    }
    if (!settings.isEmpty())
        Configuracion::setArchivo(QDir::current().absoluteFilePath(settings));

    const Configuracion::Ajustes ajustes = Configuracion::leerTodo();
    if (!AvisosDeuda::configuracionCompleta(ajustes)) {
        say(stderr, QStringLiteral("Error: %1 Faltan el nombre de la empresa, el e-mail del remitente o el "
                                   "servidor SMTP en %2.")
                        .arg(AvisosDeuda::kFaltaConfiguracion, Configuracion::archivo()));
        return Settings;
    }

    QString why;
    const QString path = Cli::rutaBase(database);
    if (!Database::open(path, Database::Mode::MustExist, &why)) {
        say(stderr, QStringLiteral("Error: %1").arg(why));
        return DatabaseError;
    }
    // The database stays open: every message is recorded as it goes.
    const auto avisos = AvisosDeuda::pendientes();
    if (!avisos) {
        say(stderr, QStringLiteral("Error: no se pudieron leer las cuotas vencidas: %1")
                        .arg(Log::escapar(avisos.message())));
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
    const AvisosDeuda::Resultado r = envio.ejecutar(ajustes, *avisos);
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
