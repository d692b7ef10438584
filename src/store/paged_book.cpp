#include "store/paged_book.h"

#include <QVariant>
#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/dao/dao_database.h"

namespace {

const QByteArray kHiddenRoot = QByteArrayLiteral("No_Display");
const QByteArray kHiddenRootFolded = QByteArrayLiteral("no_display");

// A name blank after trimming (spaces only) is no member: never a child, never a start.
bool IsBlank(const QByteArray& name) {
    return std::all_of(name.begin(), name.end(), [](char c) { return c == ' '; });
}

// A stored value as the engine orders it: Null first, then numbers by value, then text, then blobs,
// both by their bytes (text in UTF-8, as BINARY compares it).
struct OrderValue {
    enum Kind : quint8 { kNull, kInteger, kReal, kText, kBlob };
    Kind kind = kNull;
    qint64 integer = 0;  // a real's bits for kReal
    QByteArray bytes;

    static OrderValue Of(const QVariant& v, bool text = false) {
        if (v.isNull()) return {};
        switch (v.typeId()) {
            case QMetaType::LongLong:
                return {kInteger, v.toLongLong(), {}};
            case QMetaType::Double:
                return {kReal, std::bit_cast<qint64>(v.toDouble()), {}};
            case QMetaType::QByteArray:
                return {text ? kText : kBlob, 0, v.toByteArray()};
            default:
                return {kText, 0, v.toString().toUtf8()};
        }
    }
    static int Rank(Kind k) { return k == kNull ? 0 : k == kText ? 2 : k == kBlob ? 3 : 1; }
    double Number() const { return kind == kInteger ? double(integer) : std::bit_cast<double>(integer); }
};

int Compare(const OrderValue& a, const OrderValue& b) {
    const int ra = OrderValue::Rank(a.kind), rb = OrderValue::Rank(b.kind);
    if (ra != rb) return ra < rb ? -1 : 1;
    switch (ra) {
        case 0:
            return 0;
        case 1:
            if (a.kind == OrderValue::kInteger && b.kind == OrderValue::kInteger)
                return a.integer < b.integer ? -1 : a.integer > b.integer ? 1 : 0;
            return a.Number() < b.Number() ? -1 : a.Number() > b.Number() ? 1 : 0;
        default: {
            const int c = std::memcmp(a.bytes.constData(), b.bytes.constData(),
                                      size_t(std::min(a.bytes.size(), b.bytes.size())));
            return c != 0 ? c : a.bytes.size() < b.bytes.size() ? -1 : a.bytes.size() > b.bytes.size() ? 1 : 0;
        }
    }
}

}  // namespace

