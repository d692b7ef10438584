#include <algorithm>

#include "platform/dao/dao_database.h"
#include "store/batched_rows.h"
#include "store/page_start_rows.h"
#include "store/page_start_store.h"

// The recorded order read forward once, as renames and removals leave it: the pages a batch compares
// come one after another, each further on in the order.
class PageStartStore::Batch::RecordedRows {
public:
    explicit RecordedRows(dao::Database& db) : db_(db), notes_(db) {}

    // Whether the rows in [from, to) are these entries.
    bool Equal(qint64 from, qint64 to, const std::vector<PageStartEntry>& entries) {
        if (!rs_.hasRow() || from < start_ || rs_.value(0).toLongLong() > from) Open(from);
        size_t i = 0;
        bool same = true;
        for (; rs_.hasRow(); rs_.MoveNext()) {
            const qint64 pos = rs_.value(0).toLongLong();
            if (pos < from) continue;
            if (pos >= to) break;
            QString name = rs_.value(1).toString();
            if (!notes_.Apply(pos, name)) continue;
            same = same && i < entries.size() && name == entries[i].name &&
                   NullAsZero(rs_.value(2)) == entries[i].generation &&
                   (rs_.value(3).toLongLong() != 0) == entries[i].queued;
            ++i;
        }
        return same && i == entries.size();
    }

private:
    void Open(qint64 from) {
        start_ = from;
        rs_ = db_.OpenRecordset(
            QStringLiteral("SELECT \"pos\", \"name\", \"generation\", \"queued\" FROM \"pagestart_order\" "
                           "WHERE \"pos\" >= ? ORDER BY \"pos\""),
            {from});
    }

    dao::Database& db_;
    PageStartNotes notes_;
    dao::Recordset rs_;
    qint64 start_ = 0;
};

PageStartStore::Batch::Batch(dao::Database& db) : db_(db) {
    PageStartStore store(db);  // makes the tables of an older book
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT \"page\", \"head\", \"tail\", \"fresh\" FROM \"pagestart_page\""));
         rs.hasRow(); rs.MoveNext())
        windows_[qint32(rs.value(0).toLongLong())] = {rs.value(1).toLongLong(), rs.value(2).toLongLong(),
                                                      rs.value(3).toLongLong()};
    handStartsAbove_ = NullAsZero(db.Scalar(QStringLiteral("SELECT max(\"currentpage\") FROM \"temp世祖\"")));
    recorded_ = std::make_unique<RecordedRows>(db);
}

PageStartStore::Batch::~Batch() = default;

bool PageStartStore::Batch::RecordNext(qint32 page, qint64 head, std::vector<PageStartEntry>& added) {
    const auto w = windows_.find(page);
    if (w == windows_.end()) return false;
    if (head < 0) head = w->second.tail;
    if (head < w->second.head || head > w->second.tail) return false;
    Record(page, {head, w->second.tail + qint64(added.size()), w->second.tail}, added);
    return true;
}

void PageStartStore::Batch::RecordNextAfresh(qint32 page, std::vector<PageStartEntry>& queue) {
    qint64 base = 0;
    for (auto it = windows_.begin(); it != windows_.end() && it->first <= page; ++it)
        base = std::max(base, it->second.tail);
    Record(page, {base, base + qint64(queue.size()), base}, queue);
}

void PageStartStore::Batch::EndAt(qint32 page) {
    if (!recordedAfter(page)) return;
    recorded_.reset();
    forgetAfter(page);
}

bool PageStartStore::Batch::recordedAfter(qint32 page) const {
    return windows_.upper_bound(page) != windows_.end() || handStartsAbove_ > page;
}

void PageStartStore::Batch::forgetAfter(qint32 page) {
    windows_.erase(windows_.upper_bound(page), windows_.end());
    truncateAfter_ = truncateAfter_ ? std::min(*truncateAfter_, page) : page;
    handStartsAbove_ = std::min(handStartsAbove_, page);
    std::erase_if(pages_, [&](const std::pair<qint32, Window>& p) { return p.first > page; });
}

bool PageStartStore::Batch::Same(qint32 page, const Window& next, const std::vector<PageStartEntry>& entries) {
    const auto old = windows_.find(page + 1);
    if (old == windows_.end() || old->second.head != next.head || old->second.tail != next.tail ||
        old->second.fresh != next.fresh || handStartsAbove_ > page || !recorded_)
        return false;
    return recorded_->Equal(next.fresh, next.tail, entries);
}

void PageStartStore::Batch::Record(qint32 page, const Window& next, std::vector<PageStartEntry>& entries) {
    for (size_t i = 0; i < entries.size(); ++i) entries[i].position = next.fresh + qint64(i);
    const bool nextPage = !entries.empty() || next.head != next.tail;
    if (nextPage && Same(page, next, entries)) return;
    // Nothing recorded here is compared any more, and the pages after `page` are forgotten: what stood
    // there is written over.
    recorded_.reset();
    if (recordedAfter(page)) {
        forgetAfter(page);
        std::erase_if(rows_, [&](const Row& r) { return r.pos >= next.fresh; });
    }
    if (!nextPage) return;
    for (const PageStartEntry& e : entries) rows_.push_back({e.position, e});
    windows_[page + 1] = next;
    pages_.emplace_back(page + 1, next);
}

void PageStartStore::Batch::Flush() {
    if (truncateAfter_) PageStartStore(db_).TruncateAfter(*truncateAfter_);
    truncateAfter_.reset();
    batched_rows::Insert(
        db_,
        QStringLiteral("INSERT OR REPLACE INTO \"pagestart_order\" (\"pos\", \"name\", \"generation\", \"queued\") "
                       "VALUES"),
        QStringLiteral("(?, ?, ?, ?)"), rows_.size(),
        [&](size_t i, dao::Params& params) {
            const Row& r = rows_[i];
            params << r.pos << r.entry.name << r.entry.generation << (r.entry.queued ? 1 : 0);
        },
        {}, batched_rows::kLongRuns);
    batched_rows::Insert(
        db_, QStringLiteral("INSERT OR REPLACE INTO \"pagestart_page\" (\"page\", \"head\", \"tail\", \"fresh\") VALUES"),
        QStringLiteral("(?, ?, ?, ?)"), pages_.size(),
        [&](size_t i, dao::Params& params) {
            const auto& [page, w] = pages_[i];
            params << page << w.head << w.tail << w.fresh;
        },
        {}, batched_rows::kLongRuns);
    rows_.clear();
    pages_.clear();
}
