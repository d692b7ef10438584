#pragma once

#include <QList>
#include <QString>

namespace dao {
class Database;
}

// The members that start each tree page, as the page walks record them. This is the one way in to
// them: nothing else reads or writes the page-start table with SQL of its own, so how they are kept
// can change without touching any caller.
struct PageStart {
    QString name;
    qint32 generation = 0;
    bool operator==(const PageStart&) const = default;
};

class PageStartStore {
public:
    // Works on the members database (App().DataDb unless another is given).
    PageStartStore();
    explicit PageStartStore(dao::Database& db);

    // The starts of one page in their order; empty when the page is not recorded.
    QList<PageStart> StartsOf(qint32 page) const;
    // The highest page with recorded starts; 0 when none is recorded.
    qint32 HighestPage() const;
    // Forgets every page after the given one.
    void TruncateAfter(qint32 page);
    // Takes a member out of every page it starts.
    void RemoveMember(const QString& name);
    // Adds one start at the end of a page (a branch split puts its new root on the page shown).
    void AddStart(qint32 page, const QString& name, qint32 generation);
    // Follows a member's rename.
    void Rename(const QString& oldName, const QString& newName);

private:
    dao::Database& db_;
};
