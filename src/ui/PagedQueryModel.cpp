#include "ui/PagedQueryModel.h"

#include "core/Log.h"
#include "db/Engine.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
// The query's failure gets the code its engine gives it (a lost server, a busy one).
Result run(const QSqlDatabase &db, QSqlQuery &q, const QString &sql, const QVariantList &params) {
    bool ok = q.prepare(sql);
    if (ok) {
        for (const QVariant &p : params)
            q.addBindValue(p);
        ok = q.exec();
    }
    if (ok)
        return Result::done();
    Log::error(QStringLiteral("Lista"), sql + QStringLiteral(": ") + q.lastError().text());
    return Engine::of(db).failure(q.lastError(), db, q.lastError().text());
}
} // namespace

Result PagedQueryModel::setPagedQuery(const QSqlDatabase &db, const QString &sql,
                                      const QVariantList &params) {
    // The order does not change the count, and counting an ordered "SELECT *" would read every row:
    // count without a final ORDER BY.
    static const QRegularExpression finalOrder(QStringLiteral(R"(\s+order\s+by\s+[^()']*$)"),
                                               QRegularExpression::CaseInsensitiveOption);
    QString unordered = sql;
    unordered.remove(finalOrder);
    QSqlQuery count(db);
    count.setForwardOnly(true);
    if (Result r =
            run(db, count,
                QStringLiteral("SELECT COUNT(*) FROM (") + unordered + QStringLiteral(") AS lista"), params);
        !r)
        return r;
    if (!count.next())
        return Result::failure(QString());
    const int total = count.value(0).toInt();
    count.finish();

    // The field names come from an empty reading of the same source; the base model keeps them for
    // record() and the headers, and never reads rows itself while paging.
    QSqlQuery shape(db);
    if (Result r = run(db, shape, sql + QStringLiteral(" LIMIT 0"), params); !r)
        return r;
    // Only a source that could be read replaces what the list shows: a server out of reach leaves the
    // rows already read in place.
    m_db = db;
    m_sql = sql;
    m_params = params;
    m_pages.clear();
    m_total = total;
    m_columns = shape.record().count();
    setQuery(std::move(shape));
    return Result::done();
}

bool PagedQueryModel::readPageByKey(int page, QVector<QVector<QVariant>> *rows) const {
    const QString key = QLatin1Char('"') + QString(m_key).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                        QLatin1Char('"');
    QSqlQuery keys(m_db);
    keys.setForwardOnly(true);
    QVariantList params = m_params;
    params << PageRows << qlonglong(page) * PageRows;
    if (!run(m_db, keys, QStringLiteral("SELECT %1 FROM (%2) AS pagina LIMIT ? OFFSET ?").arg(key, m_sql),
             params))
        return false;
    QVariantList order;
    while (keys.next())
        order << keys.value(0);
    keys.finish();
    if (order.isEmpty())
        return true;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!run(m_db, q,
             QStringLiteral("SELECT * FROM (%1) AS pagina WHERE %2 IN (%3)")
                 .arg(m_sql, key, QStringList(order.size(), QStringLiteral("?")).join(QStringLiteral(", "))),
             m_params + order))
        return false;
    const int at = q.record().indexOf(m_key);
    if (at < 0)
        return false;
    QHash<QString, QVector<QVariant>> byKey;
    while (q.next()) {
        QVector<QVariant> values(m_columns);
        for (int c = 0; c < m_columns; ++c)
            values[c] = q.value(c);
        byKey.insert(values.value(at).toString(), std::move(values));
    }
    q.finish();
    // In the list's order; a row deleted between the two readings is left out.
    for (const QVariant &k : std::as_const(order)) {
        auto it = byKey.find(k.toString());
        if (it != byKey.end())
            rows->push_back(std::move(*it));
    }
    return true;
}

bool PagedQueryModel::loadPage(int page) const {
    Page p;
    p.rows.reserve(PageRows);
    if (page > 0 && !m_key.isEmpty()) {
        if (!readPageByKey(page, &p.rows))
            return false;
    } else {
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        QVariantList params = m_params;
        params << PageRows << qlonglong(page) * PageRows;
        if (!run(m_db, q, m_sql + QStringLiteral(" LIMIT ? OFFSET ?"), params))
            return false;
        while (q.next()) {
            QVector<QVariant> values(m_columns);
            for (int c = 0; c < m_columns; ++c)
                values[c] = q.value(c);
            p.rows.push_back(std::move(values));
        }
        q.finish();
    }
    if (m_pages.size() >= CachedPages) {
        auto oldest = m_pages.begin();
        for (auto it = m_pages.begin(); it != m_pages.end(); ++it)
            if (it->lastUse < oldest->lastUse)
                oldest = it;
        m_pages.erase(oldest);
    }
    p.lastUse = ++m_uses;
    m_pages.insert(page, std::move(p));
    return true;
}

const QVector<QVariant> *PagedQueryModel::row(int r) const {
    if (r < 0 || r >= m_total)
        return nullptr;
    const int page = r / PageRows;
    auto it = m_pages.find(page);
    if (it == m_pages.end()) {
        if (!loadPage(page))
            return nullptr;
        it = m_pages.find(page);
    }
    it->lastUse = ++m_uses;
    const int within = r % PageRows;
    // Rows deleted since the count was taken leave the tail of the list empty until the next refresh.
    return within < it->rows.size() ? &it->rows.at(within) : nullptr;
}

int PagedQueryModel::rowCount(const QModelIndex &parent) const {
    if (!m_paged)
        return QSqlQueryModel::rowCount(parent);
    return parent.isValid() ? 0 : m_total;
}

QVariant PagedQueryModel::data(const QModelIndex &item, int role) const {
    if (!m_paged)
        return QSqlQueryModel::data(item, role);
    if (!item.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const QVector<QVariant> *values = row(item.row());
    if (!values || item.column() < 0 || item.column() >= values->size())
        return {};
    return values->at(item.column());
}

bool PagedQueryModel::canFetchMore(const QModelIndex &parent) const {
    return m_paged ? false : QSqlQueryModel::canFetchMore(parent);
}

void PagedQueryModel::fetchMore(const QModelIndex &parent) {
    if (!m_paged)
        QSqlQueryModel::fetchMore(parent);
}

void PagedQueryModel::clear() {
    // Lets go of the connection too: the program may close it to open another database.
    m_db = QSqlDatabase();
    m_sql.clear();
    m_params.clear();
    m_pages.clear();
    m_total = 0;
    m_columns = 0;
    QSqlQueryModel::clear();
}
