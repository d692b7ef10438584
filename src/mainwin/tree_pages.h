#pragma once

#include <QString>
#include <functional>
#include <optional>

class Cls数据操作;

// The main window's numbers for the tree pages and the work queue its page walks share with the
// store's page jump (Cls数据操作::Node分结点数跳页).

// Members per page when the book's settings hold fewer than 5 (or no number).
constexpr qint32 kDefaultNodesPerPage = 30;
// A walk over more pages than this reads the whole book into memory once (Cls数据操作::JumpPagesInMemory)
// rather than asking for each member's children: page by page, the jump asks some 4,000 questions
// and then reads every child anyway.
constexpr qint32 kPagesWorthAWholeRead = 120;

// Members per page from the book's settings list (Cls数据操作::ChgPswd2): field 4, counted from 0.
qint32 NodesPerPageFromSettings(const QString& settingsList);
// Pages for that many members: the quotient, plus one for a remainder.
qint32 PageCountFor(qint64 members, qint32 nodesPerPage);
// The stored "dividerpage" setting: only "True" means the page division is stale.
bool RepaginateFromSetting(const QString& value);

// Empties the work queue and queues the starts of a page in their order, as the page jump expects them
// before it expands the page after.
void QueuePageStarts(qint32 page);
// Whether the queue holds no member left to place.
bool PageQueueEmpty();

// Page jumps made in a row share their writes (Cls数据操作::BeginPageRun) while one of these lives.
class PageRun {
public:
    explicit PageRun(Cls数据操作& ops);
    // Commits what the jumps wrote; a failure then loses only page starts, which are cut again.
    ~PageRun();
    PageRun(const PageRun&) = delete;
    PageRun& operator=(const PageRun&) = delete;
    // Commits now, so that what follows (showing a page) runs outside the jumps' transaction.
    void Flush();

private:
    Cls数据操作& ops_;
};

// Held around a command that changes the tree and then cuts the pages again. Its change and the new cut
// are two commits: a mark in the book folder, made first and taken away last, tells a start after the
// command was killed between them that the recorded pages no longer fit the book.
class TreeChangeMark {
public:
    TreeChangeMark();
    ~TreeChangeMark();
    TreeChangeMark(const TreeChangeMark&) = delete;
    TreeChangeMark& operator=(const TreeChangeMark&) = delete;

    static QString MarkPath();
    // At start: when the mark is there, page 1 is cut afresh (the other pages forgotten, their division
    // stale) and the mark goes.
    static void RecutAfterKilledCommand();
};

// The page a user chose in the page prompt: a whole number from 1 on (one beyond the largest page
// number counts as the largest); nothing for any other answer (cancelled, 0, negative, not a number).
// A page beyond the book is a choice too: the walk shows the last page.
std::optional<qint32> ChosenPage(const QString& answer);

// The page to show for a chosen page, leaving CurrentPage on it: the chosen page when its starts are
// recorded or can be computed by walking forward from the last recorded page; the last page of the
// book when the chosen one lies beyond it. A walk that reaches the end sets pageCount to the real
// number of pages (RepaginateNeeded is then false). Before each page step onStep gets the page the walk
// stands on.
qint32 WalkToPage(Cls数据操作& ops, qint32 chosen, qint32& pageCount,
                  const std::function<void(qint32 page)>& onStep = {});
