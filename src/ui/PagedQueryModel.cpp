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
    return setPagedParts(db, sql, params, {});
}

Result PagedQueryModel::setPagedParts(const QSqlDatabase &db, const QString &sql, const QVariantList &params,
                                      QVector<KeysetList::Part> parts) {
    const bool byParts = !parts.isEmpty();
    Source source{db, sql, m_key, params, 0, std::move(parts)};
    int total = 0;
    const Count count = byParts ? Count::AsRead : m_count;
    if (count == Count::UpFront) {
        // The order does not change the count, and counting an ordered "SELECT *" would read every row:
        // count without a final ORDER BY.
        static const QRegularExpression finalOrder(QStringLiteral(R"(\s+order\s+by\s+[^()']*$)"),
                                                   QRegularExpression::CaseInsensitiveOption);
        QString unordered = sql;
        unordered.remove(finalOrder);
        QSqlQuery count(db);
        count.setForwardOnly(true);
        if (Result r = m_countSql.isEmpty() ? run(db, count,
                                                  QStringLiteral("SELECT COUNT(*) FROM (") + unordered +
                                                      QStringLiteral(") AS lista"),
                                                  params)
                                            : run(db, count, m_countSql, {});
            !r)
            return r;
        if (!count.next())
            return Result::failure(QString());
        total = count.value(0).toInt();
        count.finish();
    }

    // The field names come from an empty reading of the same source; the base model keeps them for
    // record() and the headers, and never reads rows itself while paging. A source in parts gives them from
    // its first part, which has the same fields: a server takes longer to plan the whole (a union over
    // every plan's dues) than to read a page.
    QSqlQuery shape(db);
    const QString &shapeSql = byParts ? source.parts.first().sql : sql;
    const QVariantList &shapeParams = byParts ? source.parts.first().params : params;
    if (Result r = run(db, shape, shapeSql + QStringLiteral(" LIMIT 0"), shapeParams); !r)
        return r;
    source.columns = shape.record().count();
    QVector<QVector<QVariant>> first;
    KeysetList::Cursor second;
    if (byParts) {
        const auto next =
            KeysetList::read(db, source.parts, KeysetList::Cursor(), PageRows, source.columns, &first);
        if (!next)
            return next.failure();
        second = *next;
        total = int(first.size());
    } else if (count == Count::AsRead) {
        if (!readPage(source, 0, &first))
            return Result::failure(QStringLiteral("No se pudo leer la lista."));
        total = int(first.size());
    }
    // Only a source that could be read replaces what the list shows: a server out of reach leaves the
    // rows already read in place.
    m_source = std::move(source);
    m_pages.clear();
    m_knownPage = -1;
    m_knownKeys.clear();
    m_total = total;
    m_starts.clear();
    if (byParts)
        m_starts << KeysetList::Cursor() << second;
    m_more = false; // the base model fetches once on a new query: that fetch is the page just read
    if (count == Count::AsRead)
        keepPage(0, std::move(first));
    setQuery(std::move(shape));
    m_more = count == Count::AsRead && total == PageRows;
    return Result::done();
}

bool PagedQueryModel::readPageByKey(const Source &s, int page, QVector<QVector<QVariant>> *rows) {
    const QString key = QLatin1Char('"') + QString(s.key).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                        QLatin1Char('"');
    QSqlQuery keys(s.db);
    keys.setForwardOnly(true);
    QVariantList params = s.params;
    params << PageRows << qlonglong(page) * PageRows;
    if (!run(s.db, keys, QStringLiteral("SELECT %1 FROM (%2) AS pagina LIMIT ? OFFSET ?").arg(key, s.sql),
             params))
        return false;
    QVariantList order;
    while (keys.next())
        order << keys.value(0);
    keys.finish();
    return readRowsByKey(s, order, rows);
}

void PagedQueryModel::setPageKeys(int page, const QVariantList &keys) {
    const bool usable = m_paged && !m_key.isEmpty() && !keys.isEmpty() && !m_pages.contains(page);
    m_knownPage = usable ? page : -1;
    m_knownKeys = usable ? keys : QVariantList();
}

