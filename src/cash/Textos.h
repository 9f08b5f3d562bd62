#pragma once

#include <QString>

namespace Textos {
// At most maximo UTF-16 units of texto, cut at a character boundary: an accent, a combining mark or a
// character outside the basic plane is never split.
QString cortar(const QString &texto, int maximo);
} // namespace Textos
