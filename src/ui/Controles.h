#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class DataGrid;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;

// Small builders so every window names its controls and ties labels to inputs the same way.
namespace Controles {
QPushButton *boton(QWidget *padre, const QString &nombre, const QString &texto);
QLabel *etiqueta(QWidget *padre, const QString &nombre, const QString &texto);
// A window's "Exportar" button ("cmdExportar"): it opens the grid's export menu, the one its context menu
// shows.
QToolButton *botonExportar(QWidget *padre, DataGrid *grilla,
                           const QString &texto = QStringLiteral("&Exportar"));
// A text box with its maximum length; the label (if any) becomes its buddy and accessible name.
QLineEdit *campo(QWidget *padre, const QString &nombre, int largoMaximo, QLabel *etiqueta = nullptr);
// A password box: every typed character shows as "*".
void ocultarTexto(QLineEdit *campo);
// A combo box that takes typed text as well as a choice from its list; nothing chosen at first.
QComboBox *comboEditable(QWidget *padre, const QString &nombre, const QStringList &items);
// The layout of a small form window: the header strip on top, the fields, and the buttons at the bottom
// right; the first button is the default one.
void disponerFormulario(QWidget *ventana, QWidget *encabezado, QLayout *campos,
                        const QList<QPushButton *> &botones);
// Ties a label to its input: buddy for the mnemonic, accessible name for screen readers.
void asociar(QLabel *etiqueta, QWidget *control);
// The layout of the small start-up windows: the logo on the left, an introduction and the fields on the
// right, the buttons at the bottom right.
void disponerConLogo(QWidget *ventana, QWidget *introduccion, QLayout *campos, QPushButton *aceptar,
                     QPushButton *cancelar);
} // namespace Controles
