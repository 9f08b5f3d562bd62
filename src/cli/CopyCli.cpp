#include "cli/CopyCli.h"

#include "cli/Cli.h"
#include "db/SqlEngine.h"
#include "transfer/DatabaseTransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {

Cli::Comando comando() {
    return {
        .nombre = QStringLiteral("copy"),
        .resumen = QStringLiteral("Copia un club entero de una base de datos a otra."),
        .argumentos = {},
        .opciones = {{.nombres = {QStringLiteral("from")},
                      .valor = QStringLiteral("ORIGEN"),
                      .descripcion = QStringLiteral("base a copiar; solo se lee"),
                      .siFalta = QStringLiteral("Faltan el origen (--from) y el destino (--to).")},
                     {.nombres = {QStringLiteral("to")},
                      .valor = QStringLiteral("DESTINO"),
                      .descripcion = QStringLiteral(
                          "base nueva o vacía (un archivo inexistente se crea; una base del servidor debe "
                          "existir, vacía o sin más datos que los de una base nueva)"),
                      .siFalta = QStringLiteral("Faltan el origen (--from) y el destino (--to).")}},
        .notas = QStringLiteral(
            "Del archivo de un puesto a un servidor PostgreSQL para trabajar desde varios\n"
            "puestos, o del servidor a un archivo. ORIGEN y DESTINO son cada uno un archivo (.db)\n"
            "o la dirección de una base en un servidor:\n"
            "  postgresql://usuario@servidor[:puerto]/base\n"
            "La contraseña del servidor se toma de PGPASSWORD o del archivo ~/.pgpass.\n"
            "\n"
            "Se copian todas las tablas con sus números de registro, en una sola transacción: si\n"
            "algo falla, el destino queda como estaba. Al final se comparan, tabla por tabla, la\n"
            "cantidad de registros y los importes de ambos lados.\n"
            "\n"
            "Estado de salida: 0 correcto, 1 uso incorrecto, 2 no se puede leer el origen, 3 el\n"
            "destino ya tiene datos, 4 el destino no es de Mirabel o no se puede usar, 5 no se\n"
            "pudo escribir el destino, 6 lo copiado no coincide con el origen (no se guarda nada),\n"
            "130 interrumpida con Ctrl+C (no se escribe nada)."),
    };
}

} // namespace

using Cli::say;

namespace CopyCli {

int run(int argc, char **argv) {
    const auto runtime = Cli::sinPantalla(); // a scheduled or remote run has no session
    std::unique_ptr<QCoreApplication> app;
    const QStringList args = Cli::iniciar(argc, argv, false, &app);

    Cli::Linea linea(comando(), Usage);
    if (const auto fin = linea.leer(args))
        return *fin;
    const QString from = linea.valor(QStringLiteral("from"));
    const QString to = linea.valor(QStringLiteral("to"));
    // A mistyped address must not become a file named after it.
    for (const QString &where : {from, to}) {
        if (Engine::at(where).isServer() || !where.contains(QLatin1String("://")))
            continue;
        say(stderr, QStringLiteral("La dirección %1 no es válida: debe empezar con postgresql://.")
                        .arg(SqlEngine::maskPassword(where)));
        return Usage;
    }
    for (const QString &where : {from, to}) {
        if (!Engine::at(where).isServer())
            continue;
        if (const auto address = SqlEngine::parseServerUrl(where); !address) {
            say(stderr, QStringLiteral("Error: %1").arg(address.message()));
            return Usage;
        }
    }

    const QString source = Engine::at(from).absoluteLocation(from);
    const QString target = Engine::at(to).absoluteLocation(to);
    const QLocale es(QLocale::Spanish, QLocale::Argentina);
    QString current;
    qint64 shown = -1;
    // Progress on stderr: stdout keeps only the comparison, for a log or another program.
    const auto progress = [&](qint64 done, qint64 total, const QString &table) {
        if (table != current || done - shown >= 100000) {
            current = table;
            shown = done;
            say(stderr, QStringLiteral("Copiando %1... %2 de %3 registros")
                            .arg(table, es.toString(done), es.toString(total)));
        }
        return !Cli::Interrupcion::interrumpida();
    };
    DatabaseTransfer::Result r;
    {
        Cli::Interrupcion guard;
        r = DatabaseTransfer::run(source, target, progress);
    }
    const auto comparison = [&](FILE *out) {
        for (const QString &line : DatabaseTransfer::summaryLines(r))
            say(out, QStringLiteral("  ") + line);
    };
    switch (r.status) {
    case DatabaseTransfer::Status::Ok:
        say(stdout,
            QStringLiteral("Copia de %1 en %2 terminada; origen y destino coinciden:").arg(source, target));
        comparison(stdout);
        return Ok;
    case DatabaseTransfer::Status::Mismatch:
        say(stderr, QStringLiteral("Error: %1").arg(r.error));
        comparison(stderr);
        return Mismatch;
    case DatabaseTransfer::Status::Cancelled:
        say(stderr, QStringLiteral("Copia interrumpida: no se escribió nada."));
        return Interrupted;
    case DatabaseTransfer::Status::SourceError:
        say(stderr, QStringLiteral("Error: %1").arg(r.error));
        return SourceError;
    case DatabaseTransfer::Status::TargetHasData:
        say(stderr, QStringLiteral("Error: %1").arg(r.error));
        return TargetHasData;
    case DatabaseTransfer::Status::TargetError:
        say(stderr, QStringLiteral("Error: %1").arg(r.error));
        return TargetError;
    case DatabaseTransfer::Status::WriteError:
        break;
    }
    say(stderr, QStringLiteral("Error: %1").arg(r.error));
    return WriteError;
}

} // namespace CopyCli
