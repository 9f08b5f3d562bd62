#pragma once

#include "core/Result.h"

#include "core/Columna.h"

#include <QLocale>
#include <QString>
#include <QVariantList>
#include <QVector>
#include <functional>
#include <optional>

// Writes a list (a record source with its columns and captions) to a spreadsheet file: CSV as a Spanish
// spreadsheet opens it without asking, or Excel (.xlsx) with real numbers and dates. Rows are read and
// written one at a time, so a list of any length takes little memory.
class ListExport {
public:
    enum class Kind { Text, Money, Date, Integer, YesNo };
    enum class Format { Csv, Xlsx };
    struct Column {
        QString caption;
        QString field;
        Kind kind = Kind::Text;
    };
    // Called now and then with rows written and the list's total; returning false cancels.
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    // "xlsx"/"excel" or "csv", without regard to case.
    static std::optional<Format> formatFromName(const QString &name);
    static QString extension(Format format); // "xlsx" or "csv"

    // Writes the rows of sql (bound params) to path. The file appears only when complete: a cancelled or
    // failed export leaves no file behind (and an older file of that name as it was).
    // sheetName names the Excel sheet. On failure a Spanish reason; Cancelled when progress said stop.
    static Result write(const QString &path, Format format, const QString &sql, const QVariantList &params,
                        const QVector<Column> &columns, const QString &sheetName,
                        const Progress &progress = {}, const QLocale &locale = QLocale());

    // A list's columns as an export writes them: caption, field and kind of value.
    static QVector<Column> columns(const QVector<Columna> &columnas);

    // One CSV field, quoted when it must be (separator, quotes, line breaks, leading/trailing blanks).
    static QString csvField(const QString &text);
};
