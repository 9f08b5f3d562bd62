#include "transfer/MdbReader.h"

#include "transfer/JetFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstring>

namespace {

QString damaged(const QString &path) {
    return QStringLiteral("El archivo %1 está incompleto o dañado: no se puede leer entero.").arg(path);
}

// What the file's first bytes and size say, before any reader sees it (libmdb reads a damaged file without
// complaint).
Result checkHeader(const QString &path) {
    constexpr int kJet4PageSize = 4096;
    QFile f(path);
    if (!QFileInfo(path).isFile())
        return Result::failure(QStringLiteral("No existe el archivo %1.").arg(path), Result::Code::NotFound);
    if (!f.open(QIODevice::ReadOnly))
        return Result::failure(
            QStringLiteral("No se puede leer el archivo %1: %2").arg(path, f.errorString()));
    const QByteArray head = f.read(0x20);
    const bool jet = head.size() == 0x20 && (head.mid(4, 16) == QByteArray("Standard Jet DB\0", 16) ||
                                             head.mid(4, 16) == QByteArray("Standard ACE DB\0", 16));
    if (!jet)
        return Result::failure(
            QStringLiteral("El archivo %1 no es una base de datos de Access (.mdb).").arg(path),
            Result::Code::NotOurs);
    if (head.at(0x14) == 0) // Jet 3
        return Result::failure(
            QStringLiteral("El archivo %1 es de Access 97 o anterior (Jet 3). Ábralo con Access, "
                           "guárdelo como Access 2000 o posterior e impórtelo de nuevo.")
                .arg(path));
    // Every page is whole in a sound file; a copy cut short is the usual damage.
    if (f.size() < 3 * kJet4PageSize || f.size() % kJet4PageSize != 0)
        return Result::failure(damaged(path));
    return Result::done();
}

// A column's kind by Jet's own number, which libmdb's MDB_* constants keep.
MdbReader::Type typeOf(int kind) {
    switch (kind) {
    case JetFile::Byte:
    case JetFile::Int:
    case JetFile::LongInt:
        return MdbReader::Type::Integer;
    case JetFile::Money:
        return MdbReader::Type::Money;
    case JetFile::DateTime:
        return MdbReader::Type::DateTime;
    case JetFile::YesNo:
        return MdbReader::Type::YesNo;
    case JetFile::Text:
    case JetFile::Memo:
        return MdbReader::Type::Text;
    default:
        return MdbReader::Type::Unsupported;
    }
}

} // namespace

#ifdef MIRABEL_LIBMDB
// mdbtools.h wraps glib inside extern "C": glib must come first from C++.
#include <glib.h>
#include <mdbtools.h>

static_assert(MDB_BOOL == JetFile::YesNo && MDB_BYTE == JetFile::Byte && MDB_INT == JetFile::Int &&
              MDB_LONGINT == JetFile::LongInt && MDB_MONEY == JetFile::Money &&
              MDB_DATETIME == JetFile::DateTime && MDB_TEXT == JetFile::Text && MDB_MEMO == JetFile::Memo);

struct MdbReader::Handle {
    MdbHandle *mdb = nullptr;
    QString path;

    Expected<MdbTableDef *> table(const QString &name) {
        if (!mdb)
            return Result::failure(QStringLiteral("La base anterior no está abierta."));
        const QByteArray n = name.toUtf8();
        MdbTableDef *t = mdb_read_table_by_name(mdb, const_cast<gchar *>(n.constData()), MDB_TABLE);
        if (!t)
            return Result::failure(QStringLiteral("La base anterior no tiene la tabla %1.").arg(name),
                                   Result::Code::NotFound);
        if (!mdb_read_columns(t)) {
            mdb_free_tabledef(t);
            return Result::failure(damaged(path));
        }
        return t;
    }
};

MdbReader::MdbReader() : d(std::make_unique<Handle>()) {}

MdbReader::~MdbReader() {
    close();
}

void MdbReader::close() {
    if (d->mdb)
        mdb_close(d->mdb);
    d->mdb = nullptr;
}

Result MdbReader::open(const QString &path) {
    close();
    d->path = path;
    if (const Result r = checkHeader(path); !r)
        return r;
    d->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!d->mdb)
        return Result::failure(
            QStringLiteral("El archivo %1 no es una base de datos de Access (.mdb).").arg(path),
            Result::Code::NotOurs);
    if (!mdb_read_catalog(d->mdb, MDB_TABLE)) {
        close();
        return Result::failure(damaged(path));
    }
    return Result::done();
}

Expected<QList<MdbReader::Column>> MdbReader::columns(const QString &tableName) {
    const auto table = d->table(tableName);
    if (!table)
        return table.failure();
    MdbTableDef *t = *table;
    QList<Column> out;
    for (unsigned i = 0; i < t->num_cols; ++i) {
        const auto *c = static_cast<MdbColumn *>(g_ptr_array_index(t->columns, i));
        out.append({QString::fromUtf8(c->name), typeOf(c->col_type)});
    }
    mdb_free_tabledef(t);
    return out;
}

