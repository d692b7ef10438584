#include "store/page_start_store.h"

#include <QHash>
#include <algorithm>
#include <exception>
#include <memory>
#include <optional>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "platform/dao/dao_database.h"
#include "store/batched_rows.h"
#include "store/member_name_index.h"
#include "store/page_start_rows.h"

namespace {

// The order's positions a page spans: [head, tail); below fresh only the members still queued.
struct Window {
    qint64 head = 0;
    qint64 tail = 0;
    qint64 fresh = 0;
};

// Books made before the order existed get its tables the first time a store works on them.
void EnsureTables(dao::Database& db) {
    const QString done = QStringLiteral("page order tables");
    if (!db.isOpen() || db.Done(done)) return;
    for (const QString& sql : book_schema::PageOrderStatements()) db.Execute(sql);
    db.NoteDone(done);
}

std::optional<Window> WindowOf(dao::Database& db, qint32 page) {
    dao::Recordset rs = db.OpenRecordset(
        QStringLiteral("SELECT \"head\", \"tail\", \"fresh\" FROM \"pagestart_page\" WHERE \"page\" = ?"), {page});
    if (rs.EOF_()) return std::nullopt;
    return Window{rs.value(0).toLongLong(), rs.value(1).toLongLong(), rs.value(2).toLongLong()};
}

void WriteWindow(dao::Database& db, qint32 page, const Window& w) {
    db.Execute(QStringLiteral("INSERT OR REPLACE INTO \"pagestart_page\" (\"page\", \"head\", \"tail\", "
                              "\"fresh\") VALUES (?, ?, ?, ?)"),
               {page, w.head, w.tail, w.fresh});
}

// Past every position the pages up to `page` use (all pages when none is given).
qint64 EndOfPages(dao::Database& db, std::optional<qint32> page = std::nullopt) {
    const QVariant end =
        page ? db.Scalar(QStringLiteral("SELECT max(\"tail\") FROM \"pagestart_page\" WHERE \"page\" <= ?"), {*page})
             : db.Scalar(QStringLiteral("SELECT max(\"tail\") FROM \"pagestart_page\""));
    return end.isNull() ? 0 : end.toLongLong();
}

// Which pages agree with the book (PageStartStore::Agrees): known for one connection, at one version of
// its book, for one stretch of pages.
struct Agreement {
    std::weak_ptr<dao::Connection> connection;
    BookVersion version;
    qint32 first = 1;
    qint32 last = 0;
};

Agreement& TheAgreement() {
    static Agreement agreement;
    return agreement;
}

bool AgreementHeld(dao::Database& db) {
    const Agreement& a = TheAgreement();
    const std::shared_ptr<dao::Connection> conn = db.connection();
    return conn && a.connection.lock() == conn && a.version == BookVersion::Of(db);
}

void DropAgreement() {
    TheAgreement() = Agreement{};
}

// The pages after `page` no longer exist, so none of them agrees.
void ForgetAgreementAfter(qint32 page) {
    Agreement& a = TheAgreement();
    a.last = std::min(a.last, page);
}

}  // namespace

BookVersion BookVersion::Of(dao::Database& db) {
    return {db.Scalar(QStringLiteral("SELECT total_changes()")).toLongLong(),
            db.Scalar(QStringLiteral("PRAGMA data_version")).toLongLong()};
}

// ---- Renames and removals noted beside the order

PageStartNotes::PageStartNotes(dao::Database& db) {
    for (dao::Recordset rs = db.OpenRecordset(QStringLiteral(
             "SELECT \"old\", \"new\", \"below\" FROM \"pagestart_renamed\" ORDER BY \"seq\""));
         rs.hasRow(); rs.MoveNext()) {
        byOld_[FoldAscii(rs.value(0).toString())].push_back(notes_.size());
        notes_.push_back({rs.value(1).isNull(), rs.value(1).toString(), rs.value(2).toLongLong()});
    }
}

bool PageStartNotes::Apply(qint64 pos, QString& name) const {
    if (notes_.empty()) return true;
    size_t after = 0;  // notes before this one are past
    for (;;) {
        const auto it = byOld_.constFind(FoldAscii(name));
        if (it == byOld_.constEnd()) return true;
        const auto next = std::find_if(it->begin(), it->end(),
                                       [&](size_t n) { return n >= after && pos < notes_[n].below; });
        if (next == it->end()) return true;
        const Note& note = notes_[*next];
        if (note.removed) return false;
        name = note.newName;
        after = *next + 1;
    }
}

// ---- The store

PageStartStore::PageStartStore() : PageStartStore(App().DataDb) {}
PageStartStore::PageStartStore(dao::Database& db) : db_(db) {
    EnsureTables(db_);
}