bool PagedQueryModel::readRowsByKey(const Source &s, const QVariantList &order,
                                    QVector<QVector<QVariant>> *rows) {
    if (order.isEmpty())
        return true;
    const QString key = QLatin1Char('"') + QString(s.key).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                        QLatin1Char('"');
    QSqlQuery q(s.db);
    q.setForwardOnly(true);
    if (!run(s.db, q,
             QStringLiteral("SELECT * FROM (%1) AS pagina WHERE %2 IN (%3)")
                 .arg(s.sql, key, QStringList(order.size(), QStringLiteral("?")).join(QStringLiteral(", "))),
             s.params + order))
        return false;
    const int at = q.record().indexOf(s.key);
    if (at < 0)
        return false;
    QHash<QString, QVector<QVariant>> byKey;
    while (q.next()) {
        QVector<QVariant> values(s.columns);
        for (int c = 0; c < s.columns; ++c)
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

bool PagedQueryModel::readPartsPage(int page, QVector<QVector<QVariant>> *rows) const {
    // Pages are read in order (the count grows as they are), so a page's start is always known.
    if (page >= m_starts.size())
        return false;
    rows->reserve(PageRows);
    const auto next =
        KeysetList::read(m_source.db, m_source.parts, m_starts.at(page), PageRows, m_source.columns, rows);
    if (!next)
        return false;
    if (page + 1 == m_starts.size())
        m_starts << *next;
    return true;
}

bool PagedQueryModel::readPage(const Source &s, int page, QVector<QVector<QVariant>> *rows) {
    rows->reserve(PageRows);
    if (page > 0 && !s.key.isEmpty())
        return readPageByKey(s, page, rows);
    QSqlQuery q(s.db);
    q.setForwardOnly(true);
    QVariantList params = s.params;
    params << PageRows << qlonglong(page) * PageRows;
    if (!run(s.db, q, s.sql + QStringLiteral(" LIMIT ? OFFSET ?"), params))
        return false;
    while (q.next()) {
        QVector<QVariant> values(s.columns);
        for (int c = 0; c < s.columns; ++c)
            values[c] = q.value(c);
        rows->push_back(std::move(values));
    }
    q.finish();
    return true;
}

void PagedQueryModel::keepPage(int page, QVector<QVector<QVariant>> rows) const {
    if (m_pages.size() >= CachedPages) {
        auto oldest = m_pages.begin();
        for (auto it = m_pages.begin(); it != m_pages.end(); ++it)
            if (it->lastUse < oldest->lastUse)
                oldest = it;
        m_pages.erase(oldest);
    }
    Page p;
    p.rows = std::move(rows);
    p.lastUse = ++m_uses;
    m_pages.insert(page, std::move(p));
}

bool PagedQueryModel::loadPage(int page) const {
    QVector<QVector<QVariant>> rows;
    const QVariantList known = page == m_knownPage ? m_knownKeys : QVariantList();
    m_knownPage = -1;
    m_knownKeys.clear();
    if (!m_source.parts.isEmpty()
            ? !readPartsPage(page, &rows)
            : !(known.isEmpty() ? readPage(m_source, page, &rows) : readRowsByKey(m_source, known, &rows)))
        return false;
    keepPage(page, std::move(rows));
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
    if (!m_paged)
        return QSqlQueryModel::canFetchMore(parent);
    return !parent.isValid() && m_more;
}

void PagedQueryModel::fetchMore(const QModelIndex &parent) {
    if (!m_paged) {
        QSqlQueryModel::fetchMore(parent);
        return;
    }
    if (parent.isValid() || !m_more)
        return;
    // Rows are fetched a whole page at a time, so the next page starts where the known rows end.
    const int page = m_total / PageRows;
    QVector<QVector<QVariant>> rows;
    if (!(m_source.parts.isEmpty() ? readPage(m_source, page, &rows) : readPartsPage(page, &rows))) {
        m_more = false; // logged; the rows read so far stay
        return;
    }
    const int n = int(rows.size());
    m_more = n == PageRows;
    if (n == 0)
        return;
    beginInsertRows(QModelIndex(), m_total, m_total + n - 1);
    keepPage(page, std::move(rows));
    m_total += n;
    endInsertRows();
}

void PagedQueryModel::clear() {
    // Lets go of the connection too: the program may close it to open another database.
    m_source = Source();
    m_pages.clear();
    m_knownPage = -1;
    m_knownKeys.clear();
    m_starts.clear();
    m_total = 0;
    m_more = false;
    QSqlQueryModel::clear();
}
