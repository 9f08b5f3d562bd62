#include "ui/InputBox.h"

#include "ui/Mensaje.h"

#include <QApplication>
#include <QInputDialog>
#include <QQueue>

namespace {
QQueue<std::optional<QString>> g_answers;
}

namespace InputBox {

std::optional<QString> pedir(const QString &prompt, const QString &titulo, const QString &porDefecto,
                             QWidget *padre) {
    if (Mensaje::enPrueba())
        return g_answers.isEmpty() ? std::optional<QString>() : g_answers.dequeue();
    QInputDialog dlg(padre ? padre : QApplication::activeWindow());
    dlg.setWindowTitle(titulo.isEmpty() ? QStringLiteral("Mirabel!") : titulo);
    dlg.setLabelText(prompt);
    dlg.setTextValue(porDefecto);
    dlg.setOkButtonText(QStringLiteral("Aceptar"));
    dlg.setCancelButtonText(QStringLiteral("Cancelar"));
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.textValue();
}

void encolarRespuesta(const std::optional<QString> &respuesta) {
    g_answers.enqueue(respuesta);
}

} // namespace InputBox
