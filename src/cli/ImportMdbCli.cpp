#include "cli/ImportMdbCli.h"

#include "cli/Cli.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "transfer/MdbImport.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <cstdio>
#include <memory>

namespace {

Cli::Comando comando() {
    return {
        .nombre = QStringLiteral("import-mdb"),
        .resumen = QStringLiteral("Trae a Mirabel los datos de la base del programa anterior (BASE.mdb)."),
        .argumentos = {{.nombre = QStringLiteral("ANTERIOR.mdb"),
                        .descripcion = QStringLiteral("la base del programa anterior: socios, planes, "
                                                      "categorías, cuotas, caja, cuentas, formas de pago, "
                                                      "usuarios y la tabla auxiliar"),
                        .siFalta = QStringLiteral("Falta la base anterior (.mdb).")}},
        .opciones =
            {{.nombres = {QStringLiteral("database")},
              .valor = QStringLiteral("BASE"),
              .descripcion =
                  QStringLiteral(
                      "archivo a crear (por omisión %1); si ya existe debe ser una base de Mirabel sin "
                      "socios, cuotas ni movimientos. O una base de un servidor, "
                      "postgresql://usuario@servidor[:puerto]/base, que debe existir, vacía o de Mirabel "
                      "sin socios, cuotas ni movimientos; los demás puestos esperan mientras se importa")
                      .arg(Database::defaultPath())}},
        .notas = QStringLiteral(
            "Estado de salida: 0 correcto, 1 uso incorrecto, 2 no se puede leer la base anterior,\n"
            "3 la base destino ya tiene datos, 4 la base destino no es de Mirabel o no se puede\n"
            "usar, 5 no se pudo escribir la base nueva, 130 interrumpida con Ctrl+C (no se escribe\n"
            "nada)."),
    };
}

} // namespace

using Cli::say;

namespace ImportMdbCli {

int run(int argc, char **argv, const MdbImport::Progress &observer) {
    std::unique_ptr<QCoreApplication> app;
    const QStringList args = Cli::iniciar(argc, argv, false, &app);

    Cli::Linea linea(comando(), Usage);
    if (const auto fin = linea.leer(args))
        return *fin;
    const QString source = linea.argumento(0);
    const QString database = linea.valor(QStringLiteral("database"));

    const QString from = QDir::current().absoluteFilePath(source);
    const QString to = Cli::rutaBase(database);
    QString current;
    const auto progress = [&](qint64 done, qint64 total, const QString &table) {
        if (observer)
            observer(done, total, table);
        if (table != current) {
            current = table;
            say(stdout, QStringLiteral("Importando %1...").arg(table));
        }
        return !Cli::Interrupcion::interrumpida();
    };
    MdbImport::Result r;
    {
        Cli::Interrupcion guard; // stops at the next row; the import rolls back and takes its file away
        r = MdbImport::run(from, to, progress);
    }
    switch (r.status) {
    case MdbImport::Status::Ok:
        say(stdout, QStringLiteral("Base importada en %1:").arg(to));
        for (const QString &line : MdbImport::summaryLines(r))
            say(stdout, QStringLiteral("  ") + line);
        return Ok;
    case MdbImport::Status::SourceError:
        say(stderr, QStringLiteral("Error: %1").arg(r.error));
        return SourceError;
    case MdbImport::Status::TargetHasData:
        say(stderr, QStringLiteral("Error: %1").arg(r.error));
        return TargetHasData;
    case MdbImport::Status::TargetError:
        say(stderr, QStringLiteral("Error: %1").arg(r.error));
        return TargetError;
    case MdbImport::Status::Cancelled:
        say(stderr, QStringLiteral("Importación interrumpida: no se escribió nada."));
        return Interrupted;
    case MdbImport::Status::WriteError:
        break;
    }
    say(stderr, QStringLiteral("Error: %1").arg(r.error));
    return WriteError;
}

} // namespace ImportMdbCli
