#pragma once

#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "print/print_tree.h"

namespace dao {
class Database;
}
struct WalkedBranch;

// A marked branch as the pedigree chart reads it: one read of its members from the chart's first
// generation to its last, in sibling order (boy_sort, filial_id), each member's father found among them
// by name as the name columns compare (letter case aside). The sections are cut from it in memory, so
// the branch is read once however many sections it has, and held once, as numbers and one run of
// name text.
class ChartBranch {
public:
    // Members flagged `branch` with a generation from first to last.
    ChartBranch(dao::Database& db, qint32 branch, qint64 first, qint64 last);
    // The same from the branch a numbering has just walked and written, without reading the table.
    // Its sort numbers must all be whole numbers or none (WalkedBranch::SortsHere).
    ChartBranch(dao::Database& db, const WalkedBranch& walked, qint64 first, qint64 last);
    ~ChartBranch();

    // The forest of the section of generations first..last, as the member tree's expansion by
    // generation builds it: the members of generation `first` as roots (from generation 2 on only those
    // with children in the section), each expanded down to generation `last`, every name taken once.
    // Names are shown trimmed; with links, as member numbers.
    std::unique_ptr<ChartForest> Section(qint64 first, qint64 last, bool links) const;

private:
    friend class ChartSectionForest;
    struct Member {
        quint32 nameAt;  // in names_
        quint32 nameSize;
        qint64 generation;
        qint64 id;
        qint32 nameKey;    // the same for the same trimmed name
        qint32 foldedKey;  // the same for the same trimmed name letter case aside
    };
    std::u16string_view Name(const Member& member) const {
        return std::u16string_view(names_).substr(member.nameAt, member.nameSize);
    }
    QString Shown(const Member& member, bool links) const;

    // How a member was read, until the branch is linked.
    struct Read {
        quint32 fatherAt;  // in the run of fathers
        quint32 fatherSize;
        bool sorted;  // has a sort number
        qint64 sort;
    };
    // Keys the names, links each member under its father and, with sortHere, puts the members (read in
    // member-number order) in sibling order.
    void Link(std::vector<Read>& read, std::u16string& fathers, bool sortHere);

    dao::Database& db_;
    std::u16string names_;
    std::vector<Member> members_;  // in sibling order
    qint32 nameKeys_ = 0;
    // The members whose father bears the name of folded key k, in sibling order:
    // children_[childStart_[k] .. childStart_[k + 1]).
    std::vector<qint32> childStart_;
    std::vector<qint32> children_;
};
