#include "print/chart_branch.h"

#include <QElapsedTimer>
#include <QHash>
#include <QStringDecoder>
#include <QStringView>
#include <QVariant>
#include <algorithm>
#include <numeric>
#include <string_view>
#include <tuple>

#include "platform/dao/dao_database.h"
#include "platform/interaction/do_events.h"
#include "platform/vbcompat.h"
#include "store/walked_branch.h"

namespace {

constexpr qint64 kEventsEveryMs = 100;

std::u16string_view View(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.constData()), size_t(text.size())};
}

QStringView Key(std::u16string_view text) {
    return QStringView(text.data(), qsizetype(text.size()));
}

// Blanks only, as names are trimmed everywhere.
std::u16string_view Trimmed(std::u16string_view text) {
    while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
    return text;
}

bool HasCapitals(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= u'A' && c <= u'Z'; });
}

// Names compare as the name columns do (NOCASE): ASCII letters without regard to case.
QString Folded(std::u16string_view text) {
    QString folded = QString::fromUtf16(text.data(), qsizetype(text.size()));
    for (QChar& c : folded)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    return folded;
}

using KeyOfText = QHash<QStringView, qint32>;

// The text's key: the next number the first time the text is met.
qint32 KeyFor(KeyOfText& keys, std::u16string_view text) {
    const auto it = keys.constFind(Key(text));
    if (it != keys.constEnd()) return *it;
    const qint32 key = qint32(keys.size());
    keys.insert(Key(text), key);
    return key;
}

// The UTF-16 length of valid UTF-8 text: a unit for each character, two past the basic plane.
size_t Utf16Length(std::string_view text) {
    size_t units = 0;
    for (const char c : text) {
        const auto byte = quint8(c);
        units += (byte & 0xC0) != 0x80;
        units += byte >= 0xF0;
    }
    return units;
}

// A text kept in a run of texts: where it starts and how long it is.
struct Span {
    quint32 at;
    quint32 size;
};

Span Keep(std::u16string& run, const QVariant& value) {
    const QString text = value.toString();
    const Span span{quint32(run.size()), quint32(text.size())};
    run.append(View(text));
    return span;
}

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
        return branch_.Shown(branch_.members_[size_t(nodes_[size_t(node) - 1].member)], links_);
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

ChartBranch::ChartBranch(dao::Database& db, qint32 branch, qint64 first, qint64 last) : db_(db) {
    // Read in the order of the member numbers and put in sibling order here when every sort number is
    // a whole number or none (as the member editor stores them): the engine would sort the whole branch
    // on disk. A branch that is a good part of the book is read straight through the table, several
    // times quicker per member than through the branch index.
    const qint64 flagged =
        db.Scalar(QStringLiteral("SELECT count(*) FROM \"本姓成员\" WHERE \"flag\" = ?"), {branch})
            .toLongLong();
    const qint64 rows = db.Scalar(QStringLiteral("SELECT max(\"filial_id\") FROM \"本姓成员\"")).toLongLong();
    const QString select =
        QStringLiteral(
            "SELECT \"filial\", \"father\", \"generation\", \"filial_id\", \"boy_sort\" FROM \"本姓成员\" "
            "WHERE ") +
        (flagged * 4 >= rows ? QStringLiteral("+\"flag\" = ?") : QStringLiteral("\"flag\" = ?")) +
        QStringLiteral(" AND \"generation\" BETWEEN ? AND ? ORDER BY ");
    std::vector<Read> read;
    std::u16string fathers;
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    const auto readAll = [&](const QString& order) {
        bool wholeNumbers = true;
        names_.clear();
        members_.clear();
        read.clear();
        fathers.clear();
        for (dao::Recordset rs = db.OpenRecordset(select + order, {branch, first, last}); rs.hasRow();
             rs.MoveNext()) {
            const Span name = Keep(names_, rs.value(0));
            members_.push_back(
                {name.at, name.size, rs.value(2).toLongLong(), rs.value(3).toLongLong(), 0, 0});
            const QVariant sort = rs.value(4);
            const Span father = Keep(fathers, rs.value(1));
            read.push_back({father.at, father.size, sort.isValid(), sort.toLongLong()});
            wholeNumbers = wholeNumbers && (!sort.isValid() || sort.typeId() == QMetaType::LongLong);
            if (sinceEvents.elapsed() >= kEventsEveryMs) {
                DoEvents();
                sinceEvents.restart();
            }
        }
        return wholeNumbers;
    };
    const bool sortHere = readAll(QStringLiteral("\"filial_id\""));
    if (!sortHere) readAll(QStringLiteral("\"boy_sort\", \"filial_id\""));
    Link(read, fathers, sortHere);
}

