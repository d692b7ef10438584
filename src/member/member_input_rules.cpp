#include "member/member_input_rules.h"

#include <QHash>
#include <cmath>

#include "frame/app_state.h"
#include "frame/language.h"
#include "frame/text_utils.h"
#include "member/member_record.h"
#include "platform/vbcompat.h"
#include "store/member_name.h"

namespace {

const QString kRangeMark = QStringLiteral("..");
// The father's particulars come as eight parts; the last holds the name parts joined by "%".
const QString kInfoSep = QStringLiteral("%_");
constexpr int kInfoParts = 8;

QString Trans(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}

// The first n characters, without leaving half of a surrogate pair at the end.
QString FirstChars(const QString& text, qsizetype n) {
    if (n <= 0) return QString();
    if (text.size() <= n) return text;
    QString head = text.left(n);
    if (head.back().isHighSurrogate()) head.chop(1);
    return head;
}

// The last n characters, never starting with the second half of a surrogate pair.
QString LastChars(const QString& text, qsizetype n) {
    if (text.size() <= n) return text;
    QString tail = text.right(n);
    if (tail.front().isLowSurrogate()) tail.remove(0, 1);
    return tail;
}

// The leading number of a range end, rounded; a number too large for the program counts as 0, as text
// without a number does. Kept well inside 32 bits so that counting the range cannot overflow.
qint64 RangeNumber(const QString& text) {
    double value = 0;
    try {
        value = Val(text);
    } catch (const VbError&) {
        return 0;
    }
    constexpr double kLimit = 1e9;
    if (!(std::fabs(value) <= kLimit)) return 0;
    return qint64(std::nearbyint(value));
}

}  // namespace

QString MemberInputRules::MemberFormCleanText(const QString& text, qint32 maxLen) {
    QString clean = text;
    ReplaceAll(clean, QStringLiteral("%"), QString());
    ReplaceAll(clean, QStringLiteral("'"), QString());
    ReplaceAll(clean, QStringLiteral("\r\n"), QString());
    return FirstChars(clean, maxLen);
}

qint32 MemberInputRules::FieldLength(const QString& control) {
    static const QHash<QString, qint32> lengths{
        {QStringLiteral("Txt母"), 50},     {QStringLiteral("Txt母职位"), 50},
        {QStringLiteral("Txt母生日"), 64}, {QStringLiteral("Txt母过世"), 64},
        {QStringLiteral("Cmb母民族"), 8},  {QStringLiteral("Cmb母文化"), 12},
        {QStringLiteral("Txt子职位"), 50}, {QStringLiteral("Txt子生日"), 64},
        {QStringLiteral("Txt子过世"), 64}, {QStringLiteral("Cmb子民族"), 8},
        {QStringLiteral("Cmb子文化"), 12}, {QStringLiteral("Cmb称"), 30},
        {QStringLiteral("Txt讳"), 30},     {QStringLiteral("Txt字"), 30},
        {QStringLiteral("Txt谥"), 30},     {QStringLiteral("Txt号"), 50},
    };
    return lengths.value(control, 0);
}

QString MemberInputRules::CleanField(const QString& control, const QString& text) {
    const qint32 length = FieldLength(control);
    if (length == 0) return text;
    QString value = text;
    if (control == QStringLiteral("Txt母")) {
        // Braces mark generation numbers in the tree's node captions.
        value.remove(QLatin1Char('{'));
        value.remove(QLatin1Char('}'));
    }
    return MemberFormCleanText(value, length);
}

QString MemberInputRules::CleanChildrenText(const QString& text, int inputStyle, bool* capped) {
    if (capped) *capped = false;
    if (inputStyle != 1 && inputStyle != 2) return text;
    if (inputStyle == 1) return CleanSingleMemberName(text, kOneNameLength);
    // "/" would read as a path in the page and folder imports; ";" separates several names.
    QString value = text;
    value.remove(QLatin1Char('/'));
    value = CleanMemberName(value, -1);
    for (const QString& separator : {QStringLiteral("，"), QStringLiteral(","), QStringLiteral("、")})
        value.replace(separator, QStringLiteral(";"));
    if (value.contains(kRangeMark)) return ExpandNumberRange(value, capped);
    return value;
}

