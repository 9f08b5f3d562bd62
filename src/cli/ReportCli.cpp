#include "cli/ReportCli.h"

#include "cli/Cli.h"

#include "core/Configuracion.h"
#include "core/Formato.h"
#include "db/Database.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportData.h"
#include "reports/ReportDocument.h"
#include "reports/ReportFormula.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {

using Cli::say;

QString usage() {
    return QStringLiteral(
               "Uso: mirabel report INFORME [--database ARCHIVO] [--settings ARCHIVO] [--formula TEXTO] "
               "--pdf SALIDA.pdf\n"
               "\n"
               "Escribe un informe en PDF sin abrir ventanas.\n"
               "  INFORME            uno de: %1 (sin distinguir mayúsculas)\n"
               "  --database ARCHIVO base de datos (por omisión %2)\n"
               "  --formula TEXTO    fórmula de selección, por ejemplo \"{cuotas.idAfiliado} = 17\";\n"
               "                     sin ella: todos los registros (socios: {Afiliados.idAfiliado} <> 0;\n"
               "                     deudas: {ConsultaDeuda.SumaDeMonto} <> 0); a lo sumo %3 condiciones\n"
               "                     y %4 niveles de paréntesis\n"
               "  --pdf SALIDA.pdf   archivo a escribir\n"
               "  --settings ARCHIVO configuración (nombre y CUIT de la empresa) en formato INI\n"
               "  --list             lista los informes\n"
               "\n"
               "Estado de salida: 0 correcto, 1 uso incorrecto, 2 informe desconocido, 3 fórmula inválida,\n"
               "4 base de datos inexistente o ilegible, 5 no se pudo escribir el PDF.")
        .arg(ReportCatalog::names(), Database::defaultPath())
        .arg(ReportFormula::MaxConditions)
        .arg(ReportFormula::MaxNesting);
}

} // namespace

namespace ReportCli {

int run(int argc, char **argv) {
    const auto runtime = Cli::sinPantalla();
    std::unique_ptr<QCoreApplication> app;
    const QStringList args = Cli::iniciar(argc, argv, true, &app);

    QString name, database, pdf, formula, settings;
    bool formulaGiven = false;
    for (int i = 2; i < args.size(); ++i) {
        const QString a = args.at(i);
        const auto value = [&](const QString &option, QString *out) {
            if (a == option) {
                if (i + 1 >= args.size())
                    return -1;
                *out = args.at(++i);
                return 1;
            }
            if (a.startsWith(option + QLatin1Char('='))) {
                *out = a.mid(option.size() + 1);
                return 1;
            }
            return 0;
        };
        int r = 0;
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            say(stdout, usage());
            return Ok;
        }
        if (a == QLatin1String("--list")) {
            for (const ReportDefinition &d : ReportCatalog::all())
                say(stdout, d.fileName + QStringLiteral("\t") + d.title);
            return Ok;
        }
        if ((r = value(QStringLiteral("--database"), &database)) ||
            (r = value(QStringLiteral("--pdf"), &pdf)) ||
            (r = value(QStringLiteral("--settings"), &settings))) {
            if (r < 0) {
                say(stderr, QStringLiteral("Falta el valor de %1.\n\n%2").arg(a, usage()));
                return Usage;
            }
            continue;
        }
        if ((r = value(QStringLiteral("--formula"), &formula))) {
            if (r < 0) {
                say(stderr, QStringLiteral("Falta el valor de %1.\n\n%2").arg(a, usage()));
                return Usage;
            }
            formulaGiven = true;
            continue;
        }
        if (a.startsWith(QLatin1Char('-')) || !name.isEmpty()) {
            say(stderr, QStringLiteral("Argumento desconocido: %1\n\n%2").arg(a, usage()));
            return Usage;
        }
        name = a;
    }
    if (name.isEmpty() || pdf.isEmpty()) {
        say(stderr, QStringLiteral("%1\n\n%2")
                        .arg(name.isEmpty() ? QStringLiteral("Falta el nombre del informe.")
                                            : QStringLiteral("Falta --pdf con el archivo a escribir."),
                             usage()));
        return Usage;
    }

    if (!settings.isEmpty())
        Configuracion::setArchivo(QDir::current().absoluteFilePath(settings));

    // Name and formula are checked before the database is touched.
    const ReportDefinition *def = ReportCatalog::find(name);
    if (!def) {
        say(stderr, QStringLiteral("Error: no existe el informe \"%1\". Los informes son: %2.")
                        .arg(name, ReportCatalog::names()));
        return UnknownReport;
    }
    if (!formulaGiven)
        formula = def->defaultFormula;
    QString why;
    if (const auto sql = ReportFormula::parse(formula).toSql(def->fields); !sql) {
        say(stderr,
            QStringLiteral("Error: la fórmula de selección del informe \"%1\" no es válida: %2.\nFórmula: %3")
                .arg(def->fileName, sql.message(), formula));
        return BadFormula;
    }

    const QString path = Cli::rutaBase(database);
    if (!Database::open(path, Database::Mode::ReadOnly, &why)) {
        say(stderr, QStringLiteral("Error: %1").arg(why));
        return DatabaseError;
    }

    ReportDocument doc;
    ReportError error;
    if (!doc.build(def->fileName, formula, &error)) {
        say(stderr, QStringLiteral("Error: %1").arg(error.message));
        Database::close();
        return error.kind == ReportError::Kind::Formula ? BadFormula : DatabaseError;
    }
    const QString out = QDir::current().absoluteFilePath(pdf);
    if (const Result r = doc.writePdf(out); !r) {
        say(stderr, QStringLiteral("Error: %1").arg(r.message()));
        Database::close();
        return OutputError;
    }
    Database::close();
    say(stdout, QStringLiteral("Informe \"%1\": %2 %3 en %4")
                    .arg(def->fileName)
                    .arg(doc.pageCount())
                    .arg(doc.pageCount() == 1 ? QStringLiteral("página") : QStringLiteral("páginas"), out));
    return Ok;
}

} // namespace ReportCli
