#pragma once

#include "core/Result.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

// Reads the tables of an old Access file (Jet 4, the old program's BASE.mdb) through mdbtools' libmdb,
// every value exactly as stored: integers and Currency (integer ten-thousandths) as qlonglong, Date/Time as
// a QDateTime in UTC (naive: no zone was ever stored), Yes/No as bool, Text as QString with "" kept apart
// from Null. Rows the file marks deleted are skipped by libmdb.
class MdbReader {
public:
    enum class Type { Integer, Money, DateTime, YesNo, Text, Unsupported };
    struct Column {
        QString name;
        Type type = Type::Unsupported;
    };

    MdbReader();
    ~MdbReader();
    MdbReader(const MdbReader &) = delete;
    MdbReader &operator=(const MdbReader &) = delete;

    // Checks the file's header and size before libmdb sees it (libmdb reads a damaged file without
    // complaint), then reads its catalogue. On failure a Spanish reason: NotFound when there is no such
    // file, NotOurs when it is no Access database.
    Result open(const QString &path);
    void close();

    // The columns of a table, in stored order; a reason when the table is absent or unreadable.
    Expected<QList<Column>> columns(const QString &table);
    // Live rows as recorded in the table's definition (what a complete read must yield).
    qint64 recordedRows(const QString &table);

    // Reads every live row, handing the values of the wanted columns (by name, without regard to case) in
    // that order. Stops early when row returns false (Cancelled, with no message). Fails when a wanted
    // column is missing or the rows read fall short of those recorded (a truncated file).
    Result readTable(const QString &table, const QStringList &wanted,
                     const std::function<bool(const std::vector<QVariant> &)> &row);

    // A Jet Date/Time (days since 1899-12-30, the fraction the time of day) to the second it names.
    static QDateTime jetDateTime(double days, bool *ok);
    // A Jet 4 text value as stored: UTF-16LE, or its compressed form (0xFF 0xFE, runs of one-byte chars).
    static QString jetText(const unsigned char *data, int size);

private:
    struct Handle;
    std::unique_ptr<Handle> d;
};
