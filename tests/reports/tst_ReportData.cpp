#include "db/Database.h"
#include "reports/ReportData.h"
#include "support/TestSupport.h"

using namespace TestSupport;

// What each of the seven reports selects from a small club, with its groups and totals, for the formulas
// the windows build. Today is 5 March 2009.
class tst_ReportData : public QObject {
    Q_OBJECT

    struct Run {
        QVector<ReportBand> bands;
        ReportError error;
        QString selection, note;
        QVector<QStringList> rows() const {
            QVector<QStringList> out;
            for (const ReportBand &b : bands)
                if (b.type == ReportBand::Type::Row)
                    out << b.cells;
            return out;
        }
        QStringList column(int c) const {
            QStringList out;
            for (const QStringList &r : rows())
                out << r.value(c);
            return out;
        }
        QVector<ReportBand> all(ReportBand::Type t) const {
            QVector<ReportBand> out;
            for (const ReportBand &b : bands)
                if (b.type == t)
                    out << b;
            return out;
        }
        ReportBand one(ReportBand::Type t) const {
            const auto v = all(t);
            return v.size() == 1 ? v.first() : ReportBand(ReportBand::Type::PageBreak);
        }
        QString summary(const QString &label) const {
            for (const ReportBand &b : all(ReportBand::Type::Summary))
                for (const auto &p : b.pairs)
                    if (p.first.startsWith(label))
                        return p.second;
            return QStringLiteral("<falta %1>").arg(label);
        }
    };

    static Run run(const QString &report, const QString &formula) {
        Run r;
        auto data = ReportData::open(report, formula, &r.error);
        if (!data)
            return r;
        r.selection = data->selection();
        r.note = data->note();
        ReportBand b;
        while (data->next(&b))
            r.bands << b;
        if (!data->error().isEmpty())
            r.error = {ReportError::Kind::Database, data->error()};
        return r;
    }

    std::unique_ptr<BaseTemporal> m_db;
    int general = 0, juvenil = 0;
    int perez = 0, alvarez = 0, benitez = 0, obrien = 0, nunez = 0, cero = 0;
    int perezPaid = 0, perezFeb = 0;
    int ohiggins = 0;

private slots:
    void init() {
        m_db = std::make_unique<BaseTemporal>(QDate(2009, 3, 5));
        general = nuevoPlan(QStringLiteral("General"));
        juvenil = nuevoPlan(QStringLiteral("Juvenil"), 100000);
        perez = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Juan"), general);
        alvarez = nuevoAfiliado(QStringLiteral("Álvarez"), QStringLiteral("Ana"), general);
        benitez = nuevoAfiliado(QStringLiteral("Benítez"), QStringLiteral("Luis"), juvenil);
        obrien = nuevoAfiliado(QStringLiteral("O'Brien"), QStringLiteral("Kevin"), general);
        nunez = nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Sol"), general);
        cero = nuevoAfiliado(QStringLiteral("Zapata"), QStringLiteral("Cero"), general);

        perezPaid = nuevaCuota(perez, general, QDate(2009, 1, 10), 250000, true, QDate(2009, 1, 12), 1, 2009,
                               QStringLiteral("CUOTA MES 1"));
        perezFeb = nuevaCuota(perez, general, QDate(2009, 2, 10), 250000, false, {}, 2, 2009,
                              QStringLiteral("CUOTA MES 2"));
        nuevaCuota(perez, general, QDate(2009, 3, 5), 250000, false, {}, 3, 2009,
                   QStringLiteral("CUOTA MES 3")); // today
        nuevaCuota(perez, general, QDate(2009, 3, 6), 250000, false, {}, 4, 2009,
                   QStringLiteral("CUOTA MES 4")); // tomorrow
        nuevaCuota(perez, general, QDate(2008, 12, 10), 250000, false, {}, 12, 2008,
                   QStringLiteral("CUOTA MES 12"));
        nuevaCuota(alvarez, general, QDate(2009, 3, 1), 305000, false, {}, 3, 2009,
                   QStringLiteral("CUOTA MES 3"));
        nuevaCuota(alvarez, general, QDate(2009, 2, 1), 305000, true, QDate(2009, 2, 2), 2, 2009,
                   QStringLiteral("CUOTA MES 2"));
        nuevaCuota(benitez, juvenil, QDate(2009, 2, 20), 100000, false, {}, 0, 2009,
                   QStringLiteral("INSCRIPCION"));
        nuevaCuota(obrien, general, QDate(2009, 2, 10), 250000, true, QDate(2009, 2, 10), 2, 2009);
        nuevaCuota(cero, general, QDate(2009, 2, 10), 0, false, {}, 2, 2009); // owes nothing

        QVERIFY(Database::exec(QStringLiteral(R"(INSERT INTO "Cuentas" ("Descripcion") VALUES (?))"),
                               {QStringLiteral("O'Higgins")}));
        ohiggins = Database::buscaValor(QStringLiteral(R"(SELECT max("idCuenta") AS n FROM "Cuentas")"),
                                        QStringLiteral("n"))
                       .toInt();
        nuevoMovimiento(QDate(2009, 3, 4), 1, QStringLiteral("antes"), 1000000, 0);
        nuevoMovimiento(QDate(2009, 3, 5), 1, QStringLiteral("primer día"), 500000, 0);
        nuevoMovimiento(QDate(2009, 3, 20), ohiggins, QStringLiteral("gasto"), 0, 125000, 2);
        nuevoMovimiento(QDate(2009, 4, 5), ohiggins, QStringLiteral("último día"), 300000, 0);
        nuevoMovimiento(QDate(2009, 4, 6), 1, QStringLiteral("después"), 700000, 0);
    }
    void cleanup() { m_db.reset(); }

