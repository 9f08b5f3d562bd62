#include "db/Database.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace TestSupport;

// "mirabel report tablero --pdf FILE" as the committee's secretary runs it before a meeting: the real
// program, no display.
class tst_TableroPdf : public QObject {
    Q_OBJECT

private slots:
    void writesTheDashboardOnOnePage() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Activo"));
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Ana"), p, nuevaCategoria("Mayor"));
        nuevaCuota(a, p, QDate(2009, 1, 10), 2500000);
        nuevoMovimiento(QDate(2009, 2, 1), 1, QStringLiteral("cobro"), 2500000, 0);
        QTemporaryDir dir;
        const Salida s = ejecutarMirabel({QStringLiteral("report"), QStringLiteral("tablero"),
                                          QStringLiteral("--database"), db.path(), QStringLiteral("--pdf"),
                                          QStringLiteral("tablero.pdf")},
                                         dir.path());
        QVERIFY2(s.status == 0, qPrintable(s.err));
        QCOMPARE(TestSupport::paginasPdf(dir.filePath(QStringLiteral("tablero.pdf"))), 1);
    }
};

MIRABEL_TEST_MAIN(tst_TableroPdf)
#include "tst_TableroPdf.moc"
