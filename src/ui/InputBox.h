#pragma once

#include <QString>
#include <QWidget>
#include <optional>

// The input box: a prompt, a title and a text. Tests queue the answers (nullopt = Cancelar).
namespace InputBox {
std::optional<QString> pedir(const QString &prompt, const QString &titulo,
                             const QString &porDefecto = QString(), QWidget *padre = nullptr);
void encolarRespuesta(const std::optional<QString> &respuesta);
} // namespace InputBox
