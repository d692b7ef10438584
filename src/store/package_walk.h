#pragma once

#include <QHash>
#include <QString>
#include <vector>

namespace dao {
class Database;
}
namespace package_format {
struct Keys;
}

// A package's members as the import places them, worked out in memory: names restored, each member's
// parent found among them by its father's name (as the name columns compare names), and the order of
// the walk, in which every parent comes before its children: breadth first from the package's root,
// then from the members whose father is not in the package, then from whatever a loop in the father
// links kept out of reach.
struct PackageWalk {
    struct Member {
        qint64 row;  // in the package's member table
        QString name;
        QString father;  // kept only where no parent is found
        bool fatherNull;
        qint32 parent;  // index of the member its father names, -1 for none
    };
    std::vector<Member> members;  // in the order of their rows
    std::vector<qint32> order;    // indexes of members, in the order of the walk
    qint32 root = -1;             // the member the export made the root (its father empty)
    bool namesHoldNul = false;

    // The name a member takes into the book, before it is made unique: the package's name by the rules
    // of a typed name, not yet cut (the unique-name rule cuts it).
    static QString Incoming(const QString& name);

    // The first member (by row) whose name is `name` as the name columns compare them; -1 for none.
    qint32 Named(const QString& name) const;

    // Reads the package's members, restores their names with the keys and places them. Refuses (throws
    // a DaoError) a damaged package (a row number twice, members without a name, named `file` to the
    // user) and names the keys do not restore.
    static PackageWalk Read(dao::Database& package, const package_format::Keys& keys, const QString& file);

private:
    void Link();
    void Order();
    QHash<QString, qint32> byName_;  // name key: the first member bearing it
};
