#include "ui/Mensaje.h"

#include "core/Log.h"

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
    const std::unique_ptr<QMessageBox> box = construir(texto, titulo, icono, botones, porDefecto, padre);
    return static_cast<QMessageBox::StandardButton>(box->exec());
}

std::unique_ptr<QMessageBox> construir(const QString &texto, const QString &titulo, QMessageBox::Icon icono,
                                       QMessageBox::StandardButtons botones,
                                       QMessageBox::StandardButton porDefecto, QWidget *padre) {
    QWidget *parent = padre ? padre : QApplication::activeWindow();
    auto box = std::make_unique<QMessageBox>(icono, titulo.isEmpty() ? QStringLiteral("Mirabel!") : titulo,
                                             texto, botones, parent);
    // Messages carry names and texts as stored or typed: a "<b>" in a surname is shown, not obeyed.
    box->setTextFormat(Qt::PlainText);
    if (porDefecto != QMessageBox::NoButton)
        box->setDefaultButton(porDefecto);
    box->setObjectName(QStringLiteral("Mensaje"));
    return box;
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
