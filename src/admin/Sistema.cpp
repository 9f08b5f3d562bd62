#include "admin/Sistema.h"

#include "db/Actividad.h"
#include "db/Database.h"
#include "db/Transaction.h"

#include <QStringList>

namespace Sistema {

Result guardar(const Configuracion::Ajustes &n) {
    const Configuracion::Ajustes v = Configuracion::leerTodo();
    const std::pair<const char *, bool> claves[] = {
        {"NombreEmpresa", v.nombreEmpresa != n.nombreEmpresa},
        {"CUITEmpresa", v.cuitEmpresa != n.cuitEmpresa},
        {"email", v.email != n.email},
        {"ServerSMTP", v.serverSMTP != n.serverSMTP},
        {"Autentica", v.autentica != n.autentica},
        {"NombreUsuarioAUT", v.nombreUsuarioAUT != n.nombreUsuarioAUT},
        {"ContrasenaAUT", v.contrasenaAUT != n.contrasenaAUT},
        {"DiasEntreAvisos", v.dias() != n.dias()},
    };
    QStringList cambiadas;
    for (const auto &[clave, cambio] : claves)
        if (cambio)
            cambiadas << QString::fromUtf8(clave);
    // Without a database (the window is only reached with one open) there is no log to write to.
    if (!Database::db().isOpen())
        return Configuracion::guardarTodo(n);
    // The entry first, the file last: a file that cannot be written undoes the entry.
    return Transaction::run(Database::db(), [&](Transaction &t) {
        Result propio = Actividad::anotar(
            Database::db(),
            {Actividad::Accion::Configuracion, QString(), std::nullopt, std::nullopt,
             cambiadas.isEmpty() ? QStringLiteral("sin cambios") : cambiadas.join(QStringLiteral(", "))});
        if (propio)
            propio = Configuracion::guardarTodo(n);
        return propio.ok() || t.refuse(propio);
    });
}

} // namespace Sistema
