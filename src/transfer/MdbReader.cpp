#include "transfer/MdbReader.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstring>

#ifdef MIRABEL_LIBMDB
// mdbtools.h wraps glib inside extern "C": glib must come first from C++.
#include <glib.h>
#include <mdbtools.h>

namespace {

constexpr int kJet4PageSize = 4096;

qint64 littleEndian(const unsigned char *p, int bytes) {
    quint64 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    // Sign-extend: Jet integers and Currency are two's complement.
    if (bytes < 8 && (v & (quint64(1) << (bytes * 8 - 1))))
        v |= ~quint64(0) << (bytes * 8);
    return qint64(v);
}

MdbReader::Type typeOf(int mdbType) {
    switch (mdbType) {
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return MdbReader::Type::Integer;
    case MDB_MONEY:
        return MdbReader::Type::Money;
    case MDB_DATETIME:
        return MdbReader::Type::DateTime;
    case MDB_BOOL:
        return MdbReader::Type::YesNo;
    case MDB_TEXT:
    case MDB_MEMO:
        return MdbReader::Type::Text;
    default:
        return MdbReader::Type::Unsupported;
    }
}

QString damaged(const QString &path) {
    return QStringLiteral("El archivo %1 está incompleto o dañado: no se puede leer entero.").arg(path);
}

} // namespace

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
    auto fail = [&](const QString &why, Result::Code code = Result::Code::Failed) {
        close();
        return Result::failure(why, code);
    };
    QFile f(path);
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("No existe el archivo %1.").arg(path), Result::Code::NotFound);
    if (!f.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("No se puede leer el archivo %1: %2").arg(path, f.errorString()));
    const QByteArray head = f.read(0x20);
    const bool jet = head.size() == 0x20 && (head.mid(4, 16) == QByteArray("Standard Jet DB\0", 16) ||
                                             head.mid(4, 16) == QByteArray("Standard ACE DB\0", 16));
    if (!jet)
        return fail(QStringLiteral("El archivo %1 no es una base de datos de Access (.mdb).").arg(path),
                    Result::Code::NotOurs);
    if (head.at(0x14) == MDB_VER_JET3)
        return fail(QStringLiteral("El archivo %1 es de Access 97 o anterior (Jet 3). Ábralo con Access, "
                                   "guárdelo como Access 2000 o posterior e impórtelo de nuevo.")
                        .arg(path));
    // Every page is whole in a sound file; a copy cut short is the usual damage.
    if (f.size() < 3 * kJet4PageSize || f.size() % kJet4PageSize != 0)
        return fail(damaged(path));
    f.close();

    d->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!d->mdb)
        return fail(QStringLiteral("El archivo %1 no es una base de datos de Access (.mdb).").arg(path),
                    Result::Code::NotOurs);
    if (!mdb_read_catalog(d->mdb, MDB_TABLE))
        return fail(damaged(path));
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
// A build without libmdb (Windows, where it could not be built): the import says so and reads nothing.
struct MdbReader::Handle {};
MdbReader::MdbReader() : d(std::make_unique<Handle>()) {}
MdbReader::~MdbReader() = default;
void MdbReader::close() {}
Result MdbReader::open(const QString &) {
    return Result::failure(
        QStringLiteral("Esta instalación de Mirabel no puede leer archivos .mdb del programa anterior."));
}
Expected<QList<MdbReader::Column>> MdbReader::columns(const QString &) {
    return Result::failure(QStringLiteral("La base anterior no está abierta."));
}
qint64 MdbReader::recordedRows(const QString &) {
    return 0;
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
                v = f.siz >= 2 ? QVariant(qlonglong(littleEndian(p, 2))) : QVariant();
                break;
            case MDB_LONGINT:
                v = f.siz >= 4 ? QVariant(qlonglong(littleEndian(p, 4))) : QVariant();
                break;
            case MDB_MONEY:
                v = f.siz >= 8 ? QVariant(qlonglong(littleEndian(p, 8))) : QVariant();
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
Result MdbReader::readTable(const QString &, const QStringList &,
                            const std::function<bool(const std::vector<QVariant> &)> &) {
    return Result::failure(QStringLiteral("La base anterior no está abierta."));
}
#endif
