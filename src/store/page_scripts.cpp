#include "store/page_scripts.h"

#include <QRegularExpression>

#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"
#include "store/tag_attributes.h"

namespace page_scripts {

namespace {

// Event handlers (on...), and srcdoc, whose value is a whole page of its own.
bool IsRunnableAttribute(QStringView name) {
    return (name.size() > 2 && name.left(2).compare(u"on", Qt::CaseInsensitive) == 0) ||
           name.compare(u"srcdoc", Qt::CaseInsensitive) == 0;
}

// A value a browser would run when followed: "javascript:" or "vbscript:", however a browser still reads
// it (character references, case, blanks and control characters inside the scheme).
bool IsScriptAddress(QStringView value) {
    static const QRegularExpression reference(QStringLiteral("&#(x[0-9a-f]+|[0-9]+);?|&(tab|newline|colon);"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString scheme;
    qsizetype i = 0;
    while (i < value.size() && scheme.size() < 12) {
        QChar c = value[i];
        if (c == u'&') {
            const QRegularExpressionMatch m = reference.match(value, i, QRegularExpression::NormalMatch,
                                                              QRegularExpression::AnchorAtOffsetMatchOption);
            if (m.hasMatch()) {
                const QString code = m.captured(1);
                const QString named = m.captured(2).toLower();
                bool ok = true;
                if (!code.isEmpty()) {
                    const uint u = code.startsWith(u'x', Qt::CaseInsensitive) ? code.mid(1).toUInt(&ok, 16)
                                                                              : code.toUInt(&ok, 10);
                    c = ok && u < 0x10000 ? QChar(char16_t(u)) : QChar(u'?');
                } else {
                    c = named == u"colon" ? QChar(u':') : QChar(u' ');
                }
                i += m.capturedLength();
            } else {
                ++i;
            }
        } else {
            ++i;
        }
        if (c.unicode() <= 0x20) continue;
        scheme += c.toLower();
        if (c == u':') break;
    }
    return scheme == u"javascript:" || scheme == u"vbscript:";
}

// Cuts the event-handler attributes, and the values that would run, out of every start tag.
QString WithoutHandlers(const QString& html) {
    return tag_attributes::WithoutAttributes(html, [](const tag_attributes::Attribute& a) {
        return IsRunnableAttribute(a.name) || (a.hasValue && IsScriptAddress(a.value));
    });
}

}  // namespace

QString WithoutScripts(const QString& html) {
    // A script without its end tag takes the rest of the page with it.
    static const QRegularExpression script(
        QStringLiteral("<script\\b.*?(?:</script\\s*>|$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QString page = html;
    // Cutting one script out can join the text around it into another ("<scr<script></script>ipt>"), and
    // cutting a handler can do the same ("<scrip onclick=\"x\"t>"): again until a pass cuts nothing. Both
    // only cut, so a pass that cut nothing leaves the length as it was.
    for (qsizetype before = -1; before != page.size();) {
        before = page.size();
        page.remove(script);
        page = WithoutHandlers(page);
    }
    return page;
}

QString StoredWithoutScripts(const QString& stored) {
    const QString plain = DecodeText(stored, StoreKey());
    const QString cleaned = WithoutScripts(plain);
    return cleaned == plain ? stored : EncodeText(cleaned, StoreKey());
}

}  // namespace page_scripts
