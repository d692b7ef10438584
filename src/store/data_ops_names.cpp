#include <QStringList>
#include <cmath>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
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
             QStringLiteral("SELECT \"filial\" FROM \"本姓成员\" WHERE \"filial\">=? AND \"filial\"<?") + selfClause,
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

// A name given out counts, for every name it begins with followed by "[", as that name's copy with the
// number after the bracket, as the scan of MakeUnique would count it.
void NoteGiven(SuffixMemo& memo, const QString& given) {
    for (qsizetype i = given.indexOf(QLatin1Char('[')); i > 0; i = given.indexOf(QLatin1Char('['), i + 1)) {
        const QString base = given.left(i);
        if (memo.Knows(base)) memo.Note(base, SuffixNumber(given.mid(i + 1)));
    }
}

// MakeUnique for a batch of new members, with no row to leave out: one pass over the name and its numbered
// copies tells both whether it is borne and its highest copy, and is made once per name. The number found
// is still looked up unless the memo knows the ranges are exact: a cut long name may meet a stored name,
// the range does not order names holding a NUL, and the scan does not count numbers from 2^53 on.
QString MakeUniqueInBatch(dao::Database& db, const QString& name, SuffixMemo& memo) {
    const QString cut = LastChars(StorableName(name));
    const QString prefix = cut + QLatin1Char('[');
    qint64 highest = 0;
    if (memo.Knows(cut)) {
        highest = memo.Highest(cut);  // known only once the name was found borne
    } else {
        bool borne = false;
        for (auto rs = db.OpenRecordset(QStringLiteral("SELECT \"filial\", \"filial\"=?, \"filial\">=? FROM \"本姓成员\" "
                                                       "WHERE \"filial\">=? AND \"filial\"<?"),
                                        {cut, prefix, cut, cut + QLatin1Char('\\')});
             rs.hasRow(); rs.MoveNext()) {
            if (rs.value(1).toBool())
                borne = true;
            else if (rs.value(2).toBool())
                highest = std::max(highest, SuffixNumber(rs.value(0).toString().mid(prefix.size())));
        }
        if (!borne) {
            NoteGiven(memo, cut);
            return cut;
        }
    }
    const QString countSql = QStringLiteral("SELECT count(*) FROM \"本姓成员\" WHERE \"filial\"=?");
    for (qint64 n = highest + 1;; ++n) {
        const QString whole = prefix + QString::number(n) + QLatin1Char(']');
        const QString result = LastChars(whole);
        const bool free =
            memo.RangesExact() && result.size() == whole.size() && double(n) < kExactSuffixLimit;
        if (free || db.Scalar(countSql, {result}).toLongLong() == 0) {
            memo.Note(cut, n);
            NoteGiven(memo, result);
            return result;
        }
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

QString Cls数据操作::TongMing字Batch(const QString& name, SuffixMemo& memo) {
    return MakeUniqueInBatch(App().DataDb, name, memo);
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
