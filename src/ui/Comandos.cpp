#include "ui/Comandos.h"

#include <QAbstractButton>

namespace Niveles {

void conectar(QAbstractButton *boton, std::function<void()> accion) {
    QObject::connect(boton, &QAbstractButton::clicked, boton,
                     [boton, accion = std::move(accion)] { ejecutar(boton->objectName(), accion); });
}

} // namespace Niveles