PagedBook::PagedBook(dao::Database& db, const std::function<void()>& tick) {
    const qint64 expected = db.Scalar(QStringLiteral("SELECT max(\"filial_id\") FROM \"本姓成员\"")).toLongLong();
    byName_ = MemberNameIndex(expected);
    names_.reserve(size_t(expected));
    generations_.reserve(size_t(expected));
    father_.reserve(size_t(expected));
    fatherKind_.reserve(size_t(expected));
    std::vector<bool> blank;
    blank.reserve(size_t(expected));
    // The sibling order's keys, needed only until the families are sorted.
    std::vector<OrderValue> sortKey;
    std::vector<OrderValue> birthday;
    sortKey.reserve(size_t(expected));
    birthday.reserve(size_t(expected));
    std::vector<std::pair<qint32, QByteArray>> unresolved;  // fathers stored after their children

    // In filial_id order (the table's own), so that a member's number breaks ties as filial_id does.
    // Text comes as its UTF-8 bytes: what the engine stores and compares, and far cheaper to read than
    // text turned into UTF-16 row by row. A birthday (a text column: text, a blob or Null) comes with
    // whether it is a blob, which orders after every text.
    for (dao::Recordset rs = db.OpenRecordset(QStringLiteral(
             "SELECT CAST(\"filial\" AS BLOB), CAST(\"father\" AS BLOB), \"generation\", \"boy_sort\", "
             "CAST(\"boy_birthday\" AS BLOB), \"boy_birthday\" >= x'' "
             "FROM \"本姓成员\" ORDER BY \"filial_id\""));
         rs.hasRow(); rs.MoveNext()) {
        const qint32 m = qint32(names_.size());
        const QVariant nameValue = rs.value(0);
        const QByteArray name = nameValue.toByteArray();
        names_.push_back(QString::fromUtf8(name));
        blank.push_back(nameValue.isNull() || IsBlank(name));
        if (!nameValue.isNull() && name.isEmpty() && namedEmpty_ < 0) namedEmpty_ = m;
        byName_.Add(nameValue.isNull() ? QByteArrayView() : QByteArrayView(name));

        const QByteArray father = rs.value(1).toByteArray();
        fatherKind_.push_back(father.isEmpty() ? kNoFather : father == kHiddenRoot ? kHiddenRootFather : kSomeFather);
        father_.push_back(-1);
        if (!father.isEmpty()) {
            QByteArray folded = FoldAscii(father);
            if (folded == kHiddenRootFolded) anyHidden_ = true;
            father_.back() = byName_.Find(folded);
            if (father_.back() < 0) unresolved.emplace_back(m, std::move(folded));
        }
        generations_.push_back(qint32(rs.value(2).toLongLong()));
        sortKey.push_back(OrderValue::Of(rs.value(3)));
        birthday.push_back(OrderValue::Of(rs.value(4), rs.value(5).toLongLong() == 0));
        tick();
    }
    for (const auto& [m, folded] : unresolved) father_[size_t(m)] = byName_.Find(folded);

    // Children with a name under their father, a family at a time; "No_Display" is nobody's father.
    const size_t n = names_.size();
    firstKid_.assign(n + 1, 0);
    const auto hasKids = [&](qint32 f) {
        return FoldAscii(names_[size_t(f)]) != QString::fromLatin1(kHiddenRootFolded);
    };
    for (size_t m = 0; m < n; ++m) {
        const qint32 f = father_[m];
        if (f >= 0 && !blank[m]) ++firstKid_[size_t(f) + 1];
    }
    for (size_t m = 0; m < n; ++m)
        if (firstKid_[m + 1] > 0 && !hasKids(qint32(m))) firstKid_[m + 1] = 0;
    for (size_t m = 1; m <= n; ++m) firstKid_[m] += firstKid_[m - 1];
    kids_.resize(size_t(firstKid_[n]));
    {
        std::vector<qint32> fill(firstKid_.begin(), firstKid_.end() - 1);
        for (size_t m = 0; m < n; ++m) {
            const qint32 f = father_[m];
            if (f >= 0 && !blank[m] && firstKid_[size_t(f) + 1] > firstKid_[size_t(f)])
                kids_[size_t(fill[size_t(f)]++)] = qint32(m);
        }
    }
    const auto siblingOrder = [&](qint32 a, qint32 b) {
        int c = Compare(sortKey[size_t(a)], sortKey[size_t(b)]);
        if (c == 0) c = Compare(birthday[size_t(a)], birthday[size_t(b)]);
        return c != 0 ? c < 0 : a < b;
    };
    for (size_t f = 0; f < n; ++f) {
        auto first = kids_.begin() + firstKid_[f], last = kids_.begin() + firstKid_[f + 1];
        if (last - first > 1) std::sort(first, last, siblingOrder);
        if ((f & 0xFFFF) == 0) tick();
    }
}

qint32 PagedBook::Find(const QString& name) const {
    if (name.isEmpty()) return namedEmpty_;
    return byName_.Find(name.toUtf8());
}

// As the climb to the top ancestor (Cls子女::Find始祖) and its test (This始祖dspt) decide: the top is the
// first member up the line whose father is empty or exactly "No_Display"; a father that names nobody,
// or a line that comes back to a member, gives no top, and then the member named "" (if any) decides.
// Every member on the way has the same answer, so it is kept for them all.
bool PagedBook::Shown(qint32 member) const {
    if (shownMemo_.empty()) {
        shownMemo_.assign(names_.size(), -1);
        passed_.assign(names_.size(), 0);
    }
    ++climb_;
    std::vector<qint32> path;
    bool shown = true;
    for (qint32 r = member;;) {
        if (shownMemo_[size_t(r)] >= 0) {
            shown = shownMemo_[size_t(r)] != 0;
            break;
        }
        if (passed_[size_t(r)] == climb_) {  // a circle: no top
            shown = namedEmpty_ < 0 || fatherKind_[size_t(namedEmpty_)] != kHiddenRootFather;
            break;
        }
        passed_[size_t(r)] = climb_;
        path.push_back(r);
        if (fatherKind_[size_t(r)] != kSomeFather) {
            shown = fatherKind_[size_t(r)] != kHiddenRootFather;
            break;
        }
        if (father_[size_t(r)] < 0) {
            shown = namedEmpty_ < 0 || fatherKind_[size_t(namedEmpty_)] != kHiddenRootFather;
            break;
        }
        r = father_[size_t(r)];
    }
    for (qint32 r : path) shownMemo_[size_t(r)] = shown ? 1 : 0;
    return shown;
}
