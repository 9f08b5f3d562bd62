#include "reports/ReportData.h"

#include "core/Clock.h"
#include "core/Configuracion.h"
#include "core/Log.h"
#include "db/Actividad.h"

#include <QLocale>
#include <QSqlError>
#include <algorithm>

namespace {

QString fullName(const QString &apellido, const QString &nombres) {
    const QString a = apellido.trimmed();
    const QString n = nombres.trimmed();
    if (a.isEmpty())
        return n;
    return n.isEmpty() ? a : a + QStringLiteral(", ") + n;
}

QString joined(const QStringList &parts, const QString &sep) {
    QStringList kept;
    for (const QString &p : parts)
        if (!p.trimmed().isEmpty())
            kept << p.trimmed();
    return kept.join(sep);
}

QString count(qint64 n) {
    return QLocale().toString(n);
}

QString isoToday() {
    return Clock::today().toString(Qt::ISODate);
}

// ---- Socios.rpt ------------------------------------------------------------------------------------
class SociosData : public ReportData {
    bool fetch() override {
        if (!nextRecord()) {
            if (m_records == 0)
                queueMessage(QString());
            else
                queue(ReportBand::summary({{QStringLiteral("Total de socios"), count(m_records)}}));
            return false;
        }
        ReportBand b;
        b.cells = {text(0),
                   fullName(text(1), text(2)),
                   joined({text(3), text(4)}, QStringLiteral(" ")),
                   joined({text(5), text(6), text(7)}, QStringLiteral(", ")),
                   joined({text(8), text(9)}, QStringLiteral("\n")),
                   text(10),
                   text(11),
                   text(12),
                   date(value(13))};
        queue(std::move(b));
        return true;
    }
};

// ---- ctacuotas.rpt ---------------------------------------------------------------------------------
class CtaCuotasData : public ReportData {
    qint64 m_member = -1;
    bool m_any = false;
    Money m_issued, m_paid, m_owed, m_overdue;
    int m_dues = 0;

    void closeMember() {
        ReportBand s(ReportBand::Type::Summary);
        s.pairs = {
            {QStringLiteral("Cuotas emitidas"), count(m_dues)},
            {QStringLiteral("Total emitido"), money(m_issued)},
            {QStringLiteral("Total pagado"), money(m_paid)},
            {QStringLiteral("Saldo adeudado"), money(m_owed)},
            {QStringLiteral("Vencido impago al %1").arg(m_today.toString(QStringLiteral("dd/MM/yyyy"))),
             money(m_overdue)}};
        queue(std::move(s));
    }

    void openMember() {
        ReportBand f(ReportBand::Type::Fields);
        f.text = QStringLiteral("Socio Nº %1 — %2").arg(text(0), fullName(text(1), text(2)));
        f.pairs = {{QStringLiteral("Documento"), joined({text(3), text(4)}, QStringLiteral(" "))},
                   {QStringLiteral("Domicilio"), joined({text(5), text(6)}, QStringLiteral(", "))},
                   {QStringLiteral("Teléfono"), text(7)},
                   {QStringLiteral("E-mail"), text(8)},
                   {QStringLiteral("Plan"), text(9)},
                   {QStringLiteral("Categoría"), text(10)}};
        queue(std::move(f));
        m_issued = m_paid = m_owed = m_overdue = Money();
        m_dues = 0;
    }

