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

    static int paginas(const QString &pdf) {
        QProcess p;
        p.start(QStringLiteral("pdfinfo"), {pdf});
        p.waitForFinished(30000);
        const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                           .match(QString::fromUtf8(p.readAllStandardOutput()));
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }

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
        QCOMPARE(paginas(dir.filePath(QStringLiteral("tablero.pdf"))), 1);
    }
};

MIRABEL_TEST_MAIN(tst_TableroPdf)
#include "tst_TableroPdf.moc"
