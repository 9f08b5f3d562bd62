#include "cli/ExportCli.h"

#include "cash/Caja.h"
#include "cli/Cli.h"
#include "db/Database.h"
#include "dues/Cuotas.h"
#include "members/Afiliados.h"
#include "members/Planes.h"
#include "transfer/ListExport.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <optional>

namespace {

using Cli::say;

const QStringList kListas{QStringLiteral("socios"), QStringLiteral("cuotas"), QStringLiteral("planes"),
                          QStringLiteral("caja")};

Cli::Comando comando() {
    const auto opcion = [](const QString &nombre, const QString &valor, const QString &descripcion) {
        return Cli::Opcion{.nombres = {nombre}, .valor = valor, .descripcion = descripcion};
    };
    return {
        .nombre = QStringLiteral("export"),
        .resumen =
            QStringLiteral("Escribe una lista de la ventana principal en Excel (.xlsx) o CSV, sin abrir "
                           "ventanas, con las mismas columnas, títulos y orden que la lista."),
        .argumentos = {{.nombre = QStringLiteral("LISTA"),
                        .descripcion = kListas.join(QStringLiteral(", ")),
                        .siFalta = QStringLiteral("Falta el nombre de la lista.")}},
        .opciones =
            {opcion(
                 QStringLiteral("database"), QStringLiteral("ARCHIVO"),
                 QStringLiteral("base de datos (por omisión %1); solo se lee").arg(Database::defaultPath())),
             opcion(QStringLiteral("format"), QStringLiteral("xlsx|csv"),
                    QStringLiteral("formato del archivo; sin él, el de la extensión de --out")),
             {.nombres = {QStringLiteral("out")},
              .valor = QStringLiteral("ARCHIVO"),
              .descripcion = QStringLiteral("archivo a escribir (aparece solo cuando está completo)"),
              .siFalta = QStringLiteral("Falta --out con el archivo a escribir.")},
             opcion(QStringLiteral("mes"), QStringLiteral("MES"),
                    QStringLiteral("cuotas: solo las de ese mes, con --anio, como \"Buscar\"")),
             opcion(QStringLiteral("anio"), QStringLiteral("AÑO"), QStringLiteral("cuotas: el año de --mes")),
             opcion(QStringLiteral("desde"), QStringLiteral("FECHA"),
                    QStringLiteral("caja: los movimientos de todas las cuentas desde esa fecha (inclusive), "
                                   "en la forma dd/mm/aaaa o aaaa-mm-dd")),
             opcion(QStringLiteral("hasta"), QStringLiteral("FECHA"),
                    QStringLiteral("caja: hasta esa fecha (inclusive)"))},
        .notas =
            QStringLiteral("Sin filtros se escriben todas las filas.\n"
                           "\n"
                           "Estado de salida: 0 correcto, 1 uso incorrecto, 4 base de datos inexistente o\n"
                           "ilegible, 5 no se pudo escribir el archivo."),
    };
}

struct Lista {
    QString sql;
    QVariantList params;
    QVector<Columna> columnas;
    QString hoja;
};

} // namespace

