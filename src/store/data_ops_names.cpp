#include <QStringList>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/text_utils.h"
#include "platform/dao/dao_database.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/reserved_names.h"

namespace {

constexpr qsizetype kMaxNameLength = 49;

// The engine stores text as UTF-8, which cannot hold half a surrogate pair (it would take the next
// character with it), and compares names only up to a NUL. Either would make different names one in
// the name index, so that a name's numbered copies could all be "taken" and the search for a free one
// never end. A name without them is compared exactly, so every numbered candidate is another name and
// the search ends after at most as many look-ups as the book has members.
QString StorableName(const QString& name) {
    if (std::none_of(name.begin(), name.end(), [](QChar c) { return c.isNull() || c.isSurrogate(); }))
        return name;
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        if (c.isNull()) continue;
        if (c.isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            out += c;
            out += name[++i];
        } else {
            out += c.isSurrogate() ? QChar(QChar::ReplacementCharacter) : c;
        }
    }
    return out;
}

// Beyond 2^53 a double no longer holds whole numbers exactly: the scan cannot count such suffixes.
constexpr double kExactSuffixLimit = 9007199254740992.0;

// Keeps the end of the name; never starts the result with the second half of a surrogate pair.
QString LastChars(const QString& name) {
    if (name.size() <= kMaxNameLength) return name;
    QString tail = name.right(kMaxNameLength);
    if (tail.front().isLowSurrogate()) tail.remove(0, 1);
    return tail;
}

// The number a stored suffix stands for; text without a usable number counts 0.
qint64 SuffixNumber(const QString& afterBracket) {
    double value = 0;
    try {
        value = Val(afterBracket);
    } catch (const VbError&) {
        return 0;
    }
    const double rounded = std::nearbyint(value);  // half to even, as the old conversion
    if (!(rounded > 0 && rounded < kExactSuffixLimit)) return 0;
    return qint64(rounded);
}

// The rows that are "this member" are left out of every look-up by selfClause ("" when none is); names
// a batch has reserved count as borne.
QString MakeUnique(dao::Database& db, const QString& name, const QString& selfClause, const dao::Params& self,
                   const ReservedNames* reserved = nullptr) {
    const QString cut = LastChars(StorableName(name));
    const QString countSql = QStringLiteral("SELECT count(*) FROM \"本姓成员\" WHERE \"filial\"=?");
    const auto taken = [&](const QString& candidate) {
        if (reserved && reserved->Has(candidate)) return true;
        dao::Params params{candidate};
        params += self;
        return db.Scalar(countSql + selfClause, params).toLongLong() > 0;
    };
    if (!taken(cut)) return cut;

    // Names that begin with the name and "[", found through the name index: under NOCASE the
    // range ["name[", "name\") holds exactly those, whatever the letter case.
    const QString prefix = cut + QLatin1Char('[');
    dao::Params params{prefix, cut + QLatin1Char('\\')};
    params += self;
    qint64 highest = reserved ? reserved->HighestSuffix(cut) : 0;
    for (auto rs = db.OpenRecordset(
             QStringLiteral("SELECT \"filial\" FROM \"本姓成员\" WHERE \"filial\">=? AND \"filial\"<?") +
                 selfClause,
             params);
         rs.hasRow(); rs.MoveNext()) {
        highest = std::max(highest, SuffixNumber(rs.Text(QStringLiteral("filial")).mid(prefix.size())));
    }
    // A long name loses its first characters to the suffix and may then meet another stored name.
    for (qint64 n = highest + 1;; ++n) {
        const QString result = LastChars(cut + QLatin1Char('[') + QString::number(n) + QLatin1Char(']'));
        if (!taken(result)) return result;
    }
}

}  // namespace

Cls数据操作::Cls数据操作() {
    OpenDataDb(DataDbPath(), BookDbPassword());
}

QString Cls数据操作::TongMing字(bool skip, const QString& name, qint32 filial_id) {
    if (skip) return LastChars(StorableName(name));
    return MakeUnique(App().DataDb, name, QStringLiteral(" AND \"filial_id\"<>?"), {filial_id});
}

QString Cls数据操作::TongMing字Sql(const QString& name, qint32 mysql_id) {
    // Id 0 marks members never uploaded, so it names no particular row.
    if (mysql_id == 0) return MakeUnique(App().DataDb, name, QString(), {});
    return MakeUnique(App().DataDb, name, QStringLiteral(" AND ifnull(\"mysql_id\",0)<>?"), {mysql_id});
}

QString Cls数据操作::TongMing字Merge(const QString& name, qint32 filial_id, const ReservedNames& reserved) {
    return MakeUnique(App().DataDb, name, QStringLiteral(" AND \"filial_id\"<>?"), {filial_id}, &reserved);
}

