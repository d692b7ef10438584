#include "store/outside_page.h"

#include <QRegularExpression>
#include <QSet>
#include <QUrl>

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

// Attributes whose value is an address a browser loads, or the page save follows.
bool IsAddressAttribute(const QString& name) {
    static const QSet<QString> names{
        QStringLiteral("src"),      QStringLiteral("href"),       QStringLiteral("background"),
        QStringLiteral("data"),     QStringLiteral("poster"),     QStringLiteral("srcset"),
        QStringLiteral("imagesrcset"), QStringLiteral("action"),  QStringLiteral("formaction"),
        QStringLiteral("codebase"), QStringLiteral("archive"),    QStringLiteral("code"),
        QStringLiteral("longdesc"), QStringLiteral("cite"),       QStringLiteral("dynsrc"),
        QStringLiteral("lowsrc"),   QStringLiteral("manifest"),   QStringLiteral("icon"),
        QStringLiteral("ping"),     QStringLiteral("classid"),    QStringLiteral("profile"),
        QStringLiteral("usemap")};
    return names.contains(name) || name.endsWith(QLatin1String(":href")) ||
           name.endsWith(QLatin1String(":src"));
}

// Attributes read as style: a style, and the drawing attributes of pictures drawn in the page.
bool IsStyleAttribute(const QString& name) {
    static const QSet<QString> names{QStringLiteral("style"),       QStringLiteral("fill"),
                                     QStringLiteral("stroke"),      QStringLiteral("filter"),
                                     QStringLiteral("mask"),        QStringLiteral("clip-path"),
                                     QStringLiteral("marker"),      QStringLiteral("marker-start"),
                                     QStringLiteral("marker-mid"),  QStringLiteral("marker-end"),
                                     QStringLiteral("cursor")};
    return names.contains(name);
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

// The file in the temp folder a placeholder address stands for; "" when the address is none, or when
// it would climb out of its folder read as a relative path (a compiler of e-books reads it so).
QString PlaceholderFile(const QString& address) {
    QString rest = address;
    if (rest.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        rest.remove(0, 5);
        while (rest.startsWith(QLatin1Char('/')) || rest.startsWith(QLatin1Char('\\'))) rest.remove(0, 1);
    }
    if (!rest.startsWith(QLatin1String("_app.path_")) && !rest.startsWith(QLatin1String("_app.bg_")))
        return QString();
    static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
    for (const QString& part : rest.split(separators)) {
        const QString plain = QUrl::fromPercentEncoding(part.toUtf8());
        if (part == QLatin1String(".") || part == QLatin1String("..") || plain == QLatin1String(".") ||
            plain == QLatin1String(".."))
            return QString();
    }
    return picture_refs::PictureFile(QStringLiteral("file://") + rest);
}

bool KeepsAddress(const QString& tag, const QString& name, const QString& address,
                  const QSet<QString>& carried) {
    if (address.isEmpty() || address.startsWith(QLatin1Char('#'))) return true;
    const QString scheme = SchemeOf(address);
    if (scheme == QLatin1String("data") || scheme == QLatin1String("mailto")) return true;
    if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) && name == QLatin1String("href") &&
        (tag == QLatin1String("a") || tag == QLatin1String("area")))
        return true;
    const QString file = PlaceholderFile(address);
    return !file.isEmpty() && carried.contains(file);
}

bool Cuts(const Attribute& attribute, const QSet<QString>& carried) {
    if (!attribute.hasValue) return false;
    const QString name = attribute.name.toString().toLower();
    const QString tag = attribute.tag.toString().toLower();
    if (IsAddressAttribute(name)) return !KeepsAddress(tag, name, Address(attribute.value), carried);
    if (IsStyleAttribute(name)) return StyleNamesResource(tag_attributes::DecodedValue(attribute.value));
    // A refresh leads the view to an address.
    if (tag == QLatin1String("meta") && name == QLatin1String("content"))
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
        if (const QString file = picture_refs::PictureFile(reference); !file.isEmpty()) carried.insert(file);
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
