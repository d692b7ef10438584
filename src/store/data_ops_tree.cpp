#include <QElapsedTimer>
#include <algorithm>
#include <QHash>
#include <QSet>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "frame/app_state.h"
#include "frame/progress.h"
#include "frame/text_utils.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/do_events.h"
#include "platform/tree_node_sink.h"
#include "platform/vbcompat.h"
#include "store/batched_rows.h"
#include "store/data_ops.h"
#include "store/member_name_index.h"
#include "store/member_rows.h"
#include "store/page_run_writes.h"
#include "store/page_start_store.h"

namespace {

using page_walk::EventPump;
using page_walk::KeptPositions;

constexpr qint32 kNumberedAbove = -999;  // -9999 marks a member without a generation number
const QString kSeekOk = QStringLiteral("%SeekOK%");
const QString kHiddenRoot = QStringLiteral("No_Display");
const QString kQueueInsertWithKey =
    QStringLiteral("INSERT INTO \"temp\" (\"filial\", \"generation\", \"f_key\") VALUES");
// Members without a name, as the members' index of them has it (book_schema::BlankNameIndex).
const QString kBlankName = QStringLiteral("\"filial\" IS NULL OR trim(\"filial\") = ''");

struct Child {
    QString name;
    qint32 generation = 0;
    bool male = true;
};
using ChildList = std::vector<Child>;

bool IsHiddenRootName(const QString& name) {
    return name.compare(kHiddenRoot, Qt::CaseInsensitive) == 0;
}

// Siblings come in one order for the page display and the page jump alike, or the two would cut
// different pages. A name blank after trimming is no member and is never shown. "No_Display" marks
// hidden roots: it is nobody's father in the walks, even when a member bears that name.
ChildList PageChildren(dao::Database& db, const QString& father) {
    ChildList out;
    if (IsHiddenRootName(father)) return out;
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT \"filial\", \"generation\", \"Boy_Sex\" FROM \"本姓成员\" "
                            "WHERE \"father\" <> '' AND \"father\" = ? "
                            "ORDER BY \"boy_sort\", \"boy_birthday\", \"filial_id\""),
             {father});
         rs.hasRow(); rs.MoveNext()) {
        const QVariant name = rs.value(0);
        if (name.isNull() || Trim(name.toString()).isEmpty()) continue;
        out.push_back({name.toString(), qint32(rs.value(1).toLongLong()), rs.value(2).toLongLong() != 0});
    }
    return out;
}

bool HasPageChildren(dao::Database& db, const QString& name) {
    return !IsHiddenRootName(name) &&
           !db.Scalar(QStringLiteral("SELECT 1 FROM \"本姓成员\" WHERE \"father\" <> '' AND \"father\" = ? "
                                     "AND trim(\"filial\") <> '' LIMIT 1"),
                      {name})
                .isNull();
}

QString NodeText(const QString& name, qint32 generation) {
    if (App().GenerationsMarked && generation > kNumberedAbove)
        return QLatin1Char('{') + QString::number(generation) + QLatin1Char('}') + name;
    return name;
}

// Whether a page's start member shows its descendants: not when its root is a hidden root. Siblings
// climb to the same root, so one climb serves every start member with the same father; and a book
// without hidden roots needs no climb at all.
class RootVisibility {
public:
    explicit RootVisibility(dao::Database& db) : db_(db) {}
    // Only then does Shown need the fathers.
    bool AnyHidden() {
        if (!anyHidden_.has_value())
            anyHidden_ =
                !db_.Scalar(QStringLiteral("SELECT 1 FROM \"本姓成员\" WHERE \"father\" = ? LIMIT 1"),
                            {kHiddenRoot})
                     .isNull();
        return *anyHidden_;
    }
    bool Shown(const QString& name, const QString& father) {
        if (!AnyHidden()) return true;
        const auto it = byFather_.constFind(father);
        if (it != byFather_.constEnd()) return *it;
        const bool shown = member_rows::This始祖dspt(member_rows::Find始祖(name));
        byFather_.insert(father, shown);
        return shown;
    }

private:
    dao::Database& db_;
    std::optional<bool> anyHidden_;
    QHash<QString, bool> byFather_;
};

