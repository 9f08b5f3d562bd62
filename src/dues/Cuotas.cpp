#include "dues/Cuotas.h"

#include "core/Money.h"
#include "db/Actividad.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "db/Transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

// The plans that dues name, found by stepping through the index, not by reading every due.
const char *const kPlanesDeCuotas = R"(WITH RECURSIVE "PlanesDeCuotas"("id") AS (
          SELECT MIN("idPlan") FROM "Cuotas"
          UNION ALL
          SELECT (SELECT MIN(c."idPlan") FROM "Cuotas" c WHERE c."idPlan" > x."id")
          FROM "PlanesDeCuotas" x WHERE x."id" IS NOT NULL)
        )";

QString camposCuota(const char *plan) {
    return QStringLiteral(
               R"(c."idCuota" AS "idCuota", c."idAfiliado" AS "idAfiliado", %1 AS "idPlan", c."Mes" AS "Mes",
           c."Año" AS "Año", c."Vencimiento" AS "Vencimiento", c."Factura" AS "Factura", c."Monto" AS "Monto",
           c."Pagada" AS "Pagada", c."Fecha de Pago" AS "Fecha de Pago", a."Apellido" AS "Apellido",
           a."Nombres" AS "Nombres", )")
        .arg(QLatin1String(plan));
}

// The dues of one plan (none: the dues without a plan), as a part of the list read on the index that
// begins with the plan and goes on in the list's order.
KeysetList::Part tramo(const QVariant &plan, int grupo, const QString &condicion, const QVariantList &valores,
                       const QStringList &orden) {
    KeysetList::Part t;
    t.sql = QStringLiteral("SELECT ") + camposCuota(R"(c."idPlan")") +
            QStringLiteral(R"(p."Descripcion" AS "Descripcion", p."ClaveOrden" AS "OrdenPlan",
               c."ClaveSocio" AS "OrdenSocio", %1 AS "GrupoPlan"
        FROM "Cuotas" c LEFT JOIN "Planes" p ON p."idPlan" = c."idPlan"
        LEFT JOIN "Afiliados" a ON a."idAfiliado" = c."idAfiliado"
        WHERE )")
                .arg(grupo) +
            (plan.isNull() ? QStringLiteral(R"(c."idPlan" IS NULL)") : QStringLiteral(R"(c."idPlan" = ?)")) +
            (condicion.isEmpty() ? QString() : QStringLiteral(" AND ") + condicion);
    if (!plan.isNull())
        t.params << plan;
    t.params += valores;
    t.order = orden;
    t.order << QStringLiteral("idCuota");
    return t;
}

// The list's parts: plans with a key by key, then plans without one and deleted plans by number, then dues
// without a plan; a plan whose dues the condition leaves out gives an empty part.
Expected<QVector<KeysetList::Part>> tramos(const QString &condicion, const QVariantList &valores,
                                           const QStringList &orden) {
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    const QString sql = QString::fromUtf8(kPlanesDeCuotas) + QStringLiteral(R"(
        SELECT x."id", CASE WHEN p."ClaveOrden" IS NULL THEN 1 ELSE 0 END AS "GrupoPlan", p."ClaveOrden"
        FROM "PlanesDeCuotas" x LEFT JOIN "Planes" p ON p."idPlan" = x."id"
        WHERE x."id" IS NOT NULL
        ORDER BY 2, 3, 1)");
    if (!Database::run(q, sql, {}, QStringLiteral("Cuotas")))
        return Result::failure(Engine::of(Database::db()).errorText(q.lastError()));
    QVector<KeysetList::Part> partes;
    while (q.next())
        partes << tramo(q.value(0), q.value(1).toInt(), condicion, valores, orden);
    partes << tramo(QVariant(), 2, condicion, valores, orden);
    return partes;
}

