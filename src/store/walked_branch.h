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
    // Each father's name follows its member's in the text. 32 bytes: a million members are held at once.
    struct Member {
        qint64 id;
        qint64 sort;  // boy_sort, when it is a whole number
        quint32 nameAt;
        quint32 depth : 30;    // below the root
        quint32 sorted : 1;     // has a sort number
        quint32 wholeSort : 1;  // and it is a whole number
        quint32 nameSize;
        quint32 fatherSize;
    };
    static constexpr size_t kMostText = std::numeric_limits<quint32>::max();
    static constexpr qint64 kDeepest = (1 << 30) - 1;
    qint64 firstGeneration = 0;  // the root's
    std::string text;  // the names and fathers, in UTF-8 as stored; at most kMostText bytes
    std::vector<Member> members;

    // Every sort number is a whole number or none; otherwise only the engine knows their order.
    bool SortsHere() const {
        for (const Member& m : members)
            if (m.sorted && !m.wholeSort) return false;
        return true;
    }
    qint64 Generation(const Member& m) const { return firstGeneration + m.depth; }
    std::string_view Name(const Member& m) const { return std::string_view(text).substr(m.nameAt, m.nameSize); }
    std::string_view Father(const Member& m) const {
        return std::string_view(text).substr(size_t(m.nameAt) + m.nameSize, m.fatherSize);
    }
};
static_assert(sizeof(WalkedBranch::Member) == 32);
