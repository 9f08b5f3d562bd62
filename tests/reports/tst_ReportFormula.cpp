#include "db/Database.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportFormula.h"
#include "support/TestSupport.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

using namespace TestSupport;

// The selection formula: what it reads, what it refuses (with a reason a user can act on), and the
// values it binds. Which records a formula selects is checked against real data in tst_ReportData.
class tst_ReportFormula : public QObject {
    Q_OBJECT

    static const QVector<ReportField> &fields(const char *report) {
        return ReportCatalog::find(QString::fromLatin1(report))->fields;
    }

    static ReportFormula::Sql compile(const char *report, const QString &formula) {
        const auto sql = ReportFormula::parse(formula).toSql(fields(report));
        if (!sql)
            qWarning("%s", qPrintable(sql.message()));
        return sql ? *sql : ReportFormula::Sql{QStringLiteral("<error>"), {}};
    }

    static QString errorOf(const char *report, const QString &formula) {
        return ReportFormula::parse(formula).toSql(fields(report)).message();
    }

private slots:
    void readsEveryFormOfTheFormulasThatThePanelsBuild_data() {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QVariantList>("params");
        QTest::newRow("member list") << "Socios.rpt"
                                     << "{Afiliados.idAfiliado} <> 0" << QVariantList{0};
        QTest::newRow("statement") << "ctacuotas.rpt"
                                   << "{cuotas.idAfiliado} = 17" << QVariantList{17};
        QTest::newRow("individual issue")
            << "cuotas.rpt"
            << "{cuotas.idAfiliado} = 17 and {cuotas.idplan} = 3 and {cuotas.Pagada} = False"
            << QVariantList{17, 3};
        QTest::newRow("plan issue")
            << "cuotas.rpt"
            << "{cuotas.idplan} = 3 and {cuotas.Año} = 2009 and {cuotas.Pagada} = False"
            << QVariantList{3, 2009};
        QTest::newRow("receipt") << "recibo.rpt"
                                 << "{ConsultaCuotas.IdCuota} = 5" << QVariantList{5};
        QTest::newRow("cash")
            << "caja.rpt"
            << "{consultaCaja.Fecha} >= date(2009, 3, 5) and {consultaCaja.Fecha} <= date(2009, 4, 5)"
            << QVariantList{QStringLiteral("2009-03-05"), QStringLiteral("2009-04-06")};
        // A day runs up to the start of the next one, whatever time of day a stored value carries.
        QTest::newRow("one day") << "caja.rpt"
                                 << "{consultaCaja.Fecha} = date(2009, 12, 31)"
                                 << QVariantList{QStringLiteral("2009-12-31"), QStringLiteral("2010-01-01")};
        QTest::newRow("cash of one account")
            << "caja.rpt"
            << "{consultaCaja.Fecha} >= date(2009, 3, 5) and {consultaCaja.Fecha} <= date(2009, 4, 5) and "
               "{ConsultaCaja.Descripcion} = 'O''Higgins'"
            << QVariantList{QStringLiteral("2009-03-05"), QStringLiteral("2009-04-06"),
                            QStringLiteral("O'Higgins")};
        QTest::newRow("summary")
            << "resctas.rpt"
            << "{ConsultaCaja.fecha} >= date(2009, 3, 5) and {ConsultaCaja.fecha} <= date(2009, 4, 5)"
            << QVariantList{QStringLiteral("2009-03-05"), QStringLiteral("2009-04-06")};
        // Money is stored in ten-thousandths: a number beside an amount means currency units.
        QTest::newRow("debt") << "infDeuda.rpt"
                              << "{ConsultaDeuda.SumaDeMonto} <> 0" << QVariantList{0};
        QTest::newRow("amount with decimals")
            << "infDeuda.rpt"
            << "{ConsultaDeuda.SumaDeMonto} >= 12.5" << QVariantList{125000};
        QTest::newRow("value before field") << "infDeuda.rpt"
                                            << "100 <= {ConsultaDeuda.SumaDeMonto}" << QVariantList{1000000};
        QTest::newRow("double-quoted text") << "caja.rpt"
                                            << "{ConsultaCaja.Descripcion} = \"Caja \"\"chica\"\"\""
                                            << QVariantList{QStringLiteral("Caja \"chica\"")};
        QTest::newRow("or, not, parentheses")
            << "Socios.rpt"
            << "not ({Afiliados.idAfiliado} = 1 or {Afiliados.idAfiliado} = -2) and True"
            << QVariantList{1, -2};
        QTest::newRow("bare yes/no field") << "cuotas.rpt"
                                           << "{Cuotas.Pagada}" << QVariantList{};
        QTest::newRow("Jet's True is -1") << "cuotas.rpt"
                                          << "{Cuotas.Pagada} = -1" << QVariantList{};
        QTest::newRow("blank: every record") << "Socios.rpt"
                                             << "   " << QVariantList{};
    }
    void readsEveryFormOfTheFormulasThatThePanelsBuild() {
        QFETCH(QString, report);
        QFETCH(QString, formula);
        QFETCH(QVariantList, params);
        const ReportFormula f = ReportFormula::parse(formula);
        QVERIFY2(f.isValid(), qPrintable(f.error()));
        const auto sql = compile(report.toLatin1().constData(), formula);
        QVERIFY(sql.where != QLatin1String("<error>"));
        QCOMPARE(sql.params.size(), params.size());
        for (int i = 0; i < params.size(); ++i)
            QCOMPARE(sql.params.at(i).toString(), params.at(i).toString());
        // No part of the formula's text reaches the SQL: values are bound.
        QVERIFY(!sql.where.contains(QLatin1String("Higgins")));
        QVERIFY(!sql.where.contains(QLatin1String("2009")));
        QVERIFY(!sql.where.contains(QLatin1String("2010")));
    }

