#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

// The tables of a Jet 4 file (Access 2000 and later, the old program's BASE.mdb) read page by page, for
// where mdbtools' libmdb is not to be had (the Windows build). Reads what the old program's tables hold:
// Yes/No, Byte, Integer, Long Integer, Currency, Date/Time, Text and Memo; rows marked deleted are skipped,
// and every offset is checked against its page, so a damaged file gives a failure, never a wild read.
class JetFile {
public:
    // The column kinds, as Jet numbers them.
    enum Kind : int {
        YesNo = 0x01,
        Byte = 0x02,
        Int = 0x03,
        LongInt = 0x04,
        Money = 0x05,
        DateTime = 0x08,
        Text = 0x0A,
        Memo = 0x0C,
    };
    struct Column {
        QString name;
        int kind = 0;
        int number = 0;      // its bit in a row's null mask
        int varIndex = 0;    // among the variable-length columns
        int fixedOffset = 0; // within a row's fixed part
        int length = 0;
        bool fixed = false;
    };
    struct Table {
        int page = 0;
        qint64 rows = 0; // live rows, as recorded
        QList<Column> columns;
        quint32 usageMap = 0; // row (low byte) and page of the map of its data pages
    };

    // The file's first page has been checked by the caller (a Jet 4 header); reads the catalogue.
    Result open(const QString &path);
    void close();
    // Failed with NotFound when there is no such table.
    Expected<Table> table(const QString &name);
    // Every live row's values of the columns numbered in wanted (indexes into t.columns), in that order:
    // integers and Currency as qlonglong, Date/Time as the day count (double), Yes/No as bool, Text and
    // Memo as their stored bytes decoded by decodeText. Stops when row returns false.
    Result readRows(const Table &t, const std::vector<int> &wanted,
                    const std::function<bool(std::vector<QVariant> &)> &row, qint64 *read);

    // A little-endian integer of 1 to 8 bytes, as Jet stores them.
    static qint64 integer(const unsigned char *p, int bytes);

    using TextDecoder = QString (*)(const unsigned char *, int);
    void setTextDecoder(TextDecoder decoder) { m_decode = decoder; }

private:
    bool page(quint32 number, QByteArray &out);
    Expected<Table> tableAt(quint32 page);
    // Start and size of row r of a data page; false when the page does not hold it whole.
    static bool rowBounds(const QByteArray &pg, int r, int *start, int *size, int *flags);
    Result dataPages(const Table &t, std::vector<quint32> &out);
    bool memo(const unsigned char *p, int size, QByteArray &out);

    QFile m_file;
    qint64 m_pages = 0;
    QList<QPair<QString, int>> m_catalog; // user and system tables by name, with their definition's page
    TextDecoder m_decode = nullptr;
};
