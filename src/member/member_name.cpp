#include "member/member_name.h"

#include "platform/vbcompat.h"

QString CleanMemberName(const QString& text, qsizetype maxLength) {
    QString name;
    name.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
            case u'\'':
            case u'%':
            case u'\r':
            case u'\n':
            case u'{':
            case u'}':
            case u'\\':
                continue;
            default:
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
