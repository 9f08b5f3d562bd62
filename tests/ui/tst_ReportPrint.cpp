#include "core/Configuracion.h"
#include "core/Money.h"
#include "db/Database.h"
#include "reports/ReportData.h"
#include "reports/ReportDocument.h"
#include "support/TestSupport.h"
#include "ui/Mensaje.h"
#include "ui/ReportControl.h"
#include "ui/panVistaPrevia.h"

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSpinBox>
#include <QStandardPaths>

using namespace TestSupport;

// Shows the whole page text when a line is missing: the quickest way to see what was printed instead.
#define CHECK_HAS(text, what)                                                                                \
    QVERIFY2(has(text, what), qPrintable(QString(what) + QStringLiteral("\n---\n") + text))

// The print-outs as a reader gets them: rendered to PDF and read back with pdftotext, the preview
// window, printing, and the messages for what cannot be printed.
class tst_ReportPrint : public QObject {
    Q_OBJECT

    QTemporaryDir m_out;
    std::unique_ptr<BaseTemporal> m_db;
    QWidget m_owner;
    int perez = 0, paidDue = 0;

    static QString pdfText(const QString &pdf, int first = 0, int last = 0) {
        QProcess p;
        QStringList args{QStringLiteral("-layout")};
        if (first > 0)
            args << QStringLiteral("-f") << QString::number(first) << QStringLiteral("-l")
                 << QString::number(last);
        args << pdf << QStringLiteral("-");
        p.start(QStringLiteral("pdftotext"), args);
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            return QStringLiteral("<pdftotext falló>");
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    // Runs one print-out through the main window's report object, into a PDF.
    QString print(const QString &report, const QString &formula) {
        const QString path = m_out.filePath(report + QStringLiteral(".pdf"));
        QFile::remove(path);
        ReportControl cr(&m_owner);
        cr.setReportFileName(report);
        cr.setConnect(QStringLiteral(";pwd=kR4wZp8N"));
        cr.setSelectionFormula(formula);
        ReportControl::setPdfDestinationForTests(path);
        const bool ok = cr.printReport();
        ReportControl::setPdfDestinationForTests(QString());
        return ok ? path : QString();
    }

    // Whitespace-insensitive search in pdftotext's layout output.
    static bool has(const QString &text, const QString &what) {
        QString a = text, b = what;
        a.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
        b.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
        return a.contains(b);
    }

    // What a user does in the preview; a failed check returns early and the caller still closes the window.
    void usePreview(panVistaPrevia *v, QDialog *opener, const QString &saved, bool *checked) {
        QVERIFY(v);
        QCOMPARE(v->parentWidget(), opener);
        QCOMPARE(v->windowTitle(), QStringLiteral("Vista previa - Listado de socios"));
        const int pages = control<QLabel>(v, "lblPaginas")->text().mid(3).toInt();
        QVERIFY(pages >= 3);
        QCOMPARE(v->paginaActual(), 0);
        QVERIFY(!control<QPushButton>(v, "cmdAnterior")->isEnabled());
        // MIRABEL_CAPTURAS=folder keeps a picture of the window, to look at it as a user would.
        if (qEnvironmentVariableIsSet("MIRABEL_CAPTURAS"))
            v->grab().save(qEnvironmentVariable("MIRABEL_CAPTURAS") + QStringLiteral("/vista-previa.png"));
        control<QPushButton>(v, "cmdSiguiente")->click();
        QCOMPARE(v->paginaActual(), 1);
        QCOMPARE(control<QSpinBox>(v, "txtPagina")->value(), 2);
        control<QPushButton>(v, "cmdUltima")->click();
        QCOMPARE(v->paginaActual(), pages - 1);
        QVERIFY(!control<QPushButton>(v, "cmdSiguiente")->isEnabled());
        control<QSpinBox>(v, "txtPagina")->setValue(2);
        QCOMPARE(v->paginaActual(), 1);
        // Page Down / Page Up turn pages from the keyboard.
        v->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(v));
        QTest::keyClick(control<QScrollArea>(v, "areaPagina"), Qt::Key_PageDown);
        QCOMPARE(v->paginaActual(), 2);
        QTest::keyClick(control<QScrollArea>(v, "areaPagina"), Qt::Key_PageUp);
        QCOMPARE(v->paginaActual(), 1);
        v->setZoom(200);
        QCOMPARE(v->zoomEfectivo(), 200);
        const int big = control<QLabel>(v, "imgPagina")->pixmap().width();
        v->setZoom(50);
        QVERIFY(control<QLabel>(v, "imgPagina")->pixmap().width() * 3 < big);
        control<QComboBox>(v, "cboZoom")
            ->setCurrentIndex(control<QComboBox>(v, "cboZoom")->findText(QStringLiteral("Página completa")));
        QVERIFY(control<QLabel>(v, "imgPagina")->pixmap().height() <=
                control<QScrollArea>(v, "areaPagina")->viewport()->height());
        QVERIFY(v->guardarPdf(saved));
        *checked = true;
    }

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) no está instalado");
    }

    void init() {
        m_db = std::make_unique<BaseTemporal>(QDate(2009, 3, 5));
        QVERIFY(Configuracion::escribir(QStringLiteral("NombreEmpresa"),
                                        QStringLiteral("Club Atlético O'Higgins")));
        QVERIFY(Configuracion::escribir(QStringLiteral("CUITEmpresa"), QStringLiteral("30-12345678-9")));
        const int plan = nuevoPlan(QStringLiteral("General"));
        perez = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Juan"), plan, {},
                              QStringLiteral("jperez@example.com"));
        nuevoAfiliado(QStringLiteral("Álvarez"), QStringLiteral("Ana"), plan);
        paidDue = nuevaCuota(perez, plan, QDate(2009, 1, 10), 12345000, true, QDate(2009, 1, 12), 1, 2009,
                             QStringLiteral("CUOTA MES 1"));
        nuevaCuota(perez, plan, QDate(2009, 2, 10), 250000, false, {}, 2, 2009,
                   QStringLiteral("CUOTA MES 2"));
        nuevoMovimiento(QDate(2009, 3, 5), 1, QStringLiteral("Cobro de CUOTA MES 1 a Pérez"), 12345000, 0, 1,
                        paidDue);
        nuevoMovimiento(QDate(2009, 4, 5), 1, QStringLiteral("Compra de pelotas"), 0, 455000, 2);
        Mensaje::limpiar();
    }
    void cleanup() {
        m_db.reset();
        QVERIFY(Configuracion::escribir(QStringLiteral("NombreEmpresa"), QString()));
        QVERIFY(Configuracion::escribir(QStringLiteral("CUITEmpresa"), QString()));
    }

    void everyReportCarriesTheHeader() {
        const QVector<QPair<QString, QString>> reports = {
            {QStringLiteral("Socios.rpt"), QStringLiteral("Listado de socios")},
            {QStringLiteral("ctacuotas.rpt"), QStringLiteral("Estado de cuenta del socio")},
            {QStringLiteral("cuotas.rpt"), QStringLiteral("Cuotas por socio")},
            {QStringLiteral("recibo.rpt"), QStringLiteral("Recibo de pago")},
            {QStringLiteral("caja.rpt"), QStringLiteral("Movimientos de caja")},
            {QStringLiteral("resctas.rpt"), QStringLiteral("Resumen de sumas y saldos por cuenta")},
            {QStringLiteral("infDeuda.rpt"), QStringLiteral("Informe de deudas de socios")},
        };
        for (const auto &r : reports) {
            const QString pdf = print(r.first, QString());
            QVERIFY2(!pdf.isEmpty(), qPrintable(r.first));
            const QString text = pdfText(pdf);
            QVERIFY2(has(text, QStringLiteral("Club Atlético O'Higgins")), qPrintable(r.first));
            QVERIFY2(has(text, QStringLiteral("CUIT 30-12345678-9")), qPrintable(r.first));
            QVERIFY2(has(text, r.second), qPrintable(r.first));
            QVERIFY2(has(text, QStringLiteral("Impreso el 05/03/2009")), qPrintable(r.first));
            QVERIFY2(has(text, QStringLiteral("Página 1 de ")), qPrintable(r.first));
        }
        QVERIFY(Mensaje::mostrados().isEmpty());

        // Without settings the header simply has no company.
        QVERIFY(Configuracion::escribir(QStringLiteral("NombreEmpresa"), QString()));
        QVERIFY(Configuracion::escribir(QStringLiteral("CUITEmpresa"), QString()));
        const QString text = pdfText(print(QStringLiteral("Socios.rpt"), QString()));
        QVERIFY(!text.contains(QStringLiteral("O'Higgins")));
        QVERIFY(!text.contains(QStringLiteral("CUIT")));
        QVERIFY(has(text, QStringLiteral("Listado de socios")));
    }

    void rowsAndTotalsReadBackFromThePdf() {
        QString t =
            pdfText(print(QStringLiteral("Socios.rpt"), QStringLiteral("{Afiliados.idAfiliado} <> 0")));
        QVERIFY(t.indexOf(QStringLiteral("Álvarez, Ana")) < t.indexOf(QStringLiteral("Pérez, Juan")));
        CHECK_HAS(t, QStringLiteral("jperez@example.com"));
        CHECK_HAS(t, QStringLiteral("Total de socios 2"));

        t = pdfText(
            print(QStringLiteral("ctacuotas.rpt"), QStringLiteral("{cuotas.idAfiliado} = %1").arg(perez)));
        CHECK_HAS(t, QStringLiteral("Pérez, Juan"));
        CHECK_HAS(t, QStringLiteral("CUOTA MES 1 01/2009 10/01/2009 $ 1.234,50 Pagada 12/01/2009"));
        CHECK_HAS(t, QStringLiteral("CUOTA MES 2 02/2009 10/02/2009 $ 25,00 Vencida"));
        CHECK_HAS(t, QStringLiteral("Total emitido $ 1.259,50"));
        CHECK_HAS(t, QStringLiteral("Vencido impago al 05/03/2009 $ 25,00"));

        t = pdfText(print(QStringLiteral("recibo.rpt"),
                          QStringLiteral("{ConsultaCuotas.IdCuota} = %1").arg(paidDue)));
        CHECK_HAS(t, QStringLiteral("RECIBO Nº %1").arg(paidDue, 8, 10, QLatin1Char('0')));
        CHECK_HAS(t, QStringLiteral("mil doscientos treinta y cuatro con 50/100"));
        CHECK_HAS(t, QStringLiteral("$ 1.234,50"));
        CHECK_HAS(t, QStringLiteral("PAGADA"));
        QVERIFY(!t.contains(QStringLiteral("IMPAGA")));
        QCOMPARE(t.count(QStringLiteral("RECIBO Nº")), 2); // original and duplicate

        t = pdfText(print(
            QStringLiteral("caja.rpt"),
            QStringLiteral(
                "{consultaCaja.Fecha} >= date(2009, 3, 5) and {consultaCaja.Fecha} <= date(2009, 4, 5)")));
        CHECK_HAS(t, QStringLiteral("05/03/2009 Caja Cobro de CUOTA MES 1 a Pérez Efectivo $ 1.234,50"));
        CHECK_HAS(t, QStringLiteral("05/04/2009 Caja Compra de pelotas Cheque $ 45,50"));
        CHECK_HAS(t, QStringLiteral("Totales (2 movimientos) $ 1.234,50 $ 45,50"));
        CHECK_HAS(t, QStringLiteral("Saldo del período $ 1.189,00"));

        t = pdfText(
            print(QStringLiteral("resctas.rpt"), QStringLiteral("{ConsultaCaja.fecha} >= date(2009, 3, 5)")));
        CHECK_HAS(t, QStringLiteral("Caja 2 $ 1.234,50 $ 45,50 $ 1.189,00"));
        CHECK_HAS(t, QStringLiteral("Ingresos y egresos por cuenta"));

        t = pdfText(
            print(QStringLiteral("infDeuda.rpt"), QStringLiteral("{ConsultaDeuda.SumaDeMonto} <> 0")));
        CHECK_HAS(t, QStringLiteral("Pérez, Juan"));
        QVERIFY(!t.contains(QStringLiteral("Álvarez")));
        CHECK_HAS(t, QStringLiteral("Total: 1 socio 1 $ 25,00"));
    }

    void aLongStatementNamesTheMemberOnEveryPage() {
        for (int i = 0; i < 70; ++i)
            nuevaCuota(perez, 1, QDate(2010, 1, 10).addMonths(i), 250000, false, {}, 1 + i % 12,
                       2010 + i / 12, QStringLiteral("CUOTA MES %1").arg(1 + i % 12));
        const QString pdf =
            print(QStringLiteral("ctacuotas.rpt"), QStringLiteral("{cuotas.idAfiliado} = %1").arg(perez));
        QCOMPARE(TestSupport::paginasPdf(pdf), 2);
        const QString second = pdfText(pdf, 2, 2);
        CHECK_HAS(second, QStringLiteral("Socio Nº %1 — Pérez, Juan (continuación)").arg(perez));
        CHECK_HAS(second, QStringLiteral("Concepto"));
        CHECK_HAS(second, QStringLiteral("Total emitido $ 3.009,50"));
    }

    void unpaidReceiptSaysSoPlainly() {
        const int due = nuevaCuota(perez, 1, QDate(2009, 4, 10), 250000, false, {}, 4, 2009,
                                   QStringLiteral("CUOTA MES 4"));
        const QString t = pdfText(
            print(QStringLiteral("recibo.rpt"), QStringLiteral("{ConsultaCuotas.IdCuota} = %1").arg(due)));
        CHECK_HAS(t, QStringLiteral("IMPAGA"));
        CHECK_HAS(t, QStringLiteral("no es válido como recibo de pago"));
    }

    void emptySelectionPrintsAPageThatSaysSo() {
        const QString pdf =
            print(QStringLiteral("caja.rpt"), QStringLiteral("{consultaCaja.Fecha} >= date(2010, 1, 1)"));
        QVERIFY(!pdf.isEmpty());
        QVERIFY(has(pdfText(pdf), QStringLiteral("No hay registros que cumplan la selección.")));
        QVERIFY(Mensaje::mostrados().isEmpty());
    }

    void longListsRepeatHeadingsAndLoseNoRow() {
        for (int i = 0; i < 150; ++i)
            nuevoAfiliado(QStringLiteral("Socio%1").arg(i, 3, 10, QLatin1Char('0')),
                          QStringLiteral("Nombre con varias palabras largas"));
        const QString pdf =
            print(QStringLiteral("Socios.rpt"), QStringLiteral("{Afiliados.idAfiliado} <> 0"));
        const int pages = TestSupport::paginasPdf(pdf);
        QVERIFY2(pages >= 4, qPrintable(QString::number(pages)));
        int seen = 0;
        for (int p = 1; p <= pages; ++p) {
            const QString t = pdfText(pdf, p, p);
            QVERIFY2(has(t, QStringLiteral("Página %1 de %2").arg(p).arg(pages)), qPrintable(t.left(400)));
            CHECK_HAS(t, QStringLiteral("Apellido y nombres"));
            seen += int(t.count(QRegularExpression(QStringLiteral("Socio\\d{3}, "))));
        }
        QCOMPARE(seen, 150);
        QVERIFY(has(pdfText(pdf, pages, pages), QStringLiteral("Total de socios 152")));
    }

    // Every figure of every print-out is printed whole, however large the amount (the largest the database
    // can hold, and a large club's month of income): never shortened, never wrapped round on the chart.
    void everyFigureIsPrintedWhole() {
        const Money max = Money::fromUnits(Money::Max);
        const QString maxText = QStringLiteral("$ 922.337.203.685.477,5807");
        const int rico = nuevoAfiliado(QStringLiteral("Rico"), QStringLiteral("Max"), 1);
        const int enorme = nuevaCuota(rico, 1, QDate(2009, 2, 10), Money::Max, false, {}, 2, 2009,
                                      QStringLiteral("CUOTA MES 2"));
        nuevoMovimiento(QDate(2010, 1, 1), 1, QStringLiteral("Enorme"), Money::Max, 0);
        for (int i = 0; i < 30; ++i)
            nuevoMovimiento(QDate(2011, 1, 1 + i), 1, QStringLiteral("Cuotas del día"), 54538870000LL, 0);
        const QVector<QPair<QString, QString>> casos = {
            {QStringLiteral("recibo.rpt"), QStringLiteral("{ConsultaCuotas.IdCuota} = %1").arg(enorme)},
            {QStringLiteral("cuotas.rpt"), QStringLiteral("{Cuotas.idAfiliado} = %1").arg(rico)},
            {QStringLiteral("ctacuotas.rpt"), QStringLiteral("{cuotas.idAfiliado} = %1").arg(rico)},
            {QStringLiteral("infDeuda.rpt"), QStringLiteral("{ConsultaDeuda.idAfiliado} = %1").arg(rico)},
            {QStringLiteral("caja.rpt"), QStringLiteral("{ConsultaCaja.Fecha} = date(2010, 1, 1)")},
            {QStringLiteral("resctas.rpt"), QStringLiteral("{ConsultaCaja.Fecha} = date(2010, 1, 1)")},
            {QStringLiteral("caja.rpt"), QStringLiteral("{ConsultaCaja.Fecha} >= date(2011, 1, 1)")},
        };
        for (const auto &[informe, formula] : casos) {
            ReportError err;
            auto data = ReportData::open(informe, formula, &err);
            QVERIFY2(data, qPrintable(err.message));
            ReportDocument doc;
            const Result built = doc.build(*data);
            QVERIFY2(built, qPrintable(built.message()));
            QStringList textos;
            for (int p = 0; p < doc.pageCount(); ++p)
                textos << doc.pageTexts(p);
            if (qEnvironmentVariableIsSet("MIRABEL_CAPTURAS")) // to look at it as a reader would
                doc.pageImage(0, 2).save(qEnvironmentVariable("MIRABEL_CAPTURAS") +
                                         QStringLiteral("/cifras-") + informe +
                                         QString::number(formula.size()) + QStringLiteral(".png"));
            const QString todo = textos.join(QLatin1Char(' '));
            QVERIFY2(!todo.contains(QChar(0x2026)), qPrintable(informe + QStringLiteral(": ") + todo));
            QVERIFY2(!todo.contains(QStringLiteral("-$")), qPrintable(informe + QStringLiteral(": ") + todo));
            if (formula.contains(QStringLiteral("2011")))
                QVERIFY2(textos.contains(QStringLiteral("$ 163.616.610,00")), qPrintable(todo));
            else
                QVERIFY2(textos.contains(maxText), qPrintable(informe + QStringLiteral(": ") + todo));
            if (informe == QStringLiteral("recibo.rpt"))
                QVERIFY2(todo.contains(max.toSpanishWords()), qPrintable(todo));
            if (informe == QStringLiteral("resctas.rpt")) // the chart's scale: a quarter of the amount first
                QVERIFY2(textos.contains(QStringLiteral("$ 230.584.300.921.369,3951")), qPrintable(todo));
        }
    }

    void whatCannotBePrintedIsToldInSpanish() {
        QCOMPARE(print(QStringLiteral("balance.rpt"), QString()), QString());
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().first().titulo, QStringLiteral("Error"));
        QCOMPARE(Mensaje::mostrados().first().icono, QMessageBox::Critical);
        QVERIFY(Mensaje::mostrados().first().texto.contains(
            QStringLiteral("No existe el informe \"balance.rpt\"")));
        QVERIFY(!QFile::exists(m_out.filePath(QStringLiteral("balance.rpt.pdf"))));

        Mensaje::limpiar();
        QCOMPARE(
            print(QStringLiteral("caja.rpt"), QStringLiteral("{ConsultaCaja.Descripcion} = 'O'Higgins'")),
            QString());
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QVERIFY(Mensaje::mostrados().first().texto.contains(QStringLiteral("fórmula de selección")));
    }

    void secondPrintOutCarriesNothingOfTheFirst() {
        ReportControl cr(&m_owner);
        const QString a = m_out.filePath(QStringLiteral("a.pdf")),
                      b = m_out.filePath(QStringLiteral("b.pdf"));
        cr.setReportFileName(QStringLiteral("infDeuda.rpt"));
        cr.setConnect(QStringLiteral(";pwd=kR4wZp8N"));
        cr.setSelectionFormula(QStringLiteral("{ConsultaDeuda.SumaDeMonto} <> 0"));
        ReportControl::setPdfDestinationForTests(a);
        QVERIFY(cr.printReport());
        cr.setReportFileName(QStringLiteral("Socios.rpt"));
        cr.setConnect(QStringLiteral(";pwd=kR4wZp8N"));
        cr.setSelectionFormula(QStringLiteral("{Afiliados.idAfiliado} <> 0"));
        ReportControl::setPdfDestinationForTests(b);
        QVERIFY(cr.printReport());
        ReportControl::setPdfDestinationForTests(QString());
        QVERIFY(has(pdfText(b), QStringLiteral("Álvarez, Ana")));
        QVERIFY(!has(pdfText(a), QStringLiteral("Álvarez, Ana")));
    }

    void previewShowsOverTheWindowThatRanItAndNavigates() {
        for (int i = 0; i < 80; ++i)
            nuevoAfiliado(QStringLiteral("Socio%1").arg(i), QStringLiteral("Nombre"));
        QDialog window; // a modal window of another part, printing through the main window's report object
        window.setObjectName(QStringLiteral("ventanaQueImprime"));
        ReportControl cr(&m_owner);
        cr.setReportFileName(QStringLiteral("Socios.rpt"));
        cr.setSelectionFormula(QStringLiteral("{Afiliados.idAfiliado} <> 0"));
        bool checked = false;
        const QString saved = m_out.filePath(QStringLiteral("desde-la-vista.pdf"));
        QTimer::singleShot(0, &window, [&] {
            alAbrirModal([&](QWidget *w) {
                auto *v = qobject_cast<panVistaPrevia *>(w);
                usePreview(v, &window, saved, &checked);
                if (v)
                    control<QPushButton>(v, "cmdCerrar")->click();
                else
                    w->close();
            });
            window.done(cr.printReport() ? 1 : 0);
        });
        QCOMPARE(window.exec(), 1);
        QVERIFY(checked);
        QVERIFY(has(pdfText(saved), QStringLiteral("Socio79")));
    }

    void printsThePagesTheDialogAsksFor() {
        for (int i = 0; i < 120; ++i)
            nuevoAfiliado(QStringLiteral("Socio%1").arg(i), QStringLiteral("Nombre"));
        ReportDocument doc;
        ReportError error;
        QVERIFY(ReportControl::buildDocument(QStringLiteral("Socios.rpt"), QString(), &doc, &error));
        QVERIFY(doc.pageCount() >= 4);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString path = m_out.filePath(QStringLiteral("impreso.pdf"));
        printer.setOutputFileName(path);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 3);
        const Result impreso = panVistaPrevia::imprimirDocumento(doc, &printer);
        QVERIFY2(impreso, qPrintable(impreso.message()));
        QCOMPARE(TestSupport::paginasPdf(path), 2);
        QVERIFY(has(pdfText(path, 1, 1), QStringLiteral("Página 2 de %1").arg(doc.pageCount())));
        // The document's own text of a page is what the PDF shows.
        const QString third = pdfText(path, 2, 2);
        for (const QString &s : doc.pageTexts(2))
            CHECK_HAS(third, s);
    }
};

MIRABEL_TEST_MAIN(tst_ReportPrint)
#include "tst_ReportPrint.moc"
