#pragma once

#include <QObject>
#include <QString>

class QWidget;
class ReportDocument;
struct ReportError;

// The main window's report object: set the report file, the connection and the selection formula, then
// run it. The report shows in a preview over whichever window ran it, from which it prints or saves a PDF.
// Every run sets the three values again, so nothing of one print-out carries over to the next.
class ReportControl : public QObject {
    Q_OBJECT
public:
    explicit ReportControl(QWidget *owner);

    void setReportFileName(const QString &name);
    void setConnect(const QString &connect);
    void setSelectionFormula(const QString &formula);
    // Runs the report. An unknown report or a formula that cannot be read is told to the user in Spanish;
    // returns false then.
    bool printReport();

    QString reportFileName() const { return m_file; }
    QString connect() const { return m_connect; }
    QString selectionFormula() const { return m_formula; }

    // Test seam: while set, printReport() writes the report to this PDF file instead of showing the preview.
    static void setPdfDestinationForTests(const QString &path);
    static QString pdfDestinationForTests();

    // Prepares a report on the program's connection and lays it out, without any window: for printReport(),
    // the command line and the benchmarks. Nothing is shown; on failure *error says why.
    [[nodiscard]] static bool buildDocument(const QString &reportFile, const QString &formula,
                                            ReportDocument *doc, ReportError *error,
                                            QWidget *progressParent = nullptr);

private:
    QWidget *m_owner;
    QString m_file;
    QString m_connect;
    QString m_formula;
};
