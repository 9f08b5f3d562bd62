#include "ui/Mensaje.h"

#include "data/Log.h"

#include <QApplication>
#include <QQueue>

namespace {
bool g_test = false;
QQueue<QMessageBox::StandardButton> g_answers;
QVector<Mensaje::Mostrado> g_shown;

QMessageBox::StandardButton firstOf(QMessageBox::StandardButtons b) {
    for (auto candidate : {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel,
                           QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore, QMessageBox::Close})
        if (b.testFlag(candidate))
            return candidate;
    return QMessageBox::Ok;
}
} // namespace

namespace Mensaje {

QMessageBox::StandardButton mostrar(const QString &texto, const QString &titulo, QMessageBox::Icon icono,
                                    QMessageBox::StandardButtons botones,
                                    QMessageBox::StandardButton porDefecto, QWidget *padre) {
    const QString title = titulo.isEmpty() ? QStringLiteral("Mirabel!") : titulo;
    if (icono == QMessageBox::Critical)
        Log::write(QStringLiteral("Mensaje: ") + texto);
    if (g_test) {
        g_shown.push_back({texto, title, icono, botones});
        if (!g_answers.isEmpty())
            return g_answers.dequeue();
        return porDefecto != QMessageBox::NoButton ? porDefecto : firstOf(botones);
    }
    QWidget *parent = padre ? padre : QApplication::activeWindow();
    QMessageBox box(icono, title, texto, botones, parent);
    if (porDefecto != QMessageBox::NoButton)
        box.setDefaultButton(porDefecto);
    box.setObjectName(QStringLiteral("Mensaje"));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void error(const QString &texto, QWidget *padre) {
    mostrar(texto, QStringLiteral("Error"), QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok, padre);
}

void informacion(const QString &texto, const QString &titulo, QWidget *padre) {
    mostrar(texto, titulo, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, padre);
}

bool preguntaSiNo(const QString &texto, const QString &titulo, QWidget *padre) {
    return mostrar(texto, titulo, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                   padre) == QMessageBox::Yes;
}

void habilitarPrueba(bool enabled) {
    g_test = enabled;
}
bool enPrueba() {
    return g_test;
}
void encolarRespuesta(QMessageBox::StandardButton respuesta) {
    g_answers.enqueue(respuesta);
}
QVector<Mostrado> mostrados() {
    return g_shown;
}
void limpiar() {
    g_shown.clear();
    g_answers.clear();
}

} // namespace Mensaje