qint64 MdbReader::recordedRows(const QString &tableName) {
    const auto table = d->table(tableName);
    if (!table)
        return 0;
    MdbTableDef *t = *table;
    const qint64 n = t->num_rows;
    mdb_free_tabledef(t);
    return n;
}

#else
// Without libmdb (the Windows build): the file is read by the program's own Jet 4 reader.
struct MdbReader::Handle {
    JetFile file;
    QString path;
    bool open = false;

    Expected<JetFile::Table> table(const QString &name) {
        if (!open)
            return Result::failure(QStringLiteral("La base anterior no está abierta."));
        Expected<JetFile::Table> t = file.table(name);
        if (!t && t.code() == Result::Code::NotFound)
            return Result::failure(QStringLiteral("La base anterior no tiene la tabla %1.").arg(name),
                                   Result::Code::NotFound);
        if (!t)
            return Result::failure(damaged(path));
        return t;
    }
};

MdbReader::MdbReader() : d(std::make_unique<Handle>()) {
    d->file.setTextDecoder(&MdbReader::jetText);
}

MdbReader::~MdbReader() {
    close();
}

void MdbReader::close() {
    d->file.close();
    d->open = false;
}

Result MdbReader::open(const QString &path) {
    close();
    d->path = path;
    if (const Result r = checkHeader(path); !r)
        return r;
    if (const Result r = d->file.open(path); !r) {
        close();
        return Result::failure(damaged(path));
    }
    d->open = true;
    return Result::done();
}

Expected<QList<MdbReader::Column>> MdbReader::columns(const QString &tableName) {
    const auto t = d->table(tableName);
    if (!t)
        return t.failure();
    QList<Column> out;
    for (const JetFile::Column &c : t->columns)
        out.append({c.name, typeOf(c.kind)});
    return out;
}

qint64 MdbReader::recordedRows(const QString &tableName) {
    const auto t = d->table(tableName);
    return t ? t->rows : 0;
}
#endif

QDateTime MdbReader::jetDateTime(double days, bool *ok) {
    *ok = false;
    // Jet's range is the years 100 to 9999.
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        return {};
    // The integer part counts days from day zero; the fraction is the time of that day even for days
    // before day zero (-1.25 is 1899-12-29 06:00).
    const double whole = std::trunc(days);
    qint64 seconds = std::llround(std::fabs(days - whole) * 86400.0);
    qint64 day = qint64(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        day += 1;
    }
    const QDate date = QDate(1899, 12, 30).addDays(day);
    *ok = date.isValid();
    return QDateTime(date, QTime(0, 0).addSecs(int(seconds)), Qt::UTC);
}

QString MdbReader::jetText(const unsigned char *data, int size) {
    QString out;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        out.reserve(size);
        bool compressed = true;
        int i = 2;
        while (i < size) {
            if (data[i] == 0) { // switches between one-byte and two-byte runs
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out += QChar(ushort(data[i]));
                ++i;
            } else if (i + 1 < size) {
                out += QChar(ushort(data[i] | (data[i + 1] << 8)));
                i += 2;
            } else {
                break;
            }
        }
    } else {
        out.resize(size / 2);
        for (int i = 0; i < size / 2; ++i)
            out[i] = QChar(ushort(data[2 * i] | (data[2 * i + 1] << 8)));
    }
    if (out.isNull())
        out = QStringLiteral(""); // an empty text is not Null
    return out;
}

