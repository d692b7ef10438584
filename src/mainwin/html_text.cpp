#include "mainwin/html_text.h"

#include "frame/text_utils.h"
#include "platform/codepage.h"

void ClsHtml处理::HtmlToText(QString& text) {
    QString source = text;
    source.remove(QLatin1Char(' '));
    QString result;
    result.reserve(source.size());
    bool insideTag = false;
    for (const QChar c : source) {
        if (c == u'<') {
            insideTag = true;
            continue;
        }
        if (c == u'>') {
            insideTag = false;
            continue;
        }
        if (insideTag) continue;
        // A double-byte character has a negative code; a unit the code page lacks (either half of a
        // character beyond the basic plane) reads as "?" and so stays with its partner.
        const int code = Asc936(c);
        if ((code >= 32 && code <= 122) || code < 0) result += c;
    }
    ReplaceAll(result, QStringLiteral("&nbsp;"), QString());
    ReplaceAll(result, QStringLiteral("&gt;"), QStringLiteral(">"));
    text = result;
}
