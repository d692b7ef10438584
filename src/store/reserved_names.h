#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <algorithm>
#include <vector>

namespace dao {
class Database;
}

// The key a name has in the book's name columns: they ignore the case of ASCII letters only. Most names
// hold none and keep their text.
inline QString NameColumnKey(const QString& name) {
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] < u'A' || name[i] > u'Z') continue;
        QString key = name;
        for (qsizetype j = i; j < key.size(); ++j)
            if (key[j] >= u'A' && key[j] <= u'Z') key[j] = QChar(key[j].unicode() + 32);
        return key;
    }
    return name;
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

// Unique names for a batch of new members that are written only once all of them are named (the
// package import). A member brought in loses its "[n]"; then each gets the name the unique-name rule
// would give it if the members before it had been written already: the names given out count as borne.
// The book's names are read once, before anything is written, rather than one range of the name index
// per member.
class BatchUniqueNames {
public:
    // `names` are the names the batch will ask for, in any order; Give answers for those only.
    BatchUniqueNames(dao::Database& db, const std::vector<QString>& names);
    QString Give(const QString& name);

private:
    struct Copies {
        bool borne = false;   // in the book before the batch
        qint64 highest = 0;   // the highest "[n]" after the name in the book before the batch
        qint64 given = 0;     // the highest "[n]" after the name given out
        qint64 numbered = 0;  // the highest number given for the name (its copy may have lost its front)
    };
    void ReadBook();
    Copies BookRange(const QString& cut);
    bool Taken(const QString& name);
    void Note(const QString& given);

    dao::Database& db_;
    // Set when no name in the book or the batch holds a NUL: the name index then orders every name, so
    // a number above each copy a range holds is free without a look-up.
    bool exact_ = true;
    QHash<QString, Copies> copies_;  // by key, for each name the batch asks for
    QSet<QString> given_;            // keys of the names given out
};
