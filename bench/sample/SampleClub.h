#pragma once

#include <QDate>
#include <QString>
#include <cstdint>

// Writes a whole sample club into a new database file: accounts, categories, plans, members, the dues of
// the current year (plan-wide for the members who were already in, individual with inscription for those
// who joined since), the payments of the dues that were collected with their cash movements, the club's
// other income and expenses, and the three sample users. Same options, same file.
class SampleClub {
public:
    struct Options {
        QString out;
        int members = 300;
        std::uint64_t seed = 1;
        QDate today = QDate::currentDate();
        bool demo = false;
    };

    struct Counts {
        qint64 members = 0;
        qint64 dues = 0;
        qint64 paidDues = 0;
        qint64 overdueDues = 0; // unpaid with a due date not later than today
        qint64 movements = 0;
        qint64 milliseconds = 0;
    };

    // The sample users: always written (see the program's --help), passwords stored as typed.
    struct User {
        const char *name;
        const char *password;
        const char *fullName;
        int level;
    };
    static const User kUsers[3];

    // Replaces the file if it exists. On failure returns false with a Spanish reason in *error and removes
    // what was half written.
    static bool generate(const Options &options, Counts *counts, QString *error);
};
