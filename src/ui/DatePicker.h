#pragma once

#include <QDateEdit>

// A date picker with a calendar pop-up that always shows a four-digit year.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget *parent = nullptr);
};
