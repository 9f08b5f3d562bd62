#pragma once

#include "core/Money.h"
#include "db/Database.h"
#include "reports/ReportCatalog.h"

#include <QDate>
#include <QHash>
#include <QPair>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVector>
#include <deque>
#include <memory>

// One piece of a print-out, in reading order. The layout decides where it goes on the page; the
// values are already in their printed form (money in the locale's currency, dates dd/MM/yyyy).
struct ReportBand {
    enum class Type {
        Row,         // cells: one per column of the report's table
        GroupHeader, // text (bold) and detail (beside it): a member's dues begin
        GroupFooter, // cells: the group's subtotal under the table's columns
        Totals,      // cells: the report's totals under the table's columns
        Fields,      // text (heading) and pairs: a block of labelled data (a member's details)
        Summary,     // pairs: labelled totals, the last one stressed
        Message,     // text: the selection has no records, or a member has no dues
        PageBreak,   // the next band starts a new page
        Receipt,     // values: one receipt
        ChartStart,  // text (heading) and pairs (legend: label, colour name)
        ChartBar,    // text (label), a and b (the two amounts), scale (largest amount of the chart)
    };
    explicit ReportBand(Type t = Type::Row) : type(t) {}
    static ReportBand summary(QVector<QPair<QString, QString>> pairs) {
        ReportBand b(Type::Summary);
        b.pairs = std::move(pairs);
        return b;
    }

    Type type;
    QStringList cells;
    QString text;
    QString detail;
    QVector<QPair<QString, QString>> pairs;
    QHash<QString, QString> values;
    Money a, b, scale;
};

// Why a report could not be prepared; the command line turns the kind into its exit status.
struct ReportError {
    enum class Kind { None, UnknownReport, Formula, Database, Cancelled };
    Kind kind = Kind::None;
    QString message; // Spanish, ready to show
};

// The records a report selects, streamed as bands with their groups and totals. Only the current record
// and a few pending bands are held, so a report of any size runs in bounded memory.
class ReportData {
public:
    // Finds the report (letter case aside), reads the formula and runs the selection on db.
    static std::unique_ptr<ReportData> open(const QString &reportFile, const QString &formula,
                                            ReportError *error, const QSqlDatabase &db = Database::db());
    virtual ~ReportData();

    const ReportDefinition &definition() const { return *m_def; }
    // Header data: taken once when the report is opened.
    QString company() const { return m_company; }
    QString taxId() const { return m_taxId; }
    QDate printDate() const { return m_printDate; }
    // The selection in words ("Fecha: del 05/03/2009 al 05/04/2009"), possibly empty.
    QString selection() const { return m_selection; }
    // A fixed line under the title that says what the figures mean (the debt report's cut-off date).
    QString note() const { return m_note; }

    // The next band; false at the end or when reading fails (then error() tells why).
    bool next(ReportBand *band);
    QString error() const { return m_error; }
    // Records read so far (for progress).
    int recordsRead() const { return m_records; }

    // Form helpers shared with the layouts.
    static QString money(const Money &m);
    static QString date(const QVariant &stored);
    static QString monthName(int month); // "Marzo"; 0 gives "Inscripción"

protected:
    ReportData() = default;
    // Reads one more record and queues its bands; at the end queues the closing bands and returns false.
    virtual bool fetch() = 0;
    // Next record of the query; false at the end (or on error, noted in m_error).
    bool nextRecord();
    QVariant value(int i) const { return m_query.value(i); }
    QString text(int i) const { return m_query.value(i).toString(); }
    Money amount(int i) const { return Money::fromVariant(m_query.value(i)).value_or(Money()); }
    void queue(ReportBand b) { m_pending.push_back(std::move(b)); }
    void queueMessage(const QString &text);

    const ReportDefinition *m_def = nullptr;
    QSqlQuery m_query;
    QString m_error;
    int m_records = 0;
    QDate m_today;

private:
    std::deque<ReportBand> m_pending;
    bool m_finished = false;
    QString m_company, m_taxId, m_selection, m_note;
    QDate m_printDate;
};
