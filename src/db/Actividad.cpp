#include "db/Actividad.h"

#include "core/Clock.h"
#include "core/Sesion.h"
#include "db/Database.h"
#include "db/Engine.h"
#include "db/Transaction.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTime>
#include <QVariant>
#include <algorithm>

namespace Actividad {

namespace {
struct Nombrada {
    Accion accion;
    const char *nombre;
};
// clang-format off
constexpr Nombrada kAcciones[] = {
    {Accion::Ingreso, "Ingreso al sistema"},
    {Accion::IngresoFallido, "Ingreso rechazado"},
    {Accion::AfiliadoAlta, "Alta de socio"},
    {Accion::AfiliadoCambio, "Cambio de socio"},
    {Accion::AfiliadoBaja, "Baja de socio"},
    {Accion::PlanAlta, "Alta de plan"},
    {Accion::PlanCambio, "Cambio de plan"},
    {Accion::PlanBaja, "Baja de plan"},
    {Accion::CategoriaAlta, "Alta de categoría"},
    {Accion::CategoriaCambio, "Cambio de categoría"},
    {Accion::CategoriaBaja, "Baja de categoría"},
    {Accion::CuentaAlta, "Alta de cuenta"},
    {Accion::CuentaCambio, "Cambio de cuenta"},
    {Accion::CuentaBaja, "Baja de cuenta"},
    {Accion::Emision, "Emisión de cuotas"},
    {Accion::CuotaBorrada, "Cuota eliminada"},
    {Accion::CuotaCambiada, "Cuota modificada"},
    {Accion::Pago, "Pago de cuota"},
    {Accion::MovimientoAlta, "Alta de movimiento de caja"},
    {Accion::MovimientoCambio, "Cambio de movimiento de caja"},
    {Accion::MovimientoBaja, "Baja de movimiento de caja"},
    {Accion::LimpiezaCuotas, "Limpieza del registro de cuotas"},
    {Accion::LimpiezaCaja, "Limpieza del registro de caja"},
    {Accion::CambioVencimiento, "Cambio del día de vencimiento"},
    {Accion::Configuracion, "Cambio de configuración"},
    {Accion::UsuarioAlta, "Alta de usuario"},
    {Accion::UsuarioCambio, "Cambio de usuario"},
    {Accion::UsuarioBaja, "Baja de usuario"},
    {Accion::Copia, "Copia de seguridad"},
    {Accion::Restauracion, "Restauración de copia"},
    {Accion::Importacion, "Importación"},
    {Accion::Avisos, "Envío de avisos de deuda"},
    {Accion::Transferencia, "Copia a otra base"},
};
// clang-format on

QVariant monto(const std::optional<Money> &m) {
    return m ? m->toVariant() : QVariant(QMetaType(QMetaType::LongLong));
}

QVariant textoONulo(const QString &s) {
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}
} // namespace

const QList<Accion> &todas() {
    static const QList<Accion> lista = [] {
        QList<Accion> out;
        for (const Nombrada &n : kAcciones)
            out << n.accion;
        return out;
    }();
    return lista;
}

QString nombre(Accion accion) {
    for (const Nombrada &n : kAcciones)
        if (n.accion == accion)
            return QString::fromUtf8(n.nombre);
    return QString::number(int(accion));
}

std::optional<Accion> porNombre(const QString &texto) {
    for (const Nombrada &n : kAcciones)
        if (QString::fromUtf8(n.nombre).compare(texto.trimmed(), Qt::CaseInsensitive) == 0)
            return n.accion;
    return std::nullopt;
}

QString usuarioConsola() {
    QString cuenta = qEnvironmentVariable("USER");
    if (cuenta.isEmpty())
        cuenta = qEnvironmentVariable("USERNAME");
    return QStringLiteral("consola:") + (cuenta.isEmpty() ? QStringLiteral("?") : cuenta);
}

Result anotar(const QSqlDatabase &db, const Entrada &e) {
    const Quien quien =
        e.quien.value_or(Quien{Module1::IdUsuario, Module1::NombreUsuario, int(Module1::NivelUsuario)});
    QSqlQuery q(db);
    if (!Database::run(
            q, QStringLiteral(R"(INSERT INTO "RegistroActividad" ("Fecha", "Hora", "idUsuario",
                                 "Usuario", "Nivel", "Puesto", "Accion", "Objeto", "MontoAntes",
                                 "MontoDespues", "Detalle") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?))"),
            {Clock::today().toString(Qt::ISODate), QTime::currentTime().toString(QStringLiteral("HH:mm:ss")),
             quien.idUsuario > 0 ? QVariant(quien.idUsuario) : QVariant(QMetaType(QMetaType::Int)),
             textoONulo(quien.nombre), quien.nivel, textoONulo(QSysInfo::machineHostName()), int(e.accion),
             textoONulo(e.objeto), monto(e.antes), monto(e.despues), textoONulo(e.detalle)},
            QStringLiteral("Registro de actividad")))
        // With the engine's code: a lost server is told as such.
        return Engine::of(db).failure(
            q.lastError(), db,
            QStringLiteral("No se pudo anotar en el registro de actividad, así que no se guardó: %1")
                .arg(Transaction::userMessage(q.lastError(), db)));
    return Result::done();
}

