#include "transfer/ListExport.h"

#include "core/Log.h"
#include "core/Money.h"
#include "db/ArchivoNuevo.h"
#include "db/Database.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <memory>
#include <xlsxwriter.h>

namespace {

constexpr QChar Separator = QLatin1Char(';');
// Rows read ahead to size the Excel columns before the first row is written.
constexpr int SampleRows = 200;
constexpr qint64 ProgressEvery = 500;

QDate asDate(const QVariant &v) {
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDate)
        return v.toDate();
    const QString s = v.toString();
    return QDate::fromString(s.left(10), Qt::ISODate);
}

bool asYes(const QVariant &v) {
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    return ok ? n != 0 : v.toBool();
}

// The text a cell shows for a value, as the list shows it.
QString shownText(const QVariant &v, ListExport::Kind kind, const QLocale &locale) {
    if (v.isNull())
        return {};
    switch (kind) {
    case ListExport::Kind::Money: {
        const auto m = Money::fromVariant(v);
        return m ? m->toPlainString(locale) : v.toString();
    }
    case ListExport::Kind::Date: {
        const QDate d = asDate(v);
        return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : v.toString();
    }
    case ListExport::Kind::YesNo:
        return asYes(v) ? QStringLiteral("Sí") : QStringLiteral("No");
    case ListExport::Kind::Integer:
    case ListExport::Kind::Text:
        break;
    }
    return v.toString();
}

QString spanishXlsxError(lxw_error e) {
    return QString::fromUtf8(lxw_strerror(e));
}

// Excel refuses some characters in sheet names and more than 31 of them.
QString sheetTitle(QString name) {
    static const QString bad = QStringLiteral("[]:*?/\\");
    for (QChar &c : name)
        if (bad.contains(c))
            c = QLatin1Char(' ');
    name = name.trimmed().left(31);
    return name.isEmpty() ? QStringLiteral("Lista") : name;
}

struct Reader {
    QSqlQuery query;
    QVector<int> index; // column -> field index in the record
    bool open(const QString &sql, const QVariantList &params, const QVector<ListExport::Column> &columns,
              QString *error) {
        query = QSqlQuery(Database::db());
        query.setForwardOnly(true);
        if (!Database::run(query, sql, params, QStringLiteral("Exportar"))) {
            *error = QStringLiteral("No se puede leer la lista: %1").arg(query.lastError().text());
            return false;
        }
        const QSqlRecord rec = query.record();
        for (const auto &c : columns) {
            const int i = Database::fieldIndex(rec, c.field);
            if (i < 0) {
                *error = QStringLiteral("La lista no tiene el campo %1.").arg(c.field);
                return false;
            }
            index << i;
        }
        return true;
    }
    QVector<QVariant> row() const {
        QVector<QVariant> out;
        out.reserve(index.size());
        for (int i : index)
            out << query.value(i);
        return out;
    }
};

qint64 countRows(const QString &sql, const QVariantList &params) {
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (!Database::run(q, QStringLiteral("SELECT COUNT(*) FROM (%1) AS lista").arg(sql), params,
                       QStringLiteral("Exportar")) ||
        !q.next())
        return -1;
    return q.value(0).toLongLong();
}

class Tick {
public:
    Tick(const ListExport::Progress &p, qint64 total) : m_progress(p), m_total(total) {}
    // false when the user cancelled
    bool row() {
        ++m_done;
        if (m_progress && m_done % ProgressEvery == 0)
            return m_progress(m_done, m_total);
        return true;
    }
    bool end() { return !m_progress || m_progress(m_done, m_total); }

private:
    const ListExport::Progress &m_progress;
    qint64 m_total;
    qint64 m_done = 0;
};