    void namesMatchWithoutRegardToLetterCase() {
        const auto a = compile("caja.rpt", QStringLiteral("{consultaCaja.Fecha} >= date(2009, 3, 5)"));
        const auto b = compile("caja.rpt", QStringLiteral("{CONSULTACAJA.fecha} >= DATE(2009, 3, 5)"));
        QCOMPARE(a.where, b.where);
        QCOMPARE(a.params, b.params);
        // Accented names too: Año and AÑO are the same field.
        QCOMPARE(compile("cuotas.rpt", QStringLiteral("{CUOTAS.AÑO} = 2009")).where,
                 compile("cuotas.rpt", QStringLiteral("{cuotas.Año} = 2009")).where);
        QCOMPARE(compile("cuotas.rpt", QStringLiteral("{cuotas.pagada} = false and TRUE")).where,
                 compile("cuotas.rpt", QStringLiteral("{Cuotas.Pagada} = False and True")).where);
    }

    void yesNoComparisonsFollowTheirMeaning() {
        // "= False" and "<> True" both select the unpaid; written on the stored column so its index serves.
        const QString unpaid = compile("cuotas.rpt", QStringLiteral("{cuotas.Pagada} = False")).where;
        QCOMPARE(compile("cuotas.rpt", QStringLiteral("{cuotas.Pagada} <> True")).where, unpaid);
        QCOMPARE(compile("cuotas.rpt", QStringLiteral("{cuotas.Pagada} = 0")).where, unpaid);
        QCOMPARE(
            compile("cuotas.rpt", QStringLiteral("not {cuotas.Pagada}")).where.contains(QLatin1String("NOT")),
            true);
        QVERIFY(unpaid.contains(QLatin1String("= 0")));
        QVERIFY(compile("cuotas.rpt", QStringLiteral("{cuotas.Pagada} = True"))
                    .where.contains(QLatin1String("<> 0")));
    }