// A start member as the page display takes it; exists is false once the member is gone.
struct StartMember {
    bool exists = false;
    QString father;
    qsizetype children = 0;  // as PageChildren counts them
};

// The start members of a page in two reads per few hundred of them, not two reads each. Without
// fathers, whether a member exists is read from the name index alone: reading the members' rows
// themselves, scattered over the whole table, would cost most of the time.
std::vector<StartMember> LookUpStarts(dao::Database& db, const std::vector<PageStartEntry>& starts,
                                      bool withFathers) {
    constexpr size_t kChunk = 400;
    std::vector<StartMember> out(starts.size());
    QHash<QString, std::vector<size_t>> byName;  // folded name: the starts with it
    for (size_t i = 0; i < starts.size(); ++i) byName[FoldAscii(starts[i].name)].push_back(i);
    // In key order, so that each read walks neighbouring index pages.
    QStringList names = byName.keys();
    names.sort();
    const auto startsNamed = [&](const QString& name) -> const std::vector<size_t>& {
        static const std::vector<size_t> none;
        const auto it = byName.constFind(FoldAscii(name));
        return it == byName.constEnd() ? none : *it;
    };
    for (qsizetype from = 0; from < names.size(); from += qsizetype(kChunk)) {
        const QStringList chunk = names.mid(from, qsizetype(kChunk));
        dao::Params params;
        for (const QString& n : chunk) params.push_back(n);
        QString marks = QStringLiteral("?");
        for (qsizetype i = 1; i < chunk.size(); ++i) marks += QStringLiteral(", ?");
        for (dao::Recordset rs = db.OpenRecordset(
                 (withFathers ? QStringLiteral("SELECT \"filial\", \"father\" FROM ")
                              : QStringLiteral("SELECT \"filial\", '' FROM ")) +
                     QStringLiteral("\"本姓成员\" WHERE \"filial\" IN (") + marks + QLatin1Char(')'),
                 params);
             rs.hasRow(); rs.MoveNext())
            for (size_t i : startsNamed(rs.value(0).toString())) out[i] = {true, rs.value(1).toString(), 0};
        // Children from the father index alone, less the nameless ones from their own small index.
        for (const auto& [sign, blank] : {std::pair{1, QString()}, std::pair{-1, QStringLiteral(" AND (") + kBlankName + QLatin1Char(')')}})
            for (dao::Recordset rs = db.OpenRecordset(
                     QStringLiteral("SELECT \"father\", count(*) FROM \"本姓成员\" WHERE \"father\" IN (") + marks +
                         QStringLiteral(") AND \"father\" <> ''") + blank + QStringLiteral(" GROUP BY \"father\""),
                     params);
                 rs.hasRow(); rs.MoveNext()) {
                if (IsHiddenRootName(rs.value(0).toString())) continue;
                for (size_t i : startsNamed(rs.value(0).toString()))
                    out[i].children += sign * qsizetype(rs.value(1).toLongLong());
            }
    }
    return out;
}

qint32 NullAsZero(const QVariant& v) {
    return v.isNull() ? 0 : qint32(v.toLongLong());
}

// A statement per 32 rows: one per row costs more than the rows. Short lists repeat their last row,
// so that the statement text, prepared once, stays the same.
void DeleteQueueRows(dao::Database& db, const std::vector<qint64>& rows) {
    constexpr qsizetype kChunk = 32;
    static const QString sql = QStringLiteral("DELETE FROM \"temp\" WHERE \"tempid\" IN (?") +
                               QStringLiteral(", ?").repeated(kChunk - 1) + QLatin1Char(')');
    for (size_t from = 0; from < rows.size(); from += size_t(kChunk)) {
        dao::Params params;
        for (qsizetype i = 0; i < kChunk; ++i) params.push_back(rows[std::min(from + size_t(i), rows.size() - 1)]);
        db.Execute(sql, params);
    }
}

}  // namespace

