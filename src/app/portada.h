#pragma once

#include <QDialog>

class QLabel;
class QTimer;

// The splash window: the program's artwork for two seconds, then it closes itself.
class portada : public QDialog {
    Q_OBJECT
public:
    explicit portada(QWidget *parent = nullptr);
    // Shows the window modally until its two seconds are up.
    int mostrar();

private:
    QTimer *m_tmrCierre;  // Timer1
    QLabel *m_picPortada; // Picture1
};
