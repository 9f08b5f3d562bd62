#pragma once

#include <QString>
#include <functional>

// Which user level may run each command of the main window. A command that the level does not allow
// does nothing at all: no message, no change. The commands stay visible and enabled.
namespace Niveles {

// Whether the level may run the command named by its objectName ("Command3", "Command26", ...).
// An unknown name is refused at every level.
bool permite(const QString &comando, int nivel);
// Whether the logged-in user may.
bool permiteActual(const QString &comando);

// The option of the main window shown first after the login: the dashboard for those who may read the
// money reports (levels 1 and 2), the members list for the others.
QString opcionInicial(int nivel);

// Runs the action only when the logged-in user's level allows the command.
void ejecutar(const QString &comando, const std::function<void()> &accion);

} // namespace Niveles
