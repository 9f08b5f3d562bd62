#include "core/Niveles.h"

#include "core/Sesion.h"

#include <QHash>

namespace {
// Every command of the main window and the levels that may run it. A name not listed is refused: a
// command wired under a wrong name must not slip past the rule.
const QHash<QString, QList<int>> &comandos() {
    static const QList<int> todos = {1, 2, 3};
    static const QList<int> adm = {1, 2};
    static const QList<int> sup = {1};
    static const QHash<QString, QList<int>> t = {
        {QStringLiteral("Command10"), todos}, // Actualizar Tablas
        // Clientes
        {QStringLiteral("Command2"), todos}, // Nuevo
        {QStringLiteral("Command4"), adm},   // Modificar (and double-click on DBGrid1)
        {QStringLiteral("Command3"), adm},   // Borrar
        {QStringLiteral("Command5"), todos}, // Buscar
        {QStringLiteral("Command6"), todos}, // Listar
        {QStringLiteral("Command18"), adm},  // Categ.
        {QStringLiteral("Command7"), todos}, // Emitir Cuotas...
        {QStringLiteral("Command8"), todos}, // Cobrar Cuotas...
        {QStringLiteral("Command9"), todos}, // Ver Cuenta Corriente...
        // Cuotas
        {QStringLiteral("Command11"), todos},   // Buscar
        {QStringLiteral("Command33"), todos},   // Mostrar Todas
        {QStringLiteral("Command13"), adm},     // Borrar
        {QStringLiteral("Command29"), todos},   // Emitir Cuotas...
        {QStringLiteral("DBGrid2.Monto"), sup}, // editing the amount of a due
        // Planes
        {QStringLiteral("Command15"), adm}, // Nuevo Plan
        {QStringLiteral("Command17"), adm}, // Modificar (and double-click on DBGrid3)
        {QStringLiteral("Command16"), adm}, // Borrar
        // Informes
        {QStringLiteral("Command27"), adm}, // Resumen Sumas y Saldos Caja
        {QStringLiteral("Command25"), adm}, // Informe de Deudas socios
        // Caja
        {QStringLiteral("Command24"), todos},   // Nuevo Mov.
        {QStringLiteral("Command22"), adm},     // Modificar
        {QStringLiteral("Command23"), adm},     // Borrar
        {QStringLiteral("Command20"), adm},     // Listar
        {QStringLiteral("Command21"), todos},   // Todo
        {QStringLiteral("Command28"), adm},     // Cuentas...
        {QStringLiteral("Combo1"), todos},      // account filter
        {QStringLiteral("dtFechaCaja"), todos}, // date filter
        // Utilidades
        {QStringLiteral("Command31"), todos},          // Cambiar dia de vencimiento...
        {QStringLiteral("Command32"), todos},          // &Cambiar
        {QStringLiteral("Command30"), sup},            // Configurar Usuarios...
        {QStringLiteral("Command26"), sup},            // Configurar el sistema...
        {QStringLiteral("Command19"), adm},            // Enviar e-mail de aviso
        {QStringLiteral("Command14"), sup},            // Limpiar Registro de Caja
        {QStringLiteral("Command12"), sup},            // Limpiar Registro de Cuotas
        {QStringLiteral("cmdCopiaSeguridad"), adm},    // Copia de seguridad...
        {QStringLiteral("cmdRestaurarCopia"), sup},    // Restaurar copia...
        {QStringLiteral("cmdImportarMdb"), sup},       // Importar base anterior (.mdb)...
        {QStringLiteral("cmdRegistroActividad"), sup}, // Registro de actividad...
    };
    return t;
}
} // namespace

namespace Niveles {

bool permite(const QString &comando, int nivel) {
    const auto it = comandos().constFind(comando);
    return it != comandos().constEnd() && it->contains(nivel);
}

bool permiteActual(const QString &comando) {
    return permite(comando, Module1::NivelUsuario);
}

QString opcionInicial(int nivel) {
    return nivel == 1 || nivel == 2 ? QStringLiteral("Tablero") : QStringLiteral("Clientes");
}

void ejecutar(const QString &comando, const std::function<void()> &accion) {
    if (permiteActual(comando) && accion)
        accion();
}

} // namespace Niveles
