#include "cli/BackupCli.h"

#include "cli/Cli.h"

#include "core/Log.h"
#include "db/Backup.h"
#include "db/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <memory>

namespace {

// backup and restore: one help each, the same base and the same exit statuses.
Cli::Comando comando(bool restaurar) {
    const Cli::Opcion base{
        .nombres = {QStringLiteral("database")},
        .valor = QStringLiteral("BASE"),
        .descripcion = QStringLiteral("archivo de base de datos (por omisión %1) o base en un servidor: "
                                      "postgresql://usuario@servidor[:puerto]/base (la contraseña, en "
                                      "PGPASSWORD o ~/.pgpass)")
                           .arg(Database::defaultPath())};
    const QString estados = QStringLiteral(
        "Una copia de un archivo (.db) se restaura en un archivo; una de un servidor (.dump),\n"
        "en un servidor. pg_dump y pg_restore vienen en el paquete postgresql-client.\n"
        "\n"
        "Estado de salida: 0 correcto, 1 uso incorrecto, 4 base de datos inexistente, ilegible\n"
        "o ajena a Mirabel, 5 no se pudo escribir, 6 la copia no existe, no es válida o no es\n"
        "del tipo de la base.");
    if (!restaurar) {
        return {
            .nombre = QStringLiteral("backup"),
            .resumen = QStringLiteral(
                "Escribe una copia de seguridad coherente de la base de datos, aun con el programa "
                "abierto."),
            .argumentos = {},
            .opciones = {base,
                         {.nombres = {QStringLiteral("out")},
                          .valor = QStringLiteral("COPIA"),
                          .descripcion = QStringLiteral("archivo de la copia; de una base en un servidor, "
                                                        "una copia .dump hecha con pg_dump"),
                          .siFalta = QStringLiteral("Falta --out con el archivo de la copia.")}},
            .notas = estados};
    }
    return {.nombre = QStringLiteral("restore"),
            .resumen = QStringLiteral("Reemplaza la base de datos por la copia."),
            .argumentos = {{.nombre = QStringLiteral("COPIA"),
                            .descripcion = QStringLiteral("la copia a restaurar"),
                            .siFalta = QStringLiteral("Falta el archivo de la copia a restaurar.")}},
            .opciones = {base,
                         {.nombres = {QStringLiteral("otra-base")},
                          .valor = {},
                          .descripcion = QStringLiteral(
                              "restaura aunque la copia sea de otra base de datos (o no diga de cuál es, "
                              "por ser de una versión anterior); sin esta opción esa copia se rechaza. La "
                              "base conserva su identidad.")}},
            .notas = QStringLiteral("Antes guarda la base actual en %1. En un servidor, con pg_restore y\n"
                                    "en una sola transacción; la base debe estar vacía o ser de Mirabel.\n"
                                    "\n")
                         .arg(Backup::folder()) +
                     estados};
}

} // namespace

using Cli::say;

namespace BackupCli {

int run(int argc, char **argv) {
    std::unique_ptr<QCoreApplication> app;
    const QStringList args = Cli::iniciar(argc, argv, false, &app);
    const bool restoring = args.value(1) == QLatin1String("restore");

    Cli::Linea linea(comando(restoring), Usage);
    if (const auto fin = linea.leer(args))
        return *fin;
    const QString database = linea.valor(QStringLiteral("database"));
    const QString copy = restoring ? linea.argumento(0) : QString();
    const QString out = restoring ? QString() : linea.valor(QStringLiteral("out"));
    const bool anyDatabase = restoring && linea.dada(QStringLiteral("otra-base"));
    const QString path = Cli::rutaBase(database);

    if (!restoring) {
        // Only read: the file is neither created nor changed.
        if (const Result opened = Database::open(path, Database::Mode::ReadOnly); !opened) {
            say(stderr, QStringLiteral("Error: %1").arg(opened.message()));
            return DatabaseError;
        }
        const QString dest = QDir::current().absoluteFilePath(out);
        const QString same = QFileInfo(path).canonicalFilePath();
        if (!same.isEmpty() && QFileInfo(dest).canonicalFilePath() == same) {
            Database::close();
            say(stderr, QStringLiteral("Error: la copia no puede reemplazar a la base de datos misma."));
            return Usage;
        }
        const Result copied = Backup::copyTo(dest);
        Database::close();
        if (!copied) {
            say(stderr, QStringLiteral("Error: %1").arg(copied.message()));
            return OutputError;
        }
        say(stdout, QStringLiteral("Copia de seguridad escrita en %1").arg(dest));
        return Ok;
    }

    const QString source = QDir::current().absoluteFilePath(copy);
    const Expected<Backup::Contents> contents = Backup::inspect(source, path);
    if (!contents) {
        say(stderr, QStringLiteral("Error: %1").arg(contents.message()));
        return BadCopy;
    }
    if (const Result same = anyDatabase ? Result::done() : Backup::isCopyOf(*contents, path); !same) {
        say(stderr, QStringLiteral("Error: %1 No se restaura; si es la copia que quiere poner en esa base, "
                                   "agregue --otra-base.")
                        .arg(same.message()));
        return BadCopy;
    }
    const Expected<QString> safety = Backup::restore(source, path, anyDatabase);
    if (!safety) {
        say(stderr, QStringLiteral("Error: %1").arg(safety.message()));
        return safety.code() == Result::Code::NotOurs ? DatabaseError : OutputError;
    }
    say(stdout, QStringLiteral("Copia %1 restaurada en %2 (%3).").arg(source, path, contents->describe()));
    if (!safety->isEmpty())
        say(stdout, QStringLiteral("La base anterior quedó guardada en %1").arg(*safety));
    return Ok;
}

} // namespace BackupCli
