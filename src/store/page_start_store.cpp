#include "store/page_start_store.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "platform/dao/dao_database.h"
#include "store/batched_rows.h"

namespace {

// The order's positions a page spans: [head, tail); below fresh only the members still queued.
struct Window {
    qint64 head = 0;
    qint64 tail = 0;
    qint64 fresh = 0;
};

// Books made before the order existed get its tables the first time a store works on them.
void EnsureTables(dao::Database& db) {
    static std::vector<std::weak_ptr<dao::Connection>> ready;
    const std::shared_ptr<dao::Connection> conn = db.connection();
    if (!conn) return;
    std::erase_if(ready, [](const std::weak_ptr<dao::Connection>& w) { return w.expired(); });
    for (const auto& w : ready)
        if (w.lock() == conn) return;
    for (const QString& sql : book_schema::PageOrderStatements()) db.Execute(sql);
    ready.push_back(conn);
}

std::optional<Window> WindowOf(dao::Database& db, qint32 page) {
    dao::Recordset rs = db.OpenRecordset(
        QStringLiteral("SELECT \"head\", \"tail\", \"fresh\" FROM \"pagestart_page\" WHERE \"page\" = ?"), {page});
    if (rs.EOF_()) return std::nullopt;
    return Window{rs.value(0).toLongLong(), rs.value(1).toLongLong(), rs.value(2).toLongLong()};
}

qint32 NullAsZero(const QVariant& v) {
    return v.isNull() ? 0 : qint32(v.toLongLong());
}

// Writes entries at positions from `from` on, over rows a forgotten page may have left there.
void WriteOrder(dao::Database& db, qint64 from, const std::vector<PageStartEntry>& entries) {
    batched_rows::Insert(
        db,
        QStringLiteral("INSERT OR REPLACE INTO \"pagestart_order\" (\"pos\", \"name\", \"generation\", \"queued\") "
                       "VALUES"),
        QStringLiteral("(?, ?, ?, ?)"), entries.size(), [&](size_t i, dao::Params& params) {
            params << from + qint64(i) << entries[i].name << entries[i].generation << (entries[i].queued ? 1 : 0);
        });
}

void WriteWindow(dao::Database& db, qint32 page, const Window& w) {
    db.Execute(QStringLiteral("INSERT OR REPLACE INTO \"pagestart_page\" (\"page\", \"head\", \"tail\", "
                              "\"fresh\") VALUES (?, ?, ?, ?)"),
               {page, w.head, w.tail, w.fresh});
}

}  // namespace

PageStartStore::PageStartStore() : PageStartStore(App().DataDb) {}
PageStartStore::PageStartStore(dao::Database& db) : db_(db) {
    EnsureTables(db_);
}

std::vector<PageStartEntry> PageStartStore::EntriesOf(qint32 page) const {
    std::vector<PageStartEntry> out;
    if (const std::optional<Window> w = WindowOf(db_, page))
        for (dao::Recordset rs = db_.OpenRecordset(
                 QStringLiteral("SELECT \"pos\", \"name\", \"generation\", \"queued\" FROM \"pagestart_order\" "
                                "WHERE \"pos\" >= ? AND \"pos\" < ? AND (\"pos\" >= ? OR \"queued\" <> 0) "
                                "ORDER BY \"pos\""),
                 {w->head, w->tail, w->fresh});
             rs.hasRow(); rs.MoveNext())
            out.push_back({rs.value(1).toString(), NullAsZero(rs.value(2)), rs.value(0).toLongLong(),
                           rs.value(3).toLongLong() != 0});
    for (dao::Recordset rs =
             db_.OpenRecordset(QStringLiteral("SELECT \"father\", \"generation\" FROM \"temp世祖\" "
                                              "WHERE \"currentpage\" = ? ORDER BY rowid"),
                               {page});
         rs.hasRow(); rs.MoveNext())
        out.push_back({rs.Text(QStringLiteral("father")), NullAsZero(rs.value(1)), -1, false});
    return out;
}

QList<PageStart> PageStartStore::StartsOf(qint32 page) const {
    QList<PageStart> out;
    for (PageStartEntry& e : EntriesOf(page)) out.push_back({std::move(e.name), e.generation});
    return out;
}

qint32 PageStartStore::HighestPage() const {
    const QVariant v = db_.Scalar(QStringLiteral(
        "SELECT max(p) FROM (SELECT max(\"page\") AS p FROM \"pagestart_page\" "
        "UNION ALL SELECT max(\"currentpage\") FROM \"temp世祖\")"));
    return v.isNull() ? 0 : qint32(v.toLongLong());
}

bool PageStartStore::IsEmpty() const {
    return db_.Scalar(QStringLiteral("SELECT 1 FROM \"pagestart_page\" UNION ALL "
                                     "SELECT 1 FROM \"temp世祖\" LIMIT 1"))
        .isNull();
}