// The dues list in three parts: dues whose plan exists, dues whose plan was deleted and dues without a plan,
// under one explicit outer order (the whole list at once: exports, counting). The list window reads the
// same rows part by part instead (tramos()). Sort keys are stored ones (plain text order), so any engine
// sorts them alike. "GrupoPlan" puts plans with a key first, then plans without one and deleted plans by
// number, then dues without a plan. Every due column of the order puts NULLs first on both engines, as a
// file does: dues of a deleted member (no member key) come first within their month.
Cuotas::Fuente armar(const QString &condicion, const QVariantList &valores, const QStringList &orden) {
    const QString socio = QStringLiteral(R"(
        LEFT JOIN "Afiliados" a ON a."idAfiliado" = c."idAfiliado")");
    const QString y = condicion.isEmpty() ? QString() : QStringLiteral(" AND ") + condicion;
    const QSqlDatabase db = Database::db();
    const QString join = Engine::of(db).orderedJoin();
    QStringList ordenado;
    for (const QString &c : orden)
        ordenado << QLatin1Char('"') + c + QStringLiteral("\" NULLS FIRST");
    Cuotas::Fuente f;
    f.sql = QString::fromUtf8(kPlanesDeCuotas) + QStringLiteral("SELECT ") + camposCuota(R"(p."idPlan")") +
            QStringLiteral(R"(p."Descripcion" AS "Descripcion", p."ClaveOrden" AS "OrdenPlan",
               c."ClaveSocio" AS "OrdenSocio", %1 AS "GrupoPlan"
        FROM "Planes" p %2 "Cuotas" c ON c."idPlan" = p."idPlan")")
                .arg(Engine::of(db).isNullNumber(QStringLiteral(R"(p."ClaveOrden")")), join) +
            y + socio + QStringLiteral(R"(
        UNION ALL
        SELECT )") +
            camposCuota(R"(c."idPlan")") +
            QStringLiteral(R"(NULL, NULL, c."ClaveSocio", 1
        FROM "PlanesDeCuotas" x %1 "Cuotas" c ON c."idPlan" = x."id")")
                .arg(join) +
            y + socio + QStringLiteral(R"(
        WHERE NOT EXISTS (SELECT 1 FROM "Planes" p WHERE p."idPlan" = x."id")
        UNION ALL
        SELECT )") +
            camposCuota(R"(c."idPlan")") + QStringLiteral(R"(NULL, NULL, c."ClaveSocio", 2
        FROM "Cuotas" c)") +
            socio + QStringLiteral(R"(
        WHERE c."idPlan" IS NULL)") +
            y + QStringLiteral(R"(
        ORDER BY "GrupoPlan", "OrdenPlan", "idPlan", )") +
            ordenado.join(QStringLiteral(", ")) + QStringLiteral(R"(, "idCuota")");
    f.params = valores + valores + valores;
    f.tramos = [condicion, valores, orden] { return tramos(condicion, valores, orden); };
    return f;
}

// A number as the filter boxes hold it: whatever reads as a number in the program's locale.
std::optional<QVariant> numero(const QString &texto) {
    const auto m = Money::parse(texto, QLocale());
    if (!m)
        return std::nullopt;
    if (m->units() % Money::Scale == 0)
        return QVariant::fromValue<qlonglong>(m->units() / Money::Scale);
    return QVariant(double(m->units()) / Money::Scale);
}

// One statement over every due (the clearing, the day change) as a general change: the other desks'
// writes of dues (payments, issuing, editing) wait until it is done, so none is lost or half changed.
// The log entry counts the dues touched and, for a clearing, the unpaid amount that went with them.
Result cambioGeneral(const QString &sql, const QVariantList &valores, Actividad::Accion accion,
                     const QString &detalle) {
    return Transaction::run(Database::db(), [&](Transaction &t) {
        const QSqlDatabase db = Database::db();
        if (!Engine::of(db).lockTables(db, {QStringLiteral("Cuotas")}))
            return t.fail(Engine::of(db).lastFailure(db));
        QSqlQuery q(Database::db());
        if (!Database::run(
                q, QStringLiteral(R"(SELECT COUNT(*), SUM("Monto") FROM "Cuotas" WHERE "Pagada" = 0)"), {},
                QStringLiteral("Cuotas")) ||
            !q.next())
            return t.fail(q.lastError());
        const Money impago = Money::fromVariant(q.value(1)).value_or(Money());
        q.finish();
        if (!Database::run(q, sql, valores, QStringLiteral("Cuotas")))
            return t.fail(q.lastError());
        const bool limpieza = accion == Actividad::Accion::LimpiezaCuotas;
        const Result anotado =
            Actividad::anotar(db, {accion, QStringLiteral("%1 cuotas").arg(q.numRowsAffected()),
                                   limpieza ? std::optional<Money>(impago) : std::nullopt,
                                   limpieza ? std::optional<Money>(Money()) : std::nullopt, detalle});
        return anotado.ok() || t.refuse(anotado);
    });
}

} // namespace

