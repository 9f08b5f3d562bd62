#pragma once

#include "core/Result.h"

#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVector>

// A long list read a page at a time in its own order, made of parts read one after another: each part is
// one walk of an index (a server does not merge the ordered branches of a union, so a list in one
// statement would be sorted whole before its first row). Within a part, the rows after the last one read
// are found by the values of its order (keyset), never by skipping the rows before them.
namespace KeysetList {

// A SELECT without ORDER BY or LIMIT; order names its output columns, each ascending with NULLs first
// (the index of a server declares them so), the last one telling the part's rows apart.
struct Part {
    QString sql;
    QVariantList params;
    QStringList order;
};

// Where a reading starts: a part, and the order's values of the last row read in it (empty: its start).
struct Cursor {
    int part = 0;
    QVariantList last;
};

// The part's rows that agree with last on its first `equal` order columns and come after it on the next
// one (every row when last is empty), in order; the number of rows is the last value, bound by the caller.
QString pageStatement(const Part &part, const QVariantList &last, int equal, QVariantList *params);

// Reads up to `rows` rows of `columns` values from `from` on onto *out; where the next reading starts.
Expected<Cursor> read(const QSqlDatabase &db, const QVector<Part> &parts, const Cursor &from, int rows,
                      int columns, QVector<QVector<QVariant>> *out);

} // namespace KeysetList
