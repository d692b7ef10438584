#include "store/package_walk.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QVariant>
#include <algorithm>
#include <numeric>

#include "frame/text_scramble.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/dao_file_guard.h"
#include "platform/interaction/do_events.h"
#include "platform/vbcompat.h"
#include "store/member_name.h"
#include "store/package_format.h"
#include "store/reserved_names.h"

namespace {

constexpr qint64 kEventsEveryMs = 100;

[[noreturn]] void Refuse(int number, const QString& description) {
    throw dao::DaoError(number, description);
}

// A name loses the blanks at its ends before it is restored; Null is no name and stays Null.
QString Restored(const QVariant& stored, const QString& key) {
    return stored.isValid() ? DecodeText(Trim(stored.toString()), key) : QString();
}

}  // namespace

QString PackageWalk::Incoming(const QString& name) {
    return CleanSingleMemberName(name, -1);
}

qint32 PackageWalk::Named(const QString& name) const {
    return byName_.value(NameColumnKey(name), -1);
}

PackageWalk PackageWalk::Read(dao::Database& package, const package_format::Keys& keys, const QString& file) {
    PackageWalk walk;
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    for (dao::Recordset rs = package.OpenRecordset(
             QStringLiteral("SELECT rowid, \"father\", \"filial\" FROM ") +
             dao::QuoteIdent(package_format::kMembers) + QStringLiteral(" ORDER BY rowid"));
         rs.hasRow(); rs.MoveNext()) {
        const qint64 row = rs.value(0).toLongLong();
        // A sound file never holds one row number twice.
        if (!walk.members.empty() && walk.members.back().row == row)
            Refuse(dao::kErrDamaged, dao::DamagedFileText(QFileInfo(file).canonicalFilePath(), QString()));
        const QVariant father = rs.value(1);
        walk.members.push_back(
            {row, Restored(rs.value(2), keys.second), Restored(father, keys.first), !father.isValid(), -1});
        if (sinceEvents.elapsed() >= kEventsEveryMs) {
            DoEvents();
            sinceEvents.restart();
        }
    }

    // A member without a name cannot be placed: its children would attach to whoever bears their
    // father's name in the book. A name is kept as a typed one is (Incoming): one made only of what
    // a name may not hold is none.
    qint64 nameless = 0;
    for (const Member& m : walk.members) {
        walk.namesHoldNul = walk.namesHoldNul || m.name.contains(QChar(0));
        if (Incoming(m.name).isEmpty()) ++nameless;
    }
    if (nameless > 0)
        Refuse(
            dao::kErrDamaged,
            QStringLiteral("族谱包中有 %1 个成员没有名字，这个包已损坏。没有导入任何成员。").arg(nameless));
    walk.Link();
    // Names restored with the wrong keys are told by their links: the fathers of a sound package name
    // its members, those restored with the wrong key name nobody. The strong-password record may have
    // been removed, so this does not rely on it.
    const bool fathers = std::any_of(walk.members.begin(), walk.members.end(),
                                     [](const Member& m) { return !m.father.isEmpty(); });
    const bool linked =
        std::any_of(walk.members.begin(), walk.members.end(), [](const Member& m) { return m.parent >= 0; });
    if (fathers && !linked) Refuse(dao::kErrWrongPassword, QStringLiteral("强力密码不正确！再试一次吧。"));
    // A member under a parent in the package takes its father from the parent: its own text goes.
    for (Member& m : walk.members)
        if (m.parent >= 0) m.father = QString();
    walk.Order();
    return walk;
}

// Each member's parent is the first package member its father names, itself aside unless it is the only
// one; a name without text is nobody's.
void PackageWalk::Link() {
    QHash<QString, qint32> second;  // the next member bearing a name, for a member that names itself
    byName_.reserve(qsizetype(members.size()));
    for (qint32 i = 0; i < qint32(members.size()); ++i) {
        const QString key = NameColumnKey(members[size_t(i)].name);
        if (key.isEmpty()) continue;
        if (!byName_.contains(key))
            byName_.insert(key, i);
        else if (!second.contains(key))
            second.insert(key, i);
    }
    for (qint32 i = 0; i < qint32(members.size()); ++i) {
        Member& m = members[size_t(i)];
        if (m.father.isEmpty()) continue;
        const QString key = NameColumnKey(m.father);
        const qint32 first = byName_.value(key, -1);
        // A member whose father names only himself is his own parent: a loop of one.
        m.parent = first != i ? first : second.value(key, i);
    }
    // The export leaves the root's father empty.
    for (qint32 i = 0; i < qint32(members.size()) && root < 0; ++i)
        if (members[size_t(i)].father.isEmpty()) root = i;
}

// Levels as the walk reaches the members: the root's line first, then the lines of the members whose
// father is not in the package, then, one by one, the lowest member still unreached (a loop).
void PackageWalk::Order() {
    const qint32 count = qint32(members.size());
    std::vector<qint32> first(size_t(count) + 1, 0);
    for (const Member& m : members)
        if (m.parent >= 0) ++first[size_t(m.parent) + 1];
    std::partial_sum(first.begin(), first.end(), first.begin());
    std::vector<qint32> children(size_t(first.back()));
    {
        std::vector<qint32> fill(first.begin(), first.end() - 1);
        for (qint32 i = 0; i < count; ++i)
            if (members[size_t(i)].parent >= 0)
                children[size_t(fill[size_t(members[size_t(i)].parent)]++)] = i;
    }
    std::vector<qint64> level(size_t(count), -1);
    qint64 current = 0;
    std::vector<qint32> frontier;
    std::vector<qint32> next;
    const auto spread = [&] {
        while (!frontier.empty()) {
            next.clear();
            for (qint32 f : frontier)
                for (qint32 k = first[size_t(f)]; k < first[size_t(f) + 1]; ++k)
                    if (level[size_t(children[size_t(k)])] < 0) {
                        level[size_t(children[size_t(k)])] = current + 1;
                        next.push_back(children[size_t(k)]);
                    }
            if (next.empty()) break;
            ++current;
            frontier.swap(next);
        }
    };
    if (root >= 0) {
        level[size_t(root)] = 0;
        frontier = {root};
        spread();
    }
    ++current;
    frontier.clear();
    for (qint32 i = 0; i < count; ++i)
        if (level[size_t(i)] < 0 && members[size_t(i)].parent < 0) {
            level[size_t(i)] = current;
            frontier.push_back(i);
        }
    spread();
    for (qint32 i = 0; i < count; ++i) {
        if (level[size_t(i)] >= 0) continue;
        level[size_t(i)] = ++current;
        frontier = {i};
        spread();
    }
    order.resize(size_t(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](qint32 a, qint32 b) { return level[size_t(a)] < level[size_t(b)]; });
}
