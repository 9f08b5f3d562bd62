#include "transfer/JetFile.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kPage = 4096;
constexpr int kOffsetMask = 0x1FFF;
constexpr int kDeleted = 0x4000;
constexpr int kLookup = 0x8000; // the row only points to where it was moved: read there
constexpr quint32 kCatalogPage = 2;

quint32 u16(const unsigned char *p) {
    return quint32(p[0]) | quint32(p[1]) << 8;
}
quint32 u32(const unsigned char *p) {
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}
const unsigned char *bytes(const QByteArray &a) {
    return reinterpret_cast<const unsigned char *>(a.constData());
}

Result damaged() {
    return Result::failure(QStringLiteral("el archivo está incompleto o dañado"));
}

} // namespace

qint64 JetFile::integer(const unsigned char *p, int bytes) {
    quint64 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    // Sign-extended: Jet's integers and Currency are two's complement.
    if (bytes < 8 && (v & (quint64(1) << (bytes * 8 - 1))))
        v |= ~quint64(0) << (bytes * 8);
    return qint64(v);
}

Result JetFile::open(const QString &path) {
    close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        return Result::failure(m_file.errorString());
    m_pages = m_file.size() / kPage;
    const Expected<Table> catalog = tableAt(kCatalogPage);
    if (!catalog)
        return catalog.failure();
    int id = -1, name = -1, type = -1;
    for (int i = 0; i < catalog->columns.size(); ++i) {
        const QString &n = catalog->columns[i].name;
        if (n == QLatin1String("Id"))
            id = i;
        else if (n == QLatin1String("Name"))
            name = i;
        else if (n == QLatin1String("Type"))
            type = i;
    }
    if (id < 0 || name < 0 || type < 0)
        return damaged();
    qint64 read = 0;
    return readRows(
        *catalog, {id, name, type},
        [&](const std::vector<QVariant> &v) {
            // Type 1 is a table; the id's low three bytes are its definition's page.
            if ((v[2].toLongLong() & 0x7FFF) == 1)
                m_catalog.append({v[1].toString(), int(v[0].toLongLong() & 0x00FFFFFF)});
            return true;
        },
        &read);
}

void JetFile::close() {
    m_file.close();
    m_catalog.clear();
    m_pages = 0;
}

bool JetFile::page(quint32 number, QByteArray &out) {
    if (number >= quint64(m_pages) || !m_file.seek(qint64(number) * kPage))
        return false;
    out = m_file.read(kPage);
    return out.size() == kPage;
}

Expected<JetFile::Table> JetFile::table(const QString &name) {
    for (const auto &[n, pg] : std::as_const(m_catalog))
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return tableAt(quint32(pg));
    return Result::failure(QString(), Result::Code::NotFound);
}

Expected<JetFile::Table> JetFile::tableAt(quint32 first) {
    // A definition longer than a page goes on in pages of its own, each after an 8-byte header.
    QByteArray def, pg;
    if (!page(first, pg) || pg.at(0) != 0x02)
        return damaged();
    def = pg;
    for (quint32 next = u32(bytes(pg) + 4), hops = 0; next != 0; next = u32(bytes(pg) + 4)) {
        if (++hops > 1000 || !page(next, pg) || pg.at(0) != 0x02)
            return damaged();
        def += pg.mid(8);
    }
    const unsigned char *d = bytes(def);
    const int size = int(def.size());
    Table t;
    t.page = int(first);
    t.rows = u32(d + 16);
    const int columns = int(u16(d + 45));
    const quint32 realIndexes = u32(d + 51);
    t.usageMap = u32(d + 55);
    if (realIndexes > 1000)
        return damaged();
    int at = 63 + int(realIndexes) * 12;
    if (at + columns * 25 > size)
        return damaged();
    for (int i = 0; i < columns; ++i, at += 25) {
        const unsigned char *e = d + at;
        Column c;
        c.kind = e[0];
        c.number = int(u16(e + 5));
        c.varIndex = int(u16(e + 7));
        c.fixed = (e[15] & 0x01) != 0;
        c.fixedOffset = int(u16(e + 21));
        c.length = int(u16(e + 23));
        t.columns.append(c);
    }
    for (Column &c : t.columns) { // the names follow, in the same order: length, then UTF-16LE
        if (at + 2 > size)
            return damaged();
        const int n = int(u16(d + at));
        if (at + 2 + n > size)
            return damaged();
        c.name = QString::fromUtf16(reinterpret_cast<const char16_t *>(def.constData() + at + 2), n / 2);
        at += 2 + n;
    }
    std::stable_sort(t.columns.begin(), t.columns.end(),
                     [](const Column &a, const Column &b) { return a.number < b.number; });
    return t;
}

