#include "ui/ReportControl.h"

#include "core/Log.h"
#include "reports/ReportData.h"
#include "reports/ReportDocument.h"
#include "ui/Mensaje.h"
#include "ui/panVistaPrevia.h"

#include <QApplication>
#include <QProgressDialog>
#include <QWidget>

namespace {
QString g_pdfForTests;

// The preview goes over the window that ran the report: a modal window (payment, issuance, cash report)
// when one is open, else the active window, else the main window.
QWidget *windowThatRan(QWidget *owner) {
    if (QWidget *w = QApplication::activeModalWidget())
        return w;
    if (QWidget *w = QApplication::activeWindow())
        return w;
    return owner ? owner->window() : nullptr;
}
} // namespace

ReportControl::ReportControl(QWidget *owner) : QObject(owner), m_owner(owner) {}

void ReportControl::setReportFileName(const QString &name) {
    m_file = name;
}
void ReportControl::setConnect(const QString &connect) {
    m_connect = connect;
}
void ReportControl::setSelectionFormula(const QString &formula) {
    m_formula = formula;
}
void ReportControl::setPdfDestinationForTests(const QString &path) {
    g_pdfForTests = path;
}
QString ReportControl::pdfDestinationForTests() {
    return g_pdfForTests;
}

bool ReportControl::buildDocument(const QString &reportFile, const QString &formula, ReportDocument *doc,
                                  ReportError *error, QWidget *progressParent) {
    if (!progressParent)
        return doc->build(reportFile, formula, error);
    // Large selections take a while: say so, keep the window painted, and let the user give up.
    QProgressDialog progress(QStringLiteral("Preparando el informe..."), QStringLiteral("Cancelar"), 0, 0,
                             progressParent);
    progress.setWindowTitle(QStringLiteral("Mirabel!"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    return doc->build(reportFile, formula, error, [&progress](int records) {
        progress.setLabelText(
            QStringLiteral("Preparando el informe... %1 registros").arg(QLocale().toString(records)));
        progress.setValue(0);
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });
}

bool ReportControl::printReport() {
    QWidget *parent = windowThatRan(m_owner);
    ReportDocument doc;
    ReportError error;
    if (!buildDocument(m_file, m_formula, &doc, &error, g_pdfForTests.isEmpty() ? parent : nullptr)) {
        // A cancelled preparation is the user's own choice: nothing to report.
        if (error.kind != ReportError::Kind::Cancelled)
            Mensaje::error(error.message, parent);
        return false;
    }
    if (!g_pdfForTests.isEmpty()) {
        if (const Result r = doc.writePdf(g_pdfForTests); !r) {
            Mensaje::error(r.message(), parent);
            return false;
        }
        return true;
    }
    panVistaPrevia preview(doc, parent);
    preview.exec();
    return true;
}
