#pragma once

#include <QList>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace dao {
class Database;
class Recordset;
}

// The members that start each tree page, as the page walks record them. This is the one way in to
// them: nothing else reads or writes page starts with SQL of its own.
//
// The walks queue the members breadth-first, so the starts of one page are a window of one order of
// members: those the walk of the page before added, and the older ones still waiting that have
// children. The store keeps that order once ("pagestart_order", a row per queued member) and three
// positions per page ("pagestart_page"), so a book of any size costs rows in proportion to its members
// and pages. Starts added by hand and pages cut by other means are kept one row per start ("temp世祖")
// after the window's starts. Renames and removals of members are noted beside the order and applied
// when it is read: finding a name in the order would mean reading all of it.
struct PageStart {
    QString name;
    qint32 generation = 0;
    bool operator==(const PageStart&) const = default;
};

// A start as the walks carry it: where it stands in the order (-1 for a start added by hand or one
// the walk has just met) and whether the walk of its page keeps it queued (it has children to show).
struct PageStartEntry {
    QString name;
    qint32 generation = 0;
    qint64 position = -1;
    bool queued = false;
};

// Nothing in the book has changed while neither this connection's change count nor the file's version
// (changes by other connections) has moved.
struct BookVersion {
    qint64 changes = -1;
    qint64 fileVersion = -1;
    bool operator==(const BookVersion&) const = default;
    static BookVersion Of(dao::Database& db);
};

class PageStartStore {
public:
    // Works on the members database (App().DataDb unless another is given).
    PageStartStore();
    explicit PageStartStore(dao::Database& db);

    // The starts of one page in their order; empty when the page is not recorded.
    QList<PageStart> StartsOf(qint32 page) const;
    std::vector<PageStartEntry> EntriesOf(qint32 page) const;
    // The highest page with recorded starts; 0 when none is recorded.
    qint32 HighestPage() const;
    // Whether nothing at all is recorded (not even a start outside the pages).
    bool IsEmpty() const;
    // Forgets every page after the given one; when one was recorded, the division of the book is
    // unfinished again (RepaginateNeeded).
    void TruncateAfter(qint32 page);
    // Forgets every page.
    void Clear();
    // Takes a member out of every page it starts.
    void RemoveMember(const QString& name);
    // Adds one start at the end of a page (a branch split puts its new root on the page shown). Page 0
    // holds a start outside every page.
    void AddStart(qint32 page, const QString& name, qint32 generation);
    // Follows a member's rename.
    void Rename(const QString& oldName, const QString& newName);

    // Records the first page of a book, forgetting every other: its starts in order, each with whether
    // it has children to show.
    void SetFirstPage(const std::vector<PageStartEntry>& starts);
    // Records page + 1 from the queue the walk of page left: the entries of page from position head
    // on that stay queued (none when head is -1), then the members the walk added, which get their
    // positions here. False, with nothing written, when page is not a window of the order: the walk
    // then gives its whole queue to RecordNextAfresh. A page + 1 recorded before that differs is
    // replaced, and the pages after it forgotten.
    bool RecordNext(qint32 page, qint64 head, std::vector<PageStartEntry>& added);
    // Records page + 1 as the whole queue given, in a new stretch of the order (when the walk found the
    // starts of page other than recorded, or page was cut by other means). Every entry gets its position.
    void RecordNextAfresh(qint32 page, std::vector<PageStartEntry>& queue);

    // ---- Pages that agree with the book
    // A page agrees with the book when every start recorded in its window is a member shown on it with
    // its children exactly when recorded as queued: the page display can then take the starts as they
    // are. Only pages cut while nothing but the page walks wrote to the book are known to agree, and
    // only in this process (for the members database of this store).
    bool Agrees(qint32 page) const;
    // A walk has just recorded these pages (or found them recorded so), cut from the book as it read it
    // inside an OwnWrites given the version it read at.
    void NoteCut(qint32 first, qint32 last);
    // Around the page walks' writes to the queue and the page starts: pages that agreed before still do
    // after. Any other write to the book ends their agreement. A walk that read the book at readAt, with
    // nothing written to it since, may then note the pages it cut.
    class OwnWrites {
    public:
        explicit OwnWrites(dao::Database& db, std::optional<BookVersion> readAt = std::nullopt);
        ~OwnWrites();
        OwnWrites(const OwnWrites&) = delete;
        OwnWrites& operator=(const OwnWrites&) = delete;

    private:
        dao::Database& db_;
        bool held_;
        bool live_;
        int exceptions_;
    };
    // No page is known to agree any more (a write failed half-way).
    static void DropAgreement();

    class Batch;

private:
    dao::Database& db_;
};

// Records many pages one after another, as RecordNext and RecordNextAfresh would one at a time (with
// the same positions, the same pages left as they were when recorded so, the same pages forgotten), but
// with the writes gathered: Flush writes them in a few statements inside the caller's transaction.
class PageStartStore::Batch {
public:
    explicit Batch(dao::Database& db);
    ~Batch();
    bool RecordNext(qint32 page, qint64 head, std::vector<PageStartEntry>& added);
    void RecordNextAfresh(qint32 page, std::vector<PageStartEntry>& queue);
    // The book ends on page: every page recorded after it is forgotten.
    void EndAt(qint32 page);
    // Order rows gathered and not yet written.
    size_t Pending() const { return rows_.size(); }
    void Flush();

private:
    struct Window {
        qint64 head = 0;
        qint64 tail = 0;
        qint64 fresh = 0;
    };
    struct Row {
        qint64 pos;
        PageStartEntry entry;
    };
    class RecordedRows;
    void Record(qint32 page, const Window& next, std::vector<PageStartEntry>& entries);
    bool recordedAfter(qint32 page) const;
    void forgetAfter(qint32 page);
    bool Same(qint32 page, const Window& next, const std::vector<PageStartEntry>& entries);

    dao::Database& db_;
    std::map<qint32, Window> windows_;  // every page recorded, as they will stand after Flush
    qint32 handStartsAbove_ = 0;        // pages above which no start is kept by hand
    std::optional<qint32> truncateAfter_;
    std::vector<Row> rows_;
    std::vector<std::pair<qint32, Window>> pages_;
    std::unique_ptr<RecordedRows> recorded_;
};