    void brokenFormulasAreRefusedWithAReason_data() {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("hint"); // part of the message that tells the user what is wrong
        QTest::newRow("unclosed brace") << "Socios.rpt"
                                        << "{Afiliados.idAfiliado <> 0"
                                        << "'}'";
        QTest::newRow("no table") << "Socios.rpt"
                                  << "{idAfiliado} <> 0"
                                  << "{Tabla.Campo}";
        QTest::newRow("formula field") << "Socios.rpt"
                                       << "{@total} <> 0"
                                       << "{Tabla.Campo}";
        QTest::newRow("unclosed text") << "caja.rpt"
                                       << "{ConsultaCaja.Descripcion} = 'Caja"
                                       << "comilla";
        QTest::newRow("apostrophe not doubled") << "caja.rpt"
                                                << "{ConsultaCaja.Descripcion} = 'O'Higgins'"
                                                << "comilla";
        QTest::newRow("missing value") << "Socios.rpt"
                                       << "{Afiliados.idAfiliado} <>"
                                       << "final de la fórmula";
        QTest::newRow("dangling and") << "Socios.rpt"
                                      << "{Afiliados.idAfiliado} <> 0 and"
                                      << "final";
        QTest::newRow("two comparisons without and") << "Socios.rpt"
                                                     << "{Afiliados.idAfiliado} <> 0 1 = 1"
                                                     << "and / or";
        QTest::newRow("unknown word") << "Socios.rpt"
                                      << "{Afiliados.idAfiliado} <> cero"
                                      << "cero";
        QTest::newRow("bad character") << "Socios.rpt"
                                       << "{Afiliados.idAfiliado} <> 0 && 1"
                                       << "'&'";
        QTest::newRow("no such date") << "caja.rpt"
                                      << "{ConsultaCaja.Fecha} >= date(2009, 2, 30)"
                                      << "no existe";
        QTest::newRow("date without parts") << "caja.rpt"
                                            << "{ConsultaCaja.Fecha} >= date(2009, 3)"
                                            << "después del mes";
        QTest::newRow("unclosed parenthesis") << "Socios.rpt"
                                              << "({Afiliados.idAfiliado} <> 0"
                                              << "')'";
        QTest::newRow("unknown table") << "Socios.rpt"
                                       << "{Cuotas.idCuota} = 1"
                                       << "'Cuotas'";
        QTest::newRow("unknown field") << "Socios.rpt"
                                       << "{Afiliados.Apodo} = 'x'"
                                       << "{Afiliados.Apodo}";
        QTest::newRow("text against number") << "Socios.rpt"
                                             << "{Afiliados.idAfiliado} = '5'"
                                             << "no se puede comparar";
        QTest::newRow("date against text") << "caja.rpt"
                                           << "{ConsultaCaja.Fecha} >= '2009-03-05'"
                                           << "date(año";
        QTest::newRow("order on yes/no") << "cuotas.rpt"
                                         << "{cuotas.Pagada} >= True"
                                         << "= o <>";
        QTest::newRow("field needs comparison") << "Socios.rpt"
                                                << "{Afiliados.Apellido}"
                                                << "comparación";
        QTest::newRow("too many decimals") << "infDeuda.rpt"
                                           << "{ConsultaDeuda.SumaDeMonto} > 0.00001"
                                           << "decimales";
        QTest::newRow("no field at all") << "Socios.rpt"
                                         << "1 = 1"
                                         << "ningún campo";
    }
    void brokenFormulasAreRefusedWithAReason() {
        QFETCH(QString, report);
        QFETCH(QString, formula);
        QFETCH(QString, hint);
        const QString error = errorOf(report.toLatin1().constData(), formula);
        QVERIFY2(!error.isEmpty(), qPrintable(formula));
        QVERIFY2(error.contains(hint), qPrintable(error));
    }

    void syntaxErrorsSayWhere() {
        const ReportFormula f = ReportFormula::parse(QStringLiteral("{Afiliados.idAfiliado} <> 0 and )"));
        QVERIFY(!f.isValid());
        QVERIFY2(f.error().contains(QStringLiteral("posición 33")), qPrintable(f.error()));
    }

    void hostileInputNeverCrashes() {
        // Deep nesting is refused, not recursed into until the stack runs out.
        QVERIFY(!ReportFormula::parse(QString(100000, QLatin1Char('('))).isValid());
        QVERIFY(!ReportFormula::parse(QString(5000, QLatin1Char('('))).isValid());
        QVERIFY(
            !ReportFormula::parse(QStringLiteral("not ").repeated(5000) + QStringLiteral("True")).isValid());
        QVERIFY(!ReportFormula::parse(QStringLiteral("{Afiliados.idAfiliado} = 99999999999999999999999"))
                     .toSql(fields("Socios.rpt")));

        // Every cut of a full formula, and random damage to it, either reads or says why.
        const QString full =
            QStringLiteral("{consultaCaja.Fecha} >= date(2009, 3, 5) and ({ConsultaCaja.fecha} <= "
                           "date(2009, 4, 5) or not {ConsultaCaja.Descripcion} = 'O''Higgins')");
        for (int i = 0; i <= full.size(); ++i) {
            const ReportFormula f = ReportFormula::parse(full.left(i));
            if (const auto sql = f.toSql(fields("caja.rpt")); !sql)
                QVERIFY2(!sql.message().isEmpty(), qPrintable(full.left(i)));
        }
        QRandomGenerator rng(20090305);
        const QString alphabet = QStringLiteral("{}().,'\"<>=- 0123456789aAnNdDoOrRtTfF_éÑ\t\n");
        for (int round = 0; round < 3000; ++round) {
            QString s = full;
            const int edits = 1 + int(rng.bounded(6));
            for (int e = 0; e < edits; ++e) {
                const int at = int(rng.bounded(s.size() + 1));
                switch (rng.bounded(3)) {
                case 0:
                    s.insert(at, alphabet.at(int(rng.bounded(alphabet.size()))));
                    break;
                case 1:
                    if (at < s.size())
                        s.remove(at, 1);
                    break;
                default:
                    if (at < s.size())
                        s[at] = alphabet.at(int(rng.bounded(alphabet.size())));
                }
            }
            if (const auto sql = ReportFormula::parse(s).toSql(fields("caja.rpt")); !sql)
                QVERIFY2(!sql.message().isEmpty(), qPrintable(s));
        }
    }