    void memberListInSpanishOrderWithTheCount() {
        const Run r = run(QStringLiteral("Socios.rpt"), QStringLiteral("{Afiliados.idAfiliado} <> 0"));
        QCOMPARE(r.error.kind, ReportError::Kind::None);
        QCOMPARE(r.column(1), (QStringList{QStringLiteral("Álvarez, Ana"), QStringLiteral("Benítez, Luis"),
                                           QStringLiteral("Núñez, Sol"), QStringLiteral("O'Brien, Kevin"),
                                           QStringLiteral("Pérez, Juan"), QStringLiteral("Zapata, Cero")}));
        const QStringList first = r.rows().first();
        QCOMPARE(first.at(0), QString::number(alvarez));
        QCOMPARE(first.at(2), QStringLiteral("DNI 12345678"));
        QCOMPARE(first.at(3), QStringLiteral("Calle 1"));
        QCOMPARE(first.at(4), QStringLiteral("555-1234"));
        QCOMPARE(first.at(6), QStringLiteral("General"));
        QCOMPARE(first.at(8), QStringLiteral("01/01/2008"));
        QCOMPARE(r.summary(QStringLiteral("Total de socios")), QStringLiteral("6"));
    }

    void accountStatementWithItsFourTotals() {
        const Run r =
            run(QStringLiteral("ctacuotas.rpt"), QStringLiteral("{cuotas.idAfiliado} = %1").arg(perez));
        QCOMPARE(r.error.kind, ReportError::Kind::None);
        QVERIFY(r.one(ReportBand::Type::Fields).text.contains(QStringLiteral("Pérez, Juan")));
        // Every due of the member, by due date: paid with its date, overdue (today counts), to come.
        QCOMPARE(r.column(0), (QStringList{QStringLiteral("CUOTA MES 12"), QStringLiteral("CUOTA MES 1"),
                                           QStringLiteral("CUOTA MES 2"), QStringLiteral("CUOTA MES 3"),
                                           QStringLiteral("CUOTA MES 4")}));
        QCOMPARE(r.column(1).first(), QStringLiteral("12/2008"));
        QCOMPARE(r.column(4),
                 (QStringList{QStringLiteral("Vencida"), QStringLiteral("Pagada"), QStringLiteral("Vencida"),
                              QStringLiteral("Vencida"), QStringLiteral("A vencer")}));
        QCOMPARE(r.column(5).at(1), QStringLiteral("12/01/2009"));
        QCOMPARE(r.summary(QStringLiteral("Total emitido")), QStringLiteral("$ 125,00"));
        QCOMPARE(r.summary(QStringLiteral("Total pagado")), QStringLiteral("$ 25,00"));
        QCOMPARE(r.summary(QStringLiteral("Saldo adeudado")), QStringLiteral("$ 100,00"));
        QCOMPARE(r.summary(QStringLiteral("Vencido impago al 05/03/2009")), QStringLiteral("$ 75,00"));

        // A member without dues still gets a statement that says so.
        const Run none =
            run(QStringLiteral("ctacuotas.rpt"), QStringLiteral("{cuotas.idAfiliado} = %1").arg(nunez));
        QVERIFY(none.one(ReportBand::Type::Fields).text.contains(QStringLiteral("Núñez")));
        QCOMPARE(none.one(ReportBand::Type::Message).text,
                 QStringLiteral("El socio no tiene cuotas emitidas."));
        QCOMPARE(none.summary(QStringLiteral("Total emitido")), QStringLiteral("$ 0,00"));
    }

