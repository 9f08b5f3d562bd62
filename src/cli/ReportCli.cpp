#include "cli/ReportCli.h"

#include "cli/Cli.h"

#include "core/Clock.h"
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

// The dashboard is no report of the catalogue, but it prints like one.
const QString kTablero = QStringLiteral("tablero");

Cli::Comando comando() {
    return {
        .nombre = QStringLiteral("report"),
        .resumen = QStringLiteral("Escribe un informe en PDF sin abrir ventanas."),
        .argumentos = {{.nombre = QStringLiteral("INFORME"),
                        .descripcion = QStringLiteral("uno de: %1, %2 (sin distinguir mayúsculas); %2 es el "
                                                      "tablero de gráficos en una página")
                                           .arg(ReportCatalog::names(), kTablero),
                        .siFalta = QStringLiteral("Falta el nombre del informe.")}},
        .opciones =
            {{.nombres = {QStringLiteral("database")},
              .valor = QStringLiteral("ARCHIVO"),
              .descripcion = QStringLiteral("base de datos (por omisión %1)").arg(Database::defaultPath())},
             {.nombres = {QStringLiteral("settings")},
              .valor = QStringLiteral("ARCHIVO"),
              .descripcion = QStringLiteral("configuración (nombre y CUIT de la empresa) en formato INI")},
             {.nombres = {QStringLiteral("formula")},
              .valor = QStringLiteral("TEXTO"),
              .descripcion =
                  QStringLiteral("fórmula de selección, por ejemplo \"{cuotas.idAfiliado} = 17\"; sin "
                                 "ella: todos los registros (socios: {Afiliados.idAfiliado} <> 0; "
                                 "deudas: {ConsultaDeuda.SumaDeMonto} <> 0); a lo sumo %1 "
                                 "condiciones y %2 niveles de paréntesis")
                      .arg(ReportFormula::MaxConditions)
                      .arg(ReportFormula::MaxNesting)},
             {.nombres = {QStringLiteral("pdf")},
              .valor = QStringLiteral("SALIDA.pdf"),
              .descripcion = QStringLiteral("archivo a escribir"),
              .siFalta = QStringLiteral("Falta --pdf con el archivo a escribir.")},
             {.nombres = {QStringLiteral("list")},
              .valor = {},
              .descripcion = QStringLiteral("lista los informes"),
              .basta = true}},
        .notas = QStringLiteral(
            "Estado de salida: 0 correcto, 1 uso incorrecto, 2 informe desconocido, 3 fórmula\n"
            "inválida, 4 base de datos inexistente o ilegible, 5 no se pudo escribir el PDF."),
    };
}

} // namespace

namespace ReportCli {

namespace {

int tablero(Cli::Linea &linea, const QString &database, const QString &pdf, const DibujarTablero &dibujar) {
    if (linea.dada(QStringLiteral("formula")))
        return linea.malUso(QStringLiteral("El tablero no lleva fórmula de selección."));
    if (!dibujar) {
        say(stderr, QStringLiteral("Error: esta versión del programa no dibuja el tablero."));
        return OutputError;
    }
    if (const Result opened = Database::open(Cli::rutaBase(database), Database::Mode::ReadOnly); !opened) {
        say(stderr, QStringLiteral("Error: %1").arg(opened.message()));
        return DatabaseError;
    }
    const Expected<Tablero::Cifras> cifras = Tablero::calcular(Database::db(), Clock::today());
    Database::close();
    if (!cifras) {
        say(stderr, QStringLiteral("Error: %1").arg(cifras.message()));
        return DatabaseError;
    }
    const QString out = QDir::current().absoluteFilePath(pdf);
    if (const Result r = dibujar(*cifras, out, Configuracion::nombreEmpresa()); !r) {
        say(stderr, QStringLiteral("Error: %1").arg(r.message()));
        return OutputError;
    }
    say(stdout, QStringLiteral("Tablero: 1 página en %1").arg(out));
    return Ok;
}

} // namespace

int run(int argc, char **argv, const DibujarTablero &dibujarTablero) {
    const auto runtime = Cli::sinPantalla();
    std::unique_ptr<QCoreApplication> app;
    const QStringList args = Cli::iniciar(argc, argv, true, &app);

    Cli::Linea linea(comando(), Usage);
    if (const auto fin = linea.leer(args))
        return *fin;
    if (linea.dada(QStringLiteral("list"))) {
        for (const ReportDefinition &d : ReportCatalog::all())
            say(stdout, d.fileName + QStringLiteral("\t") + d.title);
        say(stdout, kTablero + QStringLiteral("\tTablero de gráficos (una página)"));
        return Ok;
    }
    const QString name = linea.argumento(0);
    const QString database = linea.valor(QStringLiteral("database"));
    const QString pdf = linea.valor(QStringLiteral("pdf"));
    const QString settings = linea.valor(QStringLiteral("settings"));
    QString formula = linea.valor(QStringLiteral("formula"));
    const bool formulaGiven = linea.dada(QStringLiteral("formula"));

    if (!settings.isEmpty())
        Configuracion::setArchivo(QDir::current().absoluteFilePath(settings));

    if (name.compare(kTablero, Qt::CaseInsensitive) == 0)
        return tablero(linea, database, pdf, dibujarTablero);

    // Name and formula are checked before the database is touched.
    const ReportDefinition *def = ReportCatalog::find(name);
    if (!def) {
        say(stderr, QStringLiteral("Error: no existe el informe \"%1\". Los informes son: %2.")
                        .arg(name, ReportCatalog::names()));
        return UnknownReport;
    }
    if (!formulaGiven)
        formula = def->defaultFormula;
    if (const auto sql = ReportFormula::parse(formula).toSql(def->fields); !sql) {
        say(stderr,
            QStringLiteral("Error: la fórmula de selección del informe \"%1\" no es válida: %2.\nFórmula: %3")
                .arg(def->fileName, sql.message(), formula));
        return BadFormula;
    }

    const QString path = Cli::rutaBase(database);
    if (const Result opened = Database::open(path, Database::Mode::ReadOnly); !opened) {
        say(stderr, QStringLiteral("Error: %1").arg(opened.message()));
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
