#pragma once

class QApplication;
class QString;
class panPrin;

// The program's start: splash, database, first supervisor on a new file, login, main window.
namespace Main {
int run(int argc, char **argv);
// Sets names, the Spanish locale and Qt's Spanish translations (standard buttons read "Sí", "No"...).
void prepararAplicacion(QApplication &app);
// Whether the login window's Tag says the user got in: exactly "SI".
bool ingresoAceptado(const QString &tag);
// Splash, database, first supervisor on a new file, login; then the main window, shown. Returns nullptr
// when the program must end, with its exit status in *salida (0 for a login that did not succeed).
// rutaElegida: the user named the file (--database), so a missing one is created only if they agree.
panPrin *arrancar(const QString &rutaBase, int *salida, bool rutaElegida = false);
} // namespace Main