// The order's rows past the last window kept stay as they are: the next walk writes over them, and
// deleting them would cost as much as the walk that wrote them.
void PageStartStore::TruncateAfter(qint32 page) {
    dao::Transaction tx = db_.BeginTrans();
    db_.Execute(QStringLiteral("DELETE FROM \"pagestart_page\" WHERE \"page\" > ?"), {page});
    db_.Execute(QStringLiteral("DELETE FROM \"temp世祖\" WHERE \"currentpage\" > ?"), {page});
    tx.Commit();
}

void PageStartStore::Clear() {
    dao::Transaction tx = db_.BeginTrans();
    db_.Execute(QStringLiteral("DELETE FROM \"pagestart_page\""));
    db_.Execute(QStringLiteral("DELETE FROM \"pagestart_order\""));
    db_.Execute(QStringLiteral("DELETE FROM \"temp世祖\""));
    tx.Commit();
}

void PageStartStore::RemoveMember(const QString& name) {
    dao::Transaction tx = db_.BeginTrans();
    db_.Execute(QStringLiteral("DELETE FROM \"pagestart_order\" WHERE \"name\" = ?"), {name});
    db_.Execute(QStringLiteral("DELETE FROM \"temp世祖\" WHERE \"father\" = ?"), {name});
    tx.Commit();
}

void PageStartStore::AddStart(qint32 page, const QString& name, qint32 generation) {
    db_.Execute(
        QStringLiteral(
            "INSERT INTO \"temp世祖\" (\"father\", \"currentpage\", \"generation\") VALUES (?, ?, ?)"),
        {name, page, generation});
}

void PageStartStore::Rename(const QString& oldName, const QString& newName) {
    dao::Transaction tx = db_.BeginTrans();
    db_.Execute(QStringLiteral("UPDATE \"pagestart_order\" SET \"name\" = ? WHERE \"name\" = ?"),
                {newName, oldName});
    db_.Execute(QStringLiteral("UPDATE \"temp世祖\" SET \"father\" = ? WHERE \"father\" = ?"),
                {newName, oldName});
    tx.Commit();
}

void PageStartStore::SetFirstPage(const std::vector<PageStartEntry>& starts) {
    dao::Transaction tx = db_.BeginTrans();
    Clear();
    if (!starts.empty()) {  // a book without roots has no page recorded
        WriteOrder(db_, 0, starts);
        WriteWindow(db_, 1, {0, qint64(starts.size()), 0});
    }
    tx.Commit();
}

namespace {

// Whether page + 1 is recorded as this window over these members already.
bool SameWindow(dao::Database& db, qint32 page, const Window& next, const std::vector<PageStartEntry>& added) {
    const std::optional<Window> old = WindowOf(db, page + 1);
    if (!old || old->head != next.head || old->tail != next.tail || old->fresh != next.fresh) return false;
    if (!db.Scalar(QStringLiteral("SELECT 1 FROM \"temp世祖\" WHERE \"currentpage\" > ? LIMIT 1"), {page})
             .isNull())
        return false;
    size_t i = 0;
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT \"name\", \"generation\", \"queued\" FROM \"pagestart_order\" "
                            "WHERE \"pos\" >= ? AND \"pos\" < ? ORDER BY \"pos\""),
             {next.fresh, next.tail});
         rs.hasRow(); rs.MoveNext(), ++i)
        if (i >= added.size() || rs.value(0).toString() != added[i].name ||
            NullAsZero(rs.value(1)) != added[i].generation || (rs.value(2).toLongLong() != 0) != added[i].queued)
            return false;
    return i == added.size();
}

void RecordWindow(PageStartStore& store, dao::Database& db, qint32 page, const Window& next,
                  std::vector<PageStartEntry>& entries) {
    for (size_t i = 0; i < entries.size(); ++i) entries[i].position = next.fresh + qint64(i);
    if (entries.empty() && next.head == next.tail) {  // nobody left: there is no page + 1
        store.TruncateAfter(page);
        return;
    }
    dao::Transaction tx = db.BeginTrans();
    if (!SameWindow(db, page, next, entries)) {
        store.TruncateAfter(page);
        WriteOrder(db, next.fresh, entries);
        WriteWindow(db, page + 1, next);
    }
    tx.Commit();
}

}  // namespace

bool PageStartStore::RecordNext(qint32 page, qint64 head, std::vector<PageStartEntry>& added) {
    const std::optional<Window> w = WindowOf(db_, page);
    if (!w) return false;
    if (head < 0) head = w->tail;
    if (head < w->head || head > w->tail) return false;
    RecordWindow(*this, db_, page, {head, w->tail + qint64(added.size()), w->tail}, added);
    return true;
}

void PageStartStore::RecordNextAfresh(qint32 page, std::vector<PageStartEntry>& queue) {
    // Past every position the pages kept use.
    const QVariant end =
        db_.Scalar(QStringLiteral("SELECT max(\"tail\") FROM \"pagestart_page\" WHERE \"page\" <= ?"), {page});
    const qint64 base = end.isNull() ? 0 : end.toLongLong();
    RecordWindow(*this, db_, page, {base, base + qint64(queue.size()), base}, queue);
}
