#include "ui/Controles.h"

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

} // namespace Controles
