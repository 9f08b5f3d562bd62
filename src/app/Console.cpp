#include "app/Console.h"

namespace Console {

void say(FILE *to, const QString &text) {
    std::fputs(text.toUtf8().constData(), to);
    std::fputc('\n', to);
    std::fflush(to);
}

} // namespace Console
