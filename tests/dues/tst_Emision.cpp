#include "db/Database.h"
#include "db/Transaction.h"
#include "dues/Emision.h"
#include "support/Puestos.h"
#include "support/TestSupport.h"

#include <QSqlQuery>

using namespace TestSupport;
using Estado = Emision::Resultado::Estado;

namespace {

struct Fila {
    QString vencimiento;
    QString factura;
    int mes;
    int anio;
    qint64 monto;
};

QVector<Fila> cuotasDe(int idAfiliado) {
    QVector<Fila> out;
    QSqlQuery q(Database::db());
    q.prepare(QStringLiteral(R"(SELECT "Vencimiento", "Factura", "Mes", "Año", "Monto", "Pagada"
                                FROM "Cuotas" WHERE "idAfiliado" = ? ORDER BY "idCuota")"));
    q.addBindValue(idAfiliado);
    q.exec();
    while (q.next()) {
        // The year is stored as a whole number (not text) and every new due is unpaid.
        const int tipo = q.value(3).metaType().id();
        if ((tipo != QMetaType::LongLong && tipo != QMetaType::Int) || q.value(5).toInt() != 0)
            return {};
        out.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toInt(), q.value(3).toInt(),
                       q.value(4).toLongLong()});
    }
    return out;
}

Emision::Individual individual(int idAfiliado, int idPlan, const QDate &inicio) {
    Emision::Individual e;
    e.tag = QString::number(idAfiliado);
    e.noPlan = QString::number(idPlan);
    e.anio = QStringLiteral("2009");
    e.dia = QStringLiteral("10");
    e.primerVencimiento = inicio;
    e.inscripcion = true;
    e.fechaInscripcion = QDate(2009, 3, 5);
    return e;
}

Emision::Grupal grupal(int idPlan, const QVector<qint64> &socios, const QDate &inicio) {
    Emision::Grupal e;
    e.noPlan = QString::number(idPlan);
    e.mes = QStringLiteral("11");
    e.anio = QStringLiteral("2008");
    e.afiliados = socios;
    e.primerVencimiento = inicio;
    e.inscripcion = true;
    e.fechaInscripcion = QDate(2008, 11, 1);
    return e;
}

int cuotas() {
    return contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas")"));
}

} // namespace

