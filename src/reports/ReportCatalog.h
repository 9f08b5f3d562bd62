#pragma once

#include "reports/ReportFormula.h"

#include <QString>
#include <QVector>
#include <Qt>

enum class ReportId { Socios, CtaCuotas, Cuotas, Recibo, Caja, ResCtas, InfDeuda, Actividad };

// A column of a report's table: heading, share of the table's width, alignment, and how many lines a
// long text may take (beyond them it is shortened with "…"). A line break in a cell starts a new line.
struct ReportColumn {
    QString caption;
    double width = 1;
    Qt::Alignment align = Qt::AlignLeft;
    int lines = 1;
};

// One of the program's print-outs: the name callers use ("cuotas.rpt"), its title and page orientation,
// the table it prints, the fields its selection formula may name, and the SQL that reads its records.
struct ReportDefinition {
    ReportId id = ReportId::Socios;
    QString fileName;
    QString title;
    bool landscape = false;
    QVector<ReportColumn> columns;
    QVector<ReportField> fields;
    // SELECT ... FROM ... ; the formula's WHERE and then tail (GROUP BY / ORDER BY) follow.
    QString select;
    QString tail;
    // Selection used from the command line when none is given.
    QString defaultFormula;
};

namespace ReportCatalog {
const QVector<ReportDefinition> &all();
// Finds a report by file name without regard to letter case ("SOCIOS.RPT" is "Socios.rpt"); a folder
// before the name is ignored. nullptr for a name the program does not have.
const ReportDefinition *find(const QString &fileName);
// The list of names, for messages and the command line's help.
QString names();
} // namespace ReportCatalog
