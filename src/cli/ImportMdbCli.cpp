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

QString usage() {
    return QStringLiteral(
               "Uso: mirabel import-mdb ANTERIOR.mdb [--database NUEVA.db | --database postgresql://...]\n"
               "\n"
               "Trae a Mirabel los datos de la base del programa anterior (BASE.mdb): socios, planes,\n"
               "categorías, cuotas, caja, cuentas, formas de pago, usuarios y la tabla auxiliar.\n"
               "  --database NUEVA.db  base a crear (por omisión %1); si ya existe debe ser una\n"
               "                       base de Mirabel sin socios, cuotas ni movimientos\n"
               "  --database postgresql://usuario@servidor[:puerto]/base\n"
               "                       una base de un servidor, que debe existir, vacía o de Mirabel\n"
               "                       sin socios, cuotas ni movimientos; los demás puestos esperan\n"
               "                       mientras se importa\n"
               "\n"
               "Estado de salida: 0 correcto, 1 uso incorrecto, 2 no se puede leer la base anterior,\n"
               "3 la base destino ya tiene datos, 4 la base destino no es de Mirabel o no se puede\n"
               "usar, 5 no se pudo escribir la base nueva, 130 interrumpida con Ctrl+C (no se escribe\n"
               "nada).")
        .arg(Database::defaultPath());
}

} // namespace

using Cli::say;

namespace ImportMdbCli {

int run(int argc, char **argv, const MdbImport::Progress &observer) {
    std::unique_ptr<QCoreApplication> app;
    const QStringList args = Cli::iniciar(argc, argv, false, &app);

    QString source, database;
    for (int i = 2; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            say(stdout, usage());
            return Ok;
        }
        if (a == QLatin1String("--database")) {
            if (i + 1 >= args.size()) {
                say(stderr, QStringLiteral("Falta el valor de --database.\n\n%1").arg(usage()));
                return Usage;
            }
            database = args.at(++i);
            continue;
        }
        if (a.startsWith(QLatin1String("--database="))) {
            database = a.mid(11);
            continue;
        }
        if (a.startsWith(QLatin1Char('-')) || !source.isEmpty()) {
            say(stderr, QStringLiteral("Argumento desconocido: %1\n\n%2").arg(a, usage()));
            return Usage;
        }
        source = a;
    }
    if (source.isEmpty()) {
        say(stderr, QStringLiteral("Falta la base anterior (.mdb).\n\n%1").arg(usage()));
        return Usage;
    }

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
