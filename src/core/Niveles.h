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

// Runs the action only when the logged-in user's level allows the command.
void ejecutar(const QString &comando, const std::function<void()> &accion);

} // namespace Niveles
