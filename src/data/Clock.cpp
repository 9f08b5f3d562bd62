#include "data/Clock.h"

namespace {
QDate g_fixed;
}

QDate Clock::today() {
    return g_fixed.isValid() ? g_fixed : QDate::currentDate();
}
void Clock::setFixed(const QDate &date) {
    g_fixed = date;
}
void Clock::addMonths(int months) {
    g_fixed = today().addMonths(months);
}
bool Clock::isFixed() {
    return g_fixed.isValid();
}