    void quotingHelpersBuildFormulasThatReadBack() {
        for (const QString &name :
             {QStringLiteral("O'Higgins"), QStringLiteral("''"), QStringLiteral("Caja 'chica' y más"),
              QStringLiteral("Ñandú \"grande\""), QString()}) {
            const QString formula =
                QStringLiteral("{ConsultaCaja.Descripcion} = ") + ReportFormula::textLiteral(name);
            const auto sql = compile("caja.rpt", formula);
            QCOMPARE(sql.params.size(), 1);
            QCOMPARE(sql.params.first().toString(), name);
        }
        QCOMPARE(ReportFormula::textLiteral(QStringLiteral("O'Higgins")), QStringLiteral("'O''Higgins'"));
        QCOMPARE(ReportFormula::dateTerm(QDate(2009, 3, 5)), QStringLiteral("date(2009, 3, 5)"));
        QCOMPARE(ReportFormula::dateTerm(QDate(2009, 12, 31)), QStringLiteral("date(2009, 12, 31)"));
    }

    void describesTheSelectionInWords() {
        const QVector<ReportField> &cash = fields("caja.rpt");
        QCOMPARE(ReportFormula::parse(QStringLiteral("{consultaCaja.Fecha} >= date(2009, 3, 5) and "
                                                     "{consultaCaja.Fecha} <= date(2009, 4, 5) and "
                                                     "{ConsultaCaja.Descripcion} = 'O''Higgins'"))
                     .describe(cash),
                 QStringLiteral("Fecha: del 05/03/2009 al 05/04/2009 · Cuenta: O'Higgins"));
        // Record keys say nothing to a reader.
        QCOMPARE(ReportFormula::parse(QStringLiteral("{Afiliados.idAfiliado} <> 0"))
                     .describe(fields("Socios.rpt")),
                 QString());
        QCOMPARE(ReportFormula::parse(QStringLiteral("{cuotas.idplan} = 3 and {cuotas.Año} = 2009 and "
                                                     "{cuotas.Pagada} = False"))
                     .describe(fields("cuotas.rpt")),
                 QStringLiteral("Año: 2009 · Pagada: No"));
    }

    void everyFieldOfEveryReportIsReallyInItsSource() {
        // A field the catalogue offers must exist in the report's SQL: compile a comparison on each and run
        // it.
        TestSupport::BaseTemporal db;
        for (const ReportDefinition &def : ReportCatalog::all()) {
            for (const ReportField &f : def.fields) {
                QString value;
                switch (f.kind) {
                case ReportFieldKind::Text:
                    value = QStringLiteral("'x'");
                    break;
                case ReportFieldKind::Date:
                    value = QStringLiteral("date(2009, 3, 5)");
                    break;
                case ReportFieldKind::YesNo:
                    value = QStringLiteral("True");
                    break;
                default:
                    value = QStringLiteral("1");
                }
                const QString formula = QStringLiteral("{%1.%2} = %3").arg(f.table, f.field, value);
                const auto sql = ReportFormula::parse(formula).toSql(def.fields);
                QVERIFY2(sql, qPrintable(sql.message()));
                QSqlQuery q(Database::db());
                QVERIFY(q.prepare(def.select + QStringLiteral(" WHERE ") + sql->where + QLatin1Char(' ') +
                                  def.tail));
                for (const QVariant &v : sql->params)
                    q.addBindValue(v);
                QVERIFY2(q.exec(), qPrintable(def.fileName + QLatin1Char(' ') + formula));
            }
        }
    }

