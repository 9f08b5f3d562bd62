#pragma once

#include <QCommandLineParser>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

class QCoreApplication;
class QTemporaryDir;

// What the command-line subcommands share.
namespace Cli {

// An option of a command, as its help shows it.
struct Opcion {
    QStringList nombres;  // {"database"}; a one-letter name is written -x
    QString valor;        // the value's name in the help ("ARCHIVO"); empty: the option takes no value
    QString descripcion;  // one sentence, wrapped by the help
    QString siFalta = {}; // set: the option is required, and this says so when it is missing
    bool basta = false;   // the option alone is the whole command (--list, --version): nothing is required
};
// A positional argument, in order.
struct Argumento {
    QString nombre; // "INFORME"
    QString descripcion;
    QString siFalta = {}; // set: the argument is required, and this says so when it is missing
};
// What a command accepts and how its help reads: usage, summary, arguments, options, then the notes.
struct Comando {
    QString nombre;  // "report"; empty for the program itself
    QString resumen; // one sentence
    QVector<Argumento> argumentos;
    QVector<Opcion> opciones; // -h, --help is added to every command
    // After the options (remarks, exit statuses): paragraphs are wrapped, a line that starts with a blank is
    // printed as written.
    QString notas = {};
    bool sobrantes = false; // arguments beyond those declared are ignored instead of refused
};

// The command line of one command, read with QCommandLineParser: --opcion valor and --opcion=valor alike.
// Help and errors read the same for every command, in Spanish: --help prints the help on stdout; an unknown
// option, a missing value or a missing required argument prints why and then the help on stderr.
class Linea {
public:
    // estadoMalUso: the command's exit status for wrong use.
    Linea(Comando comando, int estadoMalUso);
    // Reads the program's arguments (the program and the command's name first). Returns the exit status
    // when the command ends here (0 after the help, estadoMalUso after a wrong use, both already printed),
    // or nothing when it goes on.
    [[nodiscard]] std::optional<int> leer(const QStringList &argumentos);
    bool dada(const QString &opcion) const;
    QString valor(const QString &opcion) const;
    // The i-th positional argument, or empty.
    QString argumento(int i) const;
    QString ayuda() const;
    // Prints why the use is wrong and then the help on stderr; returns the wrong-use status.
    [[nodiscard]] int malUso(const QString &motivo) const;

private:
    const Opcion *buscar(const QString &nombre) const;
    QString queFalla(const QStringList &argumentos) const;

    Comando m_comando;
    int m_estadoMalUso;
    QCommandLineParser m_parser;
};

// One line on stdout or stderr, flushed at once (a scheduled job's log keeps the order).
void say(FILE *to, const QString &text);
// The database a subcommand's --database names: the default file when empty, a server's address as given,
// and a file from the folder the command was started in.
QString rutaBase(const QString &database);

// A day as the command lines take it: dd/mm/aaaa or aaaa-mm-dd.
std::optional<QDate> leerFecha(const QString &texto);

// The application object a subcommand needs: none drawn, or drawing (reports).
enum class Aplicacion { Consola, Graficos };
// Creates the application object when none exists yet (drawing off screen), names it as the program does,
// sets the program's locale, and returns the arguments.
QStringList iniciar(int argc, char **argv, Aplicacion tipo, std::unique_ptr<QCoreApplication> *app);
// The program itself makes a widgets' application object for the drawing subcommands (charts are drawn with
// widgets' means): the maker given here replaces the plain drawing one.
void setAplicacionGraficos(std::function<std::unique_ptr<QCoreApplication>(int &argc, char **argv)> crear);
// The same, drawing or not.
QStringList iniciar(int argc, char **argv, bool conGraficos, std::unique_ptr<QCoreApplication> *app);
// No window is ever shown by a subcommand, so it draws off screen unless told otherwise: an unattended run
// has no display, and a session whose display has gone (a stale DISPLAY over ssh) must not stop the job.
// Without a session, a private runtime folder (kept while the returned object lives) keeps Qt quiet.
std::unique_ptr<QTemporaryDir> sinPantalla();

// Ctrl+C or a stop request (SIGINT, SIGTERM) during long work, caught for the object's lifetime: the work
// asks interrumpida() at its next row and undoes itself instead of leaving a half-written database.
class Interrupcion {
public:
    Interrupcion();
    ~Interrupcion();
    Interrupcion(const Interrupcion &) = delete;
    Interrupcion &operator=(const Interrupcion &) = delete;
    static bool interrumpida();

private:
    void (*m_int)(int);
    void (*m_term)(int);
};
} // namespace Cli
