#include "cash/Tablero.h"
#include "db/Database.h"
#include "support/TestSupport.h"

#include <QSqlQuery>
#include <memory>

using namespace TestSupport;

// The dashboard's figures on a small club dated 5 March 2009, each beside the sum of the rows it stands for
// as the reports' views give them, and the figure worked out by hand.
class tst_Tablero : public QObject {
    Q_OBJECT

    std::unique_ptr<BaseTemporal> m_base;
    std::optional<Tablero::Cifras> m_c;

    static qint64 pesos(qint64 p) { return p * 10000; }

    static qint64 uno(const QString &sql, const QVariantList &params) {
        QSqlQuery q(Database::db());
        if (!Database::run(q, sql, params, QStringLiteral("prueba")) || !q.next())
            return -1;
        return q.value(0).toLongLong();
    }

    int mes(int anio, int m) const { return int(m_c->meses.indexOf(QDate(anio, m, 1))); }

    const Tablero::Cuenta &cuenta(const QString &nombre) const {
        for (const Tablero::Cuenta &k : m_c->cuentas)
            if (k.nombre == nombre)
                return k;
        static const Tablero::Cuenta ninguna;
        return ninguna;
    }

private slots:
    void initTestCase() {
        m_base = std::make_unique<BaseTemporal>(QDate(2009, 3, 5));
        const int p1 = nuevoPlan(QStringLiteral("Activo")), p2 = nuevoPlan(QStringLiteral("Cadete"));
        const int k1 = nuevaCategoria(QStringLiteral("Mayor")), k2 = nuevaCategoria(QStringLiteral("Menor"));
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Ana"), p1, k1);
        const int b = nuevoAfiliado(QStringLiteral("Sosa"), QStringLiteral("Luis"), p1, k2);
        const int c = nuevoAfiliado(QStringLiteral("Vera"), QStringLiteral("Juan"), p2);
        const int d = nuevoAfiliado(QStringLiteral("Rey"), QStringLiteral("Eva"), p2, k1);
        const int e = nuevoAfiliado(QStringLiteral("Gil"), QStringLiteral("Ema"), p1, k2);
        const QDate hoy(2009, 3, 5);
        // Unpaid dues at each age's edges (days before today).
        nuevaCuota(a, p1, hoy, pesos(100));
        nuevaCuota(a, p1, hoy.addDays(-30), pesos(200));
        nuevaCuota(b, p1, hoy.addDays(-31), pesos(300));
        nuevaCuota(e, p1, hoy.addDays(-45), pesos(50));
        nuevaCuota(b, p1, hoy.addDays(-60), pesos(400));
        nuevaCuota(c, p2, hoy.addDays(-61), pesos(500));
        nuevaCuota(c, p2, hoy.addDays(-90), pesos(600));
        nuevaCuota(a, p1, hoy.addDays(-91), pesos(700));
        // Not owed: paid, or not yet due.
        nuevaCuota(d, p2, hoy.addDays(-10), pesos(1000), true, hoy.addDays(-5));
        nuevaCuota(d, p2, hoy.addDays(1), pesos(800));

        QVERIFY(Database::exec(QStringLiteral(R"(INSERT INTO "Cuentas" ("Descripcion") VALUES ('Banco'))")));
        const int banco =
            int(uno(QStringLiteral(R"(SELECT "idCuenta" FROM "Cuentas" WHERE "Descripcion" = 'Banco')"), {}));
        nuevoMovimiento(QDate(2008, 1, 15), 1, QStringLiteral("antes"), pesos(1000), 0);
        nuevoMovimiento(QDate(2008, 4, 1), 1, QStringLiteral("primer mes"), pesos(200), pesos(50));
        nuevoMovimiento(QDate(2009, 2, 10), 9, QStringLiteral("cuenta borrada"), pesos(40), 0);
        nuevoMovimiento(QDate(2009, 3, 5), banco, QStringLiteral("hoy"), pesos(300), 0);
        nuevoMovimiento(QDate(2009, 3, 31), 1, QStringLiteral("fin de mes"), 0, pesos(100));
        nuevoMovimiento(QDate(2009, 4, 1), banco, QStringLiteral("después"), pesos(999), 0);

        // As the window reads them: on threads and connections of their own.
        const Expected<Tablero::Cifras> leidas = Tablero::calcularAparte(QStringLiteral("prueba"), hoy);
        QVERIFY2(leidas.ok(), qPrintable(leidas.message()));
        m_c = *leidas;
    }

