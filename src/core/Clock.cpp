#include "core/Clock.h"

namespace {
QDate g_fixed;
void (*g_listener)() = nullptr;
void changed() {
    if (g_listener)
        g_listener();
}
} // namespace

void Clock::setListener(void (*listener)()) {
    g_listener = listener;
}

QDate Clock::today() {
    return g_fixed.isValid() ? g_fixed : QDate::currentDate();
}
void Clock::setFixed(const QDate &date) {
    g_fixed = date;
    changed();
}
void Clock::addMonths(int months) {
    g_fixed = today().addMonths(months);
    changed();
}
bool Clock::isFixed() {
    return g_fixed.isValid();
}
