#pragma once

#include <QPixmap>

// The program's own artwork, painted in code so that it scales and needs no image files.
namespace Artwork {
enum class Opcion { Clientes = 0, Cuotas, Planes, Informes, Caja, Utilidades, Tablero };
QPixmap iconoOpcion(int indice, int lado = 48);
QPixmap portada(const QSize &size);
QPixmap logo(int lado);
QIcon iconoPrograma();
} // namespace Artwork