    void cleanupTestCase() { m_base.reset(); }

    void figuresAreTheSumsOfTheirRows_data() {
        QTest::addColumn<qint64>("cifra");
        QTest::addColumn<qint64>("esperada");
        QTest::addColumn<QString>("sql"); // the same figure from the reports' views
        QTest::addColumn<QVariantList>("params");
        QVERIFY(m_c && m_c->deuda.size() == 4 && m_c->meses.size() == 12);
        const Tablero::Cifras &c = *m_c;
        const QString deuda =
            QStringLiteral(R"(FROM "ConsultaCuotas" WHERE "Pagada" = 0 AND "Vencimiento" >= ?
                                                AND "Vencimiento" <= ?)");
        const QString monto = QStringLiteral(R"(SELECT SUM("Monto") )") + deuda;
        const QString socios = QStringLiteral(R"(SELECT COUNT(DISTINCT "idAfiliado") )") + deuda;
        const QVariantList tramo[] = {{"2009-02-03", "2009-03-05"},
                                      {"2009-01-04", "2009-02-02"},
                                      {"2008-12-05", "2009-01-03"},
                                      {"1900-01-01", "2008-12-04"}};
        const qint64 montos[] = {300, 750, 1100, 700}, cuotas[] = {2, 3, 2, 1}, cuantos[] = {1, 2, 1, 1};
        for (int t = 0; t < 4; ++t) {
            QTest::addRow("deuda %d monto", t)
                << c.deuda[t].monto.units() << pesos(montos[t]) << monto << tramo[t];
            QTest::addRow("deuda %d cuotas", t) << qint64(c.deuda[t].cuotas) << cuotas[t]
                                                << QStringLiteral(R"(SELECT COUNT(*) )") + deuda << tramo[t];
            QTest::addRow("deuda %d socios", t)
                << qint64(c.deuda[t].socios) << cuantos[t] << socios << tramo[t];
        }
        QTest::newRow("deuda total") <<
            [&] {
                Money m;
                for (const Tablero::Tramo &t : c.deuda)
                    m += t.monto;
                return m.units();
            }() << pesos(2850) << QStringLiteral(R"(SELECT SUM("SumaDeMonto") FROM "ConsultaDeuda")")
                                     << QVariantList{};
        QTest::newRow("socios con deuda")
            << qint64(c.sociosConDeuda) << qint64(4)
            << QStringLiteral(R"(SELECT COUNT(*) FROM "ConsultaDeuda")") << QVariantList{};

        const QString ingresos = QStringLiteral(
            R"(SELECT SUM("Ingresos") FROM "ConsultaCaja" WHERE "Descripcion" = ? AND "Fecha" >= ?
                              AND "Fecha" <= ?)");
        const QString saldo = QStringLiteral(
            R"(SELECT SUM("Ingresos") - SUM("Egresos") FROM "ConsultaCaja" WHERE "idCuenta" = ? AND "Fecha" <= ?)");
        QTest::newRow("cobrado Caja abril 2008")
            << cuenta(QStringLiteral("Caja")).ingresos.value(mes(2008, 4)).units() << pesos(200) << ingresos
            << QVariantList{"Caja", "2008-04-01", "2008-04-30"};
        QTest::newRow("cobrado Banco marzo 2009")
            << cuenta(QStringLiteral("Banco")).ingresos.value(mes(2009, 3)).units() << pesos(300) << ingresos
            << QVariantList{"Banco", "2009-03-01", "2009-03-31"};
        QTest::newRow("cobrado cuenta borrada febrero 2009")
            << cuenta(QStringLiteral("(cuenta borrada)")).ingresos.value(mes(2009, 2)).units() << pesos(40)
            << QStringLiteral(R"(SELECT SUM("Ingresos") FROM "ConsultaCaja" WHERE "idCuenta" = 9)")
            << QVariantList{};
        QTest::newRow("saldo Caja fin de abril 2008")
            << cuenta(QStringLiteral("Caja")).saldo.value(mes(2008, 4)).units() << pesos(1150) << saldo
            << QVariantList{1, "2008-04-30"};
        QTest::newRow("saldo Caja fin de marzo 2009")
            << cuenta(QStringLiteral("Caja")).saldo.value(mes(2009, 3)).units() << pesos(1050) << saldo
            << QVariantList{1, "2009-03-31"};
        QTest::newRow("saldo Banco fin de febrero 2009")
            << cuenta(QStringLiteral("Banco")).saldo.value(mes(2009, 2)).units() << qint64(0)
            << QStringLiteral(R"(SELECT COALESCE(SUM("Ingresos"), 0) FROM "ConsultaCaja"
                                 WHERE "Descripcion" = ? AND "Fecha" <= ?)")
            << QVariantList{"Banco", "2009-02-28"};

        const QString cuotasDelMes = QStringLiteral(
            R"(SELECT SUM("Monto") FROM "ConsultaCuotas" WHERE "Vencimiento" >= ? AND "Vencimiento" <= ?)");
        QTest::newRow("cuotas de febrero 2009") << m_c->emitido.value(mes(2009, 2)).units() << pesos(1500)
                                                << cuotasDelMes << QVariantList{"2009-02-01", "2009-02-28"};
        QTest::newRow("cuotas de marzo 2009") << m_c->emitido.value(mes(2009, 3)).units() << pesos(900)
                                              << cuotasDelMes << QVariantList{"2009-03-01", "2009-03-31"};

        const Tablero::Tabla s = Tablero::tabla(c, Tablero::Socios);
        auto fila = [&](const QString &nombre) {
            for (const auto &f : s.filas)
                if (f.value(0).toString() == nombre)
                    return f.value(1).toLongLong();
            return qint64(-1);
        };
        const QString porPlan = QStringLiteral(
            R"(SELECT COUNT(*) FROM "Afiliados" a JOIN "Planes" p ON p."idPlan" = a."idPlan" WHERE p."Descripcion" = ?)");
        QTest::newRow("socios plan Activo")
            << fila(QStringLiteral("Activo")) << qint64(3) << porPlan << QVariantList{"Activo"};
        QTest::newRow("socios categoría Mayor")
            << fila(QStringLiteral("Mayor")) << qint64(2)
            << QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados" a JOIN "Categorias" k
                                 ON k."idCategoria" = a."idCategoria" WHERE k."Descripcion" = ?)")
            << QVariantList{"Mayor"};
        QTest::newRow("socios sin categoría")
            << fila(QStringLiteral("(sin categoría)")) << qint64(1)
            << QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados" WHERE "idCategoria" IS NULL)")
            << QVariantList{};
        QTest::newRow("socios total")
            << fila(QStringLiteral("Total")) << qint64(5)
            << QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")") << QVariantList{};
    }

    void figuresAreTheSumsOfTheirRows() {
        QFETCH(qint64, cifra);
        QFETCH(qint64, esperada);
        QFETCH(QString, sql);
        QFETCH(QVariantList, params);
        QCOMPARE(cifra, esperada);
        QCOMPARE(uno(sql, params), esperada);
    }

    // The readers again and again, as a refreshed dashboard runs them: each thread sorts names by the es
    // collation, which keeps a collator per thread, and ends. Under Windows a per-thread object freed out
    // of order at thread exit corrupted the heap here.
    void readersEndTheirThreadsCleanly() {
        for (int i = 0; i < 40; ++i) {
            const Expected<Tablero::Cifras> otra = Tablero::calcularAparte(QStringLiteral("otra"), m_c->hoy);
            QVERIFY2(otra.ok(), qPrintable(otra.message()));
            QCOMPARE(otra->cuentas.size(), m_c->cuentas.size());
        }
    }

    // The dashboard hidden while it reads asks its readers to stop: the reading ends as stopped, with no
    // figures to show (a half-read set would show wrong totals).
    void aStoppedReadingGivesNoFigures() {
        Tablero::Parada parada;
        parada.pedir();
        const Expected<Tablero::Cifras> leidas =
            Tablero::calcularAparte(QStringLiteral("parada"), m_c->hoy, &parada);
        QVERIFY(!leidas.ok());
        QCOMPARE(leidas.code(), Result::Code::Cancelled);
    }

    // The cash book's day totals, which the database keeps by triggers, after writes of every kind made
    // outside the program's routines: each must equal the sum of its day's movements.
    void dayTotalsFollowEveryWriteOfTheCashBook() {
        QStringList escrituras{
            R"(UPDATE "Caja" SET "Fecha" = '2009-01-20' WHERE "Detalles" = 'primer mes')",
            R"(UPDATE "Caja" SET "idCuenta" = NULL WHERE "Detalles" = 'hoy')",
            R"(UPDATE "Caja" SET "Ingresos" = "Ingresos" + 5, "Egresos" = 7 WHERE "Detalles" = 'fin de mes')",
            R"(UPDATE "Caja" SET "Fecha" = NULL WHERE "Detalles" = 'antes')",
            R"(DELETE FROM "Caja" WHERE "Detalles" = 'después')",
            R"(INSERT INTO "Caja" ("Fecha", "idCuenta", "Detalles", "Ingresos", "Egresos")
               VALUES ('2009-03-05', 1, 'otro', 1, 2), (NULL, 1, 'sin día', 3, 0))",
            R"(UPDATE "Caja" SET "Fecha" = '2009-03-05' WHERE "Detalles" = 'antes')"};
        // A server's TRUNCATE passes by row triggers (a file has none).
        if (enServidor())
            escrituras << R"(TRUNCATE "Caja")"
                       << R"(INSERT INTO "Caja" ("Fecha", "idCuenta", "Ingresos", "Egresos")
                             VALUES ('2009-03-06', 1, 10, 0))";
        QSqlQuery escribir(Database::db());
        for (const QString &sql : std::as_const(escrituras))
            QVERIFY2(escribir.exec(sql), qPrintable(sql));
        auto filas = [](const QString &sql) {
            QStringList out;
            QSqlQuery q(Database::db());
            q.setForwardOnly(true);
            if (!Database::run(q, sql, {}, QStringLiteral("prueba")))
                return QStringList{QStringLiteral("falla")};
            while (q.next())
                out << QStringLiteral("%1 %2 %3 %4")
                           .arg(q.value(0).toInt())
                           .arg(q.value(1).toDate().toString(Qt::ISODate))
                           .arg(q.value(2).toLongLong())
                           .arg(q.value(3).toLongLong());
            return out;
        };
        const QStringList sumas = filas(QStringLiteral(
            R"(SELECT COALESCE("idCuenta", 0), "Fecha", SUM("Ingresos"), SUM("Egresos") FROM "Caja"
               WHERE "Fecha" IS NOT NULL GROUP BY COALESCE("idCuenta", 0), "Fecha" ORDER BY 1, 2)"));
        QVERIFY(!sumas.isEmpty() && !sumas.contains(QStringLiteral("falla")));
        QCOMPARE(filas(QStringLiteral(R"(SELECT "idCuenta", "Fecha", "Ingresos", "Egresos" FROM "TotalesCaja"
                                          WHERE "Ingresos" <> 0 OR "Egresos" <> 0 ORDER BY 1, 2)")),
                 sumas);
    }
};

MIRABEL_TEST_MAIN(tst_Tablero)
#include "tst_Tablero.moc"