    void duesByMemberForBothIssuanceFormulas() {
        // Individual issuance: one member and plan, unpaid.
        const Run one = run(
            QStringLiteral("cuotas.rpt"),
            QStringLiteral("{cuotas.idAfiliado} = %1 and {cuotas.idplan} = %2 and {cuotas.Pagada} = False")
                .arg(perez)
                .arg(general));
        QCOMPARE(one.rows().size(), 4);
        QCOMPARE(one.one(ReportBand::Type::GroupHeader).text, QStringLiteral("Pérez, Juan"));
        QCOMPARE(one.one(ReportBand::Type::GroupFooter).cells.last(), QStringLiteral("$ 100,00"));
        QCOMPARE(one.rows().first(),
                 (QStringList{QStringLiteral("CUOTA MES 12"), QStringLiteral("12"), QStringLiteral("2008"),
                              QStringLiteral("10/12/2008"), QStringLiteral("$ 25,00")}));

        // Plan-wide issuance: one plan and year, unpaid; members in surname order, each with its total.
        const Run plan =
            run(QStringLiteral("cuotas.rpt"),
                QStringLiteral("{cuotas.idplan} = %1 and {cuotas.Año} = 2009 and {cuotas.Pagada} = False")
                    .arg(general));
        const auto headers = plan.all(ReportBand::Type::GroupHeader);
        QCOMPARE(headers.size(), 3);
        QCOMPARE(headers.at(0).text, QStringLiteral("Álvarez, Ana"));
        QCOMPARE(headers.at(1).text, QStringLiteral("Pérez, Juan"));
        QCOMPARE(headers.at(2).text, QStringLiteral("Zapata, Cero"));
        const auto footers = plan.all(ReportBand::Type::GroupFooter);
        QCOMPARE(footers.at(0).cells.last(), QStringLiteral("$ 30,50"));
        QCOMPARE(footers.at(1).cells.last(), QStringLiteral("$ 75,00"));
        const ReportBand total = plan.one(ReportBand::Type::Totals);
        QCOMPARE(total.cells.first(), QStringLiteral("Total general: 3 socios, 5 cuotas"));
        QCOMPARE(total.cells.last(), QStringLiteral("$ 105,50"));
        QCOMPARE(plan.selection, QStringLiteral("Año: 2009 · Pagada: No"));
    }

    void receiptOfOneDueSaysWhetherItIsPaid() {
        const Run paid =
            run(QStringLiteral("recibo.rpt"), QStringLiteral("{ConsultaCuotas.IdCuota} = %1").arg(perezPaid));
        const auto receipts = paid.all(ReportBand::Type::Receipt);
        QCOMPARE(receipts.size(), 1);
        const auto &v = receipts.first().values;
        QCOMPARE(v.value(QStringLiteral("numero")),
                 QStringLiteral("%1").arg(perezPaid, 8, 10, QLatin1Char('0')));
        QCOMPARE(v.value(QStringLiteral("socio")), QStringLiteral("Pérez, Juan"));
        QCOMPARE(v.value(QStringLiteral("concepto")), QStringLiteral("CUOTA MES 1"));
        QCOMPARE(v.value(QStringLiteral("periodo")), QStringLiteral("Enero 2009"));
        QCOMPARE(v.value(QStringLiteral("vencimiento")), QStringLiteral("10/01/2009"));
        QCOMPARE(v.value(QStringLiteral("importe")), QStringLiteral("$ 25,00"));
        QCOMPARE(v.value(QStringLiteral("letras")), QStringLiteral("veinticinco con 00/100"));
        QCOMPARE(v.value(QStringLiteral("pagada")), QStringLiteral("1"));
        QCOMPARE(v.value(QStringLiteral("fechaPago")), QStringLiteral("12/01/2009"));

        const Run unpaid =
            run(QStringLiteral("recibo.rpt"), QStringLiteral("{ConsultaCuotas.IdCuota} = %1").arg(perezFeb));
        const auto &u = unpaid.one(ReportBand::Type::Receipt).values;
        QCOMPARE(u.value(QStringLiteral("pagada")), QStringLiteral("0"));
        QCOMPARE(u.value(QStringLiteral("fechaPago")), QString());
    }

