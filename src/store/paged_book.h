#pragma once

#include <QString>
#include <functional>
#include <span>
#include <vector>

#include "store/member_name_index.h"

namespace dao {
class Database;
}

// The member table as the page walks see it, read in one pass and kept in memory: every member's
// stored name and generation, its children with a name in the order the pages show siblings (by
// boy_sort, boy_birthday and filial_id, as the engine orders values), and where its line of fathers
// leads. Members are numbered in filial_id order from 0; links are numbers, not names.
class PagedBook {
public:
    // tick runs now and then, so that window messages can run during the read.
    PagedBook(dao::Database& db, const std::function<void()>& tick);

    // The member a name stands for, as names compare; -1 when none.
    qint32 Find(const QString& name) const;
    const QString& Name(qint32 member) const { return names_[size_t(member)]; }
    qint32 Generation(qint32 member) const { return generations_[size_t(member)]; }
    // Its children with a name, in sibling order; none for a member named "No_Display".
    std::span<const qint32> Children(qint32 member) const {
        return {kids_.data() + firstKid_[size_t(member)], kids_.data() + firstKid_[size_t(member) + 1]};
    }
    // Whether any member's father is "No_Display" (as names compare): only then can a member be hidden.
    bool AnyHidden() const { return anyHidden_; }
    // Whether the member shows its descendants on a page: not when the top of its line of fathers is a
    // root whose father is exactly "No_Display" (a line that breaks off or runs in a circle is shown).
    bool Shown(qint32 member) const;
    qint32 size() const { return qint32(names_.size()); }

private:
    enum FatherKind : quint8 { kNoFather, kHiddenRootFather, kSomeFather };
    std::vector<QString> names_;
    std::vector<qint32> generations_;
    std::vector<qint32> father_;  // the member the father's name stands for; -1 when none
    std::vector<FatherKind> fatherKind_;
    std::vector<qint32> firstKid_;  // kids of member m: kids_[firstKid_[m]] .. kids_[firstKid_[m + 1] - 1]
    std::vector<qint32> kids_;
    MemberNameIndex byName_{0};  // by name in UTF-8
    qint32 namedEmpty_ = -1;  // a member whose name is "" (not Null)
    bool anyHidden_ = false;
    // What Shown has worked out (-1 not yet), and the members its current climb has passed.
    mutable std::vector<qint8> shownMemo_;
    mutable std::vector<quint32> passed_;
    mutable quint32 climb_ = 0;
};
