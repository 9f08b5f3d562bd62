#pragma once

#include "core/Result.h"

#include "core/Money.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

// Moves a whole club from one database to another: a desk's file to a server and back (or file to file,
// server to server). The source is only read, as one moment of it; the target must hold no data and is
// written in one transaction, so a failure or a cancel leaves it as it was (a new file is only put in
// place once complete). Every row keeps its number and every link, links to deleted rows included, and
// the key counters of the target go past every number the source ever handed out.
class DatabaseTransfer {
public:
    struct Sum {
        QString column;
        Money source;
        Money target;
        bool same() const { return source == target; }
    };
    struct TableCheck {
        QString table;
        qint64 sourceRows = 0;
        qint64 targetRows = -1; // -1: not written
        qint64 sourceKeys = 0;  // sum of the row numbers: the rows kept their numbers
        qint64 targetKeys = 0;
        QList<Sum> sums; // money columns
        // Every column of every row, in key order: a text changed on the way shows here.
        QByteArray sourceDigest;
        QByteArray targetDigest;
        // Dates that carry a time of day (the old program's cash book), per date column, on each side: a
        // server keeps the day only. Told, not counted as a difference.
        struct Timed {
            QString column;
            qint64 source = 0;
            qint64 target = 0;
        };
        QList<Timed> timed;
        bool same() const;
    };
    enum class Status { Ok, Cancelled, SourceError, TargetHasData, TargetError, WriteError, Mismatch };
    struct [[nodiscard]] Result {
        Status status = Status::WriteError;
        QString error; // Spanish, for the user
        QList<TableCheck> tables;
        bool ok() const { return status == Status::Ok; }
    };
    // Rows copied so far of all rows, and the table being copied. Returning false cancels the copy.
    using Progress = std::function<bool(qint64 done, qint64 total, const QString &table)>;

    // source and target are each a file path or a server address (postgresql://user@host[:port]/base).
    // A missing target file is created; an existing target (file or server database) must be empty or a
    // Mirabel database holding only what a new one starts with. The rows, money totals and a digest of
    // every value of both sides are compared before the target is committed: any difference leaves the
    // target untouched (Mismatch). The target is the same club: it takes the source's identity.
    static Result run(const QString &source, const QString &target, const Progress &progress = {});
    // The same from a connection already open (a server's automatic copy into a file); it must not be
    // inside a transaction.
    static Result run(const QSqlDatabase &source, const QString &target, const Progress &progress = {});

    // The comparison as lines of text, one per table and one per money column.
    static QStringList summaryLines(const Result &result);

    // The nine tables, in the order they are copied.
    static QStringList tableNames();

    // Whether db holds nothing but what a new database starts with (account 1, the five forms of
    // payment), or why it cannot be read.
    static Expected<bool> isNew(const QSqlDatabase &db);
};
