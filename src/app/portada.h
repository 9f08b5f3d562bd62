#pragma once

#include <QDialog>

class QLabel;
class QTimer;

// The splash window: the program's artwork for two seconds, then it closes itself.
class portada : public QDialog {
    Q_OBJECT
public:
    explicit portada(QWidget *parent = nullptr);
    QTimer *Timer1;
    QLabel *Picture1;
};