    void cashRangeIncludesBothEndsWhateverTheLetterCase() {
        // The two cash formulas differ only in letter case; 5 March to 5 April includes both days.
        const Run a = run(
            QStringLiteral("caja.rpt"),
            QStringLiteral("{consultaCaja.Fecha} >= %1 and {consultaCaja.Fecha} <= %2")
                .arg(ReportFormula::dateTerm(QDate(2009, 3, 5)), ReportFormula::dateTerm(QDate(2009, 4, 5))));
        const Run b =
            run(QStringLiteral("caja.rpt"),
                QStringLiteral(
                    "{ConsultaCaja.fecha} >= date(2009, 3, 5) and {ConsultaCaja.fecha} <= date(2009, 4, 5)"));
        QCOMPARE(a.column(2), (QStringList{QStringLiteral("primer día"), QStringLiteral("gasto"),
                                           QStringLiteral("último día")}));
        QCOMPARE(b.rows(), a.rows());
        QCOMPARE(a.rows().at(1), (QStringList{QStringLiteral("20/03/2009"), QStringLiteral("O'Higgins"),
                                              QStringLiteral("gasto"), QStringLiteral("Cheque"), QString(),
                                              QStringLiteral("$ 12,50")}));
        const ReportBand totals = a.one(ReportBand::Type::Totals);
        QCOMPARE(totals.cells.at(4), QStringLiteral("$ 80,00"));
        QCOMPARE(totals.cells.at(5), QStringLiteral("$ 12,50"));
        QCOMPARE(a.summary(QStringLiteral("Saldo del período")), QStringLiteral("$ 67,50"));
        QCOMPARE(a.selection, QStringLiteral("Fecha: del 05/03/2009 al 05/04/2009"));

        // The summary by account reads the same movements.
        const Run s =
            run(QStringLiteral("resctas.rpt"),
                QStringLiteral(
                    "{ConsultaCaja.fecha} >= date(2009, 3, 5) and {ConsultaCaja.fecha} <= date(2009, 4, 5)"));
        QCOMPARE(s.rows(), (QVector<QStringList>{
                               {QStringLiteral("Caja"), QStringLiteral("1"), QStringLiteral("$ 50,00"),
                                QStringLiteral("$ 0,00"), QStringLiteral("$ 50,00")},
                               {QStringLiteral("O'Higgins"), QStringLiteral("2"), QStringLiteral("$ 30,00"),
                                QStringLiteral("$ 12,50"), QStringLiteral("$ 17,50")}}));
        QCOMPARE(s.one(ReportBand::Type::Totals).cells,
                 (QStringList{QStringLiteral("Totales"), QStringLiteral("3"), QStringLiteral("$ 80,00"),
                              QStringLiteral("$ 12,50"), QStringLiteral("$ 67,50")}));
        const auto bars = s.all(ReportBand::Type::ChartBar);
        QCOMPARE(bars.size(), 2);
        QCOMPARE(bars.at(1).text, QStringLiteral("O'Higgins"));
        QCOMPARE(bars.at(1).a, Money::fromWhole(30));
        QCOMPARE(bars.at(1).b, Money::fromUnits(125000));
        QCOMPARE(bars.at(0).scale, Money::fromWhole(50));
    }

