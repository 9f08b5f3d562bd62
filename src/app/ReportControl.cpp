#include "app/ReportControl.h"

#include "data/Log.h"
#include "data/ReportData.h"
#include "ui/Mensaje.h"
#include "ui/ReportDocument.h"
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
    ReportError local;
    ReportError *err = error ? error : &local;
    // The connection text of the original engine carried the database password; SQLite files have none,
    // so the report reads the program's own connection.
    std::unique_ptr<ReportData> data = ReportData::open(reportFile, formula, err);
    if (!data)
        return false;
    QString why;
    bool ok = false;
    bool cancelled = false;
    if (progressParent) {
        // Large selections take a while: say so, keep the window painted, and let the user give up.
        QProgressDialog progress(QStringLiteral("Preparando el informe..."), QStringLiteral("Cancelar"), 0, 0,
                                 progressParent);
        progress.setWindowTitle(QStringLiteral("Mirabel!"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        ok = doc->build(*data, &why, [&progress, &cancelled](int records) {
            progress.setLabelText(
                QStringLiteral("Preparando el informe... %1 registros").arg(QLocale().toString(records)));
            progress.setValue(0);
            QCoreApplication::processEvents();
            cancelled = progress.wasCanceled();
            return !cancelled;
        });
    } else {
        ok = doc->build(*data, &why);
    }
    if (!ok)
        *err = {cancelled ? ReportError::Kind::Cancelled : ReportError::Kind::Database, why};
    return ok;
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
        QString why;
        if (!doc.writePdf(g_pdfForTests, &why)) {
            Mensaje::error(why, parent);
            return false;
        }
        return true;
    }
    panVistaPrevia preview(doc, parent);
    preview.exec();
    return true;
}