bool writeCsv(const QString &path, Reader &reader, const QVector<ListExport::Column> &columns, Tick &tick,
              const QLocale &locale, QString *error, bool *cancelled) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("No se puede escribir %1: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray buffer("\xEF\xBB\xBF"); // the byte-order mark tells the spreadsheet it is UTF-8
    auto line = [&](const QStringList &fields) {
        QString l;
        for (int i = 0; i < fields.size(); ++i) {
            if (i)
                l += Separator;
            l += ListExport::csvField(fields.at(i));
        }
        buffer += l.toUtf8();
        buffer += "\r\n";
        if (buffer.size() > (1 << 16)) {
            file.write(buffer);
            buffer.clear();
        }
    };
    QStringList header;
    for (const auto &c : columns)
        header << c.caption;
    line(header);
    while (reader.query.next()) {
        const QVector<QVariant> values = reader.row();
        QStringList fields;
        for (int i = 0; i < columns.size(); ++i)
            fields << shownText(values.at(i), columns.at(i).kind, locale);
        line(fields);
        if (!tick.row()) {
            *cancelled = true;
            file.cancelWriting();
            return false;
        }
    }
    file.write(buffer);
    if (!tick.end()) {
        *cancelled = true;
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = QStringLiteral("No se puede escribir %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

struct WorkbookCloser {
    void operator()(lxw_workbook *wb) const {
        if (wb)
            workbook_close(wb);
    }
};

bool writeXlsx(const QString &path, Reader &reader, const QVector<ListExport::Column> &columns,
               const QString &sheetName, Tick &tick, const QLocale &locale, QString *error, bool *cancelled) {
    // The workbook is written next to the target and renamed into place when complete.
    const QFileInfo target(path);
    const QString partial =
        target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".parcial");
    QTemporaryDir scratch(target.absolutePath() + QStringLiteral("/.mirabel-xlsx-XXXXXX"));
    if (!scratch.isValid()) {
        *error = QStringLiteral("No se puede escribir en la carpeta %1.").arg(target.absolutePath());
        return false;
    }
    const QByteArray partialName = QFile::encodeName(partial);
    const QByteArray tmpdir = QFile::encodeName(scratch.path());
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char *>(tmpdir.constData());
    std::unique_ptr<lxw_workbook, WorkbookCloser> wb(workbook_new_opt(partialName.constData(), &options));
    if (!wb) {
        *error = QStringLiteral("No se puede escribir %1.").arg(path);
        return false;
    }
    const QByteArray title = sheetTitle(sheetName).toUtf8();
    lxw_worksheet *ws = workbook_add_worksheet(wb.get(), title.constData());

    lxw_format *bold = workbook_add_format(wb.get());
    format_set_bold(bold);
    lxw_format *money = workbook_add_format(wb.get());
    const QByteArray moneyCode =
        QStringLiteral("\"%1 \"#,##0.00;-\"%1 \"#,##0.00").arg(locale.currencySymbol()).toUtf8();
    format_set_num_format(money, moneyCode.constData());
    lxw_format *date = workbook_add_format(wb.get());
    format_set_num_format(date, "dd/mm/yyyy");

    // Read a sample first: column widths must be set before the first row in constant-memory mode.
    QVector<QVector<QVariant>> sample;
    bool more = true;
    while (sample.size() < SampleRows && (more = reader.query.next()))
        sample << reader.row();
    for (int c = 0; c < columns.size(); ++c) {
        int width = columns.at(c).caption.size() + 2;
        for (const auto &r : sample)
            width = qMax(width, shownText(r.at(c), columns.at(c).kind, locale).size() + 2);
        if (columns.at(c).kind == ListExport::Kind::Money)
            width = qMax(width, 14);
        if (columns.at(c).kind == ListExport::Kind::Date)
            width = qMax(width, 12);
        worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), qMin(width, 60), nullptr);
    }
    worksheet_freeze_panes(ws, 1, 0);
    for (int c = 0; c < columns.size(); ++c)
        worksheet_write_string(ws, 0, lxw_col_t(c), columns.at(c).caption.toUtf8().constData(), bold);

    lxw_row_t row = 1;
    auto writeRow = [&](const QVector<QVariant> &values) {
        for (int c = 0; c < columns.size(); ++c) {
            const QVariant &v = values.at(c);
            if (v.isNull())
                continue;
            const auto col = lxw_col_t(c);
            switch (columns.at(c).kind) {
            case ListExport::Kind::Money:
                if (const auto m = Money::fromVariant(v)) {
                    // The nearest double to the exact decimal amount: the cell shows it to the cent.
                    worksheet_write_number(ws, row, col, double(m->units()) / double(Money::Scale), money);
                    continue;
                }
                break;
            case ListExport::Kind::Date: {
                const QDate d = asDate(v);
                if (d.isValid()) {
                    lxw_datetime dt = {d.year(), d.month(), d.day(), 0, 0, 0.0};
                    worksheet_write_datetime(ws, row, col, &dt, date);
                    continue;
                }
                break;
            }
            case ListExport::Kind::Integer: {
                bool ok = false;
                const qlonglong n = v.toLongLong(&ok);
                if (ok) {
                    worksheet_write_number(ws, row, col, double(n), nullptr);
                    continue;
                }
                break;
            }
            case ListExport::Kind::YesNo:
            case ListExport::Kind::Text:
                break;
            }
            const QByteArray text = shownText(v, columns.at(c).kind, locale).toUtf8();
            worksheet_write_string(ws, row, col, text.constData(), nullptr);
        }
        ++row;
    };
    auto abandon = [&] {
        wb.reset();
        QFile::remove(partial);
    };
    for (const auto &r : sample) {
        writeRow(r);
        if (!tick.row()) {
            *cancelled = true;
            abandon();
            return false;
        }
    }
    while (more && reader.query.next()) {
        if (row >= LXW_ROW_MAX) {
            abandon();
            *error = QStringLiteral("La lista tiene más filas de las que admite una hoja de Excel.");
            return false;
        }
        writeRow(reader.row());
        if (!tick.row()) {
            *cancelled = true;
            abandon();
            return false;
        }
    }
    if (!tick.end()) {
        *cancelled = true;
        abandon();
        return false;
    }
    const lxw_error rc = workbook_close(wb.release());
    if (rc != LXW_NO_ERROR) {
        QFile::remove(partial);
        *error = QStringLiteral("No se puede escribir %1: %2").arg(path, spanishXlsxError(rc));
        return false;
    }
    if (!ArchivoNuevo::reemplazar(partial, path)) {
        QFile::remove(partial);
        *error = QStringLiteral("No se puede escribir %1.").arg(path);
        return false;
    }
    return true;
}

} // namespace

