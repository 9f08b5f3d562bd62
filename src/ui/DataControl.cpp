#include "ui/DataControl.h"

#include "core/Log.h"
#include "db/Database.h"
#include "db/SqlEngine.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

DataControl::DataControl(const QString &objectName, QObject *parent) : QObject(parent) {
    setObjectName(objectName);
}

void DataControl::setRecordSource(const QString &sql, const QVariantList &params) {
    setRecordSource(sql, params, {});
}

void DataControl::setRecordSource(const QString &sql, const QVariantList &params, Partes parts) {
    m_sql = sql;
    m_params = params;
    m_parts = std::move(parts);
}

bool DataControl::refresh() {
    // A source that cannot be read (a server out of reach) leaves the list as it was, rows and current
    // row; the reason is in lastError() and the log.
    m_error.clear();
    if (m_model.isPaged()) {
        Expected<QVector<KeysetList::Part>> parts = m_parts ? m_parts() : QVector<KeysetList::Part>();
        const Result r =
            !parts ? parts.failure()
                   : m_model.setPagedParts(Database::db(), m_sql, m_params, std::move(parts.value()));
        if (!r) {
            m_error = r.message();
            return false;
        }
    } else {
        QSqlQuery q(Database::db());
        if (!Database::run(q, m_sql, m_params, objectName())) {
            m_error = Engine::of(Database::db()).errorText(q.lastError());
            return false;
        }
        m_model.setQuery(std::move(q));
    }
    m_count = -1;
    m_fieldCache.clear();
    m_row = -1;
    emit refreshed();
    setCurrentRow(0);
    return true;
}

void DataControl::setCurrentRow(int row) {
    while (row >= m_model.rowCount() && m_model.canFetchMore())
        m_model.fetchMore();
    const int newRow = (row >= 0 && row < m_model.rowCount()) ? row : -1;
    m_row = newRow;
    emit reposition(m_row);
}

int DataControl::fieldIndex(const QString &field) const {
    // Grids ask for every cell they paint: the names are looked up once per reading of the list.
    const auto it = m_fieldCache.constFind(field);
    if (it != m_fieldCache.constEnd())
        return *it;
    const int idx = Database::fieldIndex(m_model.record(), field);
    if (m_model.record().count() > 0)
        m_fieldCache.insert(field, idx);
    return idx;
}

QVariant DataControl::valueAt(int row, const QString &field) const {
    const int col = fieldIndex(field);
    if (row < 0 || row >= m_model.rowCount() || col < 0)
        return {};
    return m_model.data(m_model.index(row, col), Qt::EditRole);
}

QVariant DataControl::value(const QString &field) const {
    return valueAt(m_row, field);
}

int DataControl::recordCount() {
    if (m_count >= 0)
        return m_count;
    if (!m_model.canFetchMore()) {
        m_count = m_model.rowCount();
        return m_count;
    }
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (Database::run(q, QStringLiteral("SELECT COUNT(*) FROM (") + m_sql + QStringLiteral(") AS lista"),
                      m_params, objectName()) &&
        q.next())
        m_count = q.value(0).toInt();
    if (m_count < 0)
        m_count = m_model.rowCount();
    return m_count;
}

void DataControl::fetchAll() {
    while (m_model.canFetchMore())
        m_model.fetchMore();
}

void DataControl::setEditTarget(const QString &table, const QString &keyField) {
    m_table = table;
    m_key = keyField;
}

namespace {
Result noLocalizado() {
    return Result::failure(QStringLiteral("registro no localizado"), Result::Code::NotFound);
}
Result ejecutar(const QString &sql, const QVariantList &params) {
    QString error;
    return Database::exec(sql, params);
}
} // namespace

Result DataControl::writeField(int row, const QString &field, const QVariant &value) {
    const QVariant key = valueAt(row, m_key);
    if (m_table.isEmpty() || key.isNull())
        return noLocalizado();
    const QString sql =
        QStringLiteral("UPDATE \"%1\" SET \"%2\" = ? WHERE \"%3\" = ?").arg(m_table, field, m_key);
    if (Result r = m_escritor ? m_escritor(key, field, value) : ejecutar(sql, {value, key}); !r)
        return r;
    emit rowChanged(row);
    return Result::done();
}

Result DataControl::deleteCurrent() {
    const QVariant key = value(m_key);
    if (m_table.isEmpty() || key.isNull())
        return noLocalizado();
    const QString sql = QStringLiteral("DELETE FROM \"%1\" WHERE \"%2\" = ?").arg(m_table, m_key);
    if (Result r = ejecutar(sql, {key}); !r)
        return r;
    // The list is not re-read; re-reading keeps the position so the next row becomes current.
    const int row = m_row;
    const int fetched = m_model.rowCount();
    refresh();
    while (m_model.rowCount() < qMin(fetched, row + 1) && m_model.canFetchMore())
        m_model.fetchMore();
    setCurrentRow(qMin(row, m_model.rowCount() - 1));
    return Result::done();
}
