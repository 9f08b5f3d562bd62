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

QString usage() {
    return QStringLiteral(
               "Uso: mirabel backup [--database BASE] --out COPIA\n"
               "     mirabel restore COPIA [--database BASE] [--otra-base]\n"
               "\n"
               "backup   escribe una copia de seguridad coherente de la base de datos, aun con el\n"
               "         programa abierto. De una base en un servidor, con pg_dump (una copia .dump).\n"
               "restore  reemplaza la base de datos por la copia; antes guarda la base actual en\n"
               "         %1. En un servidor, con pg_restore y en una sola transacción;\n"
               "         la base debe estar vacía o ser de Mirabel.\n"
               "  --database BASE    archivo de base de datos (por omisión %2) o base en un\n"
               "                     servidor: postgresql://usuario@servidor[:puerto]/base (la\n"
               "                     contraseña, en PGPASSWORD o ~/.pgpass)\n"
               "  --otra-base        restaura aunque la copia sea de otra base de datos (o no diga\n"
               "                     de cuál es, por ser de una versión anterior); sin esta opción\n"
               "                     esa copia se rechaza. La base conserva su identidad.\n"
               "\n"
               "Una copia de un archivo (.db) se restaura en un archivo; una de un servidor (.dump), en\n"
               "un servidor. pg_dump y pg_restore vienen en el paquete postgresql-client.\n"
               "\n"
               "Estado de salida: 0 correcto, 1 uso incorrecto, 4 base de datos inexistente, ilegible\n"
               "o ajena a Mirabel, 5 no se pudo escribir, 6 la copia no existe, no es válida o no es\n"
               "del tipo de la base.")
        .arg(Backup::folder(), Database::defaultPath());
}

} // namespace

using Cli::say;

namespace BackupCli {

int run(int argc, char **argv) {
    std::unique_ptr<QCoreApplication> app;
    const QStringList args = Cli::iniciar(argc, argv, false, &app);
    const bool restoring = args.value(1) == QLatin1String("restore");

    QString database, out, copy;
    bool anyDatabase = false;
    for (int i = 2; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            say(stdout, usage());
            return Ok;
        }
        if (restoring && a == QLatin1String("--otra-base")) {
            anyDatabase = true;
            continue;
        }
        QString *target = nullptr;
        QString option;
        for (const auto &[name, where] :
             {std::pair{QStringLiteral("--database"), &database}, std::pair{QStringLiteral("--out"), &out}}) {
            if (a == name || a.startsWith(name + QLatin1Char('='))) {
                target = where;
                option = name;
            }
        }
        if (target && (restoring ? target != &out : true)) {
            if (a.size() > option.size()) {
                *target = a.mid(option.size() + 1);
            } else if (i + 1 < args.size()) {
                *target = args.at(++i);
            } else {
                say(stderr, QStringLiteral("Falta el valor de %1.\n\n%2").arg(a, usage()));
                return Usage;
            }
            continue;
        }
        if (restoring && copy.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            copy = a;
            continue;
        }
        say(stderr, QStringLiteral("Argumento desconocido: %1\n\n%2").arg(a, usage()));
        return Usage;
    }
    const QString path = Cli::rutaBase(database);

    if (!restoring) {
        if (out.isEmpty()) {
            say(stderr, QStringLiteral("Falta --out con el archivo de la copia.\n\n%1").arg(usage()));
            return Usage;
        }
        QString why;
        // Only read: the file is neither created nor changed.
        if (!Database::open(path, Database::Mode::ReadOnly, &why)) {
            say(stderr, QStringLiteral("Error: %1").arg(why));
            return DatabaseError;
        }
        const QString dest = QDir::current().absoluteFilePath(out);
        const QString same = QFileInfo(path).canonicalFilePath();
        if (!same.isEmpty() && QFileInfo(dest).canonicalFilePath() == same) {
            Database::close();
            say(stderr, QStringLiteral("Error: la copia no puede reemplazar a la base de datos misma."));
            return Usage;
        }
        const bool ok = Backup::copyTo(dest, &why);
        Database::close();
        if (!ok) {
            say(stderr, QStringLiteral("Error: %1").arg(why));
            return OutputError;
        }
        say(stdout, QStringLiteral("Copia de seguridad escrita en %1").arg(dest));
        return Ok;
    }

    if (copy.isEmpty()) {
        say(stderr, QStringLiteral("Falta el archivo de la copia a restaurar.\n\n%1").arg(usage()));
        return Usage;
    }
    const QString source = QDir::current().absoluteFilePath(copy);
    QString why;
    Backup::Contents contents;
    if (!Backup::inspect(source, &contents, &why, path)) {
        say(stderr, QStringLiteral("Error: %1").arg(why));
        return BadCopy;
    }
    if (!anyDatabase && !Backup::isCopyOf(contents, path, &why)) {
        say(stderr, QStringLiteral("Error: %1 No se restaura; si es la copia que quiere poner en esa base, "
                                   "agregue --otra-base.")
                        .arg(why));
        return BadCopy;
    }
    QString safety;
    bool notOurs = false;
    if (!Backup::restore(source, path, &why, &safety, &notOurs, anyDatabase)) {
        say(stderr, QStringLiteral("Error: %1").arg(why));
        return notOurs ? DatabaseError : OutputError;
    }
    say(stdout, QStringLiteral("Copia %1 restaurada en %2 (%3).").arg(source, path, contents.describe()));
    if (!safety.isEmpty())
        say(stdout, QStringLiteral("La base anterior quedó guardada en %1").arg(safety));
    return Ok;
}

} // namespace BackupCli