std::optional<ListExport::Format> ListExport::formatFromName(const QString &name) {
    const QString n = name.trimmed().toLower();
    if (n == QStringLiteral("xlsx") || n == QStringLiteral("excel"))
        return Format::Xlsx;
    if (n == QStringLiteral("csv"))
        return Format::Csv;
    return std::nullopt;
}

QString ListExport::extension(Format format) {
    return format == Format::Xlsx ? QStringLiteral("xlsx") : QStringLiteral("csv");
}

QString ListExport::csvField(const QString &text) {
    const bool quote = text.contains(Separator) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                       (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text;
    QString out = text;
    out.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

Result ListExport::write(const QString &path, Format format, const QString &sql, const QVariantList &params,
                         const QVector<Column> &columns, const QString &sheetName, const Progress &progress,
                         const QLocale &locale) {
    QString why;
    bool cancelled = false;
    bool ok = false;
    if (columns.isEmpty()) {
        why = QStringLiteral("La lista no tiene columnas.");
    } else {
        const qint64 total = progress ? countRows(sql, params) : -1;
        Reader reader;
        if (reader.open(sql, params, columns, &why)) {
            Tick tick(progress, total);
            ok = format == Format::Csv
                     ? writeCsv(path, reader, columns, tick, locale, &why, &cancelled)
                     : writeXlsx(path, reader, columns, sheetName, tick, locale, &why, &cancelled);
        }
    }
    if (cancelled)
        return Result::failure(QStringLiteral("Exportación cancelada."), Result::Code::Cancelled);
    if (!ok) {
        Log::error(QStringLiteral("Exportar"), path + QStringLiteral(": ") + why);
        return Result::failure(why);
    }
    return Result::done();
}

namespace {
ListExport::Kind kindOf(Formato::Tipo f) {
    switch (f) {
    case Formato::Tipo::Moneda:
        return ListExport::Kind::Money;
    case Formato::Tipo::Fecha:
        return ListExport::Kind::Date;
    case Formato::Tipo::Entero:
        return ListExport::Kind::Integer;
    case Formato::Tipo::SiNo:
        return ListExport::Kind::YesNo;
    case Formato::Tipo::General:
        break;
    }
    return ListExport::Kind::Text;
}
} // namespace

QVector<ListExport::Column> ListExport::columns(const QVector<Columna> &columnas) {
    QVector<Column> out;
    for (const Columna &c : columnas)
        out.append({c.caption, c.field, kindOf(c.formato)});
    return out;
}
