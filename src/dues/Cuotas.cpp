#include "dues/Cuotas.h"

#include "core/Money.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "db/Transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

// The dues list in three parts: dues whose plan exists, dues whose plan was deleted and dues without a plan,
// under one explicit outer order. The first part, which holds nearly every due, reads plans through their
// list index and each plan's dues through an index that ends in the stored member key, so the database
// sorts nothing there and the first rows of a million dues show at once. Only the dues of deleted plans and
// those without a plan (normally none) are sorted. The plans that dues name are found by stepping through
// the index, not by reading every due. Sort keys are stored ones (plain text order), so any engine sorts
// them alike. "GrupoPlan" puts plans with a key first, then plans without one and deleted plans by number,
// then dues without a plan; it is the indexed nullness test, as a constant or NULLS LAST would defeat the
// index order. Dues of a deleted member (no member key) come first within their month, as a file puts
// NULLs: the server reads the rest of the order from the index and sorts only within each month.
Cuotas::Fuente armar(const QString &condicion, const QVariantList &valores, const QString &orden) {
    const auto campos = [](const char *plan) {
        return QStringLiteral(
                   R"(c."idCuota" AS "idCuota", c."idAfiliado" AS "idAfiliado", %1 AS "idPlan", c."Mes" AS "Mes",
           c."Año" AS "Año", c."Vencimiento" AS "Vencimiento", c."Factura" AS "Factura", c."Monto" AS "Monto",
           c."Pagada" AS "Pagada", c."Fecha de Pago" AS "Fecha de Pago", a."Apellido" AS "Apellido",
           a."Nombres" AS "Nombres", )")
            .arg(QLatin1String(plan));
    };
    const QString socio = QStringLiteral(R"(
        LEFT JOIN "Afiliados" a ON a."idAfiliado" = c."idAfiliado")");
    const QString y = condicion.isEmpty() ? QString() : QStringLiteral(" AND ") + condicion;
    const QSqlDatabase db = Database::db();
    const QString join = Engine::of(db).orderedJoin();
    Cuotas::Fuente f;
    f.sql = QStringLiteral(R"(WITH RECURSIVE "PlanesDeCuotas"("id") AS (
          SELECT MIN("idPlan") FROM "Cuotas"
          UNION ALL
          SELECT (SELECT MIN(c."idPlan") FROM "Cuotas" c WHERE c."idPlan" > x."id")
          FROM "PlanesDeCuotas" x WHERE x."id" IS NOT NULL)
        SELECT )") +
            campos(R"(p."idPlan")") +
            QStringLiteral(R"(p."Descripcion" AS "Descripcion", p."ClaveOrden" AS "OrdenPlan",
               c."ClaveSocio" AS "OrdenSocio", %1 AS "GrupoPlan"
        FROM "Planes" p %2 "Cuotas" c ON c."idPlan" = p."idPlan")")
                .arg(Engine::of(db).isNullNumber(QStringLiteral(R"(p."ClaveOrden")")), join) +
            y + socio + QStringLiteral(R"(
        UNION ALL
        SELECT )") +
            campos(R"(c."idPlan")") +
            QStringLiteral(R"(NULL, NULL, c."ClaveSocio", 1
        FROM "PlanesDeCuotas" x %1 "Cuotas" c ON c."idPlan" = x."id")")
                .arg(join) +
            y + socio + QStringLiteral(R"(
        WHERE NOT EXISTS (SELECT 1 FROM "Planes" p WHERE p."idPlan" = x."id")
        UNION ALL
        SELECT )") +
            campos(R"(c."idPlan")") + QStringLiteral(R"(NULL, NULL, c."ClaveSocio", 2
        FROM "Cuotas" c)") +
            socio + QStringLiteral(R"(
        WHERE c."idPlan" IS NULL)") +
            y + QStringLiteral(R"(
        ORDER BY "GrupoPlan", "OrdenPlan", "idPlan", )") +
            orden + QStringLiteral(R"(, "idCuota")");
    f.params = valores + valores + valores;
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
Result cambioGeneral(const QString &sql, const QVariantList &valores) {
    return Transaction::run(Database::db(), [&](Transaction &t) {
        const QSqlDatabase db = Database::db();
        if (!Engine::of(db).lockTables(db, {QStringLiteral("Cuotas")}))
            return t.fail(Engine::of(db).lastFailure(db));
        QSqlQuery q(Database::db());
        return Database::run(q, sql, valores, QStringLiteral("Cuotas")) || t.fail(q.lastError());
    });
}

} // namespace

namespace Cuotas {

Fuente recordSourceDiseno() {
    return armar(QString(), {}, QStringLiteral(R"("Mes", "Año", "OrdenSocio" NULLS FIRST)"));
}

Fuente recordSourceTodas() {
    return armar(QString(), {}, QStringLiteral(R"("OrdenSocio" NULLS FIRST)"));
}

std::optional<Fuente> recordSourceMesAnio(const QString &mes, const QString &anio) {
    const auto m = numero(mes);
    const auto a = numero(anio);
    if (!m || !a)
        return std::nullopt;
    return armar(QStringLiteral(R"(c."Mes" = ? AND c."Año" = ?)"), {*m, *a},
                 QStringLiteral(R"("OrdenSocio" NULLS FIRST)"));
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
    return cambioGeneral(QStringLiteral(R"(DELETE FROM "Cuotas")"), {});
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
                         {texto(29), texto(28), texto(30), texto(30), texto(30), texto(30), texto(31)});
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
