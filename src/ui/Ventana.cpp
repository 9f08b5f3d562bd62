#include "ui/Ventana.h"

#include "ui/Artwork.h"
#include "ui/EstadoVentanas.h"

#include <QGuiApplication>
#include <QHideEvent>
#include <QScreen>

Ventana::Ventana(QWidget *parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowIcon(Artwork::iconoPrograma());
}

bool Ventana::tagEsNumerico() const {
    bool ok = false;
    Tag.trimmed().toLongLong(&ok);
    return ok;
}

void Ventana::showEvent(QShowEvent *e) {
    QDialog::showEvent(e);
    if (!m_centred) {
        m_centred = true;
        // Where the user left it last time; centred the first time.
        if (!EstadoVentanas::restaurar(this))
            centrar(this);
    }
}

void Ventana::hideEvent(QHideEvent *e) {
    if (m_centred && !e->spontaneous())
        EstadoVentanas::guardar(this);
    QDialog::hideEvent(e);
}

void Ventana::centrar(QWidget *ventana) {
    if (!ventana)
        return;
    QScreen *screen = ventana->screen() ? ventana->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = ventana->frameGeometry().size();
    ventana->move(area.x() + (area.width() - size.width()) / 2,
                  area.y() + (area.height() - size.height()) / 2);
}
