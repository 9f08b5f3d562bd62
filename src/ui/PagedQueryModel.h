#pragma once

#include "core/Result.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQueryModel>
#include <QVariant>
#include <QVariantList>
#include <QVector>

// A query model that, once paging is on, reads its rows a page at a time where they are needed instead of
// from the first row on: moving to row 60,000 of a long list ordered by an index reads one page, not the
// 59,999 rows before it. The row count is the whole record source's from the start. With paging off (the
// default) it is a plain QSqlQueryModel.
class PagedQueryModel : public QSqlQueryModel {
    Q_OBJECT
public:
    using QSqlQueryModel::QSqlQueryModel;

    void setPaged(bool on) { m_paged = on; }
    // A column that tells the source's rows apart (its key). Pages past the first are then found by reading
    // keys only, which an index of the order holds, and their rows by key: skipping tens of thousands of
    // rows to reach a page reads no row it skips (a server would fetch each one). Empty: LIMIT/OFFSET alone.
    void setPageKey(const QString &column) { m_key = column; }
    bool isPaged() const { return m_paged; }

    // Counts the rows of sql and reads its field names; pages are read on demand with LIMIT/OFFSET appended,
    // so sql is a plain SELECT without a LIMIT of its own, ordered by an index for the offsets to be cheap.
    Result setPagedQuery(const QSqlDatabase &db, const QString &sql, const QVariantList &params);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &item, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent = {}) const override;
    void fetchMore(const QModelIndex &parent = {}) override;
    void clear() override;

    static constexpr int PageRows = 256;
    static constexpr int CachedPages = 64;

private:
    const QVector<QVariant> *row(int r) const;
    bool loadPage(int page) const;
    bool readPageByKey(int page, QVector<QVector<QVariant>> *rows) const;

    bool m_paged = false;
    QSqlDatabase m_db;
    QString m_sql;
    QString m_key;
    QVariantList m_params;
    int m_total = 0;
    int m_columns = 0;
    struct Page {
        QVector<QVector<QVariant>> rows;
        quint64 lastUse = 0;
    };
    mutable QHash<int, Page> m_pages;
    mutable quint64 m_uses = 0;
};