// The queue of the page jump, kept between calls so that a jump over many pages neither reads the
// queue back nor looks its start members up again on every page. It mirrors table "temp" row for
// row and is trusted only while the book is unchanged since it was taken.
struct Cls数据操作::PageWalkState {
    struct Entry {
        QString name;
        qint32 generation = 0;
        qint64 row = 0;  // tempid; 0 until written
        std::shared_ptr<const ChildList> children;  // never null
        qint64 position = -1;  // in the order of page starts; -1 until recorded
    };
    std::weak_ptr<dao::Connection> connection;
    BookVersion version;
    std::deque<Entry> queue;
    // Members queued, expanded or dropped during this run of calls: each is queued once, and a loop in
    // stale page starts ends.
    QSet<QString> met;
    // Rows of start members that the page display would not queue (no children): they go first thing
    // in the next call, so that both walks cut the same pages.
    std::vector<qint64> staleRows;
    // Whether the queue's entries carry their positions in the order of page starts, so that the next
    // page is recorded as a window of it.
    bool inOrder = false;
    // Children of every member (by folded father), read in one pass once the walk has asked for many
    // one by one: past that, one read of the table costs less than the questions still to come.
    // Shared with the queue's entries: a million copies of child lists would cost more than the walk.
    std::optional<QHash<QString, std::shared_ptr<const ChildList>>> allChildren;
    qint64 childQueries = 0;

    static std::shared_ptr<const ChildList> Shared(ChildList list) {
        static const auto none = std::make_shared<const ChildList>();
        return list.empty() ? none : std::make_shared<const ChildList>(std::move(list));
    }
    std::shared_ptr<const ChildList> ChildrenOf(dao::Database& db, const QString& name) {
        constexpr qint64 kQueriesBeforeOneRead = 4096;
        if (!allChildren && ++childQueries > kQueriesBeforeOneRead) allChildren = ReadAllChildren(db);
        if (!allChildren) return Shared(PageChildren(db, name));
        if (IsHiddenRootName(name)) return Shared({});
        const auto it = allChildren->constFind(FoldAscii(name));
        return it == allChildren->constEnd() ? Shared({}) : *it;
    }
    static QHash<QString, std::shared_ptr<const ChildList>> ReadAllChildren(dao::Database& db) {
        QHash<QString, ChildList> lists;
        for (dao::Recordset rs = db.OpenRecordset(
                 QStringLiteral("SELECT \"filial\", \"generation\", \"Boy_Sex\", \"father\" FROM \"本姓成员\" "
                                "WHERE \"father\" <> '' ORDER BY \"boy_sort\", \"boy_birthday\", \"filial_id\""));
             rs.hasRow(); rs.MoveNext()) {
            const QVariant name = rs.value(0);
            if (name.isNull() || Trim(name.toString()).isEmpty()) continue;
            lists[FoldAscii(rs.value(3).toString())].push_back(
                {name.toString(), qint32(rs.value(1).toLongLong()), rs.value(2).toLongLong() != 0});
        }
        QHash<QString, std::shared_ptr<const ChildList>> out;
        out.reserve(lists.size());
        for (auto it = lists.begin(); it != lists.end(); ++it) out.insert(it.key(), Shared(std::move(it.value())));
        return out;
    }
};

