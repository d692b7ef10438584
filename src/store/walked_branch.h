#pragma once

#include <QtGlobal>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

// The members of a branch as a numbering walked them over the whole member table, in member-number
// order, with the generations it wrote: what reading the branch back from the table would give. The
// chart takes it instead of reading a million rows again.
struct WalkedBranch {
    struct Member {
        qint64 id;
        qint64 generation;
        qint64 sort;  // boy_sort, when it is a whole number
        quint32 nameAt;
        quint32 nameSize;
        quint32 fatherAt;
        quint32 fatherSize;
        bool sorted;     // has a sort number
        bool wholeSort;  // and it is a whole number
    };
    static constexpr size_t kMostText = std::numeric_limits<quint32>::max();
    std::string text;  // the names and fathers, in UTF-8 as stored; at most kMostText bytes
    std::vector<Member> members;

    // Every sort number is a whole number or none; otherwise only the engine knows their order.
    bool SortsHere() const {
        for (const Member& m : members)
            if (m.sorted && !m.wholeSort) return false;
        return true;
    }
    std::string_view Name(const Member& m) const { return std::string_view(text).substr(m.nameAt, m.nameSize); }
    std::string_view Father(const Member& m) const {
        return std::string_view(text).substr(m.fatherAt, m.fatherSize);
    }
};
