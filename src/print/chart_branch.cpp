#include "print/chart_branch.h"

#include <QElapsedTimer>
#include <QVariant>
#include <algorithm>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "platform/dao/dao_database.h"
#include "platform/interaction/do_events.h"
#include "platform/vbcompat.h"

namespace {

constexpr qint64 kEventsEveryMs = 100;

std::u16string_view View(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.constData()), size_t(text.size())};
}

// Blanks only, as names are trimmed everywhere.
std::u16string_view Trimmed(std::u16string_view text) {
    while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
    return text;
}

bool HasCapitals(std::u16string_view text) {
    for (char16_t c : text)
        if (c >= u'A' && c <= u'Z') return true;
    return false;
}

// Names compare as the name columns do (NOCASE): ASCII letters without regard to case.
QString Folded(std::u16string_view text) {
    QString folded = QString::fromUtf16(text.data(), qsizetype(text.size()));
    for (QChar& c : folded)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    return folded;
}

using KeyOfText = std::unordered_map<std::u16string_view, qint32>;

}  // namespace

// Nodes are numbered in the order they were taken: roots first, then breadth first, so the children of
// each node are consecutive numbers.
class ChartSectionForest : public ChartForest {
public:
    ChartSectionForest(const ChartBranch& branch, bool links) : branch_(branch), links_(links) {}

    std::span<const int> Roots() const override { return {numbers_.data(), size_t(roots_)}; }
    std::span<const int> Children(int node) const override {
        const Node& n = nodes_[size_t(node) - 1];
        return {numbers_.data() + n.firstChild - 1, size_t(n.children)};
    }
    QString Shown(int node) const override {
        const ChartBranch::Member& member = branch_.members_[size_t(nodes_[size_t(node) - 1].member)];
        return links_ ? branch_.MemberNumber(member) : Trim(member.name);
    }
    bool ShowsNumbers() const override { return links_; }

    struct Node {
        qint32 member;
        bool expands;
        int firstChild = 0;
        int children = 0;
    };
    void Add(qint32 member, bool expands) {
        nodes_.push_back({member, expands});
        numbers_.push_back(int(nodes_.size()));
    }
    std::vector<Node> nodes_;
    std::vector<int> numbers_;  // 1, 2, 3 …: the spans of roots and children point into it
    int roots_ = 0;

private:
    const ChartBranch& branch_;
    bool links_;
};

namespace {

struct ReadMember {
    QString name;
    QString father;
    qint64 generation;
    qint64 id;
    bool sorted;  // has a sort number
    qint64 sort;
};

// The branch's members in sibling order. Read in the order of their numbers and put in sibling order
// here when every sort number is a whole number or none (as the member editor stores them): the engine
// would sort all of them on disk. A branch that is a good part of the book is read straight through
// the table, which is several times quicker per member than through the branch index.
std::vector<ReadMember> ReadInSiblingOrder(dao::Database& db, qint32 branch, qint64 first, qint64 last) {
    const qint64 members =
        db.Scalar(QStringLiteral("SELECT count(*) FROM \"本姓成员\" WHERE \"flag\" = ?"), {branch})
            .toLongLong();
    const qint64 rows = db.Scalar(QStringLiteral("SELECT max(\"filial_id\") FROM \"本姓成员\"")).toLongLong();
    const QString head = QStringLiteral(
        "SELECT \"filial\", \"father\", \"generation\", \"filial_id\", \"boy_sort\" FROM \"本姓成员\" "
        "WHERE ");
    const QString where =
        members * 4 >= rows ? QStringLiteral("+\"flag\" = ?") : QStringLiteral("\"flag\" = ?");
    const QString range = QStringLiteral(" AND \"generation\" BETWEEN ? AND ? ORDER BY ");
    std::vector<ReadMember> read;
    bool wholeNumbers = true;
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    const auto readAll = [&](const QString& order) {
        read.clear();
        for (dao::Recordset rs = db.OpenRecordset(head + where + range + order, {branch, first, last});
             rs.hasRow(); rs.MoveNext()) {
            const QVariant sort = rs.value(4);
            read.push_back({rs.value(0).toString(), rs.value(1).toString(), rs.value(2).toLongLong(),
                            rs.value(3).toLongLong(), sort.isValid(), sort.toLongLong()});
            wholeNumbers = wholeNumbers && (!sort.isValid() || sort.typeId() == QMetaType::LongLong);
            if (sinceEvents.elapsed() >= kEventsEveryMs) {
                DoEvents();
                sinceEvents.restart();
            }
        }
    };
    readAll(QStringLiteral("\"filial_id\""));
    if (wholeNumbers) {
        // No sort number comes first, as in the engine's order; members are numbered uniquely.
        std::sort(read.begin(), read.end(), [](const ReadMember& a, const ReadMember& b) {
            return std::tie(a.sorted, a.sort, a.id) < std::tie(b.sorted, b.sort, b.id);
        });
    } else {
        readAll(QStringLiteral("\"boy_sort\", \"filial_id\""));
    }
    return read;
}

}  // namespace