bool JetFile::rowBounds(const QByteArray &pg, int r, int *start, int *size, int *flags) {
    const unsigned char *p = bytes(pg);
    const int rows = int(u16(p + 12));
    if (r < 0 || r >= rows || 14 + rows * 2 > kPage)
        return false;
    const int raw = int(u16(p + 14 + r * 2));
    const int begin = raw & kOffsetMask;
    const int end = r == 0 ? kPage : int(u16(p + 14 + (r - 1) * 2)) & kOffsetMask;
    *flags = raw & (kDeleted | kLookup);
    *start = begin;
    *size = end - begin;
    return begin >= 14 + rows * 2 && end <= kPage && *size >= 0;
}

Result JetFile::dataPages(const Table &t, std::vector<quint32> &out) {
    QByteArray pg;
    int start = 0, size = 0, flags = 0;
    if (!page(t.usageMap >> 8, pg) || !rowBounds(pg, int(t.usageMap & 0xFF), &start, &size, &flags) ||
        size < 5)
        return damaged();
    const QByteArray map = pg.mid(start, size);
    const unsigned char *m = bytes(map);
    auto bits = [&](const unsigned char *b, int n, quint64 base) {
        for (int i = 0; i < n * 8; ++i)
            if (b[i / 8] & (1 << (i % 8)))
                out.push_back(quint32(base + quint64(i)));
    };
    if (m[0] == 0) { // the bitmap itself, from a first page
        bits(m + 5, size - 5, u32(m + 1));
    } else if (m[0] == 1) { // pages holding bitmaps, each covering the pages its bits count
        const quint64 perPage = quint64(kPage - 4) * 8;
        for (int k = 0; 1 + (k + 1) * 4 <= size; ++k) {
            const quint32 mapPage = u32(m + 1 + k * 4);
            if (mapPage == 0)
                continue;
            QByteArray bitmap;
            if (!page(mapPage, bitmap) || bitmap.at(0) != 0x05)
                return damaged();
            bits(bytes(bitmap) + 4, kPage - 4, quint64(k) * perPage);
        }
    } else {
        return damaged();
    }
    return Result::done();
}

bool JetFile::memo(const unsigned char *p, int size, QByteArray &out) {
    if (size < 12)
        return false;
    const quint32 head = u32(p);
    const int length = int(head & 0x3FFFFFFF);
    if (head & 0x80000000u) { // kept in the row itself
        if (12 + length > size)
            return false;
        out = QByteArray(reinterpret_cast<const char *>(p + 12), length);
        return true;
    }
    out.clear();
    quint32 where = u32(p + 4);
    const bool single = head & 0x40000000u;
    QByteArray pg;
    for (int hops = 0; where != 0 && out.size() < length; ++hops) {
        int start = 0, rowSize = 0, flags = 0;
        if (hops > 100000 || !page(where >> 8, pg) ||
            !rowBounds(pg, int(where & 0xFF), &start, &rowSize, &flags))
            return false;
        if (single) {
            out = pg.mid(start, qMin(rowSize, length));
            break;
        }
        // Each piece of a longer value starts with where the next one is.
        if (rowSize < 4)
            return false;
        where = u32(bytes(pg) + start);
        out += pg.mid(start + 4, rowSize - 4);
    }
    out.truncate(length);
    return out.size() == length;
}

