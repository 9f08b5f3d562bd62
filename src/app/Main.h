#pragma once

class QApplication;

// The program's start: splash, database, first supervisor on a new file, login, main window.
namespace Main {
int run(int argc, char **argv);
// Sets names, the Spanish locale and Qt's Spanish translations (standard buttons read "Sí", "No"...).
void prepararAplicacion(QApplication &app);
} // namespace Main
