#pragma once

#include "core/Configuracion.h"
#include "core/Result.h"

// The system's settings as the settings window keeps them: saved together with their entry in the
// activity log, or not at all.
namespace Sistema {

// Saves the settings; the log names the keys that changed (never their values: one is a password).
[[nodiscard]] Result guardar(const Configuracion::Ajustes &nuevos);

} // namespace Sistema
