#include "members/Planes.h"

#include "core/Log.h"
#include "db/Actividad.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "db/Transaction.h"

#include <QSqlError>
#include <QSqlQuery>
#include <limits>

namespace Planes {

std::optional<Plan> buscar(qint64 idPlan) {
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT "idPlan", "Descripcion", "Detalles", "CuotaMensual", "Inscripcion",
                                "CantidadCuotas" FROM "Planes" WHERE "idPlan" = ?)"));
    q.addBindValue(idPlan);
    if (!q.exec()) {
        Log::error(QStringLiteral("Planes"), q.lastError().text());
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    Plan p;
    p.idPlan = q.value(0);
    p.descripcion = q.value(1).toString();
    p.detalles = q.value(2).toString();
    p.cuotaMensual = Money::fromVariant(q.value(3)).value_or(Money());
    p.inscripcion = Money::fromVariant(q.value(4)).value_or(Money());
    p.cantidadCuotas = qint16(q.value(5).toInt());
    return p;
}

namespace {
QString textoGuardado(const QVariant &v) {
    return v.isNull() ? QString() : v.toString();
}
QString montoGuardado(const QVariant &v, const QLocale &locale) {
    // Only whole ten-thousandths are an amount; anything else another tool stored is shown as it is, so
    // the check refuses or reads exactly what the user sees.
    // A server hands a positive BIGINT over as an unsigned number.
    const int tipo = v.typeId();
    const bool entero = tipo == QMetaType::LongLong || tipo == QMetaType::Int ||
                        tipo == QMetaType::ULongLong || tipo == QMetaType::UInt;
    if (const auto m = Money::fromVariant(v); m && entero)
        return m->toCurrencyString(locale);
    return textoGuardado(v);
}
} // namespace

std::optional<Entrada> entradaDe(qint64 idPlan, const QLocale &locale) {
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (!Database::run(q, QStringLiteral(R"(SELECT "Descripcion", "Detalles", "CuotaMensual", "Inscripcion",
                                         "CantidadCuotas" FROM "Planes" WHERE "idPlan" = ?)"),
                       {idPlan}, QStringLiteral("Planes")) ||
        !q.next())
        return std::nullopt;
    return Entrada{textoGuardado(q.value(0)), textoGuardado(q.value(1)), montoGuardado(q.value(2), locale),
                   montoGuardado(q.value(3), locale), textoGuardado(q.value(4))};
}

QStringList nombres() {
    return Database::textos(
        QStringLiteral(R"(SELECT "Descripcion" FROM "Planes" WHERE "Descripcion" IS NOT NULL
                                              ORDER BY "Descripcion" COLLATE es)"));
}

QVariant idPorDescripcion(const QString &texto) {
    // A plan without a name is no answer to an empty box.
    if (texto.isEmpty())
        return {};
    return Database::buscaValor(
        QStringLiteral(R"(SELECT "idPlan" FROM "Planes" WHERE clave_orden("Descripcion") = ?
                                                 ORDER BY "idPlan" LIMIT 1)"),
        QStringLiteral("idPlan"), {SqlEngine::sortKey(texto)});
}

QString recordSource() {
    // A plan without a name first, on a server as in a file (a server would put it last).
    return QStringLiteral(R"(Select * from "Planes" order by "Descripcion" COLLATE es NULLS FIRST)");
}

QVariant descripcionDe(const QVariant &idPlan) {
    if (idPlan.isNull())
        return {};
    return Database::buscaValor(QStringLiteral(R"(SELECT "Descripcion" FROM "Planes" WHERE "idPlan" = ?)"),
                                QStringLiteral("Descripcion"), {idPlan});
}

bool existeNombre(const QString &nombre) {
    return !idPorDescripcion(nombre).isNull();
}

std::optional<qint16> leerCantidad(const QString &texto, const QLocale &locale) {
    // Whatever reads as an amount reads as a number (sign, separators, even the currency symbol).
    const auto n = Money::parse(texto, locale);
    if (!n)
        return std::nullopt;
    const qint64 units = n->units();
    qint64 whole = units / Money::Scale;
    const qint64 rest = units % Money::Scale;
    const qint64 half = Money::Scale / 2;
    // Halves go to the even neighbour.
    if (rest > half || (rest == half && whole % 2 != 0))
        ++whole;
    else if (rest < -half || (rest == -half && whole % 2 != 0))
        --whole;
    if (whole < std::numeric_limits<qint16>::min() || whole > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(whole);
}

QString pasoCantidad(const QString &texto, int paso) {
    int i = 0;
    while (i < texto.size() && texto.at(i).isSpace())
        ++i;
    bool negativo = false;
    if (i < texto.size() && (texto.at(i) == QLatin1Char('-') || texto.at(i) == QLatin1Char('+'))) {
        negativo = texto.at(i) == QLatin1Char('-');
        ++i;
    }
    qint64 valor = 0;
    for (; i < texto.size() && texto.at(i).isDigit() && texto.at(i).unicode() < 128; ++i)
        if (valor < 1000000000000LL) // far beyond any count; the check refuses it anyway
            valor = valor * 10 + texto.at(i).digitValue();
    if (negativo)
        valor = -valor;
    return QString::number(valor + paso);
}

Verificacion verificar(const Entrada &e, const QLocale &locale) {
    Verificacion v;
    if (e.nombre.isEmpty()) {
        v.mensaje = QStringLiteral("Error, debe colocar un nombre!");
        v.campo = Campo::Nombre;
        return v;
    }
    const auto cuota = Money::parse(e.cuota, locale);
    if (!cuota) {
        v.mensaje = QStringLiteral("Error, debe colocar un monto de cuota correcto!");
        v.campo = Campo::Cuota;
        return v;
    }
    const auto inscripcion = Money::parse(e.inscripcion, locale);
    if (!inscripcion) {
        v.mensaje = QStringLiteral(
            "Error, debe colocar un monto de inscripción correcto, de lo contrario ingrese 0 !");
        v.campo = Campo::Inscripcion;
        return v;
    }
    const auto cantidad = leerCantidad(e.cantidad, locale);
    if (!cantidad) {
        v.mensaje = QStringLiteral("Error, debe seleccionar la cantidad de cuotas!");
        v.campo = Campo::Cantidad;
        return v;
    }
    v.plan.descripcion = e.nombre;
    v.plan.detalles = e.detalles;
    v.plan.cuotaMensual = *cuota;
    v.plan.inscripcion = *inscripcion;
    v.plan.cantidadCuotas = *cantidad;
    return v;
}

Result guardar(Plan &plan) {
    Transaction t;
    if (!t.isActive()) {
        return t.failure();
    }
    const QVariantList valores = {plan.descripcion,
                                  plan.detalles,
                                  plan.cuotaMensual.toVariant(),
                                  int(plan.cantidadCuotas),
                                  plan.inscripcion.toVariant(),
                                  SqlEngine::sortKey(plan.descripcion)};
    if (plan.idPlan.isNull()) {
        // The check and the insert in one transaction, so the name stays unique.
        if (existeNombre(plan.descripcion))
            return Result::failure(QStringLiteral("Error, el plan ") + plan.descripcion +
                                       QStringLiteral(" ya existe !"),
                                   Result::Code::Conflict);
        QSqlQuery q(Database::db());
        if (!Database::run(q,
                           QStringLiteral(R"(INSERT INTO "Planes" ("Descripcion", "Detalles", "CuotaMensual",
                                             "CantidadCuotas", "Inscripcion", "ClaveOrden") VALUES (?, ?, ?, ?, ?, ?))"),
                           valores, QStringLiteral("Planes"))) {
            return Database::failure(q);
        }
        const QVariant id = SqlEngine::lastInsertId(q);
        if (const Result anotado = Actividad::anotar(
                Database::db(), {Actividad::Accion::PlanAlta, QStringLiteral("plan %1").arg(id.toString()),
                                 std::nullopt, plan.cuotaMensual, plan.descripcion});
            !anotado)
            return anotado;
        if (!t.commit()) {
            return t.failure();
        }
        plan.idPlan = id;
        return Result::done();
    }
    // The monthly amount before the change, for the log.
    const std::optional<Money> antes = Money::fromVariant(
        Database::buscaValor(QStringLiteral(R"(SELECT "CuotaMensual" FROM "Planes" WHERE "idPlan" = ?)"),
                             QStringLiteral("CuotaMensual"), {plan.idPlan}));
    QSqlQuery q(Database::db());
    if (!Database::run(
            q, QStringLiteral(R"(UPDATE "Planes" SET "Descripcion" = ?, "Detalles" = ?, "CuotaMensual" = ?,
                                         "CantidadCuotas" = ?, "Inscripcion" = ?, "ClaveOrden" = ? WHERE "idPlan" = ?)"),
            valores + QVariantList{plan.idPlan}, QStringLiteral("Planes"))) {
        return Database::failure(q);
    }
    if (q.numRowsAffected() != 1)
        return Result::failure(QStringLiteral("Error, el plan no se puede localizar !"),
                               Result::Code::NotFound);
    if (const Result anotado =
            Actividad::anotar(Database::db(), {Actividad::Accion::PlanCambio,
                                               QStringLiteral("plan %1").arg(plan.idPlan.toString()), antes,
                                               plan.cuotaMensual, plan.descripcion});
        !anotado)
        return anotado;
    if (!t.commit()) {
        return t.failure();
    }
    return Result::done();
}

Result borrar(qint64 idPlan) {
    return Actividad::ejecutarYAnotar(QStringLiteral(R"(DELETE FROM "Planes" WHERE "idPlan" = ?)"), {idPlan},
                                      {Actividad::Accion::PlanBaja, QStringLiteral("plan %1").arg(idPlan)});
}

} // namespace Planes

QVector<Columna> Planes::columnas() {
    using T = Formato::Tipo;
    return {
        {QStringLiteral("idPlan"), QStringLiteral("idPlan"), T::Entero},
        {QStringLiteral("Descripcion"), QStringLiteral("Descripcion"), T::General},
        {QStringLiteral("Detalles"), QStringLiteral("Detalles"), T::General},
        {QStringLiteral("CuotaMensual"), QStringLiteral("CuotaMensual"), T::Moneda},
        {QStringLiteral("MesComienzo"), QStringLiteral("MesComienzo"), T::General},
        {QStringLiteral("MesFinal"), QStringLiteral("MesFinal"), T::General},
        {QStringLiteral("Inscripcion"), QStringLiteral("Inscripcion"), T::Moneda},
    };
}