    void longChainsAndRunsOfNotReachTheEngine() {
        // 90 conditions joined by 'or' and a run of 99 'not' once overflowed the engine's parser; the
        // SQL is now flat and keeps one NOT at most.
        BaseTemporal base;
        const int plan = nuevoPlan(QStringLiteral("General"));
        const int a = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Juan"), plan);
        const int b = nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Ana"), plan);
        nuevaCuota(a, plan, QDate(2009, 1, 10), 250000);
        nuevaCuota(b, plan, QDate(2009, 1, 10), 250000);
        nuevaCuota(b, plan, QDate(2009, 2, 10), 0);
        QStringList ors;
        for (int i = 0; i < 90; ++i)
            ors << QStringLiteral("{cuotas.idAfiliado} = %1").arg(i == 45 ? b : 1000 + i);
        QStringList ands;
        for (int i = 0; i < ReportFormula::MaxConditions; ++i)
            ands << QStringLiteral("{cuotas.idAfiliado} <> %1").arg(1000 + i);
        const QString nots99 =
            QStringLiteral("not ").repeated(99) + QStringLiteral("({cuotas.idAfiliado} = %1)").arg(a);
        const QString nots98 =
            QStringLiteral("not ").repeated(98) + QStringLiteral("({cuotas.idAfiliado} = %1)").arg(a);
        QString nested = QStringLiteral("{cuotas.idAfiliado} > 0");
        for (int i = 0; i < ReportFormula::MaxNesting; ++i)
            nested = QStringLiteral("({cuotas.idAfiliado} <> %1 %2 %3)")
                         .arg(1000 + i)
                         .arg(i % 2 ? QStringLiteral("or") : QStringLiteral("and"), nested);
        const QVector<QPair<QString, int>> casos = {{ors.join(QStringLiteral(" or ")), 2},
                                                    {ands.join(QStringLiteral(" and ")), 3},
                                                    {nots99, 2},
                                                    {nots98, 1},
                                                    {nested, 3}};
        for (const auto &[formula, esperadas] : casos) {
            const auto sql = ReportFormula::parse(formula).toSql(fields("cuotas.rpt"));
            QVERIFY2(sql, qPrintable(formula.left(80)));
            QVERIFY(!sql->where.contains(QStringLiteral("NOT (NOT")));
            QSqlQuery q(Database::db());
            QVERIFY(q.prepare(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" c WHERE )") + sql->where));
            for (const QVariant &p : sql->params)
                q.addBindValue(p);
            QVERIFY2(q.exec() && q.next(), qPrintable(q.lastError().text()));
            QCOMPARE(q.value(0).toInt(), esperadas);
        }
    }

    void formulasBeyondTheDocumentedSizeAreFormulaErrors() {
        QStringList ors;
        for (int i = 0; i <= ReportFormula::MaxConditions; ++i)
            ors << QStringLiteral("{cuotas.idAfiliado} = %1").arg(i);
        QVERIFY(errorOf("cuotas.rpt", ors.join(QStringLiteral(" or ")))
                    .contains(QStringLiteral("más de %1 condiciones").arg(ReportFormula::MaxConditions)));
        QString nested = QStringLiteral("{cuotas.idAfiliado} > 0");
        for (int i = 0; i <= ReportFormula::MaxNesting; ++i)
            nested = QStringLiteral("(%1)").arg(nested);
        QVERIFY(
            errorOf("cuotas.rpt", nested)
                .contains(QStringLiteral("más de %1 niveles de paréntesis").arg(ReportFormula::MaxNesting)));
    }

    void onlyAsciiDigitsAreNumbers() {
        // Arabic-Indic five: once read silently as zero.
        for (const QString &f :
             {QString::fromUtf8("{Cuotas.Monto} > \u0665"), QString::fromUtf8("{Cuotas.Monto} > 1\u0665"),
              QString::fromUtf8("{cuotas.idAfiliado} = \u0663"),
              QString::fromUtf8("{cuotas.idAfiliado} = \uff13")}) {
            const QString error = errorOf("cuotas.rpt", f);
            QVERIFY2(!error.isEmpty(), qPrintable(f));
        }
        QCOMPARE(compile("cuotas.rpt", QStringLiteral("{Cuotas.Monto} > 5")).params, QVariantList{50000LL});
    }
};

MIRABEL_TEST_MAIN(tst_ReportFormula)
#include "tst_ReportFormula.moc"
