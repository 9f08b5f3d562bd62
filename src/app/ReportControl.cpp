#include "app/ReportControl.h"

#include "ui/Mensaje.h"

#include <QWidget>

namespace {
QString g_pdfForTests;
}

ReportControl::ReportControl(QWidget *owner) : QObject(owner), m_owner(owner) {}

void ReportControl::setReportFileName(const QString &name) { m_file = name; }
void ReportControl::setConnect(const QString &connect) { m_connect = connect; }
void ReportControl::setSelectionFormula(const QString &formula) { m_formula = formula; }
void ReportControl::setPdfDestinationForTests(const QString &path) { g_pdfForTests = path; }

bool ReportControl::printReport() {
    Mensaje::error(QStringLiteral("Error, el motor de informes no está disponible en esta versión."), m_owner);
    return false;
}
