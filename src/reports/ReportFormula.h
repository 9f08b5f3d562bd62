#pragma once

#include "core/Result.h"

#include <QDate>
#include <QString>
#include <QVariantList>
#include <QVector>
#include <memory>
#include <optional>

// What a stored field holds, as far as a selection formula cares: money is integer ten-thousandths,
// yes/no is 0/1 (any non-zero reads as yes), dates are ISO text.
enum class ReportFieldKind { Integer, Money, Text, Date, YesNo };

// A field that a report's selection formula may name as {Table.Field}. The table may be a stored query;
// sql is the expression of the report's own source that holds the value.
struct ReportField {
    QString table;
    QString field;
    QString sql;
    ReportFieldKind kind = ReportFieldKind::Integer;
    // Shown when the selection is described on the print-out; empty leaves the condition out
    // (record keys such as "{Afiliados.idAfiliado} <> 0" say nothing to a reader).
    QString caption;
};

// One node of a parsed formula.
struct FormulaNode {
    enum class Type { And, Or, Not, Compare, Field, Number, Text, Boolean, Date, IsNull };
    Type type = Type::Boolean;
    int position = 0; // offset in the formula text, for messages
    QString op;       // Compare: "=", "<>", "<", ">", "<=", ">="
    std::unique_ptr<FormulaNode> left, right;
    QString table, field; // Field, IsNull
    QString text;         // Text; Number keeps its digits as written ("12", "-3", "12.5")
    bool boolean = false;
    QDate date;
};

// The selection formula of a report: {Table.Field} references, =, <>, <, >, <=, >=, and, or, not,
// parentheses, True/False, numbers, 'text' (a quote inside is written twice, 'O''Brien'; "text" also
// reads), date(year, month, day) and isnull({Table.Field}), the condition that a field has no value (a
// comparison with a field that has none is never true, nor is its negation). It is parsed once and turned
// into a WHERE clause with bound values for the report's source; no part of the formula text ever reaches the
// SQL itself. Numbers are written with the digits 0-9 only. A formula holds at most MaxConditions conditions
// and MaxNesting levels of parentheses (a run of 'not' counts once); beyond that it is refused as a formula
// error, never passed to the engine.
class ReportFormula {
public:
    static constexpr int MaxConditions = 200;
    static constexpr int MaxNesting = 20;

    ReportFormula();
    ~ReportFormula();
    ReportFormula(ReportFormula &&) noexcept;
    ReportFormula &operator=(ReportFormula &&) noexcept;

    static ReportFormula parse(const QString &text);

    bool isValid() const { return m_error.isEmpty(); }
    // Empty formula (blank text): every record.
    bool isEmpty() const { return !m_root; }
    // Why the formula cannot be read, in Spanish, with the place where reading stopped.
    QString error() const { return m_error; }
    QString text() const { return m_text; }
    const FormulaNode *root() const { return m_root.get(); }

    struct Sql {
        QString where; // "1 = 1" for an empty formula
        QVariantList params;
    };
    // The WHERE clause for a report whose source offers these fields. A field the report does not have,
    // or a comparison of values of different kinds, is Invalid with a Spanish reason.
    Expected<Sql> toSql(const QVector<ReportField> &fields) const;

    // The selection in plain words for the print-out: "Fecha: del 05/03/2009 al 05/04/2009 · Cuenta: Caja".
    // Only conditions on captioned fields are described; anything the words cannot say is left out.
    QString describe(const QVector<ReportField> &fields) const;

    // A text as a formula literal, quotes doubled: O'Brien gives 'O''Brien'. Callers that put a name
    // into a formula use this, so that an apostrophe cannot end the text early.
    static QString textLiteral(const QString &text);
    // A date as the formula's date constructor: 5 March 2009 gives "date(2009, 3, 5)".
    static QString dateTerm(const QDate &date);

    // Finds a field without regard to letter case of table and field; nullptr when the report lacks it.
    static const ReportField *findField(const QVector<ReportField> &fields, const QString &table,
                                        const QString &field);

private:
    QString m_text;
    QString m_error;
    std::unique_ptr<FormulaNode> m_root;
};
