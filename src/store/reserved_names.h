#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <algorithm>

// The key a name has in the book's name columns: they ignore the case of ASCII letters only.
inline QString NameColumnKey(const QString& name) {
    QString key = name;
    for (QChar& c : key)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    return key;
}

// Names a batch has given to members it has not written yet. The unique-name rule counts them as
// borne, so that no two members of one batch end up with one name. Letter case is ignored as the
// book's name columns ignore it.
class ReservedNames {
public:
    void Reserve(const QString& name) {
        names_.insert(NameColumnKey(name));
        const qsizetype open = name.lastIndexOf(QLatin1Char('['));
        if (open <= 0 || !name.endsWith(QLatin1Char(']'))) return;
        bool whole = false;
        const qint64 n = name.mid(open + 1, name.size() - open - 2).toLongLong(&whole);
        qint64& highest = highest_[NameColumnKey(name.left(open))];
        if (whole && n > highest) highest = n;
    }
    bool Has(const QString& name) const { return names_.contains(NameColumnKey(name)); }
    // The highest "[n]" given out after this name; 0 when none.
    qint64 HighestSuffix(const QString& name) const { return highest_.value(NameColumnKey(name)); }

private:
    QSet<QString> names_;
    QHash<QString, qint64> highest_;
};

// The highest "[n]" the book is known to hold after each name, for a batch that adds names one by one.
// Letter case is ignored as the name columns ignore it: a wider folding would take one name's copies
// for another's.
class SuffixMemo {
public:
    bool Knows(const QString& name) const { return highest_.contains(NameColumnKey(name)); }
    qint64 Highest(const QString& name) const { return highest_.value(NameColumnKey(name)); }
    void Note(const QString& name, qint64 n) {
        qint64& h = highest_[NameColumnKey(name)];
        h = std::max(h, n);
    }
    // Set when no name in the book or the batch holds a NUL. The name index then orders every name, so a
    // number above each copy its range holds is free and need not be looked up again.
    void SetRangesExact(bool exact) { rangesExact_ = exact; }
    bool RangesExact() const { return rangesExact_; }

private:
    QHash<QString, qint64> highest_;
    bool rangesExact_ = false;
};
