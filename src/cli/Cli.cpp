#include "cli/Cli.h"

#include "core/Sesion.h"
#include "db/Actividad.h"

#include "core/Formato.h"
#include "db/Database.h"
#include "db/Engine.h"
#include "db/SqlEngine.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>

namespace {
volatile std::sig_atomic_t g_interrumpida = 0;

extern "C" void alInterrumpir(int) {
    g_interrumpida = 1;
}

// The help fits a terminal of 80 columns.
constexpr int kAncho = 80;
// Options and arguments longer than this put their description on the next line.
constexpr int kColumnaMaxima = 22;

const Cli::Opcion &opcionAyuda() {
    static const Cli::Opcion ayuda{.nombres = {QStringLiteral("h"), QStringLiteral("help")},
                                   .valor = {},
                                   .descripcion = QStringLiteral("muestra esta ayuda y termina")};
    return ayuda;
}

// Pieces joined by blanks into lines of at most ancho characters (a longer piece gets a line of its own).
QStringList envolver(const QStringList &piezas, int ancho) {
    QStringList lineas;
    QString linea;
    for (const QString &pieza : piezas) {
        if (!linea.isEmpty() && linea.size() + 1 + pieza.size() > ancho) {
            lineas << linea;
            linea.clear();
        }
        linea += (linea.isEmpty() ? QString() : QStringLiteral(" ")) + pieza;
    }
    if (!linea.isEmpty())
        lineas << linea;
    return lineas;
}

QStringList envolver(const QString &texto, int ancho) {
    return envolver(texto.split(QLatin1Char(' '), Qt::SkipEmptyParts), ancho);
}

// Text wrapped into lines: a line that starts with a blank is kept as written (an example, a list), an
// empty line parts paragraphs, and the other lines run together.
QStringList parrafos(const QString &texto) {
    QStringList lineas, parrafo;
    const auto cerrar = [&] {
        lineas << envolver(parrafo.join(QLatin1Char(' ')), kAncho);
        parrafo.clear();
    };
    for (const QString &linea : texto.split(QLatin1Char('\n'))) {
        if (linea.isEmpty() || linea.startsWith(QLatin1Char(' '))) {
            cerrar();
            lineas << linea;
        } else {
            parrafo << linea;
        }
    }
    cerrar();
    return lineas;
}

QString escrita(const QString &nombre) {
    return (nombre.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + nombre;
}

// "--database ARCHIVO" as the usage line writes it: by its long name.
QString enUso(const Cli::Opcion &o) {
    const QString nombre = escrita(o.nombres.constLast());
    return o.valor.isEmpty() ? nombre : nombre + QLatin1Char(' ') + o.valor;
}

// "-h, --help" as the list of options writes it: every name.
QString enLista(const Cli::Opcion &o) {
    QStringList nombres;
    for (const QString &n : o.nombres)
        nombres << escrita(n);
    const QString todos = nombres.join(QStringLiteral(", "));
    return o.valor.isEmpty() ? todos : todos + QLatin1Char(' ') + o.valor;
}

// Entries of the list of arguments or options: the name, and its description wrapped beside it.
QStringList tabla(const QVector<std::pair<QString, QString>> &filas, int columna) {
    QStringList lineas;
    for (const auto &[nombre, descripcion] : filas) {
        const QStringList texto = envolver(descripcion, kAncho - columna);
        QString primera = QStringLiteral("  ") + nombre;
        if (primera.size() + 2 > columna) {
            lineas << primera;
            primera.clear();
        }
        for (qsizetype i = 0; i < texto.size(); ++i) {
            lineas << (i == 0 ? primera : QString()).leftJustified(columna) + texto.at(i);
        }
        if (texto.isEmpty() && !primera.isEmpty())
            lineas << primera;
    }
    return lineas;
}

QString desconocido(const QString &argumento) {
    return QStringLiteral("Argumento desconocido: %1").arg(argumento);
}
} // namespace

namespace Cli {

Linea::Linea(Comando comando, int estadoMalUso)
    : m_comando(std::move(comando)), m_estadoMalUso(estadoMalUso) {
    m_parser.addOption(QCommandLineOption(opcionAyuda().nombres, opcionAyuda().descripcion));
    for (const Opcion &o : std::as_const(m_comando.opciones))
        m_parser.addOption(QCommandLineOption(o.nombres, o.descripcion, o.valor));
}

std::optional<int> Linea::leer(const QStringList &argumentos) {
    // The parser takes the first argument for the program's name: the command's name is not its business.
    const QStringList propios = argumentos.mid(0, 1) + argumentos.mid(m_comando.nombre.isEmpty() ? 1 : 2);
    if (!m_parser.parse(propios))
        return malUso(queFalla(propios));
    if (dada(QStringLiteral("help"))) {
        say(stdout, ayuda());
        return 0;
    }
    const QStringList dados = m_parser.positionalArguments();
    if (!m_comando.sobrantes && dados.size() > m_comando.argumentos.size())
        return malUso(desconocido(dados.at(m_comando.argumentos.size())));
    if (std::any_of(m_comando.opciones.cbegin(), m_comando.opciones.cend(),
                    [this](const Opcion &o) { return o.basta && dada(o.nombres.constLast()); }))
        return std::nullopt;
    // An empty value is no value: "--out=" names no file.
    for (qsizetype i = 0; i < m_comando.argumentos.size(); ++i) {
        if (!m_comando.argumentos.at(i).siFalta.isEmpty() && argumento(int(i)).isEmpty())
            return malUso(m_comando.argumentos.at(i).siFalta);
    }
    for (const Opcion &o : std::as_const(m_comando.opciones)) {
        if (!o.siFalta.isEmpty() && valor(o.nombres.constLast()).isEmpty())
            return malUso(o.siFalta);
    }
    return std::nullopt;
}

bool Linea::dada(const QString &opcion) const {
    return m_parser.isSet(opcion);
}

QString Linea::valor(const QString &opcion) const {
    return m_parser.value(opcion);
}

QString Linea::argumento(int i) const {
    return m_parser.positionalArguments().value(i);
}

int Linea::malUso(const QString &motivo) const {
    say(stderr, QStringLiteral("%1\n\n%2").arg(motivo, ayuda()));
    return m_estadoMalUso;
}

const Opcion *Linea::buscar(const QString &nombre) const {
    for (const Opcion &o : m_comando.opciones) {
        if (o.nombres.contains(nombre))
            return &o;
    }
    return opcionAyuda().nombres.contains(nombre) ? &opcionAyuda() : nullptr;
}

// QCommandLineParser explains its errors only in English text: the same reading, done again, finds which
// argument is wrong and says it in Spanish.
QString Linea::queFalla(const QStringList &argumentos) const {
    for (qsizetype i = 1; i < argumentos.size(); ++i) {
        const QString &a = argumentos.at(i);
        if (a == QLatin1String("--"))
            break;
        if (!a.startsWith(QLatin1Char('-')) || a.size() == 1)
            continue;
        if (!a.startsWith(QLatin1String("--"))) {
            // -hv: one-letter options written together.
            for (const QChar letra : a.mid(1)) {
                const Opcion *o = buscar(QString(letra));
                if (!o || !o->valor.isEmpty())
                    return desconocido(a);
            }
            continue;
        }
        const qsizetype igual = a.indexOf(QLatin1Char('='));
        const Opcion *o = buscar(a.mid(2, igual < 0 ? -1 : igual - 2));
        if (!o || (o->valor.isEmpty() && igual >= 0))
            return desconocido(a);
        if (!o->valor.isEmpty() && igual < 0) {
            if (i + 1 == argumentos.size())
                return QStringLiteral("Falta el valor de %1.").arg(a);
            ++i;
        }
    }
    return desconocido(argumentos.mid(1).join(QLatin1Char(' ')));
}

QString Linea::ayuda() const {
    const QString programa = m_comando.nombre.isEmpty() ? QStringLiteral("mirabel")
                                                        : QStringLiteral("mirabel ") + m_comando.nombre;
    // Required arguments first, then the options, then the optional arguments.
    QStringList piezas;
    QStringList opcionales;
    for (const Argumento &a : m_comando.argumentos) {
        if (a.siFalta.isEmpty())
            opcionales << QStringLiteral("[%1]").arg(a.nombre);
        else
            piezas << a.nombre;
    }
    QStringList solas;
    for (const Opcion &o : m_comando.opciones) {
        if (o.basta)
            solas << QStringLiteral("     %1 %2").arg(programa, enUso(o));
        else
            piezas << (o.siFalta.isEmpty() ? QStringLiteral("[%1]").arg(enUso(o)) : enUso(o));
    }
    piezas << opcionales;
    const QString uso = QStringLiteral("Uso: %1 ").arg(programa);
    QStringList lineas = envolver(piezas, kAncho - int(uso.size()));
    for (qsizetype i = 0; i < lineas.size(); ++i)
        lineas[i] = (i == 0 ? uso : QString(uso.size(), QLatin1Char(' '))) + lineas.at(i);
    if (lineas.isEmpty())
        lineas << uso.trimmed();
    lineas << solas << QString() << parrafos(m_comando.resumen);

    QVector<std::pair<QString, QString>> argumentos, opciones;
    for (const Argumento &a : m_comando.argumentos)
        argumentos.append({a.nombre, a.descripcion});
    for (const Opcion &o : m_comando.opciones)
        opciones.append({enLista(o), o.descripcion});
    opciones.append({enLista(opcionAyuda()), opcionAyuda().descripcion});
    int columna = 0;
    for (const auto &filas : {argumentos, opciones}) {
        for (const auto &fila : filas)
            columna = std::max(columna, int(fila.first.size()));
    }
    columna = std::min(columna, kColumnaMaxima) + 4;
    if (!argumentos.isEmpty())
        lineas << QString() << QStringLiteral("Argumentos:") << tabla(argumentos, columna);
    lineas << QString() << QStringLiteral("Opciones:") << tabla(opciones, columna);
    if (!m_comando.notas.isEmpty())
        lineas << QString() << parrafos(m_comando.notas);
    return lineas.join(QLatin1Char('\n'));
}

Interrupcion::Interrupcion() {
    g_interrumpida = 0;
    m_int = std::signal(SIGINT, alInterrumpir);
    m_term = std::signal(SIGTERM, alInterrumpir);
}

Interrupcion::~Interrupcion() {
    std::signal(SIGINT, m_int);
    std::signal(SIGTERM, m_term);
}

bool Interrupcion::interrumpida() {
    return g_interrumpida != 0;
}

void say(FILE *to, const QString &text) {
    std::fputs(text.toUtf8().constData(), to);
    std::fputc('\n', to);
    std::fflush(to);
}

std::optional<QDate> leerFecha(const QString &texto) {
    for (const QString &forma : {QStringLiteral("d/M/yyyy"), QStringLiteral("yyyy-MM-dd")}) {
        const QDate d = QDate::fromString(texto.trimmed(), forma);
        if (d.isValid())
            return d;
    }
    return std::nullopt;
}

namespace {
std::function<std::unique_ptr<QCoreApplication>(int &, char **)> &aplicacionGraficos() {
    static std::function<std::unique_ptr<QCoreApplication>(int &, char **)> crear;
    return crear;
}
} // namespace

void setAplicacionGraficos(std::function<std::unique_ptr<QCoreApplication>(int &argc, char **argv)> crear) {
    aplicacionGraficos() = std::move(crear);
}

QStringList iniciar(int argc, char **argv, Aplicacion tipo, std::unique_ptr<QCoreApplication> *app) {
    QStringList args;
    if (!QCoreApplication::instance()) {
        switch (tipo) {
        case Aplicacion::Consola:
            *app = std::make_unique<QCoreApplication>(argc, argv);
            break;
        case Aplicacion::Graficos:
            *app = aplicacionGraficos() ? aplicacionGraficos()(argc, argv)
                                        : std::make_unique<QGuiApplication>(argc, argv);
            break;
        }
        QCoreApplication::setOrganizationName(QStringLiteral("Mirabel"));
        QCoreApplication::setApplicationName(QStringLiteral("Mirabel"));
        args = QCoreApplication::arguments();
    } else {
        for (int i = 0; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
    }
    QLocale::setDefault(Formato::localePrograma());
    // No one logs in on the command line: its writes are logged under the system account that ran it.
    Module1::NombreUsuario = Actividad::usuarioConsola();
    return args;
}

QStringList iniciar(int argc, char **argv, bool conGraficos, std::unique_ptr<QCoreApplication> *app) {
    return iniciar(argc, argv, conGraficos ? Aplicacion::Graficos : Aplicacion::Consola, app);
}

std::unique_ptr<QTemporaryDir> sinPantalla() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QTemporaryDir> runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtime =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/mirabel-runtime-XXXXXX"));
        if (runtime->isValid()) {
            QFile::setPermissions(runtime->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", runtime->path().toLocal8Bit());
        }
    }
    return runtime;
}

QString rutaBase(const QString &database) {
    if (database.isEmpty())
        return Database::defaultPath();
    return Engine::at(database).absoluteLocation(database);
}

} // namespace Cli
