#include "core/Sesion.h"

namespace Module1 {

qint16 NivelUsuario = 0;
int IdUsuario = 0;
QString NombreUsuario;

} // namespace Module1