ChartBranch::ChartBranch(dao::Database& db, qint32 branch, qint64 first, qint64 last) : db_(db) {
    std::vector<QString> fathers;
    {
        std::vector<ReadMember> read = ReadInSiblingOrder(db, branch, first, last);
        members_.reserve(read.size());
        fathers.reserve(read.size());
        for (ReadMember& m : read) {
            members_.push_back({std::move(m.name), m.generation, m.id, 0, 0});
            fathers.push_back(std::move(m.father));
        }
    }

    // Keys of the trimmed names; the folded keys are the same unless some name has capitals.
    KeyOfText byName;
    byName.reserve(members_.size());
    bool capitals = false;
    for (Member& m : members_) {
        const std::u16string_view name = Trimmed(View(m.name));
        m.nameKey = byName.try_emplace(name, qint32(byName.size())).first->second;
        capitals = capitals || HasCapitals(name);
    }
    nameKeys_ = qint32(byName.size());
    KeyOfText byFolded;
    std::vector<QString> foldedNames;  // their data stays put when the vector grows
    if (capitals) {
        std::vector<qint32> foldedOf(size_t(nameKeys_), -1);
        for (Member& m : members_) {
            qint32& key = foldedOf[size_t(m.nameKey)];
            if (key < 0) {
                std::u16string_view name = Trimmed(View(m.name));
                if (HasCapitals(name)) {
                    foldedNames.push_back(Folded(name));
                    name = View(foldedNames.back());
                }
                key = byFolded.try_emplace(name, qint32(byFolded.size())).first->second;
            }
            m.foldedKey = key;
        }
    } else {
        for (Member& m : members_) m.foldedKey = m.nameKey;
    }
    const KeyOfText& foldedKeys = capitals ? byFolded : byName;

    // Each member under its father's folded key, in sibling order.
    std::vector<qint32> fatherKey(members_.size(), -1);
    for (size_t i = 0; i < members_.size(); ++i) {
        if (fathers[i].isEmpty()) continue;  // "" is no member's name
        std::u16string_view father = View(fathers[i]);
        QString folded;
        if (HasCapitals(father)) {
            folded = Folded(father);
            father = View(folded);
        }
        const auto it = foldedKeys.find(father);
        if (it != foldedKeys.end()) fatherKey[i] = it->second;
    }
    std::vector<QString>().swap(fathers);
    childStart_.assign(foldedKeys.size() + 1, 0);
    for (qint32 key : fatherKey)
        if (key >= 0) ++childStart_[size_t(key) + 1];
    for (size_t k = 1; k < childStart_.size(); ++k) childStart_[k] += childStart_[k - 1];
    children_.resize(size_t(childStart_.back()));
    std::vector<qint32> fill(childStart_.begin(), childStart_.end() - 1);
    for (size_t i = 0; i < members_.size(); ++i)
        if (fatherKey[i] >= 0) children_[size_t(fill[size_t(fatherKey[i])]++)] = qint32(i);
}

ChartBranch::~ChartBranch() = default;

QString ChartBranch::MemberNumber(const Member& member) const {
    const QString name = Trim(member.name);
    // Names are unique in the book, letter case aside: the member itself bears its trimmed name
    // unless it was stored with blanks around it.
    if (name == member.name) return QString::number(member.id);
    const QVariant id =
        db_.Scalar(QStringLiteral("SELECT \"filial_id\" FROM \"本姓成员\" WHERE \"filial\"=?"), {name});
    return id.isNull() ? name : Trim(id.toString());
}

std::unique_ptr<ChartForest> ChartBranch::Section(qint64 first, qint64 last, bool links) const {
    auto forest = std::make_unique<ChartSectionForest>(*this, links);
    const qint64 highest = std::max(last, first + 1);
    const auto inSection = [&](qint32 m) {
        const qint64 g = members_[size_t(m)].generation;
        return g >= first && g <= highest;
    };
    const auto childrenOf = [&](qint32 m) {
        const qint32 key = members_[size_t(m)].foldedKey;
        return std::span<const qint32>(children_.data() + childStart_[size_t(key)],
                                       size_t(childStart_[size_t(key) + 1] - childStart_[size_t(key)]));
    };
    // A name met again is not taken twice, so a loop in the father links ends.
    std::vector<bool> taken(size_t(nameKeys_), false);
    const auto take = [&](qint32 m) {
        const Member& member = members_[size_t(m)];
        if (Trimmed(View(member.name)).empty() || taken[size_t(member.nameKey)]) return false;
        taken[size_t(member.nameKey)] = true;
        return true;
    };

    for (qint32 m = 0; m < qint32(members_.size()); ++m) {
        if (members_[size_t(m)].generation != first) continue;
        if (first != 1) {
            const auto kids = childrenOf(m);
            if (std::none_of(kids.begin(), kids.end(), inSection)) continue;
        }
        if (take(m)) forest->Add(m, true);
    }
    forest->roots_ = int(forest->nodes_.size());
    for (size_t i = 0; i < forest->nodes_.size(); ++i) {
        const int firstChild = int(forest->nodes_.size()) + 1;
        if (forest->nodes_[i].expands)
            for (qint32 k : childrenOf(forest->nodes_[i].member))
                if (inSection(k) && take(k)) forest->Add(k, members_[size_t(k)].generation < last);
        ChartSectionForest::Node& node = forest->nodes_[i];
        node.firstChild = firstChild;
        node.children = int(forest->nodes_.size()) + 1 - firstChild;
    }
    return forest;
}
