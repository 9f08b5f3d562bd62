#include "db/KeysetList.h"

#include "db/Engine.h"

#include "core/Log.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
QString quoted(const QString &name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}
} // namespace

QString KeysetList::pageStatement(const Part &part, const QVariantList &last, int equal,
                                  QVariantList *params) {
    *params = part.params;
    QStringList where;
    // NULLs come first: nothing is below a NULL, and everything not NULL is above it.
    for (int i = 0; i < equal && i < last.size(); ++i) {
        if (last.at(i).isNull()) {
            where << quoted(part.order.at(i)) + QStringLiteral(" IS NULL");
        } else {
            where << quoted(part.order.at(i)) + QStringLiteral(" = ?");
            *params << last.at(i);
        }
    }
    if (equal < last.size()) {
        if (last.at(equal).isNull()) {
            where << quoted(part.order.at(equal)) + QStringLiteral(" IS NOT NULL");
        } else {
            where << quoted(part.order.at(equal)) + QStringLiteral(" > ?");
            *params << last.at(equal);
        }
    }
    QStringList order;
    for (const QString &c : part.order)
        order << quoted(c) + QStringLiteral(" NULLS FIRST");
    return QStringLiteral("SELECT * FROM (%1) AS tramo%2 ORDER BY %3 LIMIT ?")
        .arg(part.sql,
             where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND ")),
             order.join(QStringLiteral(", ")));
}

Expected<KeysetList::Cursor> KeysetList::read(const QSqlDatabase &db, const QVector<Part> &parts,
                                              const Cursor &from, int rows, int columns,
                                              QVector<QVector<QVariant>> *out) {
    Cursor at = from;
    int need = rows;
    while (need > 0 && at.part < parts.size()) {
        const Part &part = parts.at(at.part);
        // After a row, the rest of the part is the rows that agree with it on all but the last order
        // column and come after it there, then those that agree on one column fewer, and so on: each an
        // index range, in order.
        const int n = int(part.order.size());
        for (int equal = at.last.isEmpty() ? 0 : n - 1; equal >= 0 && need > 0; --equal) {
            QVariantList params;
            const QString sql = pageStatement(part, at.last, equal, &params);
            params << need;
            QSqlQuery q(db);
            q.setForwardOnly(true);
            bool ok = q.prepare(sql);
            for (const QVariant &p : std::as_const(params))
                q.addBindValue(p);
            if (!ok || !q.exec()) {
                Log::error(QStringLiteral("Lista"), sql + QStringLiteral(": ") + q.lastError().text());
                return Engine::of(db).failure(q.lastError(), db, q.lastError().text());
            }
            QVector<int> keyAt;
            for (const QString &c : part.order)
                keyAt << q.record().indexOf(c);
            if (keyAt.contains(-1))
                return Result::failure(QStringLiteral("No se pudo leer la lista."));
            QVector<QVariant> values;
            while (q.next()) {
                values = QVector<QVariant>(columns);
                for (int c = 0; c < columns; ++c)
                    values[c] = q.value(c);
                out->push_back(values);
                --need;
            }
            if (!values.isEmpty()) {
                at.last.clear();
                for (const int k : std::as_const(keyAt))
                    at.last << values.at(k);
            }
            q.finish();
        }
        if (need > 0) {
            ++at.part;
            at.last.clear();
        }
    }
    return at;
}
