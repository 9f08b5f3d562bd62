#pragma once

#include "core/Niveles.h"

#include <functional>

class QAbstractButton;

namespace Niveles {

// Connects a command button to its action behind the level rule (the button's objectName names the command).
void conectar(QAbstractButton *boton, std::function<void()> accion);

} // namespace Niveles
