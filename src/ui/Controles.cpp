#include "ui/Controles.h"

#include "ui/Artwork.h"
#include "ui/DataGrid.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace Controles {

QPushButton *boton(QWidget *padre, const QString &nombre, const QString &texto) {
    auto *b = new QPushButton(texto, padre);
    b->setObjectName(nombre);
    b->setAutoDefault(false);
    return b;
}

QToolButton *botonExportar(QWidget *padre, DataGrid *grilla, const QString &texto) {
    auto *b = new QToolButton(padre);
    b->setObjectName(QStringLiteral("cmdExportar"));
    b->setText(texto);
    b->setToolTip(QStringLiteral("Exportar la lista a Excel o CSV"));
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setPopupMode(QToolButton::InstantPopup);
    b->setMenu(grilla->menuExportar());
    return b;
}

QLabel *etiqueta(QWidget *padre, const QString &nombre, const QString &texto) {
    auto *l = new QLabel(texto, padre);
    // Labels show captions or stored data, never markup.
    l->setTextFormat(Qt::PlainText);
    if (!nombre.isEmpty())
        l->setObjectName(nombre);
    return l;
}

QComboBox *comboEditable(QWidget *padre, const QString &nombre, const QStringList &items) {
    auto *c = new QComboBox(padre);
    c->setObjectName(nombre);
    c->setEditable(true);
    // The text decides what is stored; Enter must not add what was typed to the list.
    c->setInsertPolicy(QComboBox::NoInsert);
    c->addItems(items);
    // Suggestions in a list, never written into the box: "Anual" must not become "Anual 2024" unseen.
    c->completer()->setCompletionMode(QCompleter::PopupCompletion);
    c->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    c->setCurrentIndex(-1);
    c->clearEditText();
    return c;
}

void asociar(QLabel *etiqueta, QWidget *control) {
    if (!etiqueta || !control)
        return;
    etiqueta->setBuddy(control);
    QString name = etiqueta->text();
    name.remove(QLatin1Char('&'));
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    control->setAccessibleName(name.trimmed());
}

void ocultarTexto(QLineEdit *campo) {
    campo->setEchoMode(QLineEdit::Password);
    // The style's own mask character varies (a bullet in most); the program has always shown "*".
    campo->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
}

QLineEdit *campo(QWidget *padre, const QString &nombre, int largoMaximo, QLabel *etiqueta) {
    auto *e = new QLineEdit(padre);
    e->setObjectName(nombre);
    if (largoMaximo > 0)
        e->setMaxLength(largoMaximo);
    asociar(etiqueta, e);
    return e;
}

void disponerFormulario(QWidget *ventana, QWidget *encabezado, QLayout *campos,
                        const QList<QPushButton *> &botones) {
    auto *fila = new QHBoxLayout;
    fila->addStretch();
    for (QPushButton *b : botones)
        fila->addWidget(b);
    if (!botones.isEmpty())
        botones.first()->setDefault(true);
    auto *layout = new QVBoxLayout(ventana);
    layout->addWidget(encabezado);
    layout->addLayout(campos);
    layout->addStretch();
    layout->addLayout(fila);
}

void disponerConLogo(QWidget *ventana, QWidget *introduccion, QLayout *campos, QPushButton *aceptar,
                     QPushButton *cancelar) {
    auto *logo = new QLabel(ventana);
    logo->setObjectName(QStringLiteral("Image1"));
    logo->setPixmap(Artwork::logo(64));
    auto *top = new QHBoxLayout;
    top->addWidget(logo, 0, Qt::AlignTop);
    auto *right = new QVBoxLayout;
    right->addWidget(introduccion);
    right->addLayout(campos);
    top->addLayout(right, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(aceptar);
    buttons->addWidget(cancelar);
    aceptar->setDefault(true);
    aceptar->setAutoDefault(true);
    auto *layout = new QVBoxLayout(ventana);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
}

} // namespace Controles
