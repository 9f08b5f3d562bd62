#pragma once

#include "ui/PagedQueryModel.h"

#include <QHash>
#include <QObject>
#include <QSqlQueryModel>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>

// A data control: a record source (SQL with bound values) read into a lazily fetched model, with a
// current row that commands work on. Grids bind to it; it says when the current row moves.
class DataControl : public QObject {
    Q_OBJECT
public:
    explicit DataControl(const QString &objectName, QObject *parent = nullptr);

    // Assigns a new record source; it is read at the next refresh().
    void setRecordSource(const QString &sql, const QVariantList &params = {});
    // A paged list that a server could only give in order by sorting it whole: the same rows in parts,
    // found at each refresh, read page after page on their indexes (sql then gives the field names, the
    // count and exports). Cleared by the next setRecordSource().
    using Partes = std::function<Expected<QVector<KeysetList::Part>>()>;
    void setRecordSource(const QString &sql, const QVariantList &params, Partes parts);
    QString recordSource() const { return m_sql; }
    QVariantList recordSourceParams() const { return m_params; }

    // Re-runs the current record source; the first row becomes current (none when empty).
    bool refresh();

    QSqlQueryModel *model() { return &m_model; }
    int currentRow() const { return m_row; } // -1: no current row
    bool hasCurrent() const { return m_row >= 0 && m_row < m_model.rowCount(); }
    // Moves the current row, fetching rows up to it as needed; a row past the end clears the current row.
    void setCurrentRow(int row);
    // The value of a field of the current row (null when there is none); field names without regard to case.
    QVariant value(const QString &field) const;
    QVariant valueAt(int row, const QString &field) const;
    int fieldIndex(const QString &field) const;
    // Number of rows of the whole record source (not only those fetched so far).
    int recordCount();
    // Fetches every row (small lists only).
    void fetchAll();
    // Long lists ordered by an index (the members): rows are read a page at a time where they are needed,
    // so moving far down the list does not read every row above. rowKey, a field that tells the rows apart,
    // lets far pages be found through the index alone. count says whether the list is counted before its
    // first rows show or grows as it is read. Takes effect at the next refresh().
    void setPagedFetching(bool on, const QString &rowKey = QString(),
                          PagedQueryModel::Count count = PagedQueryModel::Count::UpFront) {
        m_model.setPaged(on);
        m_model.setPageKey(rowKey);
        m_model.setCount(count);
    }

    // The list's count as the database keeps it (see PagedQueryModel::setCountSql).
    void setCountSql(const QString &sql) { m_model.setCountSql(sql); }

    // The keys of a page of a paged list with a row key, found by the caller from the list's own order
    // (empty: none). The page is then read by them, not by skipping the rows above it.
    void setPageKeys(int page, const QVariantList &keys) { m_model.setPageKeys(page, keys); }

    // Where edits and deletions of rows go: a table or updatable view and its key field.
    void setEditTarget(const QString &table, const QString &keyField);
    QString editTable() const { return m_table; }
    QString keyField() const { return m_key; }
    // Lists whose edits must pass a rule of their own (unique names) write through it instead: it gets the
    // row's key, the field and the value, and returns a failure with a reason to refuse the edit (Cancelled
    // when it has told the user itself).
    using Escritor = std::function<Result(const QVariant &key, const QString &field, const QVariant &value)>;
    void setEscritor(Escritor escritor) { m_escritor = std::move(escritor); }
    // Writes one field of a row by its key; NotFound when the row has no key, or the reason (logged).
    Result writeField(int row, const QString &field, const QVariant &value);
    // Deletes the current row from the edit target; the list is not re-read (the row is shown as gone).
    Result deleteCurrent();
    QString lastError() const { return m_error; }

signals:
    void reposition(int row);
    void refreshed();
    void rowChanged(int row); // a field of the row was written

private:
    PagedQueryModel m_model;
    QString m_sql;
    QVariantList m_params;
    Partes m_parts;
    QString m_table;
    QString m_key;
    Escritor m_escritor;
    int m_row = -1;
    int m_count = -1;
    QString m_error;
    mutable QHash<QString, int> m_fieldCache;
};
