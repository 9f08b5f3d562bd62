#pragma once

#include <QString>

class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QWidget;

// Small builders so every window names its controls and ties labels to inputs the same way.
namespace Controles {
QPushButton *boton(QWidget *padre, const QString &nombre, const QString &texto);
QLabel *etiqueta(QWidget *padre, const QString &nombre, const QString &texto);
// A text box with its maximum length; the label (if any) becomes its buddy and accessible name.
QLineEdit *campo(QWidget *padre, const QString &nombre, int largoMaximo, QLabel *etiqueta = nullptr);
// A password box: every typed character shows as "*".
void ocultarTexto(QLineEdit *campo);
// Ties a label to its input: buddy for the mnemonic, accessible name for screen readers.
void asociar(QLabel *etiqueta, QWidget *control);
// The layout of the small start-up windows: the logo on the left, an introduction and the fields on the
// right, the buttons at the bottom right.
void disponerConLogo(QWidget *ventana, QWidget *introduccion, QLayout *campos, QPushButton *aceptar,
                     QPushButton *cancelar);
} // namespace Controles
