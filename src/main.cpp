#include "app/Main.h"

#ifdef _WIN32
#include <cstdio>
#include <windows.h>

namespace {
// A windowed program starts without a console. Typed at a prompt (a subcommand), it writes to that prompt's
// console; output already sent to a file or a pipe stays there.
void usarConsolaDeQuienLlama() {
    const auto sinDestino = [](DWORD cual) { return GetFileType(GetStdHandle(cual)) == FILE_TYPE_UNKNOWN; };
    const bool out = sinDestino(STD_OUTPUT_HANDLE), err = sinDestino(STD_ERROR_HANDLE),
               in = sinDestino(STD_INPUT_HANDLE);
    if (!(out || err || in) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (out)
        (void)freopen("CONOUT$", "w", stdout);
    if (err)
        (void)freopen("CONOUT$", "w", stderr);
    if (in)
        (void)freopen("CONIN$", "r", stdin);
}
} // namespace
#endif

int main(int argc, char **argv) {
#ifdef _WIN32
    usarConsolaDeQuienLlama();
#endif
    return Main::run(argc, argv);
}
