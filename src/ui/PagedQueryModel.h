#pragma once

#include "core/Result.h"
#include "db/KeysetList.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQueryModel>
#include <QVariant>
#include <QVariantList>
#include <QVector>

// A query model that, once paging is on, reads its rows a page at a time where they are needed instead of
// from the first row on: moving to row 60,000 of a long list ordered by an index reads one page, not the
// 59,999 rows before it. The row count is the whole record source's from the start, or, for lists too long
// to count before their first rows show, grows a page at a time as the rows are read. Every reading is
// forward-only, so a server sends a page and never a whole result. With paging off (the default) it is a
// plain QSqlQueryModel.
class PagedQueryModel : public QSqlQueryModel {
    Q_OBJECT
public:
    using QSqlQueryModel::QSqlQueryModel;

    void setPaged(bool on) { m_paged = on; }
    // UpFront: the source is counted before its first rows (the scroll bar is the whole list's). AsRead:
    // the first page alone is read, and the count grows with fetchMore(); counting a million rows on a
    // server costs more than the rows shown.
    enum class Count { UpFront, AsRead };
    void setCount(Count count) { m_count = count; }
    // A column that tells the source's rows apart (its key). Pages past the first are then found by reading
    // keys only, which an index of the order holds, and their rows by key: skipping tens of thousands of
    // rows to reach a page reads no row it skips (a server would fetch each one). Empty: LIMIT/OFFSET alone.
    void setPageKey(const QString &column) { m_key = column; }
    // A statement without values that gives the source's count as the database keeps it, cheaper than
    // counting the source (used when counted up front); empty: the source is counted.
    void setCountSql(const QString &sql) { m_countSql = sql; }
    bool isPaged() const { return m_paged; }
    // The keys of a page, in list order, as the caller found them just before moving to it: used if that
    // page is the next one read, forgotten otherwise. Empty keys are ignored.
    void setPageKeys(int page, const QVariantList &keys);

    // Counts the rows of sql (or reads its first page) and reads its field names; pages are read on demand
    // with LIMIT/OFFSET appended, so sql is a plain SELECT without a LIMIT of its own, ordered by an index
    // for the offsets to be cheap.
    Result setPagedQuery(const QSqlDatabase &db, const QString &sql, const QVariantList &params);
    // The same list read in parts, page after page from where the last one ended (the count grows as it
    // is read); each part has the fields of sql, which the model does not read (the first part gives their
    // names).
    Result setPagedParts(const QSqlDatabase &db, const QString &sql, const QVariantList &params,
                         QVector<KeysetList::Part> parts);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &item, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent = {}) const override;
    void fetchMore(const QModelIndex &parent = {}) override;
    void clear() override;

    static constexpr int PageRows = 256;
    static constexpr int CachedPages = 64;

private:
    struct Source {
        QSqlDatabase db;
        QString sql;
        QString key;
        QVariantList params;
        int columns = 0;
        QVector<KeysetList::Part> parts;
    };
    const QVector<QVariant> *row(int r) const;
    bool loadPage(int page) const;
    void keepPage(int page, QVector<QVector<QVariant>> rows) const;
    static bool readPage(const Source &s, int page, QVector<QVector<QVariant>> *rows);
    // Parts: a page from where the one before it ended.
    bool readPartsPage(int page, QVector<QVector<QVariant>> *rows) const;
    static bool readPageByKey(const Source &s, int page, QVector<QVector<QVariant>> *rows);
    static bool readRowsByKey(const Source &s, const QVariantList &order, QVector<QVector<QVariant>> *rows);

    bool m_paged = false;
    Count m_count = Count::UpFront;
    QString m_countSql;
    QString m_key;
    Source m_source;
    int m_total = 0;
    bool m_more = false; // AsRead: the last page read was full
    struct Page {
        QVector<QVector<QVariant>> rows;
        quint64 lastUse = 0;
    };
    mutable QHash<int, Page> m_pages;
    mutable int m_knownPage = -1;
    mutable QVariantList m_knownKeys;
    mutable quint64 m_uses = 0;
    mutable QVector<KeysetList::Cursor> m_starts; // parts: where each page read so far starts
};
