#pragma once

#include <QString>

class QHeaderView;
class QWidget;

// Windows reopen where the user left them: size, position (on a screen that still exists), maximised or
// not; grids keep their column widths. Kept in the per-user settings under "Ventanas", apart from the
// program's configuration.
namespace EstadoVentanas {

// The window's key is its class name (one entry per kind of window).
bool restaurar(QWidget *ventana); // false when nothing was stored: the caller places it itself
void guardar(QWidget *ventana);

// Column widths of a grid, by the grid's objectName; ignored when the stored columns do not match.
void restaurarColumnas(QHeaderView *encabezado, const QString &grilla);
void guardarColumnas(QHeaderView *encabezado, const QString &grilla);

// The settings file where the state is kept (tests and scheduled runs may point it elsewhere).
void setArchivo(const QString &archivo); // empty: the per-user default

} // namespace EstadoVentanas
