#include "store/outside_page.h"

#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <initializer_list>

#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"
#include "platform/dao/dao_database.h"
#include "platform/vbcompat.h"
#include "store/page_scripts.h"
#include "store/picture_refs.h"
#include "store/tag_attributes.h"

namespace outside_page {

namespace {

using tag_attributes::Attribute;

bool IsOneOf(QStringView name, std::initializer_list<QStringView> names) {
    for (const QStringView n : names)
        if (n.size() == name.size() && n.compare(name, Qt::CaseInsensitive) == 0) return true;
    return false;
}

// Attributes whose value is an address a browser loads, or the page save follows.
bool IsAddressAttribute(QStringView name) {
    return IsOneOf(name, {u"src", u"href", u"background", u"data", u"poster", u"srcset", u"imagesrcset",
                          u"action", u"formaction", u"codebase", u"archive", u"code", u"longdesc", u"cite",
                          u"dynsrc", u"lowsrc", u"manifest", u"icon", u"ping", u"classid", u"profile",
                          u"usemap"}) ||
           name.endsWith(u":href", Qt::CaseInsensitive) || name.endsWith(u":src", Qt::CaseInsensitive);
}

// Attributes read as style: a style, and the drawing attributes of pictures drawn in the page.
bool IsStyleAttribute(QStringView name) {
    return IsOneOf(name, {u"style", u"fill", u"stroke", u"filter", u"mask", u"clip-path", u"marker",
                          u"marker-start", u"marker-mid", u"marker-end", u"cursor"});
}

// Style text that may load something: a url(), an image function, an import, or an escape, which can
// spell any of them.
bool StyleNamesResource(const QString& style) {
    const QString lower = style.toLower();
    for (const char* mark :
         {"url(", "image(", "image-set(", "cross-fade(", "element(", "src(", "@import", "expression(", "\\"})
        if (lower.contains(QLatin1String(mark))) return true;
    return false;
}

// An address as a browser takes it: references decoded, blanks and controls at its ends and line
// breaks and tabs inside dropped.
QString Address(QStringView value) {
    QString address = tag_attributes::DecodedValue(value);
    address.remove(QLatin1Char('\t')).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    qsizetype from = 0;
    qsizetype to = address.size();
    while (from < to && address[from].unicode() <= 0x20) ++from;
    while (to > from && address[to - 1].unicode() <= 0x20) --to;
    return address.mid(from, to - from);
}

// The scheme in lower case ("" for none): letters first, then letters, digits, "+", "-", ".".
QString SchemeOf(const QString& address) {
    const qsizetype colon = address.indexOf(QLatin1Char(':'));
    if (colon <= 0 || !(address[0].unicode() < 0x80 && address[0].isLetter())) return QString();
    for (qsizetype i = 1; i < colon; ++i) {
        const QChar c = address[i];
        if (!(c.unicode() < 0x80 && (c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.')))
            return QString();
    }
    return address.left(colon).toLower();
}

// The file below the temp folder a placeholder address stands for; "" when the address is none, or when
// it would climb out of its folder read as a relative path (a compiler of e-books reads it so).
QString PlaceholderFile(const QString& address) {
    QStringView rest(address);
    if (rest.startsWith(u"file:", Qt::CaseInsensitive)) {
        rest = rest.mid(5);
        while (rest.startsWith(u'/') || rest.startsWith(u'\\')) rest = rest.mid(1);
    }
    if (!rest.startsWith(u"_app.path_") && !rest.startsWith(u"_app.bg_")) return QString();
    const auto climbs = [](QStringView part) { return part == u"." || part == u".."; };
    for (qsizetype i = 0, from = 0; i <= rest.size(); ++i) {
        if (i < rest.size() && rest[i] != u'/' && rest[i] != u'\\') continue;
        const QStringView part = rest.mid(from, i - from);
        if (climbs(part) || (part.contains(u'%') && climbs(QUrl::fromPercentEncoding(part.toUtf8()))))
            return QString();
        from = i + 1;
    }
    return picture_refs::PictureBelowTemp(QStringLiteral("file://") + rest.toString());
}

bool KeepsAddress(const Attribute& attribute, const QString& address, const QSet<QString>& carried) {
    if (address.isEmpty() || address.startsWith(QLatin1Char('#'))) return true;
    const QString scheme = SchemeOf(address);
    if (scheme == QLatin1String("data") || scheme == QLatin1String("mailto")) return true;
    if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
        attribute.name.compare(u"href", Qt::CaseInsensitive) == 0 && IsOneOf(attribute.tag, {u"a", u"area"}))
        return true;
    const QString file = PlaceholderFile(address);
    return !file.isEmpty() && carried.contains(file);
}

bool Cuts(const Attribute& attribute, const QSet<QString>& carried) {
    if (!attribute.hasValue) return false;
    if (IsAddressAttribute(attribute.name)) return !KeepsAddress(attribute, Address(attribute.value), carried);
    if (IsStyleAttribute(attribute.name))
        return StyleNamesResource(tag_attributes::DecodedValue(attribute.value));
    // A refresh leads the view to an address.
    if (IsOneOf(attribute.tag, {u"meta"}) && IsOneOf(attribute.name, {u"content"}))
        return Address(attribute.value).contains(QLatin1String("url"), Qt::CaseInsensitive);
    return false;
}

// Style sheets that may load something go whole; one without its end tag takes the rest of the page.
QString WithoutLoadingStyleSheets(const QString& html) {
    static const QRegularExpression sheet(
        QStringLiteral("<style\\b[^>]*>(.*?)(?:</style\\s*>|$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QString out;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = sheet.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!StyleNamesResource(m.captured(1))) continue;
        out += QStringView(html).mid(from, m.capturedStart() - from);
        from = m.capturedEnd();
    }
    if (from == 0) return html;
    out += QStringView(html).mid(from);
    return out;
}

}  // namespace

QString Cleaned(const QString& html, const QStringList& pictures) {
    QSet<QString> carried;
    for (const QString& reference : pictures)
        if (const QString file = picture_refs::PictureBelowTemp(reference); !file.isEmpty())
            carried.insert(file);
    const auto cut = [&carried](const Attribute& attribute) { return Cuts(attribute, carried); };
    QString page = html;
    // Every step only cuts, and a cut can join the text around it into something to cut again: again
    // until a pass cuts nothing.
    for (qsizetype before = -1; before != page.size();) {
        before = page.size();
        page = page_scripts::WithoutScripts(page);
        page = WithoutLoadingStyleSheets(page);
        page = tag_attributes::WithoutAttributes(page, cut);
    }
    return page;
}

QString StoredCleaned(const QString& storedPage, const QStringList& storedPicturePaths) {
    QStringList pictures;
    for (const QString& path : storedPicturePaths) pictures << EncodeText(Trim(path), StoreKey());
    const QString plain = DecodeText(storedPage, StoreKey());
    const QString cleaned = Cleaned(plain, pictures);
    return cleaned == plain ? storedPage : EncodeText(cleaned, StoreKey());
}

QStringList StoredPicturePaths(dao::Database& db, const QString& table, const QString& filial) {
    QStringList paths;
    for (dao::Recordset rs = db.OpenRecordset(QStringLiteral("SELECT \"imagepath\" FROM ") + table +
                                                  QStringLiteral(" WHERE \"filial\" = ? ORDER BY rowid"),
                                              {filial});
         rs.hasRow(); rs.MoveNext())
        paths << rs.Text(QStringLiteral("imagepath"));
    return paths;
}

}  // namespace outside_page
