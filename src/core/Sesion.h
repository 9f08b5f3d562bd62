#pragma once

#include <QString>
#include <QtGlobal>

// Who is logged in: the program's one session, set by the login and read by the level rule.
namespace Module1 {

// The logged-in user's level: 1 supervisor, 2 administrative, 3 other; 0 before the login.
extern qint16 NivelUsuario;
// The logged-in user's key in "Usuarios" (0 before the login): that user cannot be deleted.
extern int IdUsuario;
// Who the activity log names: the logged-in user's name, or the command line's own name.
extern QString NombreUsuario;

} // namespace Module1
