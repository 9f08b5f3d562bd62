#include "cash/Caja.h"
#include "cli/LogCli.h"
#include "core/Sesion.h"
#include "db/Database.h"
#include "support/TestSupport.h"

using namespace TestSupport;

// "mirabel log" as a clerk or a scheduled job runs it: the real program reading the log back.
class tst_LogCli : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    static void movimiento(const QString &usuario, const QString &detalle) {
        Module1::NombreUsuario = usuario;
        Module1::NivelUsuario = 2;
        Caja::Datos d;
        d.fecha = QDate(2009, 3, 5);
        d.idCuenta = 1;
        d.detalles = detalle;
        d.ingresos = Money::fromUnits(125000);
        d.idTipoDivisa = 1;
        QVERIFY(Caja::agregar(d));
    }

private slots:
    // One user's entries of the range, newest first, as CSV with the list's titles.
    void oneUsersEntriesNewestFirst() {
        BaseTemporal base;
        movimiento(QStringLiteral("ana"), QStringLiteral("Rifa"));
        movimiento(QStringLiteral("luis"), QStringLiteral("Bono"));
        movimiento(QStringLiteral("ana"), QStringLiteral("Kiosco"));
        const QString ruta = base.path();
        Database::close();
        const Salida r =
            ejecutarMirabel({QStringLiteral("log"), QStringLiteral("--desde"), QStringLiteral("01/03/2009"),
                             QStringLiteral("--hasta"), QStringLiteral("2009-03-31"),
                             QStringLiteral("--usuario"), QStringLiteral("ana"), QStringLiteral("--format"),
                             QStringLiteral("csv"), QStringLiteral("--database"), ruta},
                            m_dir.path());
        QCOMPARE(r.status, int(LogCli::Ok));
        const QStringList lineas = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lineas.size(), 3);
        QVERIFY2(lineas.at(0).startsWith(QStringLiteral("Fecha;Hora;Usuario;Nivel;Puesto;Acción;")),
                 qPrintable(lineas.at(0)));
        QVERIFY2(lineas.at(1).endsWith(QStringLiteral(";Kiosco")), qPrintable(lineas.at(1)));
        QVERIFY2(lineas.at(2).endsWith(QStringLiteral(";Rifa")), qPrintable(lineas.at(2)));
        QVERIFY(lineas.at(1).contains(QStringLiteral(";ana;2;")));
        QVERIFY(lineas.at(1).contains(QStringLiteral(";Alta de movimiento de caja;")));
    }
};

MIRABEL_TEST_MAIN(tst_LogCli)
#include "tst_LogCli.moc"
