#include "app/panPrin.h"
#include "cash/Caja.h"
#include "cash/Cobranza.h"
#include "cash/Cuentas.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "db/Transaction.h"
#include "dues/Cuotas.h"
#include "dues/Emision.h"
#include "members/Afiliados.h"
#include "support/Puestos.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>

using namespace TestSupport;

namespace {

// Another desk on the same database: the helper program doing one thing through the program's code.
class OtroPuesto {
public:
    // Starts it; true once it has the database open. espera: how long its writes wait for a lock.
    bool iniciar(const QString &base, int espera, const QStringList &orden) {
        const QString ayudante = TestSupport::ayudante(QStringLiteral("ayudante_puesto"));
        if (!QFile::exists(ayudante)) {
            qWarning("falta %s", qPrintable(ayudante));
            return false;
        }
        m_p.start(ayudante, QStringList{base, QString::number(espera)} + orden);
        return m_p.waitForStarted(20000) && linea() == QLatin1String("listo");
    }
    // What it did: its result and its message.
    QStringList resultado() {
        const QStringList r = linea().split(QLatin1Char('\t'));
        m_p.waitForFinished(20000);
        return r;
    }

private:
    QString linea() {
        while (!m_p.canReadLine())
            if (!m_p.waitForReadyRead(20000)) {
                qWarning("el otro puesto no contesta: %s", m_p.readAllStandardError().constData());
                return {};
            }
        return QString::fromUtf8(m_p.readLine()).trimmed();
    }
    QProcess m_p;
};

// On the server, until the other desk is waiting for this one's transaction (on a file there is no
// asking: its wait for the file's lock gives the same order).
#define ESPERAR_AL_OTRO()                                                                                    \
    do {                                                                                                     \
        if (enServidor())                                                                                    \
            QTRY_VERIFY_WITH_TIMEOUT(hayPuestoEsperando(Database::db()), 20000);                             \
    } while (false)

int movimientos() {
    return contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")"));
}
int pagadas() {
    return contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "Pagada" <> 0)"));
}
int cuotas() {
    return contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas")"));
}
// Dues that share member, month and year: issued twice.
int repetidas() {
    return contar(QStringLiteral(R"(SELECT COUNT(*) FROM (SELECT 1 FROM "Cuotas"
                                    GROUP BY "idAfiliado", "Mes", "Año" HAVING COUNT(*) > 1) x)"));
}

} // namespace

