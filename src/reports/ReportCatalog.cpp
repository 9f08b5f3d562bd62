#include "reports/ReportCatalog.h"

#include "db/Tables.h"

#include <QFileInfo>
#include <QHash>
#include <QStringList>

namespace {

using K = ReportFieldKind;

struct Col {
    const char *name;
    K kind;
    const char *caption; // nullptr: not described on the print-out
};

// A stored table's columns as formulas see them: the program's own sort keys are not among them.
QVector<Col> storedColumns(const Tables::Table &table) {
    QVector<Col> out;
    for (const Tables::Column &c : table.columns) {
        switch (c.kind) {
        case Tables::Kind::Key:
        case Tables::Kind::Integer:
            out.append({c.name, K::Integer, c.caption});
            break;
        case Tables::Kind::Money:
            out.append({c.name, K::Money, c.caption});
            break;
        case Tables::Kind::Date:
            out.append({c.name, K::Date, c.caption});
            break;
        case Tables::Kind::YesNo:
            out.append({c.name, K::YesNo, c.caption});
            break;
        case Tables::Kind::Text:
            out.append({c.name, K::Text, c.caption});
            break;
        case Tables::Kind::SortKey:
            break;
        }
    }
    return out;
}

// The stored columns a formula may name, per table and stored query, with their kinds.
const QVector<Col> &columnsOf(const QString &table) {
    static const QHash<QString, QVector<Col>> stored = [] {
        QHash<QString, QVector<Col>> out;
        for (const Tables::Table &t : Tables::all())
            if (t.inCatalogue)
                out.insert(QString::fromUtf8(t.name), storedColumns(t));
        return out;
    }();
    static const QVector<Col> deuda = {{"idAfiliado", K::Integer, nullptr},
                                       {"SumaDeMonto", K::Money, nullptr},
                                       {"UltimoAviso", K::Date, "Último aviso"}};
    static const QVector<Col> nroCuotas = {{"idAfiliado", K::Integer, nullptr},
                                           {"NroCuotas", K::Integer, "Cuotas adeudadas"}};
    static const QVector<Col> none;
    if (const auto it = stored.constFind(table); it != stored.constEnd())
        return *it;
    if (table == QLatin1String("ConsultaDeuda"))
        return deuda;
    if (table == QLatin1String("ConsultaNroCuotasDeuda"))
        return nroCuotas;
    return none;
}

QString quoted(const QString &alias, const char *column) {
    return alias + QStringLiteral(".\"") + QString::fromUtf8(column) + QLatin1Char('"');
}

ReportField field(const QString &table, const Col &c, const QString &sql) {
    return ReportField{table, QString::fromUtf8(c.name), sql, c.kind,
                       c.caption ? QString::fromUtf8(c.caption) : QString()};
}

// Every column of a stored table, read from the source under the given alias, named as formulaTable.
void addTable(QVector<ReportField> *out, const QString &table, const QString &alias,
              const QString &formulaTable = QString()) {
    for (const Col &c : columnsOf(table))
        out->append(field(formulaTable.isEmpty() ? table : formulaTable, c, quoted(alias, c.name)));
}

// A member's row of a stored query keyed by member, for a report that does not read the query itself: each
// field is looked up by the member's key only when a formula names it.
void addMemberLookup(QVector<ReportField> *out, const QString &table, const QString &memberKey) {
    for (const Col &c : columnsOf(table))
        out->append(field(table, c,
                          QStringLiteral(R"((SELECT x."%1" FROM "%2" x WHERE x."idAfiliado" = %3))")
                              .arg(QString::fromUtf8(c.name), table, memberKey)));
}

// The stored query of a member's dues, assembled from the same joins as the report's own source.
void addConsultaCuotas(QVector<ReportField> *out, const QString &cuota, const QString &afiliado,
                       const QString &plan, const QString &memberKey) {
    const QString t = QStringLiteral("ConsultaCuotas");
    for (const Col &c : columnsOf(QStringLiteral("Cuotas"))) {
        if (qstrcmp(c.name, "Recargo") == 0)
            continue;
        const QString sql = qstrcmp(c.name, "idAfiliado") == 0 ? memberKey : quoted(cuota, c.name);
        out->append(field(t, c, sql));
    }
    out->append(field(t, {"Apellido", K::Text, "Apellido"}, quoted(afiliado, "Apellido")));
    out->append(field(t, {"Nombres", K::Text, "Nombres"}, quoted(afiliado, "Nombres")));
    out->append(field(t, {"Descripcion", K::Text, "Plan"}, quoted(plan, "Descripcion")));
}

void addConsultaCaja(QVector<ReportField> *out) {
    const QString t = QStringLiteral("ConsultaCaja");
    for (const Col &c : columnsOf(QStringLiteral("Caja")))
        out->append(field(t, c, quoted(QStringLiteral("k"), c.name)));
    out->append(field(t, {"TipoDivisa", K::Text, "Forma de pago"}, QStringLiteral("t.\"TipoDivisa\"")));
    out->append(field(t, {"Descripcion", K::Text, "Cuenta"}, QStringLiteral("cu.\"Descripcion\"")));
}

QVector<ReportField> cashFields() {
    QVector<ReportField> f;
    addConsultaCaja(&f);
    addTable(&f, QStringLiteral("Caja"), QStringLiteral("k"));
    addTable(&f, QStringLiteral("Cuentas"), QStringLiteral("cu"));
    addTable(&f, QStringLiteral("TipoDivisas"), QStringLiteral("t"));
    return f;
}

const QString kCashFrom = QStringLiteral(R"( FROM "Caja" k
        LEFT JOIN "Cuentas" cu ON cu."idCuenta" = k."idCuenta"
        LEFT JOIN "TipoDivisas" t ON t."idTipoDivisa" = k."idTipoDivisa")");

ReportDefinition definition(ReportId id, const QString &fileName, const QString &title) {
    ReportDefinition d;
    d.id = id;
    d.fileName = fileName;
    d.title = title;
    return d;
}

QVector<ReportDefinition> build() {
    QVector<ReportDefinition> out;
    const auto L = Qt::AlignLeft;
    const auto R = Qt::AlignRight;
    const auto C = Qt::AlignHCenter;

    {
        ReportDefinition d =
            definition(ReportId::Socios, QStringLiteral("Socios.rpt"), QStringLiteral("Listado de socios"));
        d.landscape = true;
        // Widths in points of the landscape page at 8 pt: a phone number and a date fit whole.
        d.columns = {
            {QStringLiteral("Nº"), 36, R},           {QStringLiteral("Apellido y nombres"), 144, L, 2},
            {QStringLiteral("Documento"), 72, L},    {QStringLiteral("Domicilio"), 134, L, 2},
            {QStringLiteral("Teléfonos"), 86, L, 2}, {QStringLiteral("E-mail"), 128, L},
            {QStringLiteral("Plan"), 60, L, 2},      {QStringLiteral("Categoría"), 56, L, 2},
            {QStringLiteral("Afiliación"), 54, C}};
        addTable(&d.fields, QStringLiteral("Afiliados"), QStringLiteral("a"));
        addTable(&d.fields, QStringLiteral("Planes"), QStringLiteral("p"));
        addTable(&d.fields, QStringLiteral("Categorias"), QStringLiteral("g"));
        // The member's debt and last reminder ("avisado / no avisado desde ...").
        addMemberLookup(&d.fields, QStringLiteral("ConsultaDeuda"), QStringLiteral(R"(a."idAfiliado")"));
        d.select = QStringLiteral(R"(SELECT a."idAfiliado", a."Apellido", a."Nombres", a."TipoDocumento",
            a."Documento", a."Domicilio", a."Barrio", a."Localidad", a."Telefono", a."Telefono Trabajo",
            a."e-mail", p."Descripcion", g."Descripcion", a."Fecha Afiliacion"
            FROM "Afiliados" a
            LEFT JOIN "Planes" p ON p."idPlan" = a."idPlan"
            LEFT JOIN "Categorias" g ON g."idCategoria" = a."idCategoria")");
        d.tail = QStringLiteral(R"(ORDER BY a."ClaveOrden", a."idAfiliado")");
        d.defaultFormula = QStringLiteral("{Afiliados.idAfiliado} <> 0");
        out << d;
    }
    {
        // The statement starts from the member, so a member without dues still gets a statement that says so.
        ReportDefinition d = definition(ReportId::CtaCuotas, QStringLiteral("ctacuotas.rpt"),
                                        QStringLiteral("Estado de cuenta del socio"));
        d.columns = {{QStringLiteral("Concepto"), 150, L, 2}, {QStringLiteral("Período"), 62, C},
                     {QStringLiteral("Vencimiento"), 68, C},  {QStringLiteral("Importe"), 80, R},
                     {QStringLiteral("Estado"), 62, C},       {QStringLiteral("Fecha de pago"), 70, C}};
        const QString key = QStringLiteral("a.\"idAfiliado\"");
        for (const Col &c : columnsOf(QStringLiteral("Cuotas")))
            d.fields.append(
                field(QStringLiteral("Cuotas"), c,
                      qstrcmp(c.name, "idAfiliado") == 0 ? key : quoted(QStringLiteral("c"), c.name)));
        addConsultaCuotas(&d.fields, QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("p"), key);
        addTable(&d.fields, QStringLiteral("Afiliados"), QStringLiteral("a"));
        addTable(&d.fields, QStringLiteral("Planes"), QStringLiteral("p"));
        addTable(&d.fields, QStringLiteral("Categorias"), QStringLiteral("g"));
        d.select = QStringLiteral(R"(SELECT a."idAfiliado", a."Apellido", a."Nombres", a."TipoDocumento",
            a."Documento", a."Domicilio", a."Localidad", a."Telefono", a."e-mail", pa."Descripcion",
            g."Descripcion", c."idCuota", c."Factura", c."Mes", c."Año", c."Vencimiento", c."Monto",
            c."Pagada", c."Fecha de Pago"
            FROM "Afiliados" a
            LEFT JOIN "Cuotas" c ON c."idAfiliado" = a."idAfiliado"
            LEFT JOIN "Planes" p ON p."idPlan" = c."idPlan"
            LEFT JOIN "Planes" pa ON pa."idPlan" = a."idPlan"
            LEFT JOIN "Categorias" g ON g."idCategoria" = a."idCategoria")");
        d.tail = QStringLiteral(
            R"(ORDER BY a."ClaveOrden", a."idAfiliado", c."Vencimiento", c."Año", c."Mes", c."idCuota")");
        out << d;
    }
    {
        ReportDefinition d =
            definition(ReportId::Cuotas, QStringLiteral("cuotas.rpt"), QStringLiteral("Cuotas por socio"));
        d.columns = {{QStringLiteral("Concepto"), 190, L, 2},
                     {QStringLiteral("Mes"), 45, C},
                     {QStringLiteral("Año"), 50, C},
                     {QStringLiteral("Vencimiento"), 80, C},
                     {QStringLiteral("Importe"), 90, R}};
        addTable(&d.fields, QStringLiteral("Cuotas"), QStringLiteral("c"));
        addConsultaCuotas(&d.fields, QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("p"),
                          QStringLiteral("c.\"idAfiliado\""));
        addTable(&d.fields, QStringLiteral("Afiliados"), QStringLiteral("a"));
        addTable(&d.fields, QStringLiteral("Planes"), QStringLiteral("p"));
        d.select = QStringLiteral(R"(SELECT c."idCuota", c."idAfiliado", a."Apellido", a."Nombres",
            p."Descripcion", c."Factura", c."Mes", c."Año", c."Vencimiento", c."Monto"
            FROM "Cuotas" c
            LEFT JOIN "Afiliados" a ON a."idAfiliado" = c."idAfiliado"
            LEFT JOIN "Planes" p ON p."idPlan" = c."idPlan")");
        // Dues of a deleted member (no key) first, on a server as in a file.
        d.tail =
            QStringLiteral(R"(ORDER BY a."ClaveOrden" NULLS FIRST, c."idAfiliado", c."Vencimiento", c."Año",
            c."Mes", c."idCuota")");
        out << d;
    }
    {
        ReportDefinition d =
            definition(ReportId::Recibo, QStringLiteral("recibo.rpt"), QStringLiteral("Recibo de pago"));
        addConsultaCuotas(&d.fields, QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("p"),
                          QStringLiteral("c.\"idAfiliado\""));
        addTable(&d.fields, QStringLiteral("Cuotas"), QStringLiteral("c"));
        addTable(&d.fields, QStringLiteral("Afiliados"), QStringLiteral("a"));
        addTable(&d.fields, QStringLiteral("Planes"), QStringLiteral("p"));
        d.select = QStringLiteral(R"(SELECT c."idCuota", c."idAfiliado", a."Apellido", a."Nombres",
            a."TipoDocumento", a."Documento", a."Domicilio", a."Localidad", p."Descripcion", c."Factura",
            c."Mes", c."Año", c."Vencimiento", c."Monto", c."Pagada", c."Fecha de Pago"
            FROM "Cuotas" c
            LEFT JOIN "Afiliados" a ON a."idAfiliado" = c."idAfiliado"
            LEFT JOIN "Planes" p ON p."idPlan" = c."idPlan")");
        d.tail = QStringLiteral(R"(ORDER BY c."idCuota")");
        out << d;
    }
    {
        ReportDefinition d =
            definition(ReportId::Caja, QStringLiteral("caja.rpt"), QStringLiteral("Movimientos de caja"));
        // The amounts' columns take a total in the hundreds of millions at full size.
        d.columns = {{QStringLiteral("Fecha"), 56, C},        {QStringLiteral("Cuenta"), 78, L, 2},
                     {QStringLiteral("Detalles"), 148, L, 3}, {QStringLiteral("Forma de pago"), 74, L, 2},
                     {QStringLiteral("Ingresos"), 84, R},     {QStringLiteral("Egresos"), 84, R}};
        d.fields = cashFields();
        // A movement whose account was deleted stays in the book under "(cuenta borrada)".
        d.select =
            QStringLiteral(
                R"(SELECT k."idCaja", k."Fecha", coalesce(cu."Descripcion", '(cuenta borrada)'), k."Detalles",
            t."TipoDivisa", k."Ingresos", k."Egresos")") +
            kCashFrom;
        d.tail = QStringLiteral(R"(ORDER BY k."Fecha", k."idCaja")");
        out << d;
    }
    {
        ReportDefinition d = definition(ReportId::ResCtas, QStringLiteral("resctas.rpt"),
                                        QStringLiteral("Resumen de sumas y saldos por cuenta"));
        d.columns = {{QStringLiteral("Cuenta"), 170, L, 2},
                     {QStringLiteral("Movimientos"), 70, R},
                     {QStringLiteral("Ingresos"), 95, R},
                     {QStringLiteral("Egresos"), 95, R},
                     {QStringLiteral("Saldo"), 95, R}};
        d.fields = cashFields();
        d.select =
            QStringLiteral(
                R"(SELECT k."idCuenta", MAX(coalesce(cu."Descripcion", '(cuenta borrada)')) AS "Cuenta", COUNT(*),
            SUM(k."Ingresos"), SUM(k."Egresos"))") +
            kCashFrom;
        // A server takes an output name in ORDER BY only on its own, not under COLLATE: name the expression.
        d.tail = QStringLiteral(R"(GROUP BY k."idCuenta"
            ORDER BY MAX(coalesce(cu."Descripcion", '(cuenta borrada)')) COLLATE es, k."idCuenta")");
        out << d;
    }
    {
        ReportDefinition d = definition(ReportId::InfDeuda, QStringLiteral("infDeuda.rpt"),
                                        QStringLiteral("Informe de deudas de socios"));
        d.columns = {
            {QStringLiteral("Nº"), 34, R},           {QStringLiteral("Apellido y nombres"), 145, L, 2},
            {QStringLiteral("Teléfonos"), 90, L, 2}, {QStringLiteral("E-mail"), 130, L},
            {QStringLiteral("Cuotas"), 40, R},       {QStringLiteral("Monto adeudado"), 90, R}};
        addTable(&d.fields, QStringLiteral("ConsultaDeuda"), QStringLiteral("d"));
        addTable(&d.fields, QStringLiteral("ConsultaNroCuotasDeuda"), QStringLiteral("n"));
        addTable(&d.fields, QStringLiteral("Afiliados"), QStringLiteral("a"));
        d.select = QStringLiteral(R"(SELECT d."idAfiliado", a."Apellido", a."Nombres", a."Telefono",
            a."Telefono Trabajo", a."e-mail", n."NroCuotas", d."SumaDeMonto"
            FROM "ConsultaDeuda" d
            LEFT JOIN "ConsultaNroCuotasDeuda" n ON n."idAfiliado" = d."idAfiliado"
            LEFT JOIN "Afiliados" a ON a."idAfiliado" = d."idAfiliado")");
        d.tail = QStringLiteral(R"(ORDER BY a."ClaveOrden" NULLS FIRST, d."idAfiliado")");
        d.defaultFormula = QStringLiteral("{ConsultaDeuda.SumaDeMonto} <> 0");
        out << d;
    }
    {
        // The activity log as its window lists it: newest first.
        ReportDefinition d = definition(ReportId::Actividad, QStringLiteral("actividad.rpt"),
                                        QStringLiteral("Registro de actividad"));
        d.landscape = true;
        d.columns = {{QStringLiteral("Fecha"), 54, C},         {QStringLiteral("Hora"), 42, C},
                     {QStringLiteral("Usuario"), 80, L, 2},    {QStringLiteral("Puesto"), 70, L, 2},
                     {QStringLiteral("Acción"), 110, L, 2},    {QStringLiteral("Objeto"), 80, L, 2},
                     {QStringLiteral("Importe antes"), 72, R}, {QStringLiteral("Importe después"), 72, R},
                     {QStringLiteral("Detalle"), 160, L, 3}};
        addTable(&d.fields, QStringLiteral("RegistroActividad"), QStringLiteral("r"));
        d.select =
            QStringLiteral(R"(SELECT r."Fecha", r."Hora", r."Usuario", r."Puesto", r."Accion", r."Objeto",
            r."MontoAntes", r."MontoDespues", r."Detalle" FROM "RegistroActividad" r)");
        d.tail = QStringLiteral(R"(ORDER BY r."Fecha" DESC, r."idRegistro" DESC)");
        out << d;
    }
    return out;
}

} // namespace

namespace ReportCatalog {

const QVector<ReportDefinition> &all() {
    static const QVector<ReportDefinition> defs = build();
    return defs;
}

const ReportDefinition *find(const QString &fileName) {
    const QString bare = QFileInfo(fileName.trimmed()).fileName();
    for (const ReportDefinition &d : all())
        if (d.fileName.compare(bare, Qt::CaseInsensitive) == 0)
            return &d;
    return nullptr;
}

QString names() {
    QStringList n;
    for (const ReportDefinition &d : all())
        n << d.fileName;
    return n.join(QStringLiteral(", "));
}

} // namespace ReportCatalog
