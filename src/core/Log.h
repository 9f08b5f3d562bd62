#pragma once

#include <QString>

// The program's log file: errors that a window passes over without a message are still written here.
class Log {
public:
    // Default: mirabel.log in the per-user data folder (never a shared temporary folder). Readable by
    // its owner alone; at MaxSize it moves to mirabel.log.1 and a new one starts.
    static void setFile(const QString &path);
    static constexpr qint64 MaxSize = 1024 * 1024;
    static QString file();
    // One entry, one line: control characters in message are written escaped (see escapar).
    static void write(const QString &message);
    // Text with its control characters shown as escapes (\n, \r, \t, \x1B, \u2028 ...), so that data
    // (a member's name) can never start a line of its own in a log or a command's output.
    static QString escapar(const QString &text);
    static void error(const QString &where, const QString &message);
    // Routes qWarning and friends into the log file (keeps printing them on stderr too).
    static void installMessageHandler();
};