    bool fetch() override {
        if (!nextRecord()) {
            if (m_any)
                closeMember();
            else
                queueMessage(QString());
            return false;
        }
        const qint64 member = value(0).toLongLong();
        if (!m_any || member != m_member) {
            if (m_any) {
                closeMember();
                queue(ReportBand(ReportBand::Type::PageBreak));
            }
            m_any = true;
            m_member = member;
            openMember();
        }
        if (value(11).isNull()) {
            queueMessage(QStringLiteral("El socio no tiene cuotas emitidas."));
            return true;
        }
        const Money monto = amount(16);
        const bool paid = value(17).toLongLong() != 0;
        const QString due = text(15);
        const bool overdue = !paid && !due.isEmpty() && due.left(10) <= isoToday();
        ++m_dues;
        m_issued += monto;
        if (paid)
            m_paid += monto;
        else
            m_owed += monto;
        if (overdue)
            m_overdue += monto;
        const int mes = value(13).toInt();
        const QString period =
            mes > 0 ? QStringLiteral("%1/%2").arg(mes, 2, 10, QLatin1Char('0')).arg(text(14)) : text(14);
        ReportBand b;
        b.cells = {text(12),
                   period,
                   date(value(15)),
                   money(monto),
                   paid ? QStringLiteral("Pagada")
                        : (overdue ? QStringLiteral("Vencida") : QStringLiteral("A vencer")),
                   paid ? date(value(18)) : QString()};
        queue(std::move(b));
        return true;
    }
};

// ---- cuotas.rpt ------------------------------------------------------------------------------------
class CuotasData : public ReportData {
    qint64 m_member = -1;
    bool m_any = false;
    Money m_groupTotal, m_total;
    int m_groupDues = 0, m_members = 0;

    void closeGroup() {
        ReportBand f(ReportBand::Type::GroupFooter);
        f.cells = {QStringLiteral("Total del socio (%1 %2)")
                       .arg(count(m_groupDues),
                            m_groupDues == 1 ? QStringLiteral("cuota") : QStringLiteral("cuotas")),
                   QString(), QString(), QString(), money(m_groupTotal)};
        queue(std::move(f));
    }

    bool fetch() override {
        if (!nextRecord()) {
            if (!m_any) {
                queueMessage(QString());
                return false;
            }
            closeGroup();
            ReportBand t(ReportBand::Type::Totals);
            t.cells = {QStringLiteral("Total general: %1 %2, %3 %4")
                           .arg(count(m_members),
                                m_members == 1 ? QStringLiteral("socio") : QStringLiteral("socios"),
                                count(m_records),
                                m_records == 1 ? QStringLiteral("cuota") : QStringLiteral("cuotas")),
                       QString(), QString(), QString(), money(m_total)};
            queue(std::move(t));
            return false;
        }
        const qint64 member = value(1).toLongLong();
        if (!m_any || member != m_member) {
            if (m_any)
                closeGroup();
            m_any = true;
            m_member = member;
            ++m_members;
            m_groupTotal = Money();
            m_groupDues = 0;
            ReportBand h(ReportBand::Type::GroupHeader);
            const QString name = fullName(text(2), text(3));
            h.text = name.isEmpty() ? QStringLiteral("(socio inexistente)") : name;
            h.detail = joined({QStringLiteral("Socio Nº %1").arg(member),
                               text(4).isEmpty() ? QString() : QStringLiteral("Plan %1").arg(text(4))},
                              QStringLiteral(" · "));
            queue(std::move(h));
        }
        const Money monto = amount(9);
        m_groupTotal += monto;
        m_total += monto;
        ++m_groupDues;
        const int mes = value(6).toInt();
        ReportBand b;
        b.cells = {text(5), mes > 0 ? QString::number(mes) : QStringLiteral("—"), text(7), date(value(8)),
                   money(monto)};
        queue(std::move(b));
        return true;
    }
};

// ---- recibo.rpt ------------------------------------------------------------------------------------
class ReciboData : public ReportData {
    bool fetch() override {
        if (!nextRecord()) {
            if (m_records == 0)
                queueMessage(QString());
            return false;
        }
        if (m_records > 1)
            queue(ReportBand(ReportBand::Type::PageBreak));
        const Money monto = amount(13);
        const int mes = value(10).toInt();
        const bool paid = value(14).toLongLong() != 0;
        ReportBand r(ReportBand::Type::Receipt);
        r.values = {
            {QStringLiteral("numero"),
             QStringLiteral("%1").arg(value(0).toLongLong(), 8, 10, QLatin1Char('0'))},
            {QStringLiteral("socio"), fullName(text(2), text(3))},
            {QStringLiteral("nroSocio"), text(1)},
            {QStringLiteral("documento"), joined({text(4), text(5)}, QStringLiteral(" "))},
            {QStringLiteral("domicilio"), joined({text(6), text(7)}, QStringLiteral(", "))},
            {QStringLiteral("plan"), text(8)},
            {QStringLiteral("concepto"), text(9)},
            {QStringLiteral("periodo"), mes > 0 ? QStringLiteral("%1 %2").arg(monthName(mes), text(11))
                                                : QStringLiteral("Inscripción %1").arg(text(11)).trimmed()},
            {QStringLiteral("vencimiento"), date(value(12))},
            {QStringLiteral("importe"), money(monto)},
            {QStringLiteral("letras"), monto.toSpanishWords()},
            {QStringLiteral("pagada"), paid ? QStringLiteral("1") : QStringLiteral("0")},
            {QStringLiteral("fechaPago"), paid ? date(value(15)) : QString()},
        };
        queue(std::move(r));
        return true;
    }
};

// ---- caja.rpt --------------------------------------------------------------------------------------
class CajaData : public ReportData {
    Money m_in, m_out;

