#include "store/page_scripts.h"

#include <QRegularExpression>

#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"

namespace page_scripts {

namespace {

bool IsSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool IsLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

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

// Cuts the event-handler attributes out of every start tag, reading names and values (quoted or not) as
// a browser's tokenizer does, so that a ">" inside a quoted value does not end the tag early.
QString WithoutHandlers(const QString& html) {
    QString out;
    out.reserve(html.size());
    const qsizetype n = html.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype open = html.indexOf(u'<', i);
        if (open < 0 || open + 1 >= n) break;
        if (!IsLetter(html[open + 1])) {
            out += QStringView(html).mid(i, open + 1 - i);
            i = open + 1;
            continue;
        }
        qsizetype at = open + 1;
        while (at < n && !IsSpace(html[at]) && html[at] != u'/' && html[at] != u'>') ++at;
        out += QStringView(html).mid(i, at - i);
        // The attributes, one by one, up to the end of the tag.
        while (at < n && html[at] != u'>') {
            const qsizetype start = at;
            while (at < n && (IsSpace(html[at]) || html[at] == u'/')) ++at;
            if (at >= n || html[at] == u'>') {
                out += QStringView(html).mid(start, at - start);
                break;
            }
            const qsizetype name = at;
            ++at;  // a name may begin with "="
            while (at < n && !IsSpace(html[at]) && html[at] != u'/' && html[at] != u'>' && html[at] != u'=')
                ++at;
            const QStringView attribute = QStringView(html).mid(name, at - name);
            bool cut = IsRunnableAttribute(attribute);
            qsizetype after = at;
            while (after < n && IsSpace(html[after])) ++after;
            if (after < n && html[after] == u'=') {
                at = after + 1;
                while (at < n && IsSpace(html[at])) ++at;
                QStringView value;
                if (at < n && (html[at] == u'"' || html[at] == u'\'')) {
                    const qsizetype close = html.indexOf(html[at], at + 1);
                    value = QStringView(html).mid(at + 1, (close < 0 ? n : close) - at - 1);
                    at = close < 0 ? n : close + 1;
                } else {
                    const qsizetype begin = at;
                    while (at < n && !IsSpace(html[at]) && html[at] != u'>') ++at;
                    value = QStringView(html).mid(begin, at - begin);
                }
                cut = cut || IsScriptAddress(value);
            }
            if (!cut) out += QStringView(html).mid(start, at - start);
        }
        i = at;
    }
    if (i < n) out += QStringView(html).mid(i);
    return out;
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
