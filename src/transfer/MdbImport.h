#pragma once

#include "core/Money.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

// Brings a club's old BASE.mdb into a Mirabel database: the nine tables, every live row, keys kept so
// every link holds (links to deleted rows included), values exact. One transaction: a failure or a cancel
// leaves the target as it was, and a new file is only put in place once it is complete.
class MdbImport {
public:
    struct TableSummary {
        QString table;
        qint64 read = 0;
        qint64 written = 0;
        QList<QPair<QString, Money>> sums; // money columns, as written
        qint64 nullsAsZero = 0;            // Null amounts or flags in columns that cannot hold Null
    };
    enum class Status { Ok, Cancelled, SourceError, TargetHasData, TargetError, WriteError };
    struct [[nodiscard]] Result {
        Status status = Status::WriteError;
        QString error; // Spanish, for the user
        QList<TableSummary> tables;
        bool ok() const { return status == Status::Ok; }
    };
    // Rows done so far of all rows, and the table being read. Returning false cancels the import.
    using Progress = std::function<bool(qint64 done, qint64 total, const QString &table)>;

    // Imports source (.mdb) into target (.db). A missing or empty target is created; an existing Mirabel
    // database is accepted only while it holds no members, dues or movements (a copy of it is taken first,
    // and its users, accounts, forms of payment, plans and categories are replaced by the old file's).
    static Result run(const QString &source, const QString &target, const Progress &progress = {});

    // The summary as lines of text, one per table (the command line and the log show it).
    static QStringList summaryLines(const Result &result);

    // How an imported user's password is stored: the one place that decides it.
    static QVariant storedPassword(const QVariant &asRead);

    // The nine tables, in the order they are imported.
    static QStringList tableNames();
};
