#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <memory>

class QCoreApplication;
class QTemporaryDir;

// What the command-line subcommands share.
namespace Cli {
// One line on stdout or stderr, flushed at once (a scheduled job's log keeps the order).
void say(FILE *to, const QString &text);
// The database a subcommand's --database names: the default file when empty, a server's address as given,
// and a file from the folder the command was started in.
QString rutaBase(const QString &database);

// The application object a subcommand needs: none drawn, or drawing (reports).
enum class Aplicacion { Consola, Graficos };
// Creates the application object when none exists yet (drawing off screen), names it as the program does,
// sets the program's locale, and returns the arguments.
QStringList iniciar(int argc, char **argv, Aplicacion tipo, std::unique_ptr<QCoreApplication> *app);
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