class tst_Emision : public QObject {
    Q_OBJECT
private slots:
    void individualChecksInOrder() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 250000, 2);
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        auto con = [&](auto cambiar) {
            auto e = individual(a, p, QDate(2009, 1, 10));
            cambiar(e);
            return Emision::emitirIndividual(e);
        };
        QCOMPARE(con([](auto &e) { e.noPlan = QStringLiteral("99"); }).mensaje,
                 QStringLiteral("Plan no localizado !"));
        // The plan is checked before the member.
        QCOMPARE(con([](auto &e) {
                     e.noPlan = QString();
                     e.tag = QStringLiteral("99");
                 }).mensaje,
                 QStringLiteral("Plan no localizado !"));
        QCOMPARE(con([](auto &e) { e.tag = QStringLiteral("99"); }).mensaje,
                 QStringLiteral("Socio no localizado !"));
        const QString anio = QStringLiteral("Año de emisión inválido !");
        const QString dia = QStringLiteral("Dia de vencimiento inválido !");
        for (const char *t : {"1994", "abc", "", "1994,4", "40000"})
            QCOMPARE(con([t](auto &e) { e.anio = QString::fromLatin1(t); }).mensaje, anio);
        // The year is checked before the day.
        QCOMPARE(con([](auto &e) {
                     e.anio = QStringLiteral("1994");
                     e.dia = QStringLiteral("0");
                 }).mensaje,
                 anio);
        for (const char *t : {"0", "31", "x", "-1", "30,6"})
            QCOMPARE(con([t](auto &e) { e.dia = QString::fromLatin1(t); }).mensaje, dia);
        QCOMPARE(cuotas(), 0);
        // 1995, day 1 and day 30 pass; "1994,6" rounds to 1995.
        QVERIFY(con([](auto &e) {
                    e.anio = QStringLiteral("1995");
                    e.dia = QStringLiteral("1");
                }).ok());
        QVERIFY(con([](auto &e) {
                    e.anio = QStringLiteral("1994,6");
                    e.dia = QStringLiteral("30");
                    e.inscripcion = false;
                }).ok());
        // The second run falls due in the same months as the first: nothing new.
        const auto filas = cuotasDe(a);
        QCOMPARE(filas.size(), 3);
        QCOMPARE(filas.at(0).factura, QStringLiteral("INSCRIPCION"));
        QCOMPARE(filas.at(0).anio, 1995);
        QCOMPARE(filas.at(1).anio, 2009);
    }

    void individualSeriesFollowsCalendarMonths() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Largo"), 250000, 14, 1000000);
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        auto e = individual(a, p, QDate(2008, 11, 15));
        e.anio = QStringLiteral("2008");
        // A series of more than twelve dues still has one due per month.
        const auto r = Emision::emitirIndividual(e);
        QVERIFY(r.ok());
        QVERIFY(r.avisos.isEmpty());
        QCOMPARE(r.agregadas, 15);
        const auto f = cuotasDe(a);
        QCOMPARE(f.size(), 15);
        QCOMPARE(f.at(0).factura, QStringLiteral("INSCRIPCION"));
        QCOMPARE(f.at(0).mes, 0);
        QCOMPARE(f.at(0).anio, 2008);
        QCOMPARE(f.at(0).vencimiento, QStringLiteral("2009-03-05"));
        QCOMPARE(f.at(0).monto, 1000000);
        QCOMPARE(f.at(1).factura, QStringLiteral("CUOTA MES 1"));
        QCOMPARE(f.at(1).vencimiento, QStringLiteral("2008-11-15"));
        QCOMPARE(f.at(14).factura, QStringLiteral("CUOTA MES 14"));
        QCOMPARE(f.at(14).vencimiento, QStringLiteral("2009-12-15"));
        QCOMPARE(f.at(3).mes, 1);
        QCOMPARE(f.at(3).anio, 2009);
        QCOMPARE(f.at(14).monto, 250000);

        // 31 January: the 28th (29th in a leap year) from February on, and it stays there.
        const int b = nuevoAfiliado(QStringLiteral("Sosa"), QStringLiteral("Ana"), p);
        auto e2 = individual(b, p, QDate(2009, 1, 31));
        e2.inscripcion = false;
        QVERIFY(Emision::emitirIndividual(e2).ok());
        const auto g = cuotasDe(b);
        QCOMPARE(g.size(), 14);
        QCOMPARE(g.at(0).vencimiento, QStringLiteral("2009-01-31"));
        QCOMPARE(g.at(1).vencimiento, QStringLiteral("2009-02-28"));
        QCOMPARE(g.at(2).vencimiento, QStringLiteral("2009-03-28"));
        QCOMPARE(g.at(13).vencimiento, QStringLiteral("2010-02-28"));
        const int c = nuevoAfiliado(QStringLiteral("Vega"), QStringLiteral("Luz"), p);
        auto e3 = individual(c, p, QDate(2008, 1, 31));
        e3.anio = QStringLiteral("2008");
        e3.inscripcion = false;
        QVERIFY(Emision::emitirIndividual(e3).ok());
        const auto h = cuotasDe(c);
        QCOMPARE(h.size(), 14);
        QCOMPARE(h.at(1).vencimiento, QStringLiteral("2008-02-29"));
        QCOMPARE(h.at(2).vencimiento, QStringLiteral("2008-03-29"));
    }

    void individualRerunWritesNothingAndTellsEachDue() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 250000, 3, 500000);
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        QVERIFY(Emision::emitirIndividual(individual(a, p, QDate(2009, 1, 10))).ok());
        QCOMPARE(cuotas(), 4);
        const auto r = Emision::emitirIndividual(individual(a, p, QDate(2009, 1, 10)));
        QVERIFY(r.ok());
        QCOMPARE(r.agregadas, 0);
        QCOMPARE(r.avisos,
                 QStringList({QStringLiteral("La inscripción a este Socio ya ha sido emitida."),
                              QStringLiteral("La cuota del mes 1 a este Socio ya ha sido emitida."),
                              QStringLiteral("La cuota del mes 2 a este Socio ya ha sido emitida."),
                              QStringLiteral("La cuota del mes 3 a este Socio ya ha sido emitida.")}));
        QCOMPARE(cuotas(), 4);
        // Without the inscription nothing asks for one; another year issues afresh.
        auto otra = individual(a, p, QDate(2010, 1, 10));
        otra.anio = QStringLiteral("2010");
        otra.inscripcion = false;
        QCOMPARE(Emision::emitirIndividual(otra).agregadas, 3);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "Factura" = 'INSCRIPCION')")),
                 1);
        // A plan of no dues issues only the inscription.
        const int cero = nuevoPlan(QStringLiteral("Cero"), 250000, 0, 300000);
        const int b = nuevoAfiliado(QStringLiteral("Ruiz"), QStringLiteral("Leo"), cero);
        const auto r0 = Emision::emitirIndividual(individual(b, cero, QDate(2009, 1, 10)));
        QCOMPARE(r0.agregadas, 1);
        const auto soloInscripcion = cuotasDe(b);
        QCOMPARE(soloInscripcion.size(), 1);
        QCOMPARE(soloInscripcion.at(0).factura, QStringLiteral("INSCRIPCION"));
    }

    // A member has one monthly due of a plan per month of due date, whichever window issued it and
    // whatever its invoice says; a due of another plan is another matter. The series starts in March, so
    // its months are not its ordinals.
    void aMonthIsIssuedOnce_data() {
        QTest::addColumn<bool>("primeraIndividual");
        QTest::addColumn<bool>("segundaIndividual");
        QTest::addColumn<bool>("mismoPlan");
        QTest::newRow("individual otra vez") << true << true << true;
        QTest::newRow("plan tras individual") << true << false << true;
        QTest::newRow("individual tras plan") << false << true << true;
        QTest::newRow("otro plan") << true << false << false;
    }
    void aMonthIsIssuedOnce() {
        QFETCH(bool, primeraIndividual);
        QFETCH(bool, segundaIndividual);
        QFETCH(bool, mismoPlan);
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 250000, 12, 500000);
        const int otro = nuevoPlan(QStringLiteral("Otro"), 250000, 12, 500000);
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        const QDate inicio(2009, 3, 15);
        auto emitir = [&](bool esIndividual, int plan) {
            if (esIndividual)
                return Emision::emitirIndividual(individual(a, plan, inicio));
            auto g = grupal(plan, {a}, inicio);
            g.mes = QStringLiteral("3");
            g.anio = QStringLiteral("2009");
            return Emision::emitirGrupal(g);
        };
        QCOMPARE(emitir(primeraIndividual, mismoPlan ? p : otro).agregadas, 13);
        const auto r = emitir(segundaIndividual, p);
        QVERIFY(r.ok());
        QCOMPARE(r.agregadas, mismoPlan ? 0 : 13);
        QCOMPARE(cuotas(), 13 + r.agregadas);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "Factura" = 'INSCRIPCION')")),
                 mismoPlan ? 1 : 2);
        if (segundaIndividual && mismoPlan) {
            QCOMPARE(r.avisos.size(), 13);
            QCOMPARE(r.avisos.at(12), QStringLiteral("La cuota del mes 12 a este Socio ya ha sido emitida."));
        }
    }

    // A re-issue gives the unpaid dues it finds the new amount and leaves a paid one as it is, counting it.
    // The same first due date in a run of another year finds the same dues; the next year's dates are a
    // series of their own, which leaves last year's alone.
    void aPaidDueKeepsItsAmount_data() {
        QTest::addColumn<QString>("anio");
        QTest::addColumn<QDate>("inicio");
        QTest::addColumn<int>("agregadas");
        QTest::addColumn<int>("actualizadas");
        QTest::addColumn<int>("pagadas");
        QTest::newRow("otra vez") << QStringLiteral("2009") << QDate(2009, 1, 15) << 0 << 23 << 1;
        QTest::newRow("otro año, la misma fecha")
            << QStringLiteral("2010") << QDate(2009, 1, 15) << 2 << 23 << 1;
        QTest::newRow("el año siguiente") << QStringLiteral("2010") << QDate(2010, 1, 15) << 26 << 0 << 0;
    }
    void aPaidDueKeepsItsAmount() {
        QFETCH(QString, anio);
        QFETCH(QDate, inicio);
        QFETCH(int, agregadas);
        QFETCH(int, actualizadas);
        QFETCH(int, pagadas);
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 150000, 12, 500000);
        const qint64 a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        const qint64 b = nuevoAfiliado(QStringLiteral("Sosa"), QStringLiteral("Ana"), p);
        auto e = grupal(p, {a, b}, QDate(2009, 1, 15));
        e.mes = QStringLiteral("1");
        e.anio = QStringLiteral("2009");
        QCOMPARE(Emision::emitirGrupal(e).agregadas, 26);
        QVERIFY(
            Database::exec(QStringLiteral(R"(UPDATE "Cuotas" SET "Pagada" = 1, "Fecha de Pago" = '2009-03-20'
                                                 WHERE "idAfiliado" = ? AND "Vencimiento" = '2009-03-15')"),
                           {a}));

        e.anio = anio;
        e.primerVencimiento = inicio;
        e.montos = QVector<Money>(12, Money::fromUnits(160000));
        const auto r = Emision::emitirGrupal(e);
        QVERIFY(r.ok());
        QCOMPARE(r.agregadas, agregadas);
        QCOMPARE(r.actualizadas, actualizadas);
        QCOMPARE(r.pagadasSinCambio, pagadas);
        QCOMPARE(contar(QStringLiteral(R"(SELECT "Monto" FROM "Cuotas" WHERE "Pagada" = 1)")), 150000);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "Vencimiento" < '2010-01-01'
                                          AND "Mes" <> 0 AND "Monto" = 160000)")),
                 actualizadas);
        QCOMPARE(cuotas(), 26 + agregadas);
    }

    void aRefusedWriteKeepsNothingOfTheRun() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 250000, 6, 500000);
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        const int b = nuevoAfiliado(QStringLiteral("Sosa"), QStringLiteral("Ana"), p);
        QVERIFY(crearFalla(
            QStringLiteral("falla"), QStringLiteral("BEFORE INSERT"), QStringLiteral("Cuotas"),
            QStringLiteral("disco lleno"),
            QStringLiteral(R"(NEW."Factura" IN ('CUOTA MES 4', 'MES 4 AÑO 2009') AND NEW."idAfiliado" = %1)")
                .arg(b)));
        auto e = individual(b, p, QDate(2009, 1, 10));
        const auto r = Emision::emitirIndividual(e);
        QCOMPARE(r.estado, Estado::Fallo);
        QVERIFY2(r.mensaje.contains(QStringLiteral("disco lleno")), qPrintable(r.mensaje));
        QCOMPARE(cuotas(), 0);
        // The plan-wide run: the first member's dues go too.
        auto g = grupal(p, {a, b}, QDate(2009, 1, 10));
        g.anio = QStringLiteral("2009");
        QCOMPARE(Emision::emitirGrupal(g).estado, Estado::Fallo);
        QCOMPARE(cuotas(), 0);
    }

    void planWideSeriesKeepsTheRunsYear() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Cuatrimestre"), 250000, 4, 800000);
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        const int b = nuevoAfiliado(QStringLiteral("Sosa"), QStringLiteral("Ana"), p);
        auto e = grupal(p, {a, b}, QDate(2008, 11, 15));
        e.montos = {Money::fromWhole(10), Money::fromWhole(20), Money::fromWhole(30), Money::fromWhole(40)};
        const auto r = Emision::emitirGrupal(e);
        QVERIFY(r.ok());
        QCOMPARE(r.agregadas, 10);
        const auto f = cuotasDe(b);
        QCOMPARE(f.size(), 5);
        QCOMPARE(f.at(0).factura, QStringLiteral("INSCRIPCION"));
        QCOMPARE(f.at(0).monto, 800000);
        const QStringList facturas = {"MES 11 AÑO 2008", "MES 12 AÑO 2008", "MES 1 AÑO 2009",
                                      "MES 2 AÑO 2009"};
        const int meses[] = {11, 12, 1, 2};
        for (int n = 0; n < 4; ++n) {
            QCOMPARE(f.at(n + 1).factura, facturas.at(n));
            QCOMPARE(f.at(n + 1).mes, meses[n]);
            QCOMPARE(f.at(n + 1).anio, 2008);
            QCOMPARE(f.at(n + 1).monto, (n + 1) * 10 * Money::Scale);
        }
        QCOMPARE(f.at(4).vencimiento, QStringLiteral("2009-02-15"));

        // Again with amount 3 changed: only due 3 of each member changes, nothing is added, no inscription
        // twice.
        e.montos[2] = Money::fromWhole(99);
        const auto r2 = Emision::emitirGrupal(e);
        QVERIFY(r2.ok());
        QCOMPARE(r2.agregadas, 0);
        QCOMPARE(r2.actualizadas, 8);
        QVERIFY(r2.avisos.isEmpty());
        QCOMPARE(cuotas(), 10);
        for (int s : {a, b}) {
            const auto g = cuotasDe(s);
            QCOMPARE(g.at(3).monto, 99 * Money::Scale);
            QCOMPARE(g.at(2).monto, 20 * Money::Scale);
            QCOMPARE(g.at(4).monto, 40 * Money::Scale);
        }
        // A plan of no dues writes the inscriptions only; no member selected writes nothing but succeeds.
        const int cero = nuevoPlan(QStringLiteral("Cero"), 250000, 0, 300000);
        QCOMPARE(Emision::emitirGrupal(grupal(cero, {a}, QDate(2008, 11, 15))).agregadas, 1);
        const auto vacia = Emision::emitirGrupal(grupal(p, {}, QDate(2008, 11, 15)));
        QVERIFY(vacia.ok());
        QCOMPARE(cuotas(), 11);
    }

    void planWideMemberGoneOrCancelUndoesTheRun() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 250000, 12, 500000);
        QVector<qint64> socios;
        for (int i = 0; i < 5; ++i)
            socios << nuevoAfiliado(QStringLiteral("S%1").arg(i), QStringLiteral("X"), p);
        QVERIFY_HECHO(Database::exec(QStringLiteral(R"(DELETE FROM "Afiliados" WHERE "idAfiliado" = ?)"),
                                     {socios.at(3)}));
        const auto r = Emision::emitirGrupal(grupal(p, socios, QDate(2009, 1, 10)));
        QCOMPARE(r.estado, Estado::Fallo);
        QCOMPARE(r.mensaje, QStringLiteral("Socio no localizado !"));
        QCOMPARE(cuotas(), 0);

        socios.remove(3);
        QList<QPair<int, int>> pasos;
        const auto c =
            Emision::emitirGrupal(grupal(p, socios, QDate(2009, 1, 10)), [&](int hechos, int total) {
                pasos << qMakePair(hechos, total);
                return hechos < 2;
            });
        QCOMPARE(c.estado, Estado::Cancelado);
        QCOMPARE(pasos, (QList<QPair<int, int>>{{0, 4}, {1, 4}, {2, 4}}));
        QCOMPARE(cuotas(), 0);
        QVERIFY(Emision::emitirGrupal(grupal(p, socios, QDate(2009, 1, 10))).ok());
        QCOMPARE(cuotas(), 4 * 13);
    }

    // Many members are read and written in groups: a run longer than a group, with members listed twice
    // (inside a group and across groups), writes each member's dues once, in order, with the member's key.
    void planWideRunOverManyMembersAndRepeats() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 250000, 12, 500000);
        QVector<qint64> socios;
        {
            Transaction t;
            for (int i = 0; i < 300; ++i)
                socios << nuevoAfiliado(QStringLiteral("Socio%1").arg(i, 3, 10, QLatin1Char('0')),
                                        QStringLiteral("X"), p);
            QVERIFY(t.commit());
        }
        QVector<qint64> lista = socios;
        lista.insert(5, socios.at(2));
        lista.push_back(socios.at(150));
        const auto r = Emision::emitirGrupal(grupal(p, lista, QDate(2009, 1, 10)));
        QVERIFY(r.ok());
        QCOMPARE(r.agregadas, 300 * 13);
        QCOMPARE(r.actualizadas, 2 * 12);
        QCOMPARE(cuotas(), 300 * 13);
        for (qint64 s : {socios.at(2), socios.at(150), socios.last()}) {
            const auto f = cuotasDe(int(s));
            QCOMPARE(f.size(), 13);
            QCOMPARE(f.at(0).factura, QStringLiteral("INSCRIPCION"));
            QCOMPARE(f.at(1).factura, QStringLiteral("MES 1 AÑO 2009"));
            QCOMPARE(f.at(12).vencimiento, QStringLiteral("2009-12-10"));
        }
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" c JOIN "Afiliados" a
                                          ON a."idAfiliado" = c."idAfiliado"
                                          WHERE c."ClaveSocio" IS DISTINCT FROM a."ClaveOrden")")),
                 0);
    }

    // Every plan is offered, a nameless one too, in the table's order.
    void everyPlanIsOffered() {
        BaseTemporal db;
        const int z = nuevoPlan(QStringLiteral("Zeta"));
        QVERIFY(Database::exec(
            QStringLiteral(R"(INSERT INTO "Planes" ("Descripcion", "CuotaMensual", "CantidadCuotas")
                                                 VALUES (NULL, 100000, 1))")));
        const int alfa = nuevoPlan(QStringLiteral("Alfa"));
        const auto planes = Emision::planes();
        QCOMPARE(planes.size(), 3);
        QCOMPARE(planes.at(0).id, z);
        QCOMPARE(planes.at(1).texto, QString());
        QCOMPARE(planes.at(2).id, alfa);
    }

    void amountsListFollowsThePlan() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 123456, 3);
        QCOMPARE(Emision::prepararMontos(p), 3);
        QCOMPARE(Emision::montos(), (QVector<Money>(3, Money::fromUnits(123456))));
        QCOMPARE(Emision::prepararMontos(999), 0);
        QVERIFY(Emision::montos().isEmpty());
    }
};

MIRABEL_TEST_MAIN(tst_Emision)
#include "tst_Emision.moc"
