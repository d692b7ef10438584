#include "store/tag_attributes.h"

#include <QHash>
#include <algorithm>

namespace tag_attributes {

namespace {

bool IsSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool IsLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsAlphanumeric(QChar c) {
    return IsLetter(c) || (c >= u'0' && c <= u'9');
}

const QHash<QString, QChar>& NamedReferences() {
    static const QHash<QString, QChar> names{
        {QStringLiteral("amp"), u'&'},     {QStringLiteral("lt"), u'<'},      {QStringLiteral("gt"), u'>'},
        {QStringLiteral("quot"), u'"'},    {QStringLiteral("apos"), u'\''},   {QStringLiteral("colon"), u':'},
        {QStringLiteral("sol"), u'/'},     {QStringLiteral("bsol"), u'\\'},   {QStringLiteral("lpar"), u'('},
        {QStringLiteral("rpar"), u')'},    {QStringLiteral("num"), u'#'},     {QStringLiteral("period"), u'.'},
        {QStringLiteral("commat"), u'@'},  {QStringLiteral("semi"), u';'},    {QStringLiteral("equals"), u'='},
        {QStringLiteral("comma"), u','},   {QStringLiteral("percnt"), u'%'},  {QStringLiteral("quest"), u'?'},
        {QStringLiteral("excl"), u'!'},    {QStringLiteral("lowbar"), u'_'},  {QStringLiteral("dash"), u'-'},
        {QStringLiteral("hyphen"), u'-'},  {QStringLiteral("tab"), u'\t'},    {QStringLiteral("newline"), u'\n'},
        {QStringLiteral("nbsp"), QChar(0xA0)}};
    return names;
}

}  // namespace

QString DecodedValue(QStringView value) {
    QString out;
    out.reserve(value.size());
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (value[i] != u'&') {
            out += value[i];
            continue;
        }
        qsizetype at = i + 1;
        if (at < n && value[at] == u'#') {
            ++at;
            const bool hex = at < n && (value[at] == u'x' || value[at] == u'X');
            if (hex) ++at;
            const qsizetype digits = at;
            const auto digit = [hex](QChar c) -> int {
                if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
                if (hex && c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
                if (hex && c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
                return -1;
            };
            char32_t code = 0;
            for (int d; at < n && (d = digit(value[at])) >= 0; ++at)
                code = std::min<char32_t>(0x110000, code * (hex ? 16 : 10) + char32_t(d));
            if (at == digits) {
                out += value[i];
                continue;
            }
            if (at < n && value[at] == u';') ++at;
            if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
            out += QString::fromUcs4(&code, 1);
            i = at - 1;
            continue;
        }
        while (at < n && IsAlphanumeric(value[at]) && at - i <= 8) ++at;
        const auto named = NamedReferences().constFind(value.mid(i + 1, at - i - 1).toString().toLower());
        if (named == NamedReferences().constEnd()) {
            out += value[i];
            continue;
        }
        out += *named;
        if (at < n && value[at] == u';') ++at;
        i = at - 1;
    }
    return out;
}

QString WithoutAttributes(const QString& html, const std::function<bool(const Attribute&)>& cut) {
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
        const QStringView tag = QStringView(html).mid(open + 1, at - open - 1);
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
            Attribute attribute{tag, QStringView(html).mid(name, at - name), {}, false};
            qsizetype after = at;
            while (after < n && IsSpace(html[after])) ++after;
            if (after < n && html[after] == u'=') {
                at = after + 1;
                while (at < n && IsSpace(html[at])) ++at;
                if (at < n && (html[at] == u'"' || html[at] == u'\'')) {
                    const qsizetype close = html.indexOf(html[at], at + 1);
                    attribute.value = QStringView(html).mid(at + 1, (close < 0 ? n : close) - at - 1);
                    at = close < 0 ? n : close + 1;
                } else {
                    const qsizetype begin = at;
                    while (at < n && !IsSpace(html[at]) && html[at] != u'>') ++at;
                    attribute.value = QStringView(html).mid(begin, at - begin);
                }
                attribute.hasValue = true;
            }
            if (!cut(attribute)) out += QStringView(html).mid(start, at - start);
        }
        i = at;
    }
    if (i < n) out += QStringView(html).mid(i);
    return out;
}

}  // namespace tag_attributes