    static QString nonZero(const Money &m) { return m.isZero() ? QString() : money(m); }

    bool fetch() override {
        if (!nextRecord()) {
            if (m_records == 0) {
                queueMessage(QString());
                return false;
            }
            ReportBand t(ReportBand::Type::Totals);
            t.cells = {QStringLiteral("Totales (%1 %2)")
                           .arg(count(m_records), m_records == 1 ? QStringLiteral("movimiento")
                                                                 : QStringLiteral("movimientos")),
                       QString(),
                       QString(),
                       QString(),
                       money(m_in),
                       money(m_out)};
            queue(std::move(t));
            queue(ReportBand::summary({{QStringLiteral("Total ingresos"), money(m_in)},
                                       {QStringLiteral("Total egresos"), money(m_out)},
                                       {QStringLiteral("Saldo del período"), money(m_in - m_out)}}));
            return false;
        }
        const Money in = amount(5);
        const Money out = amount(6);
        m_in += in;
        m_out += out;
        ReportBand b;
        b.cells = {date(value(1)), text(2), text(3), text(4), nonZero(in), nonZero(out)};
        queue(std::move(b));
        return true;
    }
};

// ---- resctas.rpt -----------------------------------------------------------------------------------
// One record per account: few enough to read at once, which the chart's common scale needs.
class ResCtasData : public ReportData {
    bool fetch() override {
        struct Account {
            QString name;
            qint64 movements;
            Money in, out;
        };
        QVector<Account> accounts;
        while (nextRecord())
            accounts.append({text(1).isEmpty() ? QStringLiteral("Cuenta Nº %1").arg(text(0)) : text(1),
                             value(2).toLongLong(), amount(3), amount(4)});
        if (!m_error.isEmpty())
            return false;
        if (accounts.isEmpty()) {
            queueMessage(QString());
            return false;
        }
        Money tin, tout, scale;
        qint64 moves = 0;
        for (const Account &a : accounts) {
            ReportBand b;
            b.cells = {a.name, count(a.movements), money(a.in), money(a.out), money(a.in - a.out)};
            queue(std::move(b));
            tin += a.in;
            tout += a.out;
            moves += a.movements;
            scale = std::max({scale, a.in, a.out});
        }
        ReportBand t(ReportBand::Type::Totals);
        t.cells = {QStringLiteral("Totales"), count(moves), money(tin), money(tout), money(tin - tout)};
        queue(std::move(t));
        ReportBand c(ReportBand::Type::ChartStart);
        c.text = QStringLiteral("Ingresos y egresos por cuenta");
        c.scale = scale;
        c.pairs = {{QStringLiteral("Ingresos"), QStringLiteral("ingresos")},
                   {QStringLiteral("Egresos"), QStringLiteral("egresos")}};
        queue(std::move(c));
        for (const Account &a : accounts) {
            ReportBand bar(ReportBand::Type::ChartBar);
            bar.text = a.name;
            bar.a = a.in;
            bar.b = a.out;
            bar.scale = scale;
            bar.cells = {money(a.in), money(a.out)};
            queue(std::move(bar));
        }
        return false;
    }
};

// ---- infDeuda.rpt ----------------------------------------------------------------------------------
class InfDeudaData : public ReportData {
    Money m_total;
    qint64 m_dues = 0;

