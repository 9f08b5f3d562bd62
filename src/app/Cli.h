#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <memory>

class QCoreApplication;

// What the command-line subcommands share.
namespace Cli {
// One line on stdout or stderr, flushed at once (a scheduled job's log keeps the order).
void say(FILE *to, const QString &text);
// Creates the application object when none exists yet (a graphical one when drawing is needed, off screen),
// names it as the program does, sets the program's locale, and returns the arguments.
QStringList iniciar(int argc, char **argv, bool conGraficos, std::unique_ptr<QCoreApplication> *app);
} // namespace Cli