std::vector<PageStartEntry> PageStartStore::EntriesOf(qint32 page) const {
    std::vector<PageStartEntry> out;
    if (const std::optional<Window> w = WindowOf(db_, page)) {
        const PageStartNotes notes(db_);
        for (dao::Recordset rs = db_.OpenRecordset(
                 QStringLiteral("SELECT \"pos\", \"name\", \"generation\", \"queued\" FROM \"pagestart_order\" "
                                "WHERE \"pos\" >= ? AND \"pos\" < ? AND (\"pos\" >= ? OR \"queued\" <> 0) "
                                "ORDER BY \"pos\""),
                 {w->head, w->tail, w->fresh});
             rs.hasRow(); rs.MoveNext()) {
            const qint64 pos = rs.value(0).toLongLong();
            QString name = rs.value(1).toString();
            if (notes.Apply(pos, name))
                out.push_back({std::move(name), NullAsZero(rs.value(2)), pos, rs.value(3).toLongLong() != 0});
        }
    }
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
// deleting them would cost as much as the walk that wrote them. Notes reach no further than the rows
// that stay, or they would apply to the rows written over them. Pages forgotten leave the division of
// the book unfinished, however it came to be cut again: the highest page left is no longer the book's
// last until a walk reaches the end.
void PageStartStore::TruncateAfter(qint32 page) {
    const bool forgets = HighestPage() > page;
    OwnWrites own(db_);
    dao::Transaction tx = db_.BeginTrans();
    db_.Execute(QStringLiteral("DELETE FROM \"pagestart_page\" WHERE \"page\" > ?"), {page});
    db_.Execute(QStringLiteral("DELETE FROM \"temp世祖\" WHERE \"currentpage\" > ?"), {page});
    const qint64 end = EndOfPages(db_);
    db_.Execute(QStringLiteral("UPDATE \"pagestart_renamed\" SET \"below\" = ? WHERE \"below\" > ?"), {end, end});
    tx.Commit();
    ForgetAgreementAfter(page);
    if (forgets) App().RepaginateNeeded = true;
}

void PageStartStore::Clear() {
    OwnWrites own(db_);
    dao::Transaction tx = db_.BeginTrans();
    db_.Execute(QStringLiteral("DELETE FROM \"pagestart_page\""));
    db_.Execute(QStringLiteral("DELETE FROM \"pagestart_order\""));
    db_.Execute(QStringLiteral("DELETE FROM \"pagestart_renamed\""));
    db_.Execute(QStringLiteral("DELETE FROM \"temp世祖\""));
    tx.Commit();
    ForgetAgreementAfter(0);
}

namespace {

// So many notes are applied to the order itself and forgotten: each read of a window carries them.
constexpr qint64 kMostNotes = 512;

void ApplyNotesToOrder(dao::Database& db) {
    const PageStartNotes notes(db);
    std::vector<std::pair<qint64, QString>> renamed;
    std::vector<qint64> removed;
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT \"pos\", \"name\" FROM \"pagestart_order\" "
                            "WHERE \"pos\" < (SELECT max(\"below\") FROM \"pagestart_renamed\") ORDER BY \"pos\""));
         rs.hasRow(); rs.MoveNext()) {
        const qint64 pos = rs.value(0).toLongLong();
        const QString stored = rs.value(1).toString();
        QString name = stored;
        if (!notes.Apply(pos, name))
            removed.push_back(pos);
        else if (name != stored)
            renamed.emplace_back(pos, name);
    }
    for (const auto& [pos, name] : renamed)
        db.Execute(QStringLiteral("UPDATE \"pagestart_order\" SET \"name\" = ? WHERE \"pos\" = ?"), {name, pos});
    for (qint64 pos : removed) db.Execute(QStringLiteral("DELETE FROM \"pagestart_order\" WHERE \"pos\" = ?"), {pos});
    db.Execute(QStringLiteral("DELETE FROM \"pagestart_renamed\""));
}

// A rename (newName) or a removal (Null) of a member, for every row of the order recorded so far.
void NoteInOrder(dao::Database& db, const QString& oldName, const QVariant& newName) {
    const qint64 end = EndOfPages(db);
    if (end == 0) return;  // no page refers to the order
    db.Execute(QStringLiteral("INSERT INTO \"pagestart_renamed\" (\"old\", \"new\", \"below\") VALUES (?, ?, ?)"),
               {oldName, newName, end});
    if (db.Scalar(QStringLiteral("SELECT count(*) FROM \"pagestart_renamed\"")).toLongLong() > kMostNotes)
        ApplyNotesToOrder(db);
}

}  // namespace