    bool fetch() override {
        if (!nextRecord()) {
            if (m_records == 0) {
                queueMessage(QStringLiteral("Ningún socio tiene cuotas vencidas impagas."));
                return false;
            }
            ReportBand t(ReportBand::Type::Totals);
            t.cells = {QString(),
                       QStringLiteral("Total: %1 %2")
                           .arg(count(m_records),
                                m_records == 1 ? QStringLiteral("socio") : QStringLiteral("socios")),
                       QString(),
                       QString(),
                       count(m_dues),
                       money(m_total)};
            queue(std::move(t));
            return false;
        }
        const Money owed = amount(7);
        const qint64 dues = value(6).toLongLong();
        m_total += owed;
        m_dues += dues;
        const QString name = fullName(text(1), text(2));
        ReportBand b;
        b.cells = {text(0),
                   name.isEmpty() ? QStringLiteral("(socio inexistente)") : name,
                   joined({text(3), text(4)}, QStringLiteral("\n")),
                   text(5),
                   count(dues),
                   money(owed)};
        queue(std::move(b));
        return true;
    }
};

// ---- actividad.rpt ---------------------------------------------------------------------------------
class ActividadData : public ReportData {
    static QString amountOrBlank(const QVariant &v) {
        const auto m = Money::fromVariant(v);
        return v.isNull() || !m ? QString() : money(*m);
    }

    bool fetch() override {
        if (!nextRecord()) {
            if (m_records == 0)
                queueMessage(QString());
            else
                queue(ReportBand::summary({{QStringLiteral("Total de entradas"), count(m_records)}}));
            return false;
        }
        ReportBand b;
        b.cells = {date(value(0)),
                   text(1),
                   text(2),
                   text(3),
                   Actividad::nombre(Actividad::Accion(value(4).toInt())),
                   text(5),
                   amountOrBlank(value(6)),
                   amountOrBlank(value(7)),
                   text(8)};
        queue(std::move(b));
        return true;
    }
};

std::unique_ptr<ReportData> make(ReportId id) {
    switch (id) {
    case ReportId::Socios:
        return std::make_unique<SociosData>();
    case ReportId::CtaCuotas:
        return std::make_unique<CtaCuotasData>();
    case ReportId::Cuotas:
        return std::make_unique<CuotasData>();
    case ReportId::Recibo:
        return std::make_unique<ReciboData>();
    case ReportId::Caja:
        return std::make_unique<CajaData>();
    case ReportId::ResCtas:
        return std::make_unique<ResCtasData>();
    case ReportId::InfDeuda:
        return std::make_unique<InfDeudaData>();
    case ReportId::Actividad:
        return std::make_unique<ActividadData>();
    }
    return nullptr;
}

} // namespace

ReportData::~ReportData() = default;

