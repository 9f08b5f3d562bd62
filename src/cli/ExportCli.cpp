#include "cli/ExportCli.h"

#include "cash/Caja.h"
#include "cli/Cli.h"
#include "db/Database.h"
#include "dues/Cuotas.h"
#include "members/Afiliados.h"
#include "members/Planes.h"
#include "transfer/TableExport.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <optional>

namespace {

using Cli::say;

QString usage() {
    return QStringLiteral(
               "Uso: mirabel export LISTA [--database ARCHIVO] [--format xlsx|csv] --out ARCHIVO\n"
               "                    [--mes MES --anio AÑO] [--desde FECHA] [--hasta FECHA]\n"
               "\n"
               "Escribe una lista de la ventana principal en Excel (.xlsx) o CSV, sin abrir ventanas,\n"
               "con las mismas columnas, títulos y orden que la lista.\n"
               "  LISTA              socios, cuotas, planes o caja\n"
               "  --database ARCHIVO base de datos (por omisión %1); solo se lee\n"
               "  --format xlsx|csv  formato del archivo; sin él, el de la extensión de --out\n"
               "  --out ARCHIVO      archivo a escribir (aparece solo cuando está completo)\n"
               "  --mes MES --anio AÑO\n"
               "                     cuotas: solo las de ese mes y año, como \"Buscar\"\n"
               "  --desde FECHA, --hasta FECHA\n"
               "                     caja: los movimientos de todas las cuentas entre esas fechas\n"
               "                     (inclusive), en la forma dd/mm/aaaa o aaaa-mm-dd\n"
               "Sin filtros se escriben todas las filas.\n"
               "\n"
               "Estado de salida: 0 correcto, 1 uso incorrecto, 4 base de datos inexistente o\n"
               "ilegible, 5 no se pudo escribir el archivo.")
        .arg(Database::defaultPath());
}

std::optional<QDate> leerFecha(const QString &texto) {
    for (const QString &forma : {QStringLiteral("d/M/yyyy"), QStringLiteral("yyyy-MM-dd")}) {
        const QDate d = QDate::fromString(texto.trimmed(), forma);
        if (d.isValid())
            return d;
    }
    return std::nullopt;
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

    QString nombre, database, formato, out, mes, anio, desde, hasta;
    for (int i = 2; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            say(stdout, usage());
            return Ok;
        }
        QString *destino = nullptr;
        QString opcion;
        for (const auto &[nombreOpcion, donde] :
             {std::pair{QStringLiteral("--database"), &database},
              std::pair{QStringLiteral("--format"), &formato}, std::pair{QStringLiteral("--out"), &out},
              std::pair{QStringLiteral("--mes"), &mes}, std::pair{QStringLiteral("--anio"), &anio},
              std::pair{QStringLiteral("--desde"), &desde}, std::pair{QStringLiteral("--hasta"), &hasta}}) {
            if (a == nombreOpcion || a.startsWith(nombreOpcion + QLatin1Char('='))) {
                destino = donde;
                opcion = nombreOpcion;
            }
        }
        if (destino) {
            if (a.size() > opcion.size()) {
                *destino = a.mid(opcion.size() + 1);
            } else if (i + 1 < args.size()) {
                *destino = args.at(++i);
            } else {
                say(stderr, QStringLiteral("Falta el valor de %1.\n\n%2").arg(a, usage()));
                return Usage;
            }
            continue;
        }
        if (a.startsWith(QLatin1Char('-')) || !nombre.isEmpty()) {
            say(stderr, QStringLiteral("Argumento desconocido: %1\n\n%2").arg(a, usage()));
            return Usage;
        }
        nombre = a.toLower();
    }
    const auto malUso = [](const QString &por) {
        say(stderr, QStringLiteral("%1\n\n%2").arg(por, usage()));
        return Usage;
    };
    if (nombre.isEmpty())
        return malUso(QStringLiteral("Falta el nombre de la lista."));
    const QStringList listas{QStringLiteral("socios"), QStringLiteral("cuotas"), QStringLiteral("planes"),
                             QStringLiteral("caja")};
    if (!listas.contains(nombre))
        return malUso(QStringLiteral("Error: no existe la lista \"%1\". Las listas son: %2.")
                          .arg(nombre, listas.join(QStringLiteral(", "))));
    if (out.isEmpty())
        return malUso(QStringLiteral("Falta --out con el archivo a escribir."));
    const auto formatoElegido =
        TableExport::formatFromName(formato.isEmpty() ? QFileInfo(out).suffix() : formato);
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
        const auto leida = leerFecha(texto);
        if (!leida)
            return malUso(
                QStringLiteral("Fecha inválida en %1: %2 (dd/mm/aaaa o aaaa-mm-dd).").arg(opcion, texto));
        *fecha = *leida;
    }
    if (inicio.isValid() && fin.isValid() && inicio > fin)
        return malUso(QStringLiteral("--desde es posterior a --hasta."));

    QString why;
    const QString path = Cli::rutaBase(database);
    if (!Database::open(path, Database::Mode::ReadOnly, &why)) {
        say(stderr, QStringLiteral("Error: %1").arg(why));
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
    const Result r = TableExport::write(destino, *formatoElegido, lista.sql, lista.params,
                                        TableExport::columns(lista.columnas), lista.hoja);
    Database::close();
    if (!r) {
        say(stderr, QStringLiteral("Error: %1").arg(r.message()));
        return OutputError;
    }
    say(stdout, QStringLiteral("Lista \"%1\" exportada en %2").arg(nombre, destino));
    return Ok;
}

} // namespace ExportCli
