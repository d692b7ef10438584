#pragma once

#include <QString>
#include <functional>

#include "platform/dao/dao_database.h"

namespace batched_rows {

// Inserts `count` rows with one statement per run of 32, 16, 8, 4, 2 or 1 of them: a statement per row
// costs more than the row, and a handful of fixed texts stay prepared. `head` is the statement up to
// VALUES, `row` one row's marks ("(?, ?)"); bind(i, params) appends row i's values. Calls done(last,
// n) after each statement with the last row id it gave and its number of rows: the rows of one
// statement get consecutive ids.
inline void Insert(dao::Database& db, const QString& head, const QString& row, size_t count,
                   const std::function<void(size_t, dao::Params&)>& bind,
                   const std::function<void(qint64, size_t)>& done = {}) {
    for (size_t first = 0; first < count;) {
        size_t n = 32;
        while (n > count - first) n /= 2;
        dao::Params params;
        for (size_t i = first; i < first + n; ++i) bind(i, params);
        QString sql = head + QLatin1Char(' ') + row;
        for (size_t i = 1; i < n; ++i) sql += QStringLiteral(", ") + row;
        db.Execute(sql, params);
        if (done) done(db.LastInsertId(), n);
        first += n;
    }
}

}  // namespace batched_rows
