#pragma once

#include <QList>
#include <QString>
#include <vector>

namespace dao {
class Database;
}

// The members that start each tree page, as the page walks record them. This is the one way in to
// them: nothing else reads or writes page starts with SQL of its own.
//
// The walks queue the members breadth-first, so the starts of one page are a window of one order of
// members: those the walk of the page before added, and the older ones still waiting that have
// children. The store keeps that order once ("pagestart_order", a row per queued member) and three
// positions per page ("pagestart_page"), so a book of any size costs rows in proportion to its members
// and pages. Starts added by hand and pages cut by other means are kept one row per start ("temp世祖")
// after the window's starts.
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
    // Forgets every page after the given one.
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

private:
    dao::Database& db_;
};