void Cls数据操作::显示世祖(TreeNodeSink& tree, qint16 /*pageSize*/) {
    ClearTreeNodes(tree);
    ProgressScope progress;
    dao::Database& db = App().DataDb;
    const qint32 page = App().CurrentPage;

    const BookVersion readAt = BookVersion::Of(db);
    PageStartStore store(db);
    const std::vector<PageStartEntry> starts = store.EntriesOf(page);
    // A page that agrees with the book says itself which starts are members shown with children; only
    // starts added by hand are looked up (page 1 is never taken on trust: its starts are the roots,
    // written without the walk's checks).
    const bool agrees = page > 1 && store.Agrees(page);
    std::vector<StartMember> members(starts.size());
    std::vector<PageStartEntry> lookUp;
    std::vector<size_t> lookedUp;
    for (size_t i = 0; i < starts.size(); ++i) {
        if (agrees && starts[i].position >= 0) {
            members[i] = {true, QString(), starts[i].queued ? 1 : 0};
            continue;
        }
        lookUp.push_back(starts[i]);
        lookedUp.push_back(i);
    }
    RootVisibility roots(db);
    const std::vector<StartMember> found = LookUpStarts(db, lookUp, roots.AnyHidden());
    for (size_t k = 0; k < found.size(); ++k) members[lookedUp[k]] = found[k];

    struct QueueRow {
        QString name;
        qint32 generation;
        QString key;
    };
    std::vector<QueueRow> rows;
    EventPump pump;
    for (size_t i = 0; i < starts.size(); ++i) {
        // Names are taken as stored, blanks around them included: they name the member exactly.
        const QString& name = starts[i].name;
        const QString key = TreeNodeSink::MemberKey(name);
        // A start that is gone (renamed or deleted since the pages were cut) or listed twice is passed over.
        if (Trim(name).isEmpty() || tree.Exists(key) || !members[i].exists) continue;
        const bool shown = (agrees && starts[i].position >= 0) || roots.Shown(name, members[i].father);
        if (page == 1 || shown) {
            tree.Add(QString(), key, NodeText(name, starts[i].generation), TreeNodeSink::kImagePageStart);
            tree.Expand(tree.Count());
        }
        // Queued once, with its own generation: at a page end it becomes the number that member
        // shows on the next page.
        if (shown && members[i].children > 0) rows.push_back({name, starts[i].generation, key});
        pump.Tick();
    }

    PageStartStore::OwnWrites own(db, readAt);
    dao::Transaction tx = db.BeginTrans();
    db.Execute(QStringLiteral("DELETE FROM \"temp\""));
    batched_rows::Insert(db, kQueueInsertWithKey, QStringLiteral("(?, ?, ?)"), rows.size(),
                         [&](size_t i, dao::Params& params) { params << rows[i].name << rows[i].generation << rows[i].key; });
    tx.Commit();
}

void Cls数据操作::Tree分结点数展开(TreeNodeSink& tree, qint16 /*pageSize*/) {
    ProgressScope progress;
    dao::Database& db = App().DataDb;
    const qint32 page = App().CurrentPage;

    struct Entry {
        QString name;
        qint32 generation = 0;
        QString key;
        std::vector<qint64> rows;  // this member's rows in "temp"
    };
    std::deque<Entry> queue;
    QHash<QString, size_t> firstRow;
    for (dao::Recordset rs = db.OpenRecordset(QStringLiteral("SELECT \"tempid\", \"filial\", \"generation\", "
                                                             "\"f_key\" FROM \"temp\" ORDER BY \"tempid\""));
         rs.hasRow(); rs.MoveNext()) {
        const QString name = rs.Text(QStringLiteral("filial"));
        const qint64 row = rs.value(0).toLongLong();
        const auto it = firstRow.constFind(name);
        if (it != firstRow.constEnd()) {
            queue[*it].rows.push_back(row);
            continue;
        }
        firstRow.insert(name, queue.size());
        QString key = Trim(rs.Text(QStringLiteral("f_key")));
        if (key.isEmpty()) key = TreeNodeSink::MemberKey(name);  // rows left by the page jump carry no key
        queue.push_back({name, NullAsZero(rs.value(2)), key, {row}});
    }
    std::vector<QString> startNames;
    for (const Entry& e : queue) startNames.push_back(e.name);
    size_t expandedStarts = 0;

    std::vector<qint64> expandedRows;
    qint32 count = 1;
    bool full = false;
    EventPump pump;
    while (!queue.empty()) {
        Entry x = std::move(queue.front());
        queue.pop_front();
        for (const Child& c : PageChildren(db, x.name)) {
            const QString key = TreeNodeSink::MemberKey(c.name);
            if (tree.Exists(key)) continue;  // already on the page: a loop or a repeated name
            tree.Add(x.key, key, NodeText(c.name, c.generation),
                     c.male ? TreeNodeSink::kImageMale : TreeNodeSink::kImageFemale);
            tree.Expand(tree.Count());
            queue.push_back({c.name, c.generation, key, {}});
            ++count;
            pump.Tick();
        }
        expandedRows.insert(expandedRows.end(), x.rows.begin(), x.rows.end());
        if (!x.rows.empty()) ++expandedStarts;
        if (count > App().NodesPerPage) {
            full = true;
            break;
        }
    }

    std::optional<PageStartStore::OwnWrites> own(std::in_place, db);
    dao::Transaction tx = db.BeginTrans();
    DeleteQueueRows(db, expandedRows);
    std::vector<const Entry*> met;  // the members this walk queued
    for (const Entry& e : queue)
        if (e.rows.empty()) met.push_back(&e);
    batched_rows::Insert(db, kQueueInsertWithKey, QStringLiteral("(?, ?, ?)"), met.size(),
                         [&](size_t i, dao::Params& params) { params << met[i]->name << met[i]->generation << met[i]->key; });
    // The next page's starts are cut once; expanding this page again leaves them as they are.
    PageStartStore store(db);
    bool cut = false;
    if (full && store.HighestPage() < page + 1) {
        // The starts this walk began with are those the display queued; the members it added follow.
        std::vector<PageStartEntry> added;
        std::vector<PageStartEntry> whole;
        for (const Entry& e : queue) {
            PageStartEntry entry{e.name, e.generation, -1, e.rows.empty() ? HasPageChildren(db, e.name) : true};
            if (e.rows.empty()) added.push_back(entry);
            whole.push_back(std::move(entry));
        }
        const std::optional<std::vector<qint64>> positions = KeptPositions(store.EntriesOf(page), startNames);
        const bool inOrder =
            positions && store.RecordNext(page, expandedStarts < positions->size() ? (*positions)[expandedStarts] : -1,
                                          added);
        if (!inOrder) store.RecordNextAfresh(page, whole);
        cut = true;
    }
    // The book ends on this page: pages recorded after it were cut from a book that went further.
    if (!full) store.TruncateAfter(page);
    tx.Commit();
    own.reset();
    // The starts it began with were taken from the book by the page display, which this walk follows
    // without anything else written in between when the pages still agree.
    if (cut) store.NoteCut(page + 1, page + 1);

    try {
        if (queue.empty()) App().RepaginateNeeded = false;
        if (tree.Count() > 0) tree.Select(1);
    } catch (...) {
    }
}

