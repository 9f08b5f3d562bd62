#include "core/Configuracion.h"
#include "db/Transaction.h"
#include "reports/ReportData.h"
#include "reports/ReportDocument.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QProcess>
#include <QRawFont>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace TestSupport;

// The report PDFs as a reader sees them, against the same documents painted by Qt's own PDF engine: the
// pages look the same, the text reads the same, and the file is no larger.
class tst_ReportPdf : public QObject {
    Q_OBJECT

    QTemporaryDir m_out;
    std::unique_ptr<BaseTemporal> m_db;
    int m_due = 0;

    static QByteArray run(const QString &program, const QStringList &args) {
        QProcess p;
        p.start(program, args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            return QByteArrayLiteral("<falló ") + program.toUtf8() + '>';
        return p.readAllStandardOutput();
    }

    // The document as the program wrote it before: every page painted on Qt's PDF writer.
    static bool qtPdf(const ReportDocument &doc, const QString &path) {
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(doc.landscape() ? QPageLayout::Landscape : QPageLayout::Portrait);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(600);
        return doc.paintPages(&writer, 0, doc.pageCount() - 1).ok();
    }

    // One page rendered by poppler at 50 dpi, in grey.
    QImage render(const QString &pdf, int page) {
        const QString prefix = m_out.filePath(QStringLiteral("pagina"));
        QFile::remove(prefix + QStringLiteral(".pgm"));
        run(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-gray"),
             QStringLiteral("-singlefile"), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
             QString::number(page), pdf, prefix});
        return QImage(prefix + QStringLiteral(".pgm")).convertToFormat(QImage::Format_Grayscale8);
    }

    // Share of the pixels that differ by more than a quarter of the grey scale (255 when the sizes differ).
    static double difference(const QImage &a, const QImage &b) {
        if (a.isNull() || a.size() != b.size())
            return 255;
        qint64 off = 0;
        for (int y = 0; y < a.height(); ++y) {
            const uchar *pa = a.constScanLine(y), *pb = b.constScanLine(y);
            for (int x = 0; x < a.width(); ++x)
                off += std::abs(int(pa[x]) - int(pb[x])) > 64;
        }
        return 100.0 * double(off) / (a.width() * a.height());
    }

    struct Pdfs {
        QString own, qt;
        int pages = 0;
    };
    Pdfs both(const QString &report, const QString &formula) {
        Pdfs out;
        ReportDocument doc;
        ReportError error;
        if (!doc.build(report, formula, &error)) {
            qWarning("%s", qPrintable(error.message));
            return out;
        }
        out.own = m_out.filePath(report + QStringLiteral(".pdf"));
        out.qt = m_out.filePath(report + QStringLiteral("-qt.pdf"));
        if (doc.writePdf(out.own).ok() && qtPdf(doc, out.qt))
            out.pages = doc.pageCount();
        return out;
    }

