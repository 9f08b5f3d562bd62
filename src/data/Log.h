#pragma once

#include <QString>

// The program's log file: errors that a window passes over without a message are still written here.
class Log {
public:
    static void setFile(const QString &path); // default: mirabel.log in the per-user data folder
    static QString file();
    static void write(const QString &message);
    static void error(const QString &where, const QString &message);
    // Routes qWarning and friends into the log file (keeps printing them on stderr too).
    static void installMessageHandler();
};
