#include "store/member_name.h"

#include "platform/vbcompat.h"

namespace {

// The marks that embed, override or isolate a direction, and the invisible direction marks.
bool TurnsDirection(char16_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

QString CleanMemberName(const QString& text, qsizetype maxLength) {
    QString name;
    name.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
            case u'\'':
            case u'%':
            case u'{':
            case u'}':
            case u'\\':
                continue;
            default:
                if (IsControl(c.unicode()) || TurnsDirection(c.unicode())) continue;
                name += c;
        }
    }
    name = Trim(name);
    if (maxLength < 0 || name.size() <= maxLength) return name;
    name.truncate(maxLength);
    if (!name.isEmpty() && name.back().isHighSurrogate()) name.chop(1);
    // A cut may end on a blank: kept, it would make a second cleaning give another name.
    return Trim(name);
}

QString CleanSingleMemberName(const QString& text, qsizetype maxLength) {
    QString name = text;
    name.remove(QLatin1Char('/'));
    name.remove(QLatin1Char(';'));
    return CleanMemberName(name, maxLength);
}