namespace ExportCli {

int run(int argc, char **argv) {
    const auto runtime = Cli::sinPantalla();
    std::unique_ptr<QCoreApplication> app;
    const QStringList args = Cli::iniciar(argc, argv, Cli::Aplicacion::Consola, &app);

    Cli::Linea linea(comando(), Usage);
    if (const auto fin = linea.leer(args))
        return *fin;
    const QString nombre = linea.argumento(0).toLower();
    const auto valor = [&linea](const char *opcion) { return linea.valor(QLatin1String(opcion)); };
    const QString database = valor("database"), formato = valor("format"), out = valor("out"),
                  mes = valor("mes"), anio = valor("anio"), desde = valor("desde"), hasta = valor("hasta");
    const auto malUso = [&linea](const QString &por) { return linea.malUso(por); };
    if (!kListas.contains(nombre))
        return malUso(QStringLiteral("Error: no existe la lista \"%1\". Las listas son: %2.")
                          .arg(nombre, kListas.join(QStringLiteral(", "))));
    const auto formatoElegido =
        ListExport::formatFromName(formato.isEmpty() ? QFileInfo(out).suffix() : formato);
    if (!formatoElegido)
        return malUso(formato.isEmpty()
                          ? QStringLiteral("Falta --format xlsx|csv (la extensión de --out no lo dice).")
                          : QStringLiteral("Formato desconocido: %1 (xlsx o csv).").arg(formato));
    const bool filtroCuotas = !mes.isEmpty() || !anio.isEmpty();
    const bool filtroCaja = !desde.isEmpty() || !hasta.isEmpty();
    if (filtroCuotas && nombre != QLatin1String("cuotas"))
        return malUso(QStringLiteral("--mes y --anio son solo para la lista de cuotas."));
    if (filtroCaja && nombre != QLatin1String("caja"))
        return malUso(QStringLiteral("--desde y --hasta son solo para la lista de caja."));

    // Every filter is read before the database is opened; the list's statement is built after, for the
    // engine that holds the database.
    QDate inicio, fin;
    if (filtroCuotas) {
        if (mes.isEmpty() || anio.isEmpty())
            return malUso(QStringLiteral("El filtro de cuotas necesita --mes y --anio."));
        if (!Cuotas::recordSourceMesAnio(mes, anio))
            return malUso(QStringLiteral("El mes y el año deben ser números: %1 %2.").arg(mes, anio));
    }
    for (const auto &[texto, fecha, opcion] : {std::tuple{desde, &inicio, QStringLiteral("--desde")},
                                               std::tuple{hasta, &fin, QStringLiteral("--hasta")}}) {
        if (texto.isEmpty())
            continue;
        const auto leida = Cli::leerFecha(texto);
        if (!leida)
            return malUso(
                QStringLiteral("Fecha inválida en %1: %2 (dd/mm/aaaa o aaaa-mm-dd).").arg(opcion, texto));
        *fecha = *leida;
    }
    if (inicio.isValid() && fin.isValid() && inicio > fin)
        return malUso(QStringLiteral("--desde es posterior a --hasta."));

    const QString path = Cli::rutaBase(database);
    if (const Result opened = Database::open(path, Database::Mode::ReadOnly); !opened) {
        say(stderr, QStringLiteral("Error: %1").arg(opened.message()));
        return DatabaseError;
    }
    Lista lista;
    if (nombre == QLatin1String("socios")) {
        lista = {Afiliados::recordSource(), {}, Afiliados::columnas(), QStringLiteral("Socios")};
    } else if (nombre == QLatin1String("planes")) {
        lista = {Planes::recordSource(), {}, Planes::columnas(), QStringLiteral("Planes")};
    } else if (nombre == QLatin1String("cuotas")) {
        const Cuotas::Fuente f =
            filtroCuotas ? *Cuotas::recordSourceMesAnio(mes, anio) : Cuotas::recordSourceDiseno();
        lista = {f.sql, f.params, Cuotas::columnas(), QStringLiteral("Cuotas")};
    } else {
        const Caja::Fuente f = Caja::entre(inicio, fin);
        lista = {f.sql, f.params, Caja::columnas(), QStringLiteral("Caja")};
    }
    const QString destino = QDir::current().absoluteFilePath(out);
    const Result r = ListExport::write(destino, *formatoElegido, lista.sql, lista.params,
                                       ListExport::columns(lista.columnas), lista.hoja);
    Database::close();
    if (!r) {
        say(stderr, QStringLiteral("Error: %1").arg(r.message()));
        return OutputError;
    }
    say(stdout, QStringLiteral("Lista \"%1\" exportada en %2").arg(nombre, destino));
    return Ok;
}

} // namespace ExportCli