// Records the starts of the page after `page` from the jump's queue, whose last `added` entries this
// call met: in order, only those; otherwise the whole queue once, after which it is in order.
void Cls数据操作::RecordJumpPage(PageWalkState& state, qint32 page, size_t added) {
    PageStartStore store(App().DataDb);
    const auto entry = [](const PageWalkState::Entry& e) {
        return PageStartEntry{e.name, e.generation, -1, !e.children->empty()};
    };
    if (state.inOrder) {
        std::vector<PageStartEntry> met;
        for (auto it = state.queue.end() - qsizetype(added); it != state.queue.end(); ++it) met.push_back(entry(*it));
        const qint64 head = state.queue.size() > added ? state.queue.front().position : -1;
        if (store.RecordNext(page, head, met)) {
            auto it = state.queue.end() - qsizetype(added);
            for (const PageStartEntry& m : met) (it++)->position = m.position;
            return;
        }
    }
    std::vector<PageStartEntry> whole;
    for (const PageWalkState::Entry& e : state.queue) whole.push_back(entry(e));
    store.RecordNextAfresh(page, whole);
    for (size_t i = 0; i < whole.size(); ++i) state.queue[i].position = whole[i].position;
    state.inOrder = true;
}

void Cls数据操作::BeginPageRun() {
    pageRun_ = std::make_shared<PageRunWrites>(App().DataDb);
}

void Cls数据操作::EndPageRun() {
    const std::shared_ptr<PageRunWrites> run = std::move(pageRun_);
    if (run) run->Commit();
}