QString MemberInputRules::ExpandNumberRange(const QString& text, bool* capped) {
    if (capped) *capped = false;
    const qsizetype mark = text.indexOf(kRangeMark);
    if (mark < 0) return text;
    const qint64 start = RangeNumber(text.left(mark));
    qint64 end = RangeNumber(text.mid(mark + kRangeMark.size()));
    if (end == 0) end = 10;
    if (end < start) return QString();
    if (end - start + 1 > kMaxRangeNames) {
        end = start + kMaxRangeNames - 1;
        if (capped) *capped = true;
    }
    QStringList numbers;
    for (qint64 n = start; n <= end; ++n) numbers << QString::number(n);
    return numbers.join(QLatin1Char(';'));
}

QStringList MemberInputRules::TitleTexts() {
    return {QString(),
            QStringLiteral("世祖"),
            QStringLiteral("世"),
            Trans(QStringLiteral("远祖")),
            QStringLiteral("本世祖"),
            QStringLiteral("始祖"),
            QStringLiteral("房")};
}

QStringList MemberInputRules::TitleSuffixTexts() {
    return (QStringLiteral("%姓加[公]%名加[公]%全名加[公]%") + Trans(QStringLiteral("世祖庙")))
        .split(QLatin1Char('%'));
}

QString MemberInputRules::TitleSuffixText(int code) {
    return TitleSuffixTexts().value(code);
}

quint8 MemberInputRules::TitleSuffixCode(const QString& text) {
    const qsizetype code = TitleSuffixTexts().indexOf(Trim(text));
    return code < 0 ? 0 : quint8(code);
}

MemberInputRules::NamesFault MemberInputRules::CheckNames(const QStringList& names) {
    for (qsizetype i = 0; i < names.size(); ++i)
        for (qsizetype j = i + 1; j < names.size(); ++j)
            if (names[i] == names[j]) return NamesFault::Duplicate;
    for (const QString& name : names)
        if (name.isEmpty()) return NamesFault::Blank;
    return NamesFault::None;
}

QStringList MemberInputRules::PrepareNames(const QStringList& names, const QString& surname,
                                           const Uniquifier& unique) {
    QStringList result;
    const auto taken = [&result](const QString& name) { return result.contains(name, Qt::CaseInsensitive); };
    for (const QString& typed : names) {
        const QString name = names.size() > 1 ? surname + typed : typed;
        const QString base = StripBracketSuffix(name);
        QString stored = unique(base);
        // unique() only knows the stored members; the names before this one are not stored yet.
        for (qint64 n = 1; taken(stored); ++n) {
            const QString candidate =
                LastChars(base + QLatin1Char('[') + QString::number(n) + QLatin1Char(']'), kOneNameLength);
            if (!taken(candidate) && unique(candidate) == candidate) stored = candidate;
        }
        result << stored;
    }
    return result;
}

bool MemberInputRules::TakeFatherParticulars(const QString& info, Cls子女& member) {
    const QStringList parts = info.split(kInfoSep);
    if (parts.size() != kInfoParts) return false;
    member.strBoy_Birthday = parts[0];
    member.strBoy_Death = parts[1];
    member.bBoy_Active = parts[2] == QStringLiteral("True");
    member.strBoy_Education = parts[3];
    member.strBoy_Position = parts[4];
    member.bBoy_Sex = parts[5] == QStringLiteral("True");
    member.strBoy_Folk = parts[6];
    const QStringList pieces = parts[7].split(QLatin1Char('%'));
    if (pieces.size() >= 5) {
        member.boy_c = pieces[0];
        // A stored code that is no Byte shows as no suffix rather than stopping the form.
        const qint64 code = RangeNumber(pieces[1]);
        member.boy_jc = code >= 0 && code <= 255 ? quint8(code) : 0;
        member.boy_wei = pieces[2];
        member.boy_zhi = pieces[3];
        member.boy_hao = pieces[4];
        if (pieces.size() == 6) member.boy_yi = pieces[5];
    }
    return true;
}
