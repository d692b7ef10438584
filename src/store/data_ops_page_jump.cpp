// The page jump over many pages at once: the whole member table read once into memory, the pages cut
// there one after another exactly as Node分结点数跳页 would cut them, and their starts recorded in bulk.
#include <QSet>
#include <algorithm>
#include <deque>
#include <optional>
#include <vector>

#include "frame/app_state.h"
#include "frame/progress.h"
#include "platform/dao/dao_database.h"
#include "platform/vbcompat.h"
#include "store/batched_rows.h"
#include "store/data_ops.h"
#include "store/page_run_writes.h"
#include "store/page_start_store.h"
#include "store/paged_book.h"

namespace {

const QString kSeekOk = QStringLiteral("%SeekOK%");
// Order rows gathered before they are written and window messages may run: the writes between two
// rounds of messages take a fraction of a second.
constexpr size_t kRowsPerCommit = 100000;

// A queued member: its name as the queue holds it (a start's as recorded, a child's as stored).
struct Queued {
    qint32 member;
    QString name;
    qint32 generation;
    qint64 position = -1;  // in the order of page starts; -1 until recorded
};

// The starts of the page to expand, as the caller queued them in "temp".
std::vector<PageStartEntry> QueuedStarts(dao::Database& db) {
    std::vector<PageStartEntry> out;
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT \"filial\", \"generation\" FROM \"temp\" ORDER BY \"tempid\""));
         rs.hasRow(); rs.MoveNext())
        out.push_back({rs.Text(QStringLiteral("filial")),
                       rs.value(1).isNull() ? 0 : qint32(rs.value(1).toLongLong()), -1, false});
    return out;
}

void ReplaceQueue(dao::Database& db, const std::vector<PageStartEntry>& queue) {
    db.Execute(QStringLiteral("DELETE FROM \"temp\""));
    batched_rows::Insert(
        db, QStringLiteral("INSERT INTO \"temp\" (\"filial\", \"generation\") VALUES"), QStringLiteral("(?, ?)"),
        queue.size(), [&](size_t i, dao::Params& params) { params << queue[i].name << queue[i].generation; }, {},
        batched_rows::kLongRuns);
}

}  // namespace