void Cls数据操作::Node分结点数跳页(qint16 /*pageSize*/, QString& target) {
    ProgressScope progress;
    dao::Database& db = App().DataDb;
    using Entry = PageWalkState::Entry;
    PageRunWrites* run = pageRun_ && pageRun_->Serves(db) ? pageRun_.get() : nullptr;
    if (run) run->Open();

    // The state of the previous call is used only when nothing has touched the book since; it is
    // given back only when this call ends well.
    std::shared_ptr<PageWalkState> state = std::move(pageWalk_);
    BookVersion before = BookVersion::Of(db);
    if (!state || state->connection.lock() != db.connection() || state->version != before) {
        state = std::make_shared<PageWalkState>();
        state->connection = db.connection();
        // The caller has queued the starts of the page; take them as the page display would.
        struct Row {
            qint64 row;
            QString name;
            qint32 generation;
        };
        std::vector<Row> rows;
        for (dao::Recordset rs = db.OpenRecordset(QStringLiteral(
                 "SELECT \"tempid\", \"filial\", \"generation\" FROM \"temp\" ORDER BY \"tempid\""));
             rs.hasRow(); rs.MoveNext())
            rows.push_back({rs.value(0).toLongLong(), rs.Text(QStringLiteral("filial")), NullAsZero(rs.value(2))});
        // The queue is the page's starts as recorded when it names them in their order.
        const std::vector<PageStartEntry> recorded = PageStartStore(db).EntriesOf(App().CurrentPage + 1);
        bool asRecorded = recorded.size() == rows.size();
        for (size_t i = 0; asRecorded && i < rows.size(); ++i) asRecorded = recorded[i].name == rows[i].name;
        std::vector<PageStartEntry> asStarts;
        for (const Row& r : rows) asStarts.push_back({r.name, r.generation, -1, false});
        RootVisibility roots(db);
        const std::vector<StartMember> members = LookUpStarts(db, asStarts, roots.AnyHidden());
        std::vector<QString> kept;
        for (size_t i = 0; i < rows.size(); ++i) {
            Row& r = rows[i];
            const bool fresh =
                !Trim(r.name).isEmpty() && !state->met.contains(r.name);
            const bool keep =
                fresh && members[i].exists && members[i].children > 0 && roots.Shown(r.name, members[i].father);
            if (fresh) state->met.insert(r.name);
            if (!keep) {
                state->staleRows.push_back(r.row);
                continue;
            }
            kept.push_back(r.name);
            state->queue.push_back({r.name, r.generation, r.row, PageWalkState::Shared(PageChildren(db, r.name)), -1});
        }
        const std::optional<std::vector<qint64>> positions =
            asRecorded ? KeptPositions(recorded, kept) : std::nullopt;
        if (positions) {
            for (size_t i = 0; i < positions->size(); ++i) state->queue[i].position = (*positions)[i];
            state->inOrder = true;
        }
        before = BookVersion::Of(db);
    }

    // The walk reads only; everything it changes is written in one transaction afterwards.
    qint64 lastExpandedRow = 0;
    qint32 count = 1;
    bool full = false;
    EventPump pump(run);
    while (!state->queue.empty()) {
        Entry x = std::move(state->queue.front());
        state->queue.pop_front();
        for (const Child& c : *x.children) {
            const qsizetype known = state->met.size();
            state->met.insert(c.name);
            if (state->met.size() == known) continue;
            state->queue.push_back({c.name, c.generation, 0, state->ChildrenOf(db, c.name)});
            ++count;
            if (!target.isEmpty() && target == c.name) target = kSeekOk;
            pump.Tick();
        }
        if (x.row != 0) lastExpandedRow = x.row;
        if (count > App().NodesPerPage) {
            full = true;
            break;
        }
    }

    // Window messages run during the walk; if one of them changed the book, the members read before
    // may be out of date, and the state is not carried to the next page.
    const bool undisturbed = BookVersion::Of(db) == before;
    std::optional<PageStartStore::OwnWrites> own(std::in_place, db, before);
    dao::Transaction tx = db.BeginTrans();
    // Stale rows before the last expanded one go with the range below.
    std::erase_if(state->staleRows, [&](qint64 row) { return row <= lastExpandedRow; });
    DeleteQueueRows(db, state->staleRows);
    state->staleRows.clear();
    // "temp" now holds the queue in queue order, so the expanded members are its first rows.
    if (lastExpandedRow != 0)
        db.Execute(QStringLiteral("DELETE FROM \"temp\" WHERE \"tempid\" <= ?"), {lastExpandedRow});
    // Members queued by this call, the only ones without a row: the last ones in the queue. Found from
    // the back, since the queue can be far wider than what one page adds.
    auto firstAdded = state->queue.end();
    while (firstAdded != state->queue.begin() && std::prev(firstAdded)->row == 0) --firstAdded;
    const size_t added = size_t(state->queue.end() - firstAdded);
    auto unnumbered = firstAdded;
    batched_rows::Insert(
        db, QStringLiteral("INSERT INTO \"temp\" (\"filial\", \"generation\") VALUES"), QStringLiteral("(?, ?)"), added,
        [&](size_t i, dao::Params& params) {
            const Entry& e = firstAdded[qsizetype(i)];
            params << e.name << e.generation;
        },
        [&](qint64 last, size_t n) {
            for (size_t i = n; i > 0; --i) (unnumbered++)->row = last - qint64(i - 1);
        });
    if (full)
        RecordJumpPage(*state, App().CurrentPage + 1, added);
    else
        PageStartStore(db).TruncateAfter(App().CurrentPage + 1);  // the book ends on the page expanded
    tx.Commit();
    own.reset();
    if (full && undisturbed) PageStartStore(db).NoteCut(App().CurrentPage + 2, App().CurrentPage + 2);

    const bool reachedEnd = state->queue.empty();
    // Start members without children are shown on their page but never queued by the display. Only
    // the members queued by this call can be such: the others were sorted out before.
    std::vector<Entry> tail;
    for (size_t n = added; n > 0; --n) {
        tail.push_back(std::move(state->queue.back()));
        state->queue.pop_back();
    }
    for (auto it = tail.rbegin(); it != tail.rend(); ++it) {
        if (!it->children->empty()) {
            state->queue.push_back(std::move(*it));
            continue;
        }
        state->staleRows.push_back(it->row);
    }
    state->version = BookVersion::Of(db);
    if (undisturbed) pageWalk_ = std::move(state);
    if (reachedEnd) App().RepaginateNeeded = false;
}

