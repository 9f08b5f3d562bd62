#pragma once

#include <QDate>

// The one source of "today". Tests fix it; SQL's date() on the program's connections reads it too.
class Clock {
public:
    static QDate today();
    static void setFixed(const QDate &date); // an invalid date returns to the system clock
    static void addMonths(int months);       // moves a fixed clock on
    static bool isFixed();
    // Called after every change of a fixed clock (a server connection is told the new day).
    static void setListener(void (*listener)());
};
