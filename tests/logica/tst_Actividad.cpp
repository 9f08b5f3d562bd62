#include "admin/Usuarios.h"
#include "cash/Caja.h"
#include "cash/Cobranza.h"
#include "core/Sesion.h"
#include "db/Actividad.h"
#include "db/Database.h"
#include "dues/Emision.h"
#include "support/TestSupport.h"

#include <QSqlQuery>

using namespace TestSupport;

namespace {
enum class Caso { Pago, Emision, LimpiezaCaja, CambioUsuario, IngresoFallido, AltaMovimiento };

// The log's rows as text: action, user, level, amounts before and after ("-" for none).
QStringList filas() {
    QStringList out;
    QSqlQuery q(Database::db());
    q.exec(QStringLiteral(R"(SELECT "Accion", "Usuario", "Nivel", "MontoAntes", "MontoDespues"
                             FROM "RegistroActividad" ORDER BY "idRegistro")"));
    while (q.next()) {
        QStringList campos;
        for (int i = 0; i < 5; ++i)
            campos << (q.value(i).isNull() ? QStringLiteral("-") : q.value(i).toString());
        out << campos.join(QLatin1Char(' '));
    }
    return out;
}

QString fila(Actividad::Accion accion, const QString &usuario, int nivel, const QString &antes,
             const QString &despues) {
    return QStringLiteral("%1 %2 %3 %4 %5").arg(int(accion)).arg(usuario).arg(nivel).arg(antes, despues);
}

// Does the write of the case; whether it was stored.
bool escribir(Caso caso) {
    switch (caso) {
    case Caso::Pago: {
        const int plan = nuevoPlan(QStringLiteral("Plan Anual"));
        const int cuota = nuevaCuota(nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Juan"), plan),
                                     plan, QDate(2009, 3, 1), 250000);
        return Cobranza::pagar(cuota, QDate(2009, 3, 5), 1).ok();
    }
    case Caso::Emision: {
        const int plan = nuevoPlan(QStringLiteral("Plan Anual"), 250000, 12);
        const int socio = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Juan"), plan);
        Emision::Individual e;
        e.tag = QString::number(socio);
        e.noPlan = QString::number(plan);
        e.anio = QStringLiteral("2009");
        e.dia = QStringLiteral("10");
        e.primerVencimiento = QDate(2009, 1, 10);
        e.inscripcion = false;
        return Emision::emitirIndividual(e).estado == Emision::Resultado::Estado::Emitido;
    }
    case Caso::LimpiezaCaja:
        nuevoMovimiento(QDate(2009, 3, 1), 1, QStringLiteral("Cuota"), 1000000, 0);
        nuevoMovimiento(QDate(2009, 3, 2), 1, QStringLiteral("Luz"), 0, 300000);
        return Caja::vaciar().ok();
    case Caso::CambioUsuario: {
        const int id = nuevoUsuario(QStringLiteral("pepe"), QStringLiteral("clave"), false, true);
        Usuarios::Datos d;
        d.nombreUsuario = QStringLiteral("pepe");
        d.nombreCompleto = QStringLiteral("José");
        d.esDataEntry = true;
        return Usuarios::guardar(id, d).ok();
    }
    case Caso::IngresoFallido:
        nuevoUsuario(QStringLiteral("pepe"), QStringLiteral("clave"), false, true);
        return Usuarios::ingresar(QStringLiteral("pepe"), QStringLiteral("otra")).nivel == 0;
    case Caso::AltaMovimiento: {
        Caja::Datos d;
        d.fecha = QDate(2009, 3, 5);
        d.idCuenta = 1;
        d.detalles = QStringLiteral("Luz");
        d.egresos = Money::fromUnits(300000);
        d.idTipoDivisa = 1;
        return Caja::agregar(d).ok();
    }
    }
    return false;
}
} // namespace

Q_DECLARE_METATYPE(Caso)

// Who did what: every write leaves one row, the log only grows, and a write it cannot record is not kept.
class tst_Actividad : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Module1::IdUsuario = 7;
        Module1::NombreUsuario = QStringLiteral("ana");
        Module1::NivelUsuario = 2;
    }

    void cadaEscrituraDejaUnaFila_data() {
        QTest::addColumn<Caso>("caso");
        QTest::addColumn<QString>("esperada");
        using A = Actividad::Accion;
        QTest::newRow("pago") << Caso::Pago
                              << fila(A::Pago, QStringLiteral("ana"), 2, QStringLiteral("-"),
                                      QStringLiteral("250000"));
        QTest::newRow("emisión") << Caso::Emision
                                 << fila(A::Emision, QStringLiteral("ana"), 2, QStringLiteral("-"),
                                         QStringLiteral("3000000"));
        QTest::newRow("limpieza de caja")
            << Caso::LimpiezaCaja
            << fila(A::LimpiezaCaja, QStringLiteral("ana"), 2, QStringLiteral("700000"), QStringLiteral("0"));
        QTest::newRow("cambio de usuario")
            << Caso::CambioUsuario
            << fila(A::UsuarioCambio, QStringLiteral("ana"), 2, QStringLiteral("-"), QStringLiteral("-"));
        // Nobody is logged in by it: the row names what was typed, at no level.
        QTest::newRow("ingreso fallido")
            << Caso::IngresoFallido
            << fila(A::IngresoFallido, QStringLiteral("pepe"), 0, QStringLiteral("-"), QStringLiteral("-"));
    }
    void cadaEscrituraDejaUnaFila() {
        QFETCH(Caso, caso);
        QFETCH(QString, esperada);
        BaseTemporal base;
        QVERIFY(escribir(caso));
        QCOMPARE(filas(), QStringList{esperada});
    }

    void elRegistroNoSeCambiaNiSeBorra_data() {
        QTest::addColumn<QString>("sentencia");
        QTest::newRow("UPDATE") << QStringLiteral(R"(UPDATE "RegistroActividad" SET "Usuario" = 'nadie')");
        QTest::newRow("DELETE") << QStringLiteral(R"(DELETE FROM "RegistroActividad")");
        // A server's TRUNCATE passes by row triggers (a file has none).
        if (TestSupport::enServidor())
            QTest::newRow("TRUNCATE") << QStringLiteral(R"(TRUNCATE "RegistroActividad")");
    }
    void elRegistroNoSeCambiaNiSeBorra() {
        QFETCH(QString, sentencia);
        BaseTemporal base;
        QVERIFY(escribir(Caso::AltaMovimiento));
        const QStringList antes = filas();
        QSqlQuery q(Database::db());
        QVERIFY(!q.exec(sentencia));
        QCOMPARE(filas(), antes);
    }

    // The log's table is out of reach (renamed here): the payment and the movement are not kept either.
    void sinAnotacionNoSeGuarda_data() {
        QTest::addColumn<Caso>("caso");
        QTest::addColumn<QString>("cuenta");
        QTest::newRow("pago") << Caso::Pago
                              << QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "Pagada" <> 0)");
        QTest::newRow("movimiento") << Caso::AltaMovimiento
                                    << QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")");
    }
    void sinAnotacionNoSeGuarda() {
        QFETCH(Caso, caso);
        QFETCH(QString, cuenta);
        BaseTemporal base;
        QSqlQuery q(Database::db());
        QVERIFY(q.exec(QStringLiteral(R"(ALTER TABLE "RegistroActividad" RENAME TO "OtroRegistro")")));
        QVERIFY(!escribir(caso));
        QCOMPARE(contar(cuenta), 0);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 0);
    }
};

QTEST_GUILESS_MAIN(tst_Actividad)
#include "tst_Actividad.moc"
