#include "ui/EstadoVentanas.h"

#include "core/Configuracion.h"

#include <QDataStream>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIODevice>
#include <QScreen>
#include <QSettings>
#include <QWidget>
#include <memory>

namespace {
QString g_archivo;

std::unique_ptr<QSettings> abrir() {
    return Configuracion::almacen(g_archivo);
}

// Saving rewrites the whole file, the hand-written [Configuracion] section too.
std::unique_ptr<QSettings> abrirParaEscribir() {
    auto s = abrir();
    Configuracion::conservar(*s);
    return s;
}

QString claveVentana(const QWidget *w) {
    return QStringLiteral("Ventanas/%1/geometria").arg(QString::fromLatin1(w->metaObject()->className()));
}

QString claveGrilla(const QString &grilla) {
    return QStringLiteral("Ventanas/grillas/%1").arg(grilla);
}

// A window restored onto a screen that is gone (a laptop away from its monitor) comes back on the
// primary screen.
void asegurarVisible(QWidget *w) {
    const QRect frame = w->frameGeometry();
    for (const QScreen *s : QGuiApplication::screens())
        if (s->availableGeometry().intersects(frame))
            return;
    if (const QScreen *s = QGuiApplication::primaryScreen()) {
        const QRect area = s->availableGeometry();
        w->resize(w->size().boundedTo(area.size()));
        w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
    }
}
} // namespace

namespace EstadoVentanas {

void setArchivo(const QString &archivo) {
    g_archivo = archivo;
}

bool restaurar(QWidget *ventana) {
    if (!ventana)
        return false;
    const QByteArray g = abrir()->value(claveVentana(ventana)).toByteArray();
    if (g.isEmpty() || !ventana->restoreGeometry(g))
        return false;
    asegurarVisible(ventana);
    return true;
}

void guardar(QWidget *ventana) {
    if (!ventana)
        return;
    abrirParaEscribir()->setValue(claveVentana(ventana), ventana->saveGeometry());
}

void restaurarColumnas(QHeaderView *encabezado, const QString &grilla) {
    if (!encabezado || grilla.isEmpty())
        return;
    const QByteArray estado = abrir()->value(claveGrilla(grilla)).toByteArray();
    if (estado.isEmpty())
        return;
    // Only the widths: the order and number of columns are the program's, not the user's.
    QList<int> anchos;
    const int n = encabezado->count();
    QDataStream in(estado);
    qint32 guardadas = 0;
    in >> guardadas;
    if (guardadas != n)
        return;
    for (int i = 0; i < n; ++i) {
        qint32 ancho = 0;
        in >> ancho;
        anchos << ancho;
    }
    if (in.status() != QDataStream::Ok)
        return;
    for (int i = 0; i < n; ++i)
        if (anchos.at(i) > 0)
            encabezado->resizeSection(i, anchos.at(i));
}

void guardarColumnas(QHeaderView *encabezado, const QString &grilla) {
    if (!encabezado || grilla.isEmpty() || encabezado->count() == 0)
        return;
    QByteArray estado;
    QDataStream out(&estado, QIODevice::WriteOnly);
    out << qint32(encabezado->count());
    for (int i = 0; i < encabezado->count(); ++i)
        out << qint32(encabezado->sectionSize(i));
    abrirParaEscribir()->setValue(claveGrilla(grilla), estado);
}

} // namespace EstadoVentanas
