#include "ui/Controles.h"

#include "ui/Artwork.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace Controles {

QPushButton *boton(QWidget *padre, const QString &nombre, const QString &texto) {
    auto *b = new QPushButton(texto, padre);
    b->setObjectName(nombre);
    b->setAutoDefault(false);
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

QLineEdit *campo(QWidget *padre, const QString &nombre, int largoMaximo, QLabel *etiqueta) {
    auto *e = new QLineEdit(padre);
    e->setObjectName(nombre);
    if (largoMaximo > 0)
        e->setMaxLength(largoMaximo);
    asociar(etiqueta, e);
    return e;
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
