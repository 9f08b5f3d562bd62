#include "app/Niveles.h"

#include "app/Module1.h"

#include <QAbstractButton>
#include <QHash>

namespace {
// Commands restricted to some levels; everything else is open to 1, 2 and 3.
const QHash<QString, QList<int>> &restringidos() {
    static const QHash<QString, QList<int>> t = {
        // Clientes
        {QStringLiteral("Command4"), {1, 2}},  // Modificar (and double-click on DBGrid1)
        {QStringLiteral("Command3"), {1, 2}},  // Borrar
        {QStringLiteral("Command18"), {1, 2}}, // Categ.
        // Cuotas
        {QStringLiteral("Command13"), {1, 2}},  // Borrar
        {QStringLiteral("DBGrid2.Monto"), {1}}, // editing the amount of a due
        // Planes
        {QStringLiteral("Command15"), {1, 2}}, // Nuevo Plan
        {QStringLiteral("Command17"), {1, 2}}, // Modificar (and double-click on DBGrid3)
        {QStringLiteral("Command16"), {1, 2}}, // Borrar
        // Informes
        {QStringLiteral("Command27"), {1, 2}}, // Resumen Sumas y Saldos Caja
        {QStringLiteral("Command25"), {1, 2}}, // Informe de Deudas socios
        // Caja
        {QStringLiteral("Command22"), {1, 2}}, // Modificar
        {QStringLiteral("Command23"), {1, 2}}, // Borrar
        {QStringLiteral("Command20"), {1, 2}}, // Listar
        {QStringLiteral("Command28"), {1, 2}}, // Cuentas...
        // Utilidades
        {QStringLiteral("Command30"), {1}},            // Configurar Usuarios...
        {QStringLiteral("Command26"), {1}},            // Configurar el sistema...
        {QStringLiteral("Command19"), {1, 2}},         // Enviar e-mail de aviso
        {QStringLiteral("Command14"), {1}},            // Limpiar Registro de Caja
        {QStringLiteral("Command12"), {1}},            // Limpiar Registro de Cuotas
        {QStringLiteral("cmdCopiaSeguridad"), {1, 2}}, // Copia de seguridad...
        {QStringLiteral("cmdRestaurarCopia"), {1}},    // Restaurar copia...
    };
    return t;
}
} // namespace

namespace Niveles {

bool permite(const QString &comando, int nivel) {
    if (nivel < 1 || nivel > 3)
        return false;
    const auto it = restringidos().constFind(comando);
    return it == restringidos().constEnd() || it->contains(nivel);
}

bool permiteActual(const QString &comando) {
    return permite(comando, Module1::NivelUsuario);
}

void ejecutar(const QString &comando, const std::function<void()> &accion) {
    if (permiteActual(comando) && accion)
        accion();
}

void conectar(QAbstractButton *boton, std::function<void()> accion) {
    QObject::connect(boton, &QAbstractButton::clicked, boton,
                     [boton, accion = std::move(accion)] { ejecutar(boton->objectName(), accion); });
}

} // namespace Niveles
