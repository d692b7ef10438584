#pragma once

#include <QString>
#include <functional>

#include "platform/dao/dao_database.h"

namespace batched_rows {

// Runs of up to 32 rows suit a handful of rows at a time; a bulk write of thousands goes quicker in
// runs of 128 (each statement keeps below the engine's limit of 999 values for rows of up to 7 values).
constexpr size_t kShortRuns = 32;
constexpr size_t kLongRuns = 128;

// Inserts `count` rows with one statement per run of `most` rows (a power of two), then halving runs
// for the rest: a statement per row costs more than the row, and a handful of fixed texts stay
// prepared. `head` is the statement up to VALUES, `row` one row's marks ("(?, ?)"); bind(i, params)
// appends row i's values. Calls done(last, n) after each statement with the last row id it gave and its
// number of rows: the rows of one statement get consecutive ids.
inline void Insert(dao::Database& db, const QString& head, const QString& row, size_t count,
                   const std::function<void(size_t, dao::Params&)>& bind,
                   const std::function<void(qint64, size_t)>& done = {}, size_t most = kShortRuns) {
    QString texts[8];  // by the run's power of two
    for (size_t first = 0; first < count;) {
        size_t n = most;
        int power = 0;
        while ((size_t(1) << power) < most) ++power;
        while (n > count - first) n /= 2, --power;
        dao::Params params;
        params.reserve(qsizetype(n) * 8);
        for (size_t i = first; i < first + n; ++i) bind(i, params);
        QString& sql = texts[power];
        if (sql.isEmpty()) {
            sql = head + QLatin1Char(' ') + row;
            for (size_t i = 1; i < n; ++i) sql += QStringLiteral(", ") + row;
        }
        db.Execute(sql, params);
        if (done) done(db.LastInsertId(), n);
        first += n;
    }
}

}  // namespace batched_rows