#ifdef MIRABEL_LIBMDB
Result MdbReader::readTable(const QString &tableName, const QStringList &wanted,
                            const std::function<bool(const std::vector<QVariant> &)> &row) {
    const auto table = d->table(tableName);
    if (!table)
        return table.failure();
    MdbTableDef *t = *table;
    struct Wanted {
        int index;
        int mdbType;
        std::vector<char> memo; // memo values come through libmdb's own binding (they live on other pages)
        int memoLength = 0;
    };
    std::vector<Wanted> cols;
    cols.reserve(wanted.size());
    for (const QString &name : wanted) {
        int found = -1;
        for (unsigned i = 0; i < t->num_cols; ++i) {
            const auto *c = static_cast<MdbColumn *>(g_ptr_array_index(t->columns, i));
            if (QString::fromUtf8(c->name).compare(name, Qt::CaseInsensitive) == 0)
                found = int(i);
        }
        if (found < 0) {
            mdb_free_tabledef(t);
            return Result::failure(
                QStringLiteral("La tabla %1 de la base anterior no tiene el campo %2.").arg(tableName, name),
                Result::Code::NotFound);
        }
        const auto *c = static_cast<MdbColumn *>(g_ptr_array_index(t->columns, found));
        cols.push_back({found, c->col_type, {}, 0});
    }
    for (Wanted &w : cols) {
        if (w.mdbType == MDB_MEMO) {
            w.memo.assign(d->mdb->bind_size + 1, 0);
            mdb_bind_column(t, w.index + 1, w.memo.data(), &w.memoLength);
        }
    }

    MdbHandle *mdb = d->mdb;
    std::vector<MdbField> fields(t->num_cols > 0 ? t->num_cols : 1);
    std::vector<QVariant> values(cols.size());
    const qint64 recorded = t->num_rows;
    qint64 read = 0;
    bool ok = true;
    bool stopped = false;
    mdb_rewind_table(t);
    while (mdb_fetch_row(t)) {
        int start = 0;
        size_t length = 0;
        if (mdb_find_row(mdb, int(t->cur_row) - 1, &start, &length) != 0 || start < 0 ||
            start + qint64(length) > mdb->fmt->pg_size) {
            ok = false;
            break;
        }
        const int n = mdb_crack_row(t, start, length, fields.data());
        if (n != int(t->num_cols)) {
            ok = false;
            break;
        }
        for (size_t k = 0; k < cols.size() && ok; ++k) {
            const Wanted &w = cols[k];
            const MdbField &f = fields[w.index];
            const auto *p = static_cast<const unsigned char *>(f.value);
            // A damaged row must not send us outside the page.
            const bool inPage =
                f.siz >= 0 &&
                (f.siz == 0 || (p >= mdb->pg_buf && p + f.siz <= mdb->pg_buf + mdb->fmt->pg_size));
            QVariant &v = values[k];
            if (w.mdbType == MDB_BOOL) {
                v = QVariant(!f.is_null); // Jet keeps Yes/No in the row's null mask, set for No
                continue;
            }
            if (f.is_null) {
                v = QVariant();
                continue;
            }
            if (!inPage) {
                ok = false;
                break;
            }
            switch (w.mdbType) {
            case MDB_BYTE:
                v = f.siz >= 1 ? QVariant(qlonglong(p[0])) : QVariant();
                break;
            case MDB_INT:
                v = f.siz >= 2 ? QVariant(qlonglong(JetFile::integer(p, 2))) : QVariant();
                break;
            case MDB_LONGINT:
                v = f.siz >= 4 ? QVariant(qlonglong(JetFile::integer(p, 4))) : QVariant();
                break;
            case MDB_MONEY:
                v = f.siz >= 8 ? QVariant(qlonglong(JetFile::integer(p, 8))) : QVariant();
                break;
            case MDB_DATETIME: {
                if (f.siz < 8) {
                    ok = false;
                    break;
                }
                double days = 0;
                std::memcpy(&days, p, 8);
                bool valid = false;
                const QDateTime dt = jetDateTime(days, &valid);
                if (!valid) {
                    ok = false;
                    break;
                }
                v = dt;
                break;
            }
            case MDB_TEXT:
                v = jetText(p, f.siz);
                break;
            case MDB_MEMO:
                v = w.memoLength > 0 ? QString::fromUtf8(w.memo.data(), w.memoLength) : QStringLiteral("");
                break;
            default:
                v = QVariant();
                break;
            }
        }
        if (!ok)
            break;
        ++read;
        if (row && !row(values)) {
            stopped = true;
            break;
        }
    }
    mdb_free_tabledef(t);
    if (stopped)
        return Result::failure(QString(), Result::Code::Cancelled);
    if (!ok || read != recorded)
        return Result::failure(
            damaged(d->path) +
            QStringLiteral(" (tabla %1: %2 de %3 registros)").arg(tableName).arg(read).arg(recorded));
    return Result::done();
}
#else
Result MdbReader::readTable(const QString &tableName, const QStringList &wanted,
                            const std::function<bool(const std::vector<QVariant> &)> &row) {
    const auto t = d->table(tableName);
    if (!t)
        return t.failure();
    std::vector<int> columns;
    for (const QString &name : wanted) {
        int found = -1;
        for (int i = 0; i < t->columns.size(); ++i)
            if (t->columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
                found = i;
        if (found < 0)
            return Result::failure(
                QStringLiteral("La tabla %1 de la base anterior no tiene el campo %2.").arg(tableName, name),
                Result::Code::NotFound);
        columns.push_back(found);
    }
    bool fechaMala = false;
    qint64 read = 0;
    const Result r = d->file.readRows(
        *t, columns,
        [&](std::vector<QVariant> &values) {
            for (size_t k = 0; k < values.size(); ++k) {
                const int kind = t->columns[columns[k]].kind;
                if (kind == JetFile::DateTime && !values[k].isNull()) {
                    bool valid = false;
                    values[k] = jetDateTime(values[k].toDouble(), &valid);
                    if (!valid) {
                        fechaMala = true;
                        return false;
                    }
                }
            }
            return !row || row(values);
        },
        &read);
    if (!r && r.code() == Result::Code::Cancelled && !fechaMala)
        return r;
    if (!r || fechaMala || read != t->rows)
        return Result::failure(
            damaged(d->path) +
            QStringLiteral(" (tabla %1: %2 de %3 registros)").arg(tableName).arg(read).arg(t->rows));
    return Result::done();
}
#endif