    void cashOfOneAccountNamedWithAnApostrophe() {
        const QString range = QStringLiteral(
            "{consultaCaja.Fecha} >= date(2009, 3, 1) and {consultaCaja.Fecha} <= date(2009, 4, 30)");
        const Run one =
            run(QStringLiteral("caja.rpt"), range + QStringLiteral(" and {ConsultaCaja.Descripcion} = ") +
                                                ReportFormula::textLiteral(QStringLiteral("O'Higgins")));
        QCOMPARE(one.error.kind, ReportError::Kind::None);
        QCOMPARE(one.column(2), (QStringList{QStringLiteral("gasto"), QStringLiteral("último día")}));
        // Names compare without regard to letter case, as the database did.
        const Run lower = run(QStringLiteral("caja.rpt"),
                              range + QStringLiteral(" and {ConsultaCaja.Descripcion} = 'o''higgins'"));
        QCOMPARE(lower.rows(), one.rows());
        // All accounts ("<Todas>": no account condition).
        QCOMPARE(run(QStringLiteral("caja.rpt"), range).rows().size(), 5);
        // A date stored with a time of day (written by another tool) still belongs to its day.
        QVERIFY(Database::exec(
            QStringLiteral(R"(UPDATE "Caja" SET "Fecha" = '2009-04-05 10:30:00' WHERE "Detalles" = ?)"),
            {QStringLiteral("último día")}));
        QCOMPARE(run(QStringLiteral("caja.rpt"),
                     QString(range).replace(QStringLiteral("4, 30"), QStringLiteral("4, 5")))
                     .rows()
                     .size(),
                 4);
        QCOMPARE(run(QStringLiteral("caja.rpt"), QStringLiteral("{ConsultaCaja.Fecha} = date(2009, 4, 5)"))
                     .column(0),
                 QStringList{QStringLiteral("05/04/2009")});
        // A one-day range prints that day.
        QCOMPARE(
            run(QStringLiteral("caja.rpt"), QStringLiteral("{consultaCaja.Fecha} >= date(2009, 3, 20) and "
                                                           "{consultaCaja.Fecha} <= date(2009, 3, 20)"))
                .column(2),
            QStringList{QStringLiteral("gasto")});
    }

    void debtReportListsWhoOwesToday() {
        const Run r = run(QStringLiteral("infDeuda.rpt"), QStringLiteral("{ConsultaDeuda.SumaDeMonto} <> 0"));
        QCOMPARE(r.error.kind, ReportError::Kind::None);
        // O'Brien paid everything, Núñez has no dues, Zapata's only overdue due is of 0: none of them.
        QCOMPARE(r.column(1), (QStringList{QStringLiteral("Álvarez, Ana"), QStringLiteral("Benítez, Luis"),
                                           QStringLiteral("Pérez, Juan")}));
        // Pérez owes December, February and today's due; tomorrow's is not overdue yet.
        QCOMPARE(r.rows().at(2).mid(4), (QStringList{QStringLiteral("3"), QStringLiteral("$ 75,00")}));
        QCOMPARE(r.rows().at(0).at(2), QStringLiteral("555-1234"));
        const ReportBand totals = r.one(ReportBand::Type::Totals);
        QCOMPARE(totals.cells.at(1), QStringLiteral("Total: 3 socios"));
        QCOMPARE(totals.cells.at(4), QStringLiteral("5"));
        QCOMPARE(totals.cells.at(5), QStringLiteral("$ 115,50"));
        QCOMPARE(r.note, QStringLiteral("Cuotas impagas con vencimiento hasta el 05/03/2009 inclusive."));

        // Without the formula the zero debt shows: the formula really selects.
        QCOMPARE(run(QStringLiteral("infDeuda.rpt"), QString()).rows().size(), 4);
    }

    // "Avisado / no avisado desde": the day of the last reminder handed to the mail server (sent, or with no
    // verdict) for one of the member's overdue dues; a refused one, or one of a paid due, does not count.
    void avisadoONoAvisadoDesde_data() {
        QTest::addColumn<QString>("informe");
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QStringList>("socios");
        const QString deuda = QStringLiteral("{ConsultaDeuda.SumaDeMonto} <> 0 and ");
        const QString avisado = QStringLiteral("{ConsultaDeuda.UltimoAviso} >= date(2009, 3, 1)");
        const QString noAvisado = QStringLiteral(
            "(isnull({ConsultaDeuda.UltimoAviso}) or {ConsultaDeuda.UltimoAviso} < date(2009, 3, 1))");
        QTest::newRow("deudas, avisado desde") << QStringLiteral("infDeuda.rpt") << deuda + avisado
                                               << QStringList{QStringLiteral("Pérez, Juan")};
        QTest::newRow("deudas, avisado después")
            << QStringLiteral("infDeuda.rpt")
            << deuda + QStringLiteral("{ConsultaDeuda.UltimoAviso} > date(2009, 3, 2)") << QStringList();
        QTest::newRow("deudas, no avisado desde")
            << QStringLiteral("infDeuda.rpt") << deuda + noAvisado
            << QStringList{QStringLiteral("Álvarez, Ana"), QStringLiteral("Benítez, Luis")};
        QTest::newRow("socios, avisado desde")
            << QStringLiteral("Socios.rpt") << avisado << QStringList{QStringLiteral("Pérez, Juan")};
        QTest::newRow("socios, no avisado desde")
            << QStringLiteral("Socios.rpt") << noAvisado
            << QStringList{QStringLiteral("Álvarez, Ana"), QStringLiteral("Benítez, Luis"),
                           QStringLiteral("Núñez, Sol"), QStringLiteral("O'Brien, Kevin"),
                           QStringLiteral("Zapata, Cero")};
    }
    void avisadoONoAvisadoDesde() {
        QFETCH(QString, informe);
        QFETCH(QString, formula);
        QFETCH(QStringList, socios);
        const auto aviso = [](const QString &cuota, int socio, const QString &fecha, int resultado) {
            QVERIFY(Database::exec(
                QStringLiteral(
                    R"(INSERT INTO "Avisos" ("idCuota", "idAfiliado", "e-mail", "Fecha", "Resultado")
                                  SELECT "idCuota", "idAfiliado", 'x@club.org', ?, ? FROM "Cuotas"
                                  WHERE "idAfiliado" = ? AND "Factura" = ?)"),
                {fecha, resultado, socio, cuota}));
        };
        aviso(QStringLiteral("CUOTA MES 2"), perez, QStringLiteral("2009-03-02"), 1);   // sent
        aviso(QStringLiteral("CUOTA MES 1"), perez, QStringLiteral("2009-03-04"), 1);   // a paid due
        aviso(QStringLiteral("CUOTA MES 3"), alvarez, QStringLiteral("2009-03-03"), 2); // refused
        aviso(QStringLiteral("INSCRIPCION"), benitez, QStringLiteral("2009-02-25"), 3); // no verdict
        const Run r = run(informe, formula);
        QCOMPARE(r.error.message, QString());
        QCOMPARE(r.column(1), socios);
    }