// Several desks on one database: what one desk does while another is doing something.
class tst_Puestos : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 1;
    }

    // Two desks paying the same due at the same moment book one payment; the second is told the due is
    // paid.
    void twoDesksPayingOneDueBookItOnce() {
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int socio = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan);
        const int c = nuevaCuota(socio, plan, QDate(2009, 3, 1), 250000);
        OtroPuesto b;
        {
            Transaction a; // this desk's payment, not yet committed when the other desk pays
            QCOMPARE(Cobranza::pagar(c, QDate(2009, 3, 5), 1).code(), Result::Code::Ok);
            QVERIFY(b.iniciar(db.path(), 20000, {QStringLiteral("pagar"), QString::number(c)}));
            ESPERAR_AL_OTRO();
            QVERIFY(a.commit());
        }
        QCOMPARE(b.resultado().value(0), QStringLiteral("YaCobrada"));
        QCOMPARE(movimientos(), 1);
        QCOMPARE(pagadas(), 1);
    }

    // Two desks adding an account of the same name at the same moment: the second is told it exists.
    void twoDesksAddingOneAccountNameAddOne() {
        BaseTemporal db;
        OtroPuesto b;
        {
            Transaction a; // this desk's account, not yet committed when the other desk adds its own
            QVERIFY(Cuentas::nueva(QStringLiteral("Banco")));
            QVERIFY(b.iniciar(db.path(), 20000, {QStringLiteral("cuenta"), QStringLiteral("BANCO")}));
            ESPERAR_AL_OTRO();
            QVERIFY(a.commit());
        }
        QCOMPARE(b.resultado().value(0), QStringLiteral("Existe"));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuentas")")), 2);
    }

    // Two desks issuing the same plan take turns: the second one finds the first one's dues and issues
    // none twice, plan-wide or for one member.
    void twoDesksIssuingOnePlanNeverRepeatADue() {
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("Trimestre"), 250000, 3, 100000);
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan);
        const int b = nuevoAfiliado(QStringLiteral("Sosa"), QStringLiteral("Ana"), plan);
        const int c = nuevoAfiliado(QStringLiteral("Vega"), QStringLiteral("Luz"), plan);
        {
            OtroPuesto otro;
            Transaction t;
            Emision::Grupal g;
            g.noPlan = QString::number(plan);
            g.mes = QStringLiteral("1");
            g.anio = QStringLiteral("2009");
            g.afiliados = {a, b};
            g.primerVencimiento = QDate(2009, 1, 10);
            g.fechaInscripcion = QDate(2009, 3, 5);
            QCOMPARE(Emision::emitirGrupal(g).agregadas, 8);
            QVERIFY(otro.iniciar(db.path(), 20000,
                                 {QStringLiteral("emitirPlan"), QString::number(plan),
                                  QStringLiteral("%1,%2").arg(a).arg(b)}));
            ESPERAR_AL_OTRO();
            QVERIFY(t.commit());
            // The other desk re-issues: the amounts of the dues it finds, no new ones.
            QCOMPARE(otro.resultado().value(0), QStringLiteral("Emitido 0 6"));
        }
        {
            OtroPuesto otro;
            Transaction t;
            Emision::Individual e;
            e.tag = QString::number(c);
            e.noPlan = QString::number(plan);
            e.anio = QStringLiteral("2009");
            e.dia = QStringLiteral("10");
            e.primerVencimiento = QDate(2009, 1, 10);
            e.fechaInscripcion = QDate(2009, 3, 5);
            QCOMPARE(Emision::emitirIndividual(e).agregadas, 4);
            QVERIFY(otro.iniciar(db.path(), 20000,
                                 {QStringLiteral("emitir"), QString::number(c), QString::number(plan)}));
            ESPERAR_AL_OTRO();
            QVERIFY(t.commit());
            QCOMPARE(otro.resultado().value(0), QStringLiteral("Emitido 0 0"));
        }
        QCOMPARE(cuotas(), 12);
        QCOMPARE(repetidas(), 0);
    }

    // A member deleted by one desk while another issues its dues, plan-wide or alone, gets none: the run
    // goes back whole with "Socio no localizado !".
    void anIssuanceForAMemberDeletedMeanwhileGoesBack() {
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("Trimestre"), 250000, 3, 100000);
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan);
        for (const bool todoElPlan : {true, false}) {
            const int b = nuevoAfiliado(QStringLiteral("Sosa"), QStringLiteral("Ana"), plan);
            OtroPuesto otro;
            {
                Transaction t;
                QVERIFY(Afiliados::borrar(b));
                QVERIFY(otro.iniciar(
                    db.path(), 20000,
                    todoElPlan
                        ? QStringList{QStringLiteral("emitirPlan"), QString::number(plan),
                                      QStringLiteral("%1,%2").arg(a).arg(b)}
                        : QStringList{QStringLiteral("emitir"), QString::number(b), QString::number(plan)}));
                ESPERAR_AL_OTRO();
                QVERIFY(t.commit());
            }
            QCOMPARE(otro.resultado().value(1), QStringLiteral("Socio no localizado !"));
            QCOMPARE(cuotas(), 0);
        }
    }

    // A due another desk pays while a re-issue of its plan is running keeps the amount it was paid with.
    void aDuePaidDuringAReissueKeepsItsAmount() {
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("Trimestre"), 250000, 3, 100000);
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan);
        Emision::Grupal g;
        g.noPlan = QString::number(plan);
        g.mes = QStringLiteral("1");
        g.anio = QStringLiteral("2009");
        g.afiliados = {a};
        g.primerVencimiento = QDate(2009, 1, 10);
        g.fechaInscripcion = QDate(2009, 3, 5);
        QCOMPARE(Emision::emitirGrupal(g).agregadas, 4);
        QVERIFY(Database::exec(QStringLiteral(R"(UPDATE "Planes" SET "CuotaMensual" = 300000)")));
        const int c =
            contar(QStringLiteral(R"(SELECT "idCuota" FROM "Cuotas" WHERE "Vencimiento" = '2009-02-10')"));
        OtroPuesto otro;
        {
            Transaction t;
            QCOMPARE(Cobranza::pagar(c, QDate(2009, 3, 5), 1).code(), Result::Code::Ok);
            QVERIFY(otro.iniciar(db.path(), 20000,
                                 {QStringLiteral("emitirPlan"), QString::number(plan), QString::number(a)}));
            ESPERAR_AL_OTRO();
            QVERIFY(t.commit());
        }
        QCOMPARE(otro.resultado().value(0), QStringLiteral("Emitido 0 2"));
        QCOMPARE(contar(QStringLiteral(R"(SELECT "Monto" FROM "Cuotas" WHERE "Pagada" <> 0)")), 250000);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "Monto" = 300000)")), 2);
    }

    // While one desk changes the due day or clears a register, the others' writes wait; one that waits
    // longer than its limit is told another desk is at a general change, and nothing of it is kept.
    void aGeneralChangeHoldsTheOtherDesksWrites() {
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("Mensual"), 250000, 2);
        const int socio = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan);
        const int c = nuevaCuota(socio, plan, QDate(2009, 3, 1), 250000);
        nuevoMovimiento(QDate(2009, 3, 4), 1, QStringLiteral("Apertura"), 10000, 0);
        struct Caso {
            const char *nombre;
            std::function<Result()> cambio;
            QStringList orden; // what the other desk tries meanwhile
        };
        const QString cuota = QString::number(c);
        const QList<Caso> casos = {
            {"cambio de día", [] { return Cuotas::cambiarDia(20); }, {QStringLiteral("pagar"), cuota}},
            // A new due touches no row the day change changed: only the lock on the table holds it.
            {"cambio de día",
             [] { return Cuotas::cambiarDia(20); },
             {QStringLiteral("emitir"), QString::number(socio), QString::number(plan)}},
            {"limpiar cuotas",
             [] { return Cuotas::vaciarRegistro(); },
             {QStringLiteral("emitir"), QString::number(socio), QString::number(plan)}},
            {"limpiar caja",
             [] { return Caja::vaciar(); },
             {QStringLiteral("movimiento"), QStringLiteral("Otro puesto")}},
            {"limpiar caja", [] { return Caja::vaciar(); }, {QStringLiteral("pagar"), cuota}},
        };
        for (const Caso &caso : casos) {
            {
                Transaction t; // the general change, still running
                const Result hecho = caso.cambio();
                QVERIFY2(hecho, qPrintable(hecho.message()));
                OtroPuesto otro;
                QVERIFY(otro.iniciar(db.path(), 200, caso.orden));
                const QStringList r = otro.resultado();
                QCOMPARE(r.value(0), QStringLiteral("Fallo"));
                QVERIFY2(r.value(1).contains(QStringLiteral("otro puesto está haciendo un cambio general")) &&
                             r.value(1).contains(QStringLiteral("vuelva a intentarlo")),
                         caso.nombre);
            }
            QCOMPARE(movimientos(), 1);
            QCOMPARE(pagadas(), 0);
            QCOMPARE(cuotas(), 1);
        }
        // Once it is over, the same write goes through.
        OtroPuesto otro;
        QVERIFY(otro.iniciar(db.path(), 200, {QStringLiteral("pagar"), cuota}));
        QCOMPARE(otro.resultado().value(0), QStringLiteral("Registrado"));
    }

    // The other way round: this desk's own writes and general changes, while another desk's general
    // change holds the tables, wait for it and then say so; nothing of them is kept.
    void aDeskWaitingForAGeneralChangeIsToldSo() {
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("Mensual"), 250000, 2);
        const int socio = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan);
        const int c = nuevaCuota(socio, plan, QDate(2009, 3, 1), 250000);
        struct Espera {
            Espera() { Database::setBusyTimeout(200); }
            ~Espera() { Database::setBusyTimeout(5000); }
        } espera;
        QSqlDatabase otro = otroPuesto();
        const QString ocupada = QStringLiteral("otro puesto está haciendo un cambio general");
        {
            Transaction general(otro);
            QVERIFY(Engine::of(otro).lockTables(otro, {QStringLiteral("Cuotas"), QStringLiteral("Caja")}));
            // The issuance's own lock as well (its area is 1), so that it is the one that waits too long.
            QVERIFY(Engine::of(otro).lockWork(otro, 1, plan));
            for (const Result &r : {Cuotas::cambiarDia(20), Cuotas::vaciarRegistro(), Caja::vaciar(),
                                    Cobranza::pagar(c, QDate(2009, 3, 5), 1)}) {
                QCOMPARE(r.code(), Result::Code::Busy);
                QVERIFY2(r.message().contains(ocupada), qPrintable(r.message()));
            }
            Caja::Datos d;
            d.fecha = QDate(2009, 3, 5);
            d.idCuenta = 1;
            d.ingresos = Money::fromWhole(1);
            d.idTipoDivisa = 1;
            const auto movimiento = Caja::agregar(d);
            QVERIFY(!movimiento);
            QVERIFY2(movimiento.message().contains(ocupada), qPrintable(movimiento.message()));
            Emision::Individual e;
            e.tag = QString::number(socio);
            e.noPlan = QString::number(plan);
            e.anio = QStringLiteral("2009");
            e.dia = QStringLiteral("10");
            e.primerVencimiento = QDate(2009, 1, 10);
            const auto r = Emision::emitirIndividual(e);
            QCOMPARE(r.estado, Emision::Resultado::Estado::Fallo);
            QVERIFY2(r.mensaje.contains(ocupada), qPrintable(r.mensaje));
        }
        QCOMPARE(cuotas(), 1);
        QCOMPARE(movimientos(), 0);
        QCOMPARE(pagadas(), 0);
        QCOMPARE(Database::buscaValor(QStringLiteral(R"(SELECT "Vencimiento" AS "v" FROM "Cuotas")"),
                                      QStringLiteral("v"))
                     .toString(),
                 QStringLiteral("2009-03-01"));
    }

    // Another desk's change of the same rows (a serialisation failure or a deadlock on the server) undoes
    // the work, which runs again by itself; after three such failures in a row the user is told and
    // nothing is kept.
    void workAnotherDeskGotInTheWayOfRunsAgain() {
        if (!enServidor())
            QSKIP("Solo un servidor interrumpe una transacción por el cambio de otro puesto: un archivo "
                  "hace esperar a los demás.");
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("Mensual"), 250000, 2);
        const int socio = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan);
        const int c1 = nuevaCuota(socio, plan, QDate(2009, 3, 1), 250000, false, {}, 3, 2009);
        const int c2 = nuevaCuota(socio, plan, QDate(2009, 4, 1), 250000, false, {}, 4, 2009);

        // Twice interrupted, the third time stored: one payment, one movement.
        QVERIFY(crearFallaSerializacion(QStringLiteral("choque_caja"), QStringLiteral("BEFORE INSERT"),
                                        QStringLiteral("Caja"), 2));
        QCOMPARE(Cobranza::pagar(c1, QDate(2009, 3, 5), 1).code(), Result::Code::Ok);
        QCOMPARE(movimientos(), 1);
        QCOMPARE(pagadas(), 1);

        // Three times: the user hears why and may try again.
        QVERIFY(crearFallaSerializacion(QStringLiteral("choque_cuotas"), QStringLiteral("BEFORE UPDATE"),
                                        QStringLiteral("Cuotas"), 3));
        const Result choque = Cobranza::pagar(c2, QDate(2009, 3, 5), 1);
        QCOMPARE(choque.code(), Result::Code::Busy);
        const QString error = choque.message();
        QVERIFY2(error.contains(QStringLiteral("otro puesto estaba cambiando los mismos datos")),
                 qPrintable(error));
        QCOMPARE(movimientos(), 1);
        QCOMPARE(pagadas(), 1);
        QCOMPARE(Cobranza::pagar(c2, QDate(2009, 3, 5), 1).code(), Result::Code::Ok);

        // A movement, an issuance and a day change each interrupted once: stored once, whole.
        QVERIFY(crearFallaSerializacion(QStringLiteral("choque_mov"), QStringLiteral("BEFORE INSERT"),
                                        QStringLiteral("Caja"), 1));
        Caja::Datos d;
        d.fecha = QDate(2009, 3, 5);
        d.idCuenta = 1;
        d.detalles = QStringLiteral("Donación");
        d.ingresos = Money::fromWhole(5);
        d.idTipoDivisa = 1;
        QVERIFY(Caja::agregar(d));
        QCOMPARE(movimientos(), 3);
        QVERIFY(crearFallaSerializacion(QStringLiteral("choque_emision"), QStringLiteral("BEFORE INSERT"),
                                        QStringLiteral("Cuotas"), 1));
        Emision::Individual e;
        e.tag = QString::number(socio);
        e.noPlan = QString::number(plan);
        e.anio = QStringLiteral("2010");
        e.dia = QStringLiteral("10");
        e.primerVencimiento = QDate(2010, 1, 10);
        e.inscripcion = false;
        const auto r = Emision::emitirIndividual(e);
        QVERIFY2(r.ok(), qPrintable(r.mensaje));
        QCOMPARE(r.agregadas, 2);
        QCOMPARE(cuotas(), 4);
        QCOMPARE(repetidas(), 0);
        QVERIFY(crearFallaSerializacion(QStringLiteral("choque_dia"), QStringLiteral("BEFORE UPDATE"),
                                        QStringLiteral("Cuotas"), 1));
        const Result dia = Cuotas::cambiarDia(20);
        QVERIFY2(dia, qPrintable(dia.message()));
        QCOMPARE(contar(QStringLiteral(
                     R"(SELECT COUNT(*) FROM "Cuotas" WHERE EXTRACT(DAY FROM "Vencimiento") = 20)")),
                 4);
    }

    // The amounts list of a plan-wide issuance belongs to the desk that prepared it: another desk
    // preparing its own list meanwhile neither empties nor fills it.
    void eachDeskKeepsItsOwnAmountsList() {
        if (!enServidor())
            QSKIP("Un archivo lo usa un solo puesto a la vez para emitir.");
        BaseTemporal db;
        const int mensual = nuevoPlan(QStringLiteral("Mensual"), 250000, 3);
        QCOMPARE(Emision::prepararMontos(mensual), 3);
        QSqlDatabase otro = otroPuesto();
        QSqlQuery q(otro);
        QVERIFY(q.exec(QStringLiteral(R"(DELETE FROM "TmpCuotas")")));
        QVERIFY(q.exec(QStringLiteral(
            R"(INSERT INTO "TmpCuotas" ("nro", "monto") VALUES (1, 5), (2, 5), (3, 5), (4, 5))")));
        const QVector<Money> montos = Emision::montos();
        QCOMPARE(montos.size(), 3);
        for (const Money &m : montos)
            QCOMPARE(m.units(), qint64(250000));
        QVERIFY(q.exec(QStringLiteral(R"(SELECT COUNT(*) FROM "TmpCuotas")")) && q.next());
        QCOMPARE(q.value(0).toInt(), 4);
    }

    // "Actualizar Tablas" shows in this desk's lists what another desk has added.
    void refreshingShowsAnotherDesksChanges() {
        BaseTemporal db(QDate(2009, 3, 5));
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int socio = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan);
        nuevaCuota(socio, plan, QDate(2009, 3, 1), 250000);
        panPrin w;
        control<QPushButton>(&w, "Command10")->click();
        const int cuotasAntes = control<DataGrid>(&w, "DBGrid2")->dataControl()->recordCount();
        const int cajaAntes = control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount();
        QCOMPARE(cuotasAntes, 1);

        QSqlDatabase otro = otroPuesto();
        QSqlQuery q(otro);
        QVERIFY(q.prepare(QStringLiteral(R"(INSERT INTO "Cuotas" ("idAfiliado", "idPlan", "Mes", "Año",
                              "Vencimiento", "Factura", "Monto") VALUES (?, ?, 4, 2009, '2009-04-01', 'CUOTA MES 2', 250000))")));
        q.addBindValue(socio);
        q.addBindValue(plan);
        QVERIFY(q.exec());
        QVERIFY(q.exec(
            QStringLiteral(R"(INSERT INTO "Caja" ("Fecha", "idCuenta", "Detalles", "Ingresos", "Egresos",
                                           "idTipoDivisa") VALUES ('2009-03-05', 1, 'Cobro en otro puesto', 10000, 0, 1))")));
        control<QPushButton>(&w, "Command10")->click();
        QCOMPARE(control<DataGrid>(&w, "DBGrid2")->dataControl()->recordCount(), cuotasAntes + 1);
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount(), cajaAntes + 1);
        QVERIFY(Mensaje::mostrados().isEmpty());
    }
};

MIRABEL_TEST_MAIN(tst_Puestos)

#include "tst_Puestos.moc"