bool Cls数据操作::JumpPagesInMemory(qint32 stopAt, QString& target) {
    ProgressScope progress;
    AppState& app = App();
    dao::Database& db = app.DataDb;
    // What a run of jumps wrote so far stands; from here on the writes are gathered here.
    if (pageRun_) pageRun_->Commit();
    pageWalk_.reset();
    page_walk::EventPump pump;

    // The book as read; the version moves on with each of this call's own writes.
    BookVersion expected = BookVersion::Of(db);
    const std::vector<PageStartEntry> starts = QueuedStarts(db);
    const std::vector<PageStartEntry> recorded = PageStartStore(db).EntriesOf(app.CurrentPage + 1);
    const PagedBook book(db, [&] { pump.Tick(); });

    // The queue as the first of the jumps takes it: each start once, and only a member shown with
    // children. Members met are marked by number; a start whose name is no member's exact name is
    // marked by its name, as the jump compares names.
    std::vector<quint8> met(size_t(book.size()), 0);
    QSet<QString> metNames;
    std::deque<Queued> queue;
    std::vector<QString> kept;
    for (const PageStartEntry& s : starts) {
        const bool blank = Trim(s.name).isEmpty();
        const qint32 m = blank ? -1 : book.Find(s.name);
        const bool exact = m >= 0 && book.Name(m) == s.name;
        const bool fresh = !blank && !(exact ? met[size_t(m)] != 0 : metNames.contains(s.name));
        if (!fresh) continue;
        if (exact)
            met[size_t(m)] = 1;
        else
            metNames.insert(s.name);
        if (m < 0 || book.Children(m).empty() || (book.AnyHidden() && !book.Shown(m))) continue;
        kept.push_back(s.name);
        queue.push_back({m, s.name, s.generation});
    }
    bool inOrder = false;
    if (recorded.size() == starts.size() &&
        std::equal(recorded.begin(), recorded.end(), starts.begin(),
                   [](const PageStartEntry& a, const PageStartEntry& b) { return a.name == b.name; }))
        if (const std::optional<std::vector<qint64>> positions = page_walk::KeptPositions(recorded, kept)) {
            for (size_t i = 0; i < positions->size(); ++i) queue[i].position = (*positions)[i];
            inOrder = true;
        }

    PageStartStore::Batch batch(db);
    qint32 page = app.CurrentPage;  // the last page expanded
    qint32 flushedPage = page;      // as far as the book holds what the jumps did
    const qint32 firstCut = page + 2;
    qint32 cutThrough = page + 1;
    bool found = false;
    // The queue the last jump leaves in "temp": written with the last pages, or when the walk breaks off.
    std::vector<PageStartEntry> left;
    const auto entryOf = [&](const Queued& q) {
        return PageStartEntry{q.name, q.generation, -1, !book.Children(q.member).empty()};
    };
    // Writes what is gathered with the queue the last jump leaves; false, with nothing written, when
    // something else has written to the book since it was read.
    const auto flush = [&](bool last, std::vector<PageStartEntry>& queueLeft) {
        if (BookVersion::Of(db) != expected) return false;
        {
            PageStartStore::OwnWrites own(db, expected);
            dao::Transaction tx = db.BeginTrans();
            batch.Flush();
            if (last) ReplaceQueue(db, queueLeft);
            tx.Commit();
        }
        left = std::move(queueLeft);
        PageStartStore(db).NoteCut(firstCut, cutThrough);
        flushedPage = page;
        expected = BookVersion::Of(db);
        return true;
    };

    for (;;) {
        // One jump: expand the page after `page` until it holds more than NodesPerPage members.
        qint32 count = 1;
        bool full = false;
        size_t pushed = 0;
        while (!queue.empty()) {
            const Queued x = std::move(queue.front());
            queue.pop_front();
            for (const qint32 c : book.Children(x.member)) {
                if (met[size_t(c)] != 0) continue;
                met[size_t(c)] = 1;
                queue.push_back({c, book.Name(c), book.Generation(c)});
                ++pushed;
                ++count;
                if (!target.isEmpty() && target == book.Name(c)) found = true;
            }
            if (count > app.NodesPerPage) {
                full = true;
                break;
            }
        }
        ++page;
        // Recorded as the jump records it: the members it added as the next window of the order, or the
        // whole queue afresh.
        const size_t added = full ? std::min(pushed, queue.size()) : 0;
        if (full) {
            bool recordedInOrder = false;
            if (inOrder) {
                std::vector<PageStartEntry> fresh;
                for (auto it = queue.end() - qsizetype(added); it != queue.end(); ++it) fresh.push_back(entryOf(*it));
                const qint64 head = queue.size() > added ? queue.front().position : -1;
                if ((recordedInOrder = batch.RecordNext(page, head, fresh))) {
                    auto it = queue.end() - qsizetype(added);
                    for (const PageStartEntry& e : fresh) (it++)->position = e.position;
                }
            }
            if (!recordedInOrder) {
                std::vector<PageStartEntry> whole;
                for (const Queued& q : queue) whole.push_back(entryOf(q));
                batch.RecordNextAfresh(page, whole);
                for (size_t i = 0; i < whole.size(); ++i) queue[i].position = whole[i].position;
                inOrder = true;
            }
            cutThrough = page + 1;
        }
        // The book ends on this page: pages recorded after it were cut from a book that went further.
        if (!full) batch.EndAt(page);
        const bool stop = found || !full || page + 1 >= stopAt;
        if (stop || batch.Pending() >= kRowsPerCommit) {
            std::vector<PageStartEntry> queueLeft;
            for (const Queued& q : queue) queueLeft.push_back({q.name, q.generation, -1, false});
            if (!flush(stop, queueLeft)) break;
            if (stop) {
                app.CurrentPage = page;
                if (!full) app.RepaginateNeeded = false;
                if (found) target = kSeekOk;
                return true;
            }
            pump.Tick();
            if (BookVersion::Of(db) != expected) break;
        }
        // Start members without children are shown on the next page but never queued by the display;
        // only the members this jump added can be such.
        std::vector<Queued> tail(queue.end() - qsizetype(added), queue.end());
        queue.erase(queue.end() - qsizetype(added), queue.end());
        for (Queued& q : tail)
            if (!book.Children(q.member).empty()) queue.push_back(std::move(q));
        pump.Tick();
    }
    // Something else wrote to the book meanwhile: the walk stands where the book last heard from it, as
    // the jumps would have left it there, and the caller goes on page by page.
    if (flushedPage != app.CurrentPage) {
        PageStartStore::OwnWrites own(db);
        dao::Transaction tx = db.BeginTrans();
        ReplaceQueue(db, left);
        tx.Commit();
    }
    app.CurrentPage = flushedPage;
    return false;
}