qint32 Cls数据操作::TotalRecnNum() {
    return qint32(
        App().DataDb.Scalar(QStringLiteral("SELECT count(*) AS RecNum FROM \"本姓成员\"")).toLongLong());
}

BatchUniqueNames::BatchUniqueNames(dao::Database& db, const std::vector<QString>& names) : db_(db) {
    copies_.reserve(qsizetype(names.size()));
    for (const QString& name : names) {
        exact_ = exact_ && !name.contains(QChar(0));
        copies_.insert(NameColumnKey(LastChars(StorableName(StripBracketSuffix(name)))), Copies{});
    }
    if (exact_) ReadBook();
    if (exact_) return;
    // With a NUL somewhere the ranges are the name index's own.
    QStringList cuts = copies_.keys();
    cuts.sort();  // neighbouring ranges, neighbouring pages of the index
    for (const QString& cut : cuts) {
        const Copies found = BookRange(cut);
        Copies& copies = copies_[cut];
        copies.borne = found.borne;
        copies.highest = found.highest;
    }
}

// The name index's range for a name runs from the name to the name followed by "\": it holds the name
// itself and the names that continue it with a character below "\" (under NOCASE the letters are
// folded above it), and among those its numbered copies, which continue it with "[". So a stored
// name is in the range of each of its beginnings that ends before such a character, or at its end;
// names the batch asks for hold no "[", so only beginnings before the first "[" count.
void BatchUniqueNames::ReadBook() {
    for (dao::Recordset rs = db_.OpenRecordset(QStringLiteral("SELECT \"filial\" FROM \"本姓成员\""));
         rs.hasRow(); rs.MoveNext()) {
        const QString stored = rs.value(0).toString();
        if (stored.contains(QChar(0))) {
            exact_ = false;
            return;
        }
        const QString key = NameColumnKey(stored);
        const qsizetype bracket = key.indexOf(QLatin1Char('['));
        const qsizetype end = bracket < 0 ? key.size() : bracket;
        for (qsizetype k = 0; k <= end; ++k) {
            if (k < key.size() && key[k] >= u'\\') continue;
            const auto it = copies_.find(k == key.size() ? key : key.left(k));
            if (it == copies_.end()) continue;
            if (k == key.size())
                it->borne = true;
            else if (key[k] == u'[')
                it->highest = std::max(it->highest, SuffixNumber(stored.mid(k + 1)));
        }
    }
}

BatchUniqueNames::Copies BatchUniqueNames::BookRange(const QString& cut) {
    Copies copies;
    const QString prefix = cut + QLatin1Char('[');
    for (auto rs = db_.OpenRecordset(
             QStringLiteral("SELECT \"filial\", \"filial\"=?, \"filial\">=? FROM \"本姓成员\" "
                            "WHERE \"filial\">=? AND \"filial\"<?"),
             {cut, prefix, cut, cut + QLatin1Char('\\')});
         rs.hasRow(); rs.MoveNext()) {
        if (rs.value(1).toBool())
            copies.borne = true;
        else if (rs.value(2).toBool())
            copies.highest =
                std::max(copies.highest, SuffixNumber(rs.value(0).toString().mid(prefix.size())));
    }
    return copies;
}

bool BatchUniqueNames::Taken(const QString& name) {
    return given_.contains(NameColumnKey(name)) ||
           db_.Scalar(QStringLiteral("SELECT count(*) FROM \"本姓成员\" WHERE \"filial\"=?"), {name})
                   .toLongLong() > 0;
}

// A name given out is borne, and a copy, with the number after the bracket, of every name it begins with
// followed by "[", as the range of that name would find it once written.
void BatchUniqueNames::Note(const QString& given) {
    given_.insert(NameColumnKey(given));
    for (qsizetype i = given.indexOf(QLatin1Char('[')); i > 0; i = given.indexOf(QLatin1Char('['), i + 1)) {
        const auto it = copies_.find(NameColumnKey(given.left(i)));
        if (it != copies_.end()) it->given = std::max(it->given, SuffixNumber(given.mid(i + 1)));
    }
}

QString BatchUniqueNames::Give(const QString& name) {
    const QString cut = LastChars(StorableName(StripBracketSuffix(name)));
    const auto it = copies_.find(NameColumnKey(cut));
    if (it == copies_.end()) throw std::logic_error("a name not announced to the batch");
    if (!it->borne && !given_.contains(it.key())) {
        Note(cut);
        return cut;
    }
    const qint64 highest = std::max({it->highest, it->given, it->numbered});
    const QString prefix = cut + QLatin1Char('[');
    for (qint64 n = highest + 1;; ++n) {
        const QString whole = prefix + QString::number(n) + QLatin1Char(']');
        const QString result = LastChars(whole);
        const bool free = exact_ && result.size() == whole.size() && double(n) < kExactSuffixLimit;
        if (free || !Taken(result)) {
            it->numbered = n;
            Note(result);
            return result;
        }
    }
}