Result JetFile::readRows(const Table &t, const std::vector<int> &wanted,
                         const std::function<bool(std::vector<QVariant> &)> &row, qint64 *read) {
    *read = 0;
    std::vector<quint32> pages;
    if (const Result r = dataPages(t, pages); !r)
        return r;
    std::vector<QVariant> values(wanted.size());
    QByteArray pg, moved, memoBytes;
    for (const quint32 number : pages) {
        if (!page(number, pg))
            return damaged();
        // Only the table's own data pages.
        if (pg.at(0) != 0x01 || u32(bytes(pg) + 4) != quint32(t.page))
            continue;
        const int rows = int(u16(bytes(pg) + 12));
        for (int r = 0; r < rows; ++r) {
            int start = 0, size = 0, flags = 0;
            if (!rowBounds(pg, r, &start, &size, &flags))
                return damaged();
            if (flags & kDeleted)
                continue;
            const QByteArray *holder = &pg;
            if (flags & kLookup) {
                // A row moved to another page leaves its address behind: the row is read there.
                if (size < 4)
                    return damaged();
                const quint32 to = u32(bytes(pg) + start);
                int f2 = 0;
                if (!page(to >> 8, moved) || !rowBounds(moved, int(to & 0xFF), &start, &size, &f2))
                    return damaged();
                holder = &moved;
            }
            const unsigned char *p = bytes(*holder) + start;
            if (size < 2)
                return damaged();
            const int rowColumns = int(u16(p));
            const int maskSize = (rowColumns + 7) / 8;
            if (size < 2 + maskSize + 2)
                return damaged();
            const unsigned char *mask = p + size - maskSize;
            const int varColumns = int(u16(p + size - maskSize - 2));
            if (size < 2 + maskSize + 2 + (varColumns + 1) * 2)
                return damaged();
            auto varOffset = [&](int i) { return int(u16(p + size - maskSize - 4 - i * 2)); };
            const int fixedColumns = rowColumns - varColumns;
            // Which fixed columns the row has: the first ones by number (columns added later are missing).
            for (size_t k = 0; k < wanted.size(); ++k) {
                const Column &c = t.columns[wanted[size_t(k)]];
                const bool present = c.number < rowColumns && (mask[c.number / 8] & (1 << (c.number % 8)));
                QVariant &v = values[k];
                if (c.kind == YesNo) {
                    v = QVariant(present); // Jet keeps Yes/No in the null mask
                    continue;
                }
                v = QVariant();
                if (!present)
                    continue;
                int from = 0, length = 0;
                if (c.fixed) {
                    int before = 0;
                    for (const Column &o : t.columns)
                        before += o.fixed && o.number < c.number;
                    if (before >= fixedColumns)
                        continue;
                    from = 2 + c.fixedOffset;
                    length = c.length;
                } else {
                    if (c.varIndex >= varColumns)
                        continue;
                    from = varOffset(c.varIndex);
                    length = varOffset(c.varIndex + 1) - from;
                }
                if (from < 0 || length < 0 || from + length > size - maskSize)
                    return damaged();
                const unsigned char *f = p + from;
                switch (c.kind) {
                case Byte:
                    if (length >= 1)
                        v = qlonglong(f[0]);
                    break;
                case Int:
                    if (length >= 2)
                        v = qlonglong(JetFile::integer(f, 2));
                    break;
                case LongInt:
                    if (length >= 4)
                        v = qlonglong(JetFile::integer(f, 4));
                    break;
                case Money:
                    if (length >= 8)
                        v = qlonglong(JetFile::integer(f, 8));
                    break;
                case DateTime:
                    if (length >= 8) {
                        double days = 0;
                        std::memcpy(&days, f, 8);
                        v = days;
                    }
                    break;
                case Text:
                    v = m_decode ? m_decode(f, length) : QVariant();
                    break;
                case Memo:
                    if (!memo(f, length, memoBytes))
                        return damaged();
                    v = m_decode ? m_decode(bytes(memoBytes), int(memoBytes.size())) : QVariant();
                    break;
                default:
                    break;
                }
            }
            ++*read;
            if (row && !row(values))
                return Result::failure(QString(), Result::Code::Cancelled);
        }
    }
    return Result::done();
}