// The pages no longer say what they said when they were cut: whether they agree with the book is
// known no more.
void PageStartStore::RemoveMember(const QString& name) {
    dao::Transaction tx = db_.BeginTrans();
    NoteInOrder(db_, name, QVariant());
    db_.Execute(QStringLiteral("DELETE FROM \"temp世祖\" WHERE \"father\" = ?"), {name});
    tx.Commit();
    DropAgreement();
}

void PageStartStore::AddStart(qint32 page, const QString& name, qint32 generation) {
    db_.Execute(
        QStringLiteral(
            "INSERT INTO \"temp世祖\" (\"father\", \"currentpage\", \"generation\") VALUES (?, ?, ?)"),
        {name, page, generation});
    DropAgreement();
}

void PageStartStore::Rename(const QString& oldName, const QString& newName) {
    dao::Transaction tx = db_.BeginTrans();
    NoteInOrder(db_, oldName, newName);
    db_.Execute(QStringLiteral("UPDATE \"temp世祖\" SET \"father\" = ? WHERE \"father\" = ?"),
                {newName, oldName});
    tx.Commit();
    DropAgreement();
}

void PageStartStore::SetFirstPage(const std::vector<PageStartEntry>& starts) {
    OwnWrites own(db_);
    dao::Transaction tx = db_.BeginTrans();
    Clear();
    if (!starts.empty()) {  // a book without roots has no page recorded
        WriteOrderRows(db_, 0, starts);
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
    const PageStartNotes notes(db);
    size_t i = 0;
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT \"pos\", \"name\", \"generation\", \"queued\" FROM \"pagestart_order\" "
                            "WHERE \"pos\" >= ? AND \"pos\" < ? ORDER BY \"pos\""),
             {next.fresh, next.tail});
         rs.hasRow(); rs.MoveNext()) {
        QString name = rs.value(1).toString();
        if (!notes.Apply(rs.value(0).toLongLong(), name)) continue;
        if (i >= added.size() || name != added[i].name || NullAsZero(rs.value(2)) != added[i].generation ||
            (rs.value(3).toLongLong() != 0) != added[i].queued)
            return false;
        ++i;
    }
    return i == added.size();
}

void RecordWindow(PageStartStore& store, dao::Database& db, qint32 page, const Window& next,
                  std::vector<PageStartEntry>& entries) {
    for (size_t i = 0; i < entries.size(); ++i) entries[i].position = next.fresh + qint64(i);
    if (entries.empty() && next.head == next.tail) {  // nobody left: there is no page + 1
        store.TruncateAfter(page);
        return;
    }
    PageStartStore::OwnWrites own(db);
    dao::Transaction tx = db.BeginTrans();
    if (!SameWindow(db, page, next, entries)) {
        store.TruncateAfter(page);
        WriteOrderRows(db, next.fresh, entries);
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
    const qint64 base = EndOfPages(db_, page);
    RecordWindow(*this, db_, page, {base, base + qint64(queue.size()), base}, queue);
}

// ---- Pages that agree with the book

bool PageStartStore::Agrees(qint32 page) const {
    const Agreement& a = TheAgreement();
    return page >= a.first && page <= a.last && AgreementHeld(db_);
}

void PageStartStore::NoteCut(qint32 first, qint32 last) {
    Agreement& a = TheAgreement();
    if (first > last || !AgreementHeld(db_)) return;
    if (a.last < a.first || first > a.last + 1 || last < a.first - 1) {
        a.first = first;
        a.last = last;
        return;
    }
    a.first = std::min(a.first, first);
    a.last = std::max(a.last, last);
}

PageStartStore::OwnWrites::OwnWrites(dao::Database& db, std::optional<BookVersion> readAt)
    : db_(db),
      held_(AgreementHeld(db)),
      live_(readAt && *readAt == BookVersion::Of(db)),
      exceptions_(std::uncaught_exceptions()) {}

PageStartStore::OwnWrites::~OwnWrites() {
    if (std::uncaught_exceptions() > exceptions_) {
        // Whatever the failure undid or left, no page is known to agree any more.
        ::DropAgreement();
        return;
    }
    try {
        Agreement& a = TheAgreement();
        if (held_) {
            a.version = BookVersion::Of(db_);
        } else if (live_) {
            // The caller read the book as it stands but for these writes: pages it cuts from what it
            // read agree (NoteCut), though no page recorded before is known to.
            a = {db_.connection(), BookVersion::Of(db_), 1, 0};
        }
    } catch (...) {
        ::DropAgreement();
    }
}

void PageStartStore::DropAgreement() {
    ::DropAgreement();
}
