#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QString>
#include <vector>

// Member names compare as the name columns do (NOCASE): ASCII letters without regard to case. Most
// names hold none, and keep their text (no copy is made). The same for a name in UTF-8, as the engine
// stores it.
inline QString FoldAscii(const QString& name) {
    QString folded = name;
    for (qsizetype i = 0; i < name.size(); ++i)
        if (name[i] >= u'A' && name[i] <= u'Z') folded[i] = QChar(name[i].unicode() + 32);
    return folded;
}
inline QByteArray FoldAscii(const QByteArray& name) {
    QByteArray folded = name;
    for (qsizetype i = 0; i < name.size(); ++i)
        if (name[i] >= 'A' && name[i] <= 'Z') folded[i] = char(name[i] + 32);
    return folded;
}

// Folded member names (QString, or QByteArray in UTF-8) to row indexes, for walks over the whole
// member table in memory: open addressing over 64-bit hashes kept beside the indexes, so that a probe
// reads a name only when the hashes agree. At a million members this is several times quicker than a
// hash of strings, whose probes compare names.
template <typename Name>
class MemberNameIndexOf {
public:
    explicit MemberNameIndexOf(qint64 expected) {
        size_t capacity = 16;
        while (capacity < size_t(expected) * 2) capacity *= 2;
        slots_.assign(capacity, Slot{});
        names_.reserve(size_t(expected));
    }

    // Row index equals the number of rows added before; nameless rows are added as "" and never found.
    void Add(Name folded) {
        names_.push_back(std::move(folded));
        const Name& name = names_.back();
        if (name.isEmpty()) return;
        if ((++used_) * 2 > slots_.size()) Grow();
        Place(qHash(name, kSeed), qint32(names_.size() - 1));
    }

    // The first row added with that name; -1 when none.
    qint32 Find(const Name& folded) const {
        if (folded.isEmpty()) return -1;
        const quint64 hash = qHash(folded, kSeed);
        for (size_t i = hash & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
            const Slot& slot = slots_[i];
            if (slot.index < 0) return -1;
            if (slot.hash == hash && names_[size_t(slot.index)] == folded) return slot.index;
        }
    }


private:
    static constexpr size_t kSeed = 0x5bd1e995;
    struct Slot {
        quint64 hash = 0;
        qint32 index = -1;
    };
    void Place(quint64 hash, qint32 index) {
        size_t i = hash & (slots_.size() - 1);
        while (slots_[i].index >= 0) i = (i + 1) & (slots_.size() - 1);
        slots_[i] = {hash, index};
    }
    void Grow() {
        std::vector<Slot> old(slots_.size() * 2, Slot{});
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.index >= 0) Place(slot.hash, slot.index);
    }
    std::vector<Slot> slots_;
    std::vector<Name> names_;
    size_t used_ = 0;
};