namespace {
// The entry after sql (when there is one), in one transaction of db.
Result conEntrada(const QSqlDatabase &db, const QString &sql, const QVariantList &valores, const Entrada &e) {
    return Transaction::run(db, [&](Transaction &t) {
        QSqlQuery q(db);
        if (!sql.isEmpty() && !Database::run(q, sql, valores, QStringLiteral("Registro de actividad")))
            return t.fail(q.lastError());
        const Result propio = anotar(db, e);
        return propio.ok() || t.refuse(propio);
    });
}
} // namespace

Result anotarAparte(const QSqlDatabase &db, const Entrada &e) {
    return conEntrada(db, QString(), {}, e);
}

Result ejecutarYAnotar(const QString &sql, const QVariantList &valores, const Entrada &e) {
    return conEntrada(Database::db(), sql, valores, e);
}

QString consulta(const Filtro &f) {
    QString nombres;
    for (qsizetype i = 0; i < todas().size(); ++i)
        nombres += QStringLiteral(" WHEN ? THEN ?");
    QString sql = QStringLiteral(R"(SELECT "idRegistro", "Fecha", "Hora", "Usuario", "Nivel", "Puesto",
                                   CASE "Accion"%1 ELSE '' END AS "Accion", "Objeto", "MontoAntes",
                                   "MontoDespues", "Detalle" FROM "RegistroActividad"
                                   WHERE "Fecha" >= ? AND "Fecha" <= ?)")
                      .arg(nombres);
    if (!f.usuario.isEmpty())
        sql += QStringLiteral(R"( AND "Usuario" = ?)");
    if (f.accion)
        sql += QStringLiteral(R"( AND "Accion" = ?)");
    // Newest first, in the order of the indexes that lead with the user, the action or the day.
    return sql + QStringLiteral(R"( ORDER BY "Fecha" DESC, "idRegistro" DESC)");
}

QVector<Columna> columnas() {
    using T = Formato::Tipo;
    return {
        {QStringLiteral("Fecha"), QStringLiteral("Fecha"), T::Fecha},
        {QStringLiteral("Hora"), QStringLiteral("Hora"), T::General},
        {QStringLiteral("Usuario"), QStringLiteral("Usuario"), T::General},
        {QStringLiteral("Nivel"), QStringLiteral("Nivel"), T::Entero},
        {QStringLiteral("Puesto"), QStringLiteral("Puesto"), T::General},
        {QStringLiteral("Acción"), QStringLiteral("Accion"), T::General},
        {QStringLiteral("Objeto"), QStringLiteral("Objeto"), T::General},
        {QStringLiteral("Importe antes"), QStringLiteral("MontoAntes"), T::Moneda},
        {QStringLiteral("Importe después"), QStringLiteral("MontoDespues"), T::Moneda},
        {QStringLiteral("Detalle"), QStringLiteral("Detalle"), T::General},
    };
}

QVariantList parametros(const Filtro &f) {
    QVariantList p;
    for (const Accion a : todas())
        p << int(a) << nombre(a);
    p << (f.desde.isValid() ? f.desde : QDate(1, 1, 1)).toString(Qt::ISODate)
      << (f.hasta.isValid() ? f.hasta : QDate(9999, 12, 31)).toString(Qt::ISODate);
    if (!f.usuario.isEmpty())
        p << f.usuario;
    if (f.accion)
        p << int(*f.accion);
    return p;
}

QStringList usuarios(const QSqlDatabase &db) {
    QStringList out;
    // The users who may log in, and every name already in the log (the command line's, users since
    // deleted): the log's names one index step each, not a reading of the whole log.
    const QString sql[] = {
        QStringLiteral(R"(SELECT "NombreUsuario" FROM "Usuarios" WHERE "NombreUsuario" IS NOT NULL)"),
        QStringLiteral(R"(WITH RECURSIVE u(n) AS (
                              SELECT MIN("Usuario") FROM "RegistroActividad"
                              UNION ALL
                              SELECT (SELECT MIN(r."Usuario") FROM "RegistroActividad" r WHERE r."Usuario" > u.n)
                              FROM u WHERE u.n IS NOT NULL)
                          SELECT n FROM u WHERE n IS NOT NULL)")};
    for (const QString &s : sql) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (Database::run(q, s, {}, QStringLiteral("Registro de actividad")))
            while (q.next())
                out << q.value(0).toString();
    }
    out.removeDuplicates();
    std::sort(out.begin(), out.end(),
              [](const QString &a, const QString &b) { return QString::localeAwareCompare(a, b) < 0; });
    return out;
}

} // namespace Actividad