    // The two long print-outs: the member list and the debt report.
    static void longReports() {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("formula");
        QTest::newRow("socios") << QStringLiteral("Socios.rpt")
                                << QStringLiteral("{Afiliados.idAfiliado} <> 0");
        QTest::newRow("deuda") << QStringLiteral("infDeuda.rpt")
                               << QStringLiteral("{ConsultaDeuda.SumaDeMonto} <> 0");
    }

private slots:
    void initTestCase() {
        for (const char *tool : {"pdftoppm", "pdftotext", "pdffonts"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP("poppler-utils no está instalado");
        m_db = std::make_unique<BaseTemporal>(QDate(2009, 3, 5));
        QVERIFY(Configuracion::escribir(QStringLiteral("NombreEmpresa"),
                                        QStringLiteral("Club Atlético Tomás Álvarez")));
        const int plan = nuevoPlan(QStringLiteral("AVENIDA Yo"));
        // Names full of kerning pairs (Yo, AV, Tó, Wa) and accents, so that a glyph out of place shows.
        const QStringList surnames = {QStringLiteral("Álvarez"), QStringLiteral("AVENDAÑO"),
                                      QStringLiteral("Yáñez"),   QStringLiteral("Wolff"),
                                      QStringLiteral("Tévez"),   QStringLiteral("D'Angelo")};
        const QStringList names = {QStringLiteral("Tomás"), QStringLiteral("Yolanda"),
                                   QStringLiteral("Víctor"), QStringLiteral("Walter")};
        Transaction t;
        for (int i = 0; i < 300; ++i) {
            const int member = nuevoAfiliado(
                surnames.at(i % surnames.size()),
                names.at(i / surnames.size() % names.size()) + QStringLiteral(" %1").arg(i), plan);
            m_due = nuevaCuota(member, plan, QDate(2009, 1, 10), 150000 + i * 1250, i % 4 == 0,
                               i % 4 == 0 ? QDate(2009, 1, 12) : QDate());
            if (i % 3)
                nuevaCuota(member, plan, QDate(2009, 2, 10), 7654300 + i, false, {}, 2);
        }
        QVERIFY(t.commit());
    }

    void pagesLookAsQtPaintsThem_data() { longReports(); }
    // The first, a middle and the last page, rendered alike from both files: hardly a pixel apart.
    void pagesLookAsQtPaintsThem() {
        QFETCH(QString, report);
        QFETCH(QString, formula);
        const Pdfs pdf = both(report, formula);
        QVERIFY(pdf.pages >= 3);
        for (const int page : {1, (pdf.pages + 1) / 2, pdf.pages}) {
            const double off = difference(render(pdf.own, page), render(pdf.qt, page));
            QVERIFY2(
                off < 0.05,
                qPrintable(QStringLiteral("página %1: %2 % de los píxeles distintos").arg(page).arg(off)));
        }
    }

    void textAndSizeAsQtWritesThem_data() {
        longReports();
        QTest::newRow("un recibo") << QStringLiteral("recibo.rpt")
                                   << QStringLiteral("{ConsultaCuotas.IdCuota} = %1").arg(m_due);
    }
    // Searching and copying give the same text (in drawing order), and the file is no larger.
    void textAndSizeAsQtWritesThem() {
        QFETCH(QString, report);
        QFETCH(QString, formula);
        const Pdfs pdf = both(report, formula);
        QVERIFY(pdf.pages >= 1);
        const auto text = [&](const QString &file) {
            return QString::fromUtf8(
                run(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), file, QStringLiteral("-")}));
        };
        QCOMPARE(text(pdf.own), text(pdf.qt));
        QVERIFY2(QFileInfo(pdf.own).size() <= QFileInfo(pdf.qt).size(),
                 qPrintable(QStringLiteral("%1 bytes, Qt %2")
                                .arg(QFileInfo(pdf.own).size())
                                .arg(QFileInfo(pdf.qt).size())));
        QVERIFY(run(QStringLiteral("pdffonts"), {pdf.own}).contains("DejaVuSans"));
    }

    // A character the report's face lacks is drawn as Qt draws it, in a font that has it, never as a box.
    void characterOutsideTheFaceKeepsQtsFallback() {
        const QChar house(0xf015);
        QString fallback;
        for (const QString &family : QFontDatabase::families())
            if (!family.startsWith(QLatin1String("DejaVu")) &&
                QRawFont::fromFont(QFont(family)).supportsCharacter(house))
                fallback = family;
        if (fallback.isEmpty())
            QSKIP("ninguna fuente instalada tiene el carácter de prueba");
        const int plan = nuevoPlan(QStringLiteral("Otro"));
        nuevoAfiliado(QStringLiteral("Zapata"), QStringLiteral("Casa ") + house, plan);
        const Pdfs pdf =
            both(QStringLiteral("Socios.rpt"), QStringLiteral("{Afiliados.Apellido} = 'Zapata'"));
        QCOMPARE(pdf.pages, 1);
        QVERIFY2(
            run(QStringLiteral("pdffonts"), {pdf.own}).contains(fallback.remove(QLatin1Char(' ')).toUtf8()),
            run(QStringLiteral("pdffonts"), {pdf.own}).constData());
    }
};

MIRABEL_TEST_MAIN(tst_ReportPdf)
#include "tst_ReportPdf.moc"
