#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHashFunctions>
#include <QString>
#include <algorithm>
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
inline QByteArray FoldAscii(QByteArrayView name) {
    return FoldAscii(name.toByteArray());
}
inline bool HasAsciiUpper(QByteArrayView name) {
    for (const char c : name)
        if (c >= 'A' && c <= 'Z') return true;
    return false;
}

// Member names in UTF-8 to row indexes, compared as the name columns compare them (ASCII letters
// without regard to case), for walks over the whole member table in memory: open addressing over 64-bit
// hashes kept beside the indexes, so that a probe reads a name only when the hashes agree, and the names
// end to end in one buffer (a million rows make an allocation per name count). At a million members this
// is several times quicker than a hash of strings, whose probes compare names.
//
// Names are added one at a time (Add, each one found at once), or many at once (Append each, then
// PlaceAppended) and looked up many at once (FindMany): then the slots are read ahead of their use. At a
// million members each slot is a miss of the processor's caches, and waiting for them one after another
// costs more than the rest of the work.
class MemberNameIndex {
public:
    explicit MemberNameIndex(qint64 expected) {
        size_t capacity = 16;
        while (capacity < size_t(expected) * 2) capacity *= 2;
        slots_.assign(capacity, Slot{});
        ends_.reserve(size_t(expected));
    }

    // Row index equals the number of rows added before; nameless rows are added as "" and never found.
    void Add(QByteArrayView name) {
        if (placed_ != ends_.size()) PlaceAppended();
        Append(name);
        placed_ = ends_.size();
        const QByteArrayView kept = NameAt(ends_.size() - 1);
        if (kept.isEmpty()) return;
        if ((++used_) * 2 > slots_.size()) Grow();
        Place(qHash(kept, kSeed), qint32(ends_.size() - 1));
    }
    // As Add, found only once PlaceAppended has run.
    void Append(QByteArrayView name) {
        const qsizetype at = text_.size();
        text_.append(name);
        for (qsizetype i = at; i < text_.size(); ++i)
            if (text_[i] >= 'A' && text_[i] <= 'Z') text_[i] = char(text_[i] + 32);
        ends_.push_back(text_.size());
    }
    void PlaceAppended() {
        const size_t count = ends_.size() - placed_;
        std::vector<quint64> hashes(count);
        for (size_t i = 0; i < count; ++i) {
            const QByteArrayView name = NameAt(placed_ + i);
            if (name.isEmpty()) continue;
            hashes[i] = qHash(name, kSeed);
            ++used_;
        }
        while (used_ * 2 > slots_.size()) Grow();
        for (size_t i = 0; i < count; ++i) {
            if (i + kAhead < count) __builtin_prefetch(&slots_[hashes[i + kAhead] & (slots_.size() - 1)]);
            if (!NameAt(placed_ + i).isEmpty()) Place(hashes[i], qint32(placed_ + i));
        }
        placed_ = ends_.size();
    }

    // The first row added with that name; -1 when none.
    qint32 Find(QByteArrayView name) const { return FindHashed(name, HashOf(name)); }
    // The rows of `count` names, nameAt(i) giving the i-th: found(i, row) for each, as Find answers.
    template <typename NameOf, typename Found>
    void FindMany(size_t count, NameOf nameAt, Found found) const {
        quint64 ahead[kAhead];
        for (size_t i = 0; i < std::min(count, kAhead); ++i) ahead[i] = HashOf(nameAt(i));
        for (size_t i = 0; i < count; ++i) {
            const quint64 hash = ahead[i % kAhead];
            if (i + kAhead < count) {
                ahead[i % kAhead] = HashOf(nameAt(i + kAhead));
                __builtin_prefetch(&slots_[ahead[i % kAhead] & (slots_.size() - 1)]);
            }
            found(i, FindHashed(nameAt(i), hash));
        }
    }

private:
    static constexpr size_t kSeed = 0x5bd1e995;
    static constexpr size_t kAhead = 16;
    struct Slot {
        quint64 hash = 0;
        qint32 index = -1;
    };
    QByteArrayView NameAt(size_t row) const {
        const qsizetype from = row == 0 ? 0 : ends_[row - 1];
        return QByteArrayView(text_.constData() + from, ends_[row] - from);
    }
    // Of the name as the index keeps it.
    static quint64 HashOf(QByteArrayView name) {
        return HasAsciiUpper(name) ? qHash(FoldAscii(name), kSeed) : qHash(name, kSeed);
    }
    qint32 FindHashed(QByteArrayView name, quint64 hash) const {
        if (name.isEmpty()) return -1;
        if (HasAsciiUpper(name)) {
            folding_ = FoldAscii(name);
            name = folding_;
        }
        for (size_t i = hash & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
            const Slot& slot = slots_[i];
            if (slot.index < 0) return -1;
            if (slot.hash == hash && NameAt(size_t(slot.index)) == name) return slot.index;
        }
    }
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
    QByteArray text_;              // the folded names end to end
    std::vector<qsizetype> ends_;  // where each row's name ends in text_
    size_t placed_ = 0;            // rows placed in the slots
    mutable QByteArray folding_;   // a name looked up with capitals, folded
    size_t used_ = 0;
};