    void emptySelectionSaysSoForEveryReport() {
        const QVector<QPair<QString, QString>> cases = {
            {QStringLiteral("Socios.rpt"), QStringLiteral("{Afiliados.idAfiliado} = 0")},
            {QStringLiteral("ctacuotas.rpt"), QStringLiteral("{cuotas.idAfiliado} = 999")},
            {QStringLiteral("cuotas.rpt"),
             QStringLiteral("{cuotas.idplan} = 1 and {cuotas.Año} = 2030 and {cuotas.Pagada} = False")},
            {QStringLiteral("recibo.rpt"), QStringLiteral("{ConsultaCuotas.IdCuota} = 999")},
            {QStringLiteral("caja.rpt"),
             QStringLiteral(
                 "{consultaCaja.Fecha} >= date(2009, 4, 5) and {consultaCaja.Fecha} <= date(2009, 3, 5)")},
            {QStringLiteral("resctas.rpt"), QStringLiteral("{ConsultaCaja.fecha} >= date(2010, 1, 1)")},
            {QStringLiteral("infDeuda.rpt"), QStringLiteral("{ConsultaDeuda.SumaDeMonto} > 1000000")},
        };
        for (const auto &c : cases) {
            const Run r = run(c.first, c.second);
            QCOMPARE(r.error.kind, ReportError::Kind::None);
            QCOMPARE(r.bands.size(), 1);
            QCOMPARE(r.bands.first().type, ReportBand::Type::Message);
            QVERIFY(!r.bands.first().text.isEmpty());
        }
    }

    void namesAndFormulasThatCannotBeRunAreReported() {
        Run r = run(QStringLiteral("listado.rpt"), QString());
        QCOMPARE(r.error.kind, ReportError::Kind::UnknownReport);
        QVERIFY(r.error.message.contains(QStringLiteral("listado.rpt")));
        QVERIFY(r.error.message.contains(QStringLiteral("Socios.rpt")));

        r = run(QStringLiteral("cuotas.rpt"), QStringLiteral("{cuotas.idAfiliado} = "));
        QCOMPARE(r.error.kind, ReportError::Kind::Formula);
        QVERIFY(r.error.message.contains(QStringLiteral("\"cuotas.rpt\"")));
        QVERIFY(r.error.message.contains(QStringLiteral("{cuotas.idAfiliado} = ")));

        // Letter case and a folder before the name do not matter.
        QCOMPARE(run(QStringLiteral("SOCIOS.RPT"), QString()).rows().size(), 6);
        QCOMPARE(run(QStringLiteral("C:/Mirabel/InfDeuda.rpt"), QString()).error.kind,
                 ReportError::Kind::None);
    }
};

MIRABEL_TEST_MAIN(tst_ReportData)
#include "tst_ReportData.moc"
