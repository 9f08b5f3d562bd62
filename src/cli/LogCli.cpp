#include "cli/LogCli.h"

#include "cli/Cli.h"
#include "core/Formato.h"
#include "db/Actividad.h"
#include "db/Database.h"
#include "transfer/ListExport.h"

#include <QCoreApplication>
#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <optional>

namespace {

using Cli::say;

Cli::Comando comando() {
    return {
        .nombre = QStringLiteral("log"),
        .resumen =
            QStringLiteral("Escribe el registro de actividad (quién hizo qué, cuándo y en qué puesto), "
                           "lo más nuevo primero, sin abrir ventanas."),
        .argumentos = {},
        .opciones = {{.nombres = {QStringLiteral("desde")},
                      .valor = QStringLiteral("FECHA"),
                      .descripcion = QStringLiteral("primer día (inclusive), dd/mm/aaaa o aaaa-mm-dd"),
                      .siFalta = QStringLiteral("Falta --desde con el primer día.")},
                     {.nombres = {QStringLiteral("hasta")},
                      .valor = QStringLiteral("FECHA"),
                      .descripcion = QStringLiteral("último día (inclusive)"),
                      .siFalta = QStringLiteral("Falta --hasta con el último día.")},
                     {.nombres = {QStringLiteral("usuario")},
                      .valor = QStringLiteral("NOMBRE"),
                      .descripcion = QStringLiteral("solo lo que hizo ese usuario (las órdenes de la línea "
                                                    "de órdenes figuran como consola:CUENTA)")},
                     {.nombres = {QStringLiteral("format")},
                      .valor = QStringLiteral("csv"),
                      .descripcion = QStringLiteral("csv: separado por punto y coma, con títulos; sin él, "
                                                    "una línea legible por entrada")},
                     {.nombres = {QStringLiteral("database")},
                      .valor = QStringLiteral("ARCHIVO"),
                      .descripcion =
                          QStringLiteral("base de datos, o postgresql://usuario@servidor/base (por omisión "
                                         "%1); solo se lee")
                              .arg(Database::defaultPath())}},
        .notas = QStringLiteral("Estado de salida: 0 correcto, 1 uso incorrecto, 4 base de datos inexistente "
                                "o ilegible."),
    };
}

} // namespace

namespace LogCli {

int run(int argc, char **argv) {
    const auto runtime = Cli::sinPantalla();
    std::unique_ptr<QCoreApplication> app;
    const QStringList args = Cli::iniciar(argc, argv, Cli::Aplicacion::Consola, &app);

    Cli::Linea linea(comando(), Usage);
    if (const auto fin = linea.leer(args))
        return *fin;
    const QString formato = linea.valor(QStringLiteral("format"));
    if (!formato.isEmpty() && formato.compare(QLatin1String("csv"), Qt::CaseInsensitive) != 0)
        return linea.malUso(QStringLiteral("Formato desconocido: %1 (solo csv).").arg(formato));
    Actividad::Filtro filtro;
    for (const auto &[opcion, fecha] : {std::pair{QStringLiteral("desde"), &filtro.desde},
                                        std::pair{QStringLiteral("hasta"), &filtro.hasta}}) {
        const auto leida = Cli::leerFecha(linea.valor(opcion));
        if (!leida)
            return linea.malUso(QStringLiteral("Fecha inválida en --%1: %2 (dd/mm/aaaa o aaaa-mm-dd).")
                                    .arg(opcion, linea.valor(opcion)));
        *fecha = *leida;
    }
    if (filtro.desde > filtro.hasta)
        return linea.malUso(QStringLiteral("--desde es posterior a --hasta."));
    filtro.usuario = linea.valor(QStringLiteral("usuario")).trimmed();

    if (const Result opened =
            Database::open(Cli::rutaBase(linea.valor(QStringLiteral("database"))), Database::Mode::ReadOnly);
        !opened) {
        say(stderr, QStringLiteral("Error: %1").arg(opened.message()));
        return DatabaseError;
    }
    const bool csv = !formato.isEmpty();
    const QVector<Columna> columnas = Actividad::columnas();
    {
        QSqlQuery q(Database::db());
        q.setForwardOnly(true); // row by row: the log of years is never held whole
        if (!Database::run(q, Actividad::consulta(filtro), Actividad::parametros(filtro),
                           QStringLiteral("Registro de actividad"))) {
            say(stderr, QStringLiteral("Error: no se pudo leer el registro de actividad: %1")
                            .arg(q.lastError().text()));
            Database::close();
            return DatabaseError;
        }
        if (csv) {
            QStringList titulos;
            for (const Columna &c : columnas)
                titulos << ListExport::csvField(c.caption);
            say(stdout, titulos.join(QLatin1Char(';')));
        }
        while (q.next()) {
            QStringList campos;
            for (const Columna &c : columnas) {
                const QString texto = Formato::mostrar(q.value(c.field), c.formato);
                campos << (csv ? ListExport::csvField(texto) : texto);
            }
            say(stdout, campos.join(csv ? QStringLiteral(";") : QStringLiteral(" | ")));
        }
    }
    Database::close();
    return Ok;
}

} // namespace LogCli
