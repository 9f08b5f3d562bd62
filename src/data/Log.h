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
    static void write(const QString &message);
    static void error(const QString &where, const QString &message);
    // Routes qWarning and friends into the log file (keeps printing them on stderr too).
    static void installMessageHandler();
};
