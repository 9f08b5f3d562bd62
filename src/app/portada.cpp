#include "app/portada.h"

#include "ui/Artwork.h"
#include "ui/Ventana.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

portada::portada(QWidget *parent) : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("portada"));
    setWindowTitle(QStringLiteral("Mirabel!"));
    m_picPortada = new QLabel(this);
    m_picPortada->setObjectName(QStringLiteral("Picture1"));
    m_picPortada->setPixmap(Artwork::portada(QSize(560, 320)));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_picPortada);
    setFixedSize(560, 320);
    Ventana::centrar(this);

    m_tmrCierre = new QTimer(this);
    m_tmrCierre->setObjectName(QStringLiteral("Timer1"));
    m_tmrCierre->setSingleShot(true);
    m_tmrCierre->setInterval(2000);
    connect(m_tmrCierre, &QTimer::timeout, this, &QDialog::accept);
}

int portada::mostrar() {
    m_tmrCierre->start();
    return exec();
}
