#pragma once

// The page-start store's own helpers, shared by its files (page_start_store.cpp, page_start_batch.cpp).

#include <QHash>
#include <QString>
#include <QVariant>
#include <vector>

#include "platform/dao/dao_database.h"
#include "store/batched_rows.h"
#include "store/page_start_store.h"

inline qint32 NullAsZero(const QVariant& v) {
    return v.isNull() ? 0 : qint32(v.toLongLong());
}

// Writes entries at positions from `from` on, over rows a forgotten page may have left there.
inline void WriteOrderRows(dao::Database& db, qint64 from, const std::vector<PageStartEntry>& entries,
                           size_t first = 0, size_t count = size_t(-1)) {
    count = std::min(count, entries.size() - std::min(first, entries.size()));
    batched_rows::Insert(
        db,
        QStringLiteral("INSERT OR REPLACE INTO \"pagestart_order\" (\"pos\", \"name\", \"generation\", \"queued\") "
                       "VALUES"),
        QStringLiteral("(?, ?, ?, ?)"), count,
        [&](size_t i, dao::Params& params) {
            const PageStartEntry& e = entries[first + i];
            params << from + qint64(i) << e.name << e.generation << (e.queued ? 1 : 0);
        },
        {}, batched_rows::kLongRuns);
}

// The renames and removals noted beside the order, applied to its rows as they are read: a row at a
// position below a note's reach that bears its old name (as names compare) takes the new one, or is
// not read at all for a removal; notes apply one after another in the order they were made.
class PageStartNotes {
public:
    explicit PageStartNotes(dao::Database& db);
    bool empty() const { return notes_.empty(); }
    // False when the row is removed; otherwise name becomes the row's name as it reads now.
    bool Apply(qint64 pos, QString& name) const;

private:
    struct Note {
        bool removed;
        QString newName;
        qint64 below;
    };
    std::vector<Note> notes_;
    QHash<QString, std::vector<size_t>> byOld_;  // folded old name: its notes in order
};
