#include "community/board_text.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>

#include "platform/bookdir.h"

namespace {

bool IsDroppedWithContent(const QString& tag) {
    static const QStringList dropped{
        QStringLiteral("script"),   QStringLiteral("style"),    QStringLiteral("iframe"),
        QStringLiteral("frame"),    QStringLiteral("frameset"), QStringLiteral("object"),
        QStringLiteral("embed"),    QStringLiteral("applet"),   QStringLiteral("form"),
        QStringLiteral("textarea"), QStringLiteral("select"),   QStringLiteral("noscript"),
        QStringLiteral("title"),    QStringLiteral("head"),     QStringLiteral("svg"),
        QStringLiteral("math"),     QStringLiteral("template")};
    return dropped.contains(tag);
}

// The attributes a kept tag may carry.
QStringList AllowedAttributes(const QString& tag) {
    if (tag == QLatin1String("font"))
        return {QStringLiteral("color"), QStringLiteral("size"), QStringLiteral("face")};
    if (tag == QLatin1String("img"))
        return {QStringLiteral("src"), QStringLiteral("width"), QStringLiteral("height"),
                QStringLiteral("alt")};
    if (tag == QLatin1String("p")) return {QStringLiteral("align")};
    return {};
}

bool IsKept(const QString& tag) {
    static const QStringList kept{QStringLiteral("b"),   QStringLiteral("i"),      QStringLiteral("u"),
                                  QStringLiteral("em"),  QStringLiteral("strong"), QStringLiteral("br"),
                                  QStringLiteral("p"),   QStringLiteral("font"),   QStringLiteral("span"),
                                  QStringLiteral("div"), QStringLiteral("img")};
    return kept.contains(tag);
}

bool SafeValue(const QString& attribute, const QString& value) {
    const QString v = value.trimmed().toLower();
    if (attribute == QLatin1String("src"))
        return v.startsWith(QLatin1String("http://")) || v.startsWith(QLatin1String("https://")) ||
               v.startsWith(QLatin1String("data:image/"));
    static const QRegularExpression plain(QStringLiteral("^[#0-9a-z ,+\\-\\.%\\p{L}]*$"));
    return plain.match(v).hasMatch();
}

QString KeptTag(const QString& tag, bool closing, const QString& attributes) {
    if (closing)
        return tag == QLatin1String("br") || tag == QLatin1String("img") ? QString()
                                                                         : QStringLiteral("</") + tag + u'>';
    QString out = u'<' + tag;
    static const QRegularExpression attribute(
        QStringLiteral("([A-Za-z_:][-A-Za-z0-9_:.]*)\\s*(?:=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s\"'>]+)))?"));
    const QStringList allowed = AllowedAttributes(tag);
    for (auto it = attribute.globalMatch(attributes); it.hasNext();) {
        const auto m = it.next();
        const QString name = m.captured(1).toLower();
        const QString value = m.captured(2) + m.captured(3) + m.captured(4);
        if (!allowed.contains(name) || !SafeValue(name, value)) continue;
        out += u' ' + name + QStringLiteral("=\"") + value.toHtmlEscaped() + u'"';
    }
    return out + u'>';
}

QString NumberPart(const QString& number) {
    QString kept;
    for (const QChar c : number)
        if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'-')
            kept += c;
    return kept;
}

}  // namespace

QString SanitizeBoardHtml(const QString& html) {
    static const QRegularExpression token(
        QStringLiteral("<!--.*?-->|<\\s*(/?)\\s*([A-Za-z][A-Za-z0-9]*)([^>]*)>|<[!?][^>]*>"),
        QRegularExpression::DotMatchesEverythingOption);
    QString out;
    QString skipping;  // the tag whose content is being dropped
    qsizetype at = 0;
    for (auto it = token.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (skipping.isEmpty()) {
            QString text = html.mid(at, m.capturedStart() - at);
            out += text.replace(u'<', QStringLiteral("&lt;")).replace(u'>', QStringLiteral("&gt;"));
        }
        at = m.capturedEnd();
        const QString tag = m.captured(2).toLower();
        if (tag.isEmpty()) continue;  // comment, doctype, processing instruction
        const bool closing = !m.captured(1).isEmpty();
        if (!skipping.isEmpty()) {
            if (closing && tag == skipping) skipping.clear();
            continue;
        }
        if (IsDroppedWithContent(tag)) {
            if (!closing && !m.captured(3).trimmed().endsWith(u'/')) skipping = tag;
            continue;
        }
        if (IsKept(tag)) out += KeptTag(tag, closing, m.captured(3));
    }
    if (skipping.isEmpty()) {
        QString text = html.mid(at);
        out += text.replace(u'<', QStringLiteral("&lt;")).replace(u'>', QStringLiteral("&gt;"));
    }
    return out;
}

QString BoardMessageHtml(const QTextDocument& document) {
    QStringList lines;
    bool anything = false;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString line;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid()) continue;
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat()) {
                const QString src = format.toImageFormat().name();
                if (SafeValue(QStringLiteral("src"), src)) {
                    line += QStringLiteral("<IMG src=\"") + src.toHtmlEscaped() + QStringLiteral("\">");
                    anything = true;
                }
                continue;
            }
            QString text = fragment.text();
            if (!text.trimmed().isEmpty()) anything = true;
            text = text.toHtmlEscaped();
            text.replace(QChar(QChar::LineSeparator), QStringLiteral("<BR>"));
            text.replace(QStringLiteral("  "), QStringLiteral("&nbsp; "));
            if (format.fontUnderline()) text = QStringLiteral("<U>") + text + QStringLiteral("</U>");
            if (format.fontItalic()) text = QStringLiteral("<I>") + text + QStringLiteral("</I>");
            if (format.fontWeight() >= QFont::Bold)
                text = QStringLiteral("<B>") + text + QStringLiteral("</B>");
            line += text;
        }
        lines << line;
    }
    if (!anything) return {};
    // Blank lines at either end are not part of what was written.
    while (!lines.isEmpty() && lines.first().trimmed().isEmpty()) lines.removeFirst();
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) lines.removeLast();
    return lines.join(QStringLiteral("<BR>"));
}

QString BoardLogEntry(const QString& sender, const QString& stamp, const QString& body) {
    const qsizetype blank = stamp.indexOf(u' ');
    const QString time = blank >= 0 ? stamp.mid(blank + 1) : stamp;
    return QStringLiteral("<P><FONT color=#008000 size=2>") + sender.toHtmlEscaped() + u' ' +
           time.toHtmlEscaped() + QStringLiteral("</FONT><BR>") + body;
}

QString BoardLogPath(const QString& partnerNo, const QString& ownNo) {
    return GetAppPath() + u'x' + NumberPart(partnerNo) + NumberPart(ownNo) + QStringLiteral(".htm");
}

QString BoardLogPage(const QString& entries) {
    return QStringLiteral(
               "<HTML><HEAD><META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
               "</HEAD><BODY>") +
           entries + QStringLiteral("</BODY></HTML>");
}
