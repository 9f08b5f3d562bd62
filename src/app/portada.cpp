#include "app/portada.h"

#include "ui/Artwork.h"
#include "ui/Ventana.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

portada::portada(QWidget *parent) : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("portada"));
    setWindowTitle(QStringLiteral("Mirabel!"));
    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(Artwork::portada(QSize(560, 320)));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Picture1);
    setFixedSize(560, 320);
    Ventana::centrar(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(2000);
    connect(Timer1, &QTimer::timeout, this, &QDialog::accept);
}
