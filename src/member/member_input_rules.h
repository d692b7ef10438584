#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class Cls子女;

// The text rules of the member form, apart from the window: what a field keeps when it is left, how the
// names field of several children is split and numbered, and how a batch of new names is made unique.
class MemberInputRules {
public:
    // A typed child-number range gives at most this many names.
    static constexpr int kMaxRangeNames = 500;
    // A name keeps at most this many characters in one-member style.
    static constexpr int kOneNameLength = 49;
    // Each of several names is cut to this many characters when they are joined.
    static constexpr int kJoinedNameLength = 50;

    // Removes every "%", every "'" and every CR LF pair (a lone CR or LF stays), then keeps the first
    // maxLen characters; a character outside the basic plane is never cut in half.
    static QString MemberFormCleanText(const QString& text, qint32 maxLen);

    // The characters a field keeps when it is left; 0 for the fields that are not cleaned there.
    static qint32 FieldLength(const QString& control);
    // What a field holds after it is left: the mother's name also loses its braces. Fields that are not
    // cleaned come back unchanged.
    static QString CleanField(const QString& control, const QString& text);

    // What the names field holds after it is left, for input style 1 (one member) or 2 (several
    // children, separators made ";" and a number range "a..b" written out). A range longer than
    // kMaxRangeNames is cut to that many names and *capped is set.
    static QString CleanChildrenText(const QString& text, int inputStyle, bool* capped = nullptr);
    // The numbers from start to end joined by ";"; an end of 0 counts as 10, an end below the start
    // gives "".
    static QString ExpandNumberRange(const QString& text, bool* capped = nullptr);

    // The title list of the member form, in its order.
    static QStringList TitleTexts();
    // The five title-suffix texts, in code order (code 0 is "").
    static QStringList TitleSuffixTexts();
    // "" for a code outside 0 to 4.
    static QString TitleSuffixText(int code);
    // The code of the trimmed text; any text that is not one of the five gives 0.
    static quint8 TitleSuffixCode(const QString& text);

    enum class NamesFault { None, Duplicate, Blank };
    // The names of one input, split on ";" with every piece kept: an exact repeat comes first, then an
    // empty name.
    static NamesFault CheckNames(const QStringList& names);

    // Makes a name unique against the stored members; the caller binds the member id.
    using Uniquifier = std::function<QString(const QString& name)>;
    // The names of one input as they are stored: with more than one name each gets the surname in
    // front, every name goes through unique() without its "[n]", and a name that then equals (without
    // regard to letter case, as the stored names compare) an earlier name of the batch gets the next
    // free "[n]" of its own.
    static QStringList PrepareNames(const QStringList& names, const QString& surname,
                                    const Uniquifier& unique);

    // Takes the father's particulars (the text Return父亲信息 gives) into the member's own fields; false,
    // with nothing changed, when the text does not have the eight parts.
    static bool TakeFatherParticulars(const QString& info, Cls子女& member);
};
