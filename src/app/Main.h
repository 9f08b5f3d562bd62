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
// A server's address (rutaBase "postgresql://...") opens the database there: no file checks; its password
// is asked for when the server wants one and libpq has none, and cancelling ends the program quietly.
panPrin *arrancar(const QString &rutaBase, int *salida, bool rutaElegida = false);
// What the program opens: the database named (a server's address as given, a file from the folder the
// program was started in), else the server database it last opened, else the default file.
QString baseAAbrir(const QString &elegida);
// A server database the user got into is opened again at the next start without --database; files are
// not remembered. Only its address is kept, never a password.
void recordarBase(const QString &ruta);
// Installs the window that asks for a server's password (done by arrancar()).
void usarPedidoDeContrasena();
// Installs the message that says, once, that the server is out of reach (done by arrancar()).
void avisarConexionPerdida();
// Starts the open file's integrity check of the day on a worker; damage it finds is shown when it comes.
void revisarBase();
// Whether the user cancelled the password window since the last call (which clears it).
bool contrasenaCancelada();
} // namespace Main
