#include "ui/DatePicker.h"

#include "core/Clock.h"

DatePicker::DatePicker(QWidget *parent) : QDateEdit(parent) {
    setCalendarPopup(true);
    setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    setDateRange(QDate(1900, 1, 1), QDate(2200, 12, 31));
    setDate(Clock::today());
}