std::unique_ptr<ReportData> ReportData::open(const QString &reportFile, const QString &formulaText,
                                             ReportError *error, const QSqlDatabase &db) {
    auto fail = [&](ReportError::Kind kind, const QString &message) -> std::unique_ptr<ReportData> {
        if (error)
            *error = {kind, message};
        Log::error(QStringLiteral("Informes"), message);
        return nullptr;
    };
    const ReportDefinition *def = ReportCatalog::find(reportFile);
    if (!def) {
        if (reportFile.trimmed().isEmpty())
            return fail(ReportError::Kind::UnknownReport,
                        QStringLiteral("No se indicó qué informe imprimir."));
        return fail(ReportError::Kind::UnknownReport,
                    QStringLiteral("No existe el informe \"%1\". Los informes del programa son: %2.")
                        .arg(reportFile, ReportCatalog::names()));
    }
    const ReportFormula formula = ReportFormula::parse(formulaText);
    const auto sql = formula.toSql(def->fields);
    if (!sql)
        return fail(
            ReportError::Kind::Formula,
            QStringLiteral("La fórmula de selección del informe \"%1\" no es válida: %2.\n\nFórmula: %3")
                .arg(def->fileName, sql.message(), formulaText));

    std::unique_ptr<ReportData> data = make(def->id);
    data->m_def = def;
    data->m_today = Clock::today();
    data->m_printDate = data->m_today;
    data->m_company = Configuracion::nombreEmpresa();
    data->m_taxId = Configuracion::cuitEmpresa();
    data->m_selection = formula.describe(def->fields);
    if (def->id == ReportId::InfDeuda)
        data->m_note = QStringLiteral("Cuotas impagas con vencimiento hasta el %1 inclusive.")
                           .arg(data->m_today.toString(QStringLiteral("dd/MM/yyyy")));

    data->m_query = QSqlQuery(db);
    data->m_query.setForwardOnly(true);
    const QString text =
        def->select + QStringLiteral("\nWHERE ") + sql->where + QLatin1Char('\n') + def->tail;
    bool ok = data->m_query.prepare(text);
    if (ok) {
        for (const QVariant &v : sql->params)
            data->m_query.addBindValue(v);
        ok = data->m_query.exec();
    }
    if (!ok)
        return fail(ReportError::Kind::Database,
                    QStringLiteral("No se pudieron leer los datos del informe \"%1\": %2")
                        .arg(def->fileName, data->m_query.lastError().text()));
    if (error)
        *error = {};
    return data;
}

bool ReportData::nextRecord() {
    if (m_query.next()) {
        ++m_records;
        return true;
    }
    if (m_query.lastError().isValid() && m_error.isEmpty()) {
        m_error = QStringLiteral("No se pudieron leer los datos del informe \"%1\": %2")
                      .arg(m_def->fileName, m_query.lastError().text());
        Log::error(QStringLiteral("Informes"), m_error);
    }
    return false;
}

bool ReportData::next(ReportBand *band) {
    while (m_pending.empty()) {
        if (m_finished)
            return false;
        if (!fetch())
            m_finished = true;
        if (!m_error.isEmpty())
            return false;
    }
    *band = std::move(m_pending.front());
    m_pending.pop_front();
    return true;
}

void ReportData::queueMessage(const QString &text) {
    ReportBand b(ReportBand::Type::Message);
    b.text = text.isEmpty() ? QStringLiteral("No hay registros que cumplan la selección.") : text;
    queue(std::move(b));
}

QString ReportData::money(const Money &m) {
    return m.toCurrencyString(QLocale());
}

QString ReportData::date(const QVariant &stored) {
    if (stored.isNull())
        return {};
    const QString s = stored.toString();
    // ISO 'YYYY-MM-DD' (possibly with a time part) is how every date is stored.
    if (s.size() >= 10 && s.at(4) == QLatin1Char('-') && s.at(7) == QLatin1Char('-'))
        return s.mid(8, 2) + QLatin1Char('/') + s.mid(5, 2) + QLatin1Char('/') + s.left(4);
    return s;
}

QString ReportData::monthName(int month) {
    if (month < 1 || month > 12)
        return QStringLiteral("Inscripción");
    QString n = QLocale(QLocale::Spanish).standaloneMonthName(month);
    if (!n.isEmpty())
        n[0] = n.at(0).toUpper();
    return n;
}