ChartBranch::ChartBranch(dao::Database& db, const WalkedBranch& walked, qint64 first, qint64 last) : db_(db) {
    std::vector<Read> read;
    std::u16string fathers;
    QStringDecoder decoder(QStringDecoder::Utf8);
    // Appends the UTF-8 text to the run as UTF-16 (never more units than bytes): where it starts, its size.
    std::u16string scratch;
    const auto keep = [&](std::u16string& run, std::string_view text) {
        if (scratch.size() < text.size()) scratch.resize(text.size());
        decoder.resetState();
        QChar* out = reinterpret_cast<QChar*>(scratch.data());
        const QChar* end = decoder.appendToBuffer(out, QByteArrayView(text.data(), qsizetype(text.size())));
        const Span span{quint32(run.size()), quint32(end - out)};
        run.append(scratch.data(), span.size);
        return span;
    };
    // Room for exactly what is taken: a million members grown by doubling would hold half as many again.
    size_t taken = 0, nameUnits = 0, fatherUnits = 0;
    const auto inRange = [&](const WalkedBranch::Member& m) {
        return walked.Generation(m) >= first && walked.Generation(m) <= last;
    };
    for (const WalkedBranch::Member& m : walked.members) {
        if (!inRange(m)) continue;
        ++taken;
        nameUnits += Utf16Length(walked.Name(m));
        fatherUnits += Utf16Length(walked.Father(m));
    }
    members_.reserve(taken);
    read.reserve(taken);
    names_.reserve(nameUnits);
    fathers.reserve(fatherUnits);
    for (const WalkedBranch::Member& m : walked.members) {
        if (!inRange(m)) continue;
        const Span name = keep(names_, walked.Name(m));
        members_.push_back({name.at, name.size, walked.Generation(m), m.id, 0, 0});
        const Span father = keep(fathers, walked.Father(m));
        read.push_back({father.at, father.size, m.sorted != 0, m.sort});
    }
    Link(read, fathers, true);
}

void ChartBranch::Link(std::vector<Read>& read, std::u16string& fathers, bool sortHere) {
    names_.shrink_to_fit();

    // Keys of the trimmed names; the folded keys are the same unless some name has capitals.
    KeyOfText byName;
    byName.reserve(qsizetype(members_.size()));
    bool capitals = false;
    for (Member& m : members_) {
        const std::u16string_view name = Trimmed(Name(m));
        m.nameKey = KeyFor(byName, name);
        capitals = capitals || HasCapitals(name);
    }
    nameKeys_ = qint32(byName.size());
    KeyOfText byFolded;
    std::vector<QString> foldedNames;  // their text stays put when the vector grows
    if (capitals) {
        std::vector<qint32> foldedOf(size_t(nameKeys_), -1);
        for (Member& m : members_) {
            qint32& key = foldedOf[size_t(m.nameKey)];
            if (key < 0) {
                std::u16string_view name = Trimmed(Name(m));
                if (HasCapitals(name)) {
                    foldedNames.push_back(Folded(name));
                    name = View(foldedNames.back());
                }
                key = KeyFor(byFolded, name);
            }
            m.foldedKey = key;
        }
    } else {
        for (Member& m : members_) m.foldedKey = m.nameKey;
    }
    const KeyOfText& foldedKeys = capitals ? byFolded : byName;

    // Each father's folded key: "" is no member's name.
    std::vector<qint32> fatherKey(members_.size(), -1);
    for (size_t i = 0; i < members_.size(); ++i) {
        std::u16string_view father =
            std::u16string_view(fathers).substr(read[i].fatherAt, read[i].fatherSize);
        if (father.empty()) continue;
        QString folded;
        if (HasCapitals(father)) {
            folded = Folded(father);
            father = View(folded);
        }
        fatherKey[i] = foldedKeys.value(Key(father), -1);
    }
    std::u16string().swap(fathers);

    if (sortHere) {
        // No sort number comes first, as in the engine's order; member numbers are unique.
        std::vector<qint32> order(members_.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](qint32 a, qint32 b) {
            return std::tie(read[size_t(a)].sorted, read[size_t(a)].sort, members_[size_t(a)].id) <
                   std::tie(read[size_t(b)].sorted, read[size_t(b)].sort, members_[size_t(b)].id);
        });
        std::vector<Read>().swap(read);
        // Moved in place, cycle by cycle: a sorted copy of a million members would double them.
        std::vector<bool> placed(order.size(), false);
        for (size_t start = 0; start < order.size(); ++start) {
            if (placed[start]) continue;
            const Member member = members_[start];
            const qint32 key = fatherKey[start];
            size_t at = start;
            for (size_t from = size_t(order[at]); from != start; at = from, from = size_t(order[at])) {
                members_[at] = members_[from];
                fatherKey[at] = fatherKey[from];
                placed[at] = true;
            }
            members_[at] = member;
            fatherKey[at] = key;
            placed[at] = true;
        }
    }
    std::vector<Read>().swap(read);

    // Each member under its father's folded key, in sibling order.
    childStart_.assign(size_t(foldedKeys.size()) + 1, 0);
    for (qint32 key : fatherKey)
        if (key >= 0) ++childStart_[size_t(key) + 1];
    for (size_t k = 1; k < childStart_.size(); ++k) childStart_[k] += childStart_[k - 1];
    children_.resize(size_t(childStart_.back()));
    std::vector<qint32> fill(childStart_.begin(), childStart_.end() - 1);
    for (size_t i = 0; i < members_.size(); ++i)
        if (fatherKey[i] >= 0) children_[size_t(fill[size_t(fatherKey[i])]++)] = qint32(i);
}

ChartBranch::~ChartBranch() = default;

QString ChartBranch::Shown(const Member& member, bool links) const {
    const std::u16string_view stored = Name(member);
    const std::u16string_view trimmed = Trimmed(stored);
    const QString name = QString::fromUtf16(trimmed.data(), qsizetype(trimmed.size()));
    if (!links) return name;
    // Names are unique in the book, letter case aside: the member itself bears its trimmed name
    // unless it was stored with blanks around it.
    if (trimmed.size() == stored.size()) return QString::number(member.id);
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
        if (Trimmed(Name(member)).empty() || taken[size_t(member.nameKey)]) return false;
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
