#pragma once

#include <QString>
#include <cstdio>

// Output of the command-line subcommands: one line of UTF-8 text, flushed at once so that a scheduled
// job's log shows it in order with the other stream.
namespace Console {
void say(FILE *to, const QString &text);
} // namespace Console