void Cls数据操作::Tree分世代数展开(TreeNodeSink& tree, qint32 firstGeneration, qint32 lastGeneration) {
    dao::Database& db = App().DataDb;
    db.Execute(QStringLiteral("DELETE FROM \"temp\""));
    ClearTreeNodes(tree);

    // The walk needs no rows in "temp": nobody reads the queue while it runs, and it ends empty.
    struct Entry {
        QString name;
        QString key;
    };
    std::deque<Entry> queue;
    for (dao::Recordset rs =
             db.OpenRecordset(QStringLiteral("SELECT \"filial\" FROM \"本姓成员\" WHERE \"generation\" = ? "
                                             "ORDER BY \"boy_sort\", \"filial_id\""),
                              {firstGeneration});
         rs.hasRow(); rs.MoveNext()) {
        const QString name = rs.Text(QStringLiteral("filial"));
        const QString trimmed = Trim(name);
        if (trimmed.isEmpty() || tree.Exists(TreeNodeSink::MemberKey(trimmed))) continue;
        if (firstGeneration != 1 &&
            db.Scalar(QStringLiteral("SELECT 1 FROM \"本姓成员\" WHERE \"father\" = ? LIMIT 1"), {name})
                .isNull())
            continue;
        tree.Add(QString(), TreeNodeSink::MemberKey(trimmed), name);
        queue.push_back({trimmed, TreeNodeSink::MemberKey(trimmed)});
    }

    EventPump pump;
    while (!queue.empty()) {
        const Entry x = std::move(queue.front());
        queue.pop_front();
        for (dao::Recordset rs =
                 db.OpenRecordset(QStringLiteral("SELECT \"filial\", \"generation\" FROM \"本姓成员\" "
                                                 "WHERE \"father\" <> '' AND \"father\" = ? "
                                                 "ORDER BY \"boy_sort\", \"filial_id\""),
                                  {x.name});
             rs.hasRow(); rs.MoveNext()) {
            const QString name = Trim(rs.Text(QStringLiteral("filial")));
            const QString key = TreeNodeSink::MemberKey(name);
            // A member already in the tree is not added again, so a loop in the father chain ends.
            if (name.isEmpty() || tree.Exists(key)) continue;
            tree.Add(x.key, key, name);
            const QVariant generation = rs.value(1);
            if (!generation.isNull() && generation.toLongLong() < lastGeneration)
                queue.push_back({name, key});
            pump.Tick();
        }
    }
}