namespace Cuotas {

Fuente recordSourceDiseno() {
    return armar(QString(), {}, {QStringLiteral("Mes"), QStringLiteral("Año"), QStringLiteral("OrdenSocio")});
}

Fuente recordSourceTodas() {
    return armar(QString(), {}, {QStringLiteral("OrdenSocio")});
}

std::optional<Fuente> recordSourceMesAnio(const QString &mes, const QString &anio) {
    const auto m = numero(mes);
    const auto a = numero(anio);
    if (!m || !a)
        return std::nullopt;
    return armar(QStringLiteral(R"(c."Mes" = ? AND c."Año" = ?)"), {*m, *a}, {QStringLiteral("OrdenSocio")});
}

Expected<QString> limpiarRegistro() {
    const Expected<QString> copia = Backup::automatic();
    if (!copia)
        return Result::failure(
            QStringLiteral("No se pudo escribir la copia de seguridad (%1); no se borró ninguna cuota.")
                .arg(copia.message()),
            copia.code());
    if (Result r = vaciarRegistro(); !r)
        return r;
    return copia;
}

Result vaciarRegistro() {
    return cambioGeneral(QStringLiteral(R"(DELETE FROM "Cuotas")"), {}, Actividad::Accion::LimpiezaCuotas,
                         QStringLiteral("importe impago de las cuotas borradas"));
}

std::optional<int> leerDia(const QString &texto) {
    bool ok = false;
    const int dia = texto.trimmed().toInt(&ok);
    if (!ok || dia < 1 || dia > 31)
        return std::nullopt;
    return dia;
}

Result cambiarDia(int dia) {
    if (dia < 1 || dia > 31)
        return Result::failure(QStringLiteral("Dia de vencimiento inválido !"), Result::Code::Invalid);
    // The day each month length allows, as two digits; the month and year of every due stay.
    auto texto = [dia](int largo) {
        return QStringLiteral("%1").arg(qMin(dia, largo), 2, 10, QLatin1Char('0'));
    };
    return cambioGeneral(Engine::of(Database::db()).dayChangeStatement(),
                         {texto(29), texto(28), texto(30), texto(30), texto(30), texto(30), texto(31)},
                         Actividad::Accion::CambioVencimiento, QStringLiteral("día %1").arg(dia));
}

Expected<QString> cambiarDiaConCopia(int dia) {
    const Expected<QString> copia = Backup::automatic();
    if (!copia)
        return Result::failure(
            QStringLiteral("No se pudo escribir la copia de seguridad (%1); no se cambió ninguna cuota.")
                .arg(copia.message()),
            copia.code());
    if (Result r = cambiarDia(dia); !r)
        return r;
    return copia;
}

} // namespace Cuotas

QVector<Columna> Cuotas::columnas() {
    using T = Formato::Tipo;
    return {
        {QStringLiteral("Mes"), QStringLiteral("Mes"), T::Entero},
        {QStringLiteral("Año"), QStringLiteral("Año"), T::Entero},
        {QStringLiteral("F.Vencim."), QStringLiteral("Vencimiento"), T::Fecha},
        {QStringLiteral("Apellido"), QStringLiteral("Apellido"), T::General},
        {QStringLiteral("Nombres"), QStringLiteral("Nombres"), T::General},
        {QStringLiteral("Descripcion"), QStringLiteral("Descripcion"), T::General},
        {QStringLiteral("Monto"), QStringLiteral("Monto"), T::Moneda},
        {QStringLiteral("idPlan"), QStringLiteral("idPlan"), T::Entero},
        {QStringLiteral("Pagada"), QStringLiteral("Pagada"), T::SiNo},
        {QStringLiteral("Fecha de Pago"), QStringLiteral("Fecha de Pago"), T::Fecha},
        {QStringLiteral("idCuota"), QStringLiteral("idCuota"), T::Entero},
    };
}
