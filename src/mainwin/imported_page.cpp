#include "mainwin/imported_page.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

#include "store/data_ops.h"
#include "store/outside_page.h"
#include "store/page_scripts.h"
#include "store/picture_refs.h"

namespace imported_page {

namespace {

// How far into the file a <meta> declaration is looked for.
constexpr qsizetype kMetaSearchBytes = 4096;

QString DecodeWith(const char* name, const QByteArray& bytes) {
    QStringDecoder decoder(name);
    return decoder.isValid() ? QString(decoder.decode(bytes)) : QString();
}

// The character set named by a <meta> near the start, "" when none.
QByteArray DeclaredCharset(const QByteArray& bytes) {
    static const QRegularExpression meta(
        QStringLiteral("<meta[^>]*charset\\s*=\\s*[\"']?\\s*([a-z0-9_:.\\-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = meta.match(QString::fromLatin1(bytes.left(kMetaSearchBytes)));
    if (!m.hasMatch()) return {};
    QByteArray name = m.captured(1).toLatin1().toLower();
    // GB18030 reads every GB2312 and GBK text, and pages that say gb2312 often hold GBK characters.
    if (name == "gb2312" || name == "gbk" || name == "x-gbk" || name == "cp936") name = "GB18030";
    return name;
}

QString Escaped(const QString& text) {
    QString html = text.toHtmlEscaped();
    html.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    html.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    html.replace(QLatin1Char('\n'), QStringLiteral("<br>\r\n"));
    return html;
}

bool Inside(const QString& path, const QString& folder) {
    return path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

// The picture file a src value names, "" when it is not a file inside the root folder: addresses on
// the web, data and anything outside stay as the page has them.
QString PictureInside(const QString& src, const QString& fileFolder, const QString& canonicalRoot) {
    QString value = src.trimmed();
    if (value.isEmpty() || value.startsWith(QLatin1String("data:"), Qt::CaseInsensitive) ||
        value.startsWith(QLatin1String("//")))
        return QString();
    QStringList candidates;
    if (value.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        candidates << QUrl(value).toLocalFile();
    } else {
        if (value.contains(QLatin1String("://"))) return QString();
        value.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const qsizetype cut = value.indexOf(QRegularExpression(QStringLiteral("[?#]")));
        if (cut >= 0) value.truncate(cut);
        // Written as it is named, or percent-encoded as an address.
        candidates << QDir(fileFolder).filePath(value)
                   << QDir(fileFolder).filePath(QUrl::fromPercentEncoding(value.toUtf8()));
    }
    for (const QString& candidate : candidates) {
        const QFileInfo file(candidate);
        if (!file.isFile()) continue;
        const QString real = file.canonicalFilePath();
        if (Inside(real, canonicalRoot)) return real;
    }
    return QString();
}

// Every picture of the page that is a file in the folder is stored with the member, and its src
// refers to the stored copy.
QString StorePictures(Cls数据操作& ops, const AttachedSideFiles& side, const QString& member,
                      const QString& html, const QString& fileFolder, const QString& canonicalRoot,
                      QStringList& unread, QStringList& storedReferences) {
    static const QRegularExpression image(QStringLiteral("<img\\b[^>]*>"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression source(
        QStringLiteral("(\\bsrc\\s*=\\s*)(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"),
        QRegularExpression::CaseInsensitiveOption);
    QHash<QString, QString> stored;  // file -> its stored reference, "" when it could not be stored
    QString out;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator tags = image.globalMatch(html); tags.hasNext();) {
        const QRegularExpressionMatch tag = tags.next();
        QString text = tag.captured();
        const QRegularExpressionMatch src = source.match(text);
        if (src.hasMatch()) {
            int group = 4;  // the value in double quotes, in single quotes or bare
            if (src.capturedStart(2) >= 0)
                group = 2;
            else if (src.capturedStart(3) >= 0)
                group = 3;
            const QString file = PictureInside(src.captured(group), fileFolder, canonicalRoot);
            if (!file.isEmpty()) {
                if (!stored.contains(file)) {
                    const QString address = QStringLiteral("file://") + file;
                    const bool saved = ops.SaveAnyImageIn(side, address, member);
                    if (!saved && !unread.contains(file)) unread << file;
                    stored.insert(file, saved ? picture_refs::StoredReference(address, false) : QString());
                    if (saved) storedReferences << stored.value(file);
                }
                if (const QString reference = stored.value(file); !reference.isEmpty())
                    text.replace(src.capturedStart(), src.capturedLength(),
                                 src.captured(1) + QLatin1Char('"') + reference + QLatin1Char('"'));
            }
        }
        out += html.mid(from, tag.capturedStart() - from) + text;
        from = tag.capturedEnd();
    }
    return out + html.mid(from);
}

}  // namespace

QString Decode(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) return DecodeWith("UTF-8", bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE")) return DecodeWith("UTF-16LE", bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF")) return DecodeWith("UTF-16BE", bytes.mid(2));
    if (const QByteArray declared = DeclaredCharset(bytes); !declared.isEmpty()) {
        QStringDecoder decoder(declared.constData());
        if (decoder.isValid()) return decoder.decode(bytes);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return DecodeWith("GB18030", bytes);
}

QString CleanText(const QString& text, bool plainText) {
    QString page = text.trimmed();
    if (plainText) return Escaped(page);
    static const QRegularExpression head(
        QStringLiteral("<head\\b.*?</head\\s*>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression background(QStringLiteral("background=[^>]*"),
                                               QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = head.match(page);
    if (m.hasMatch()) page.remove(m.capturedStart(), m.capturedLength());
    page.remove(background);
    // Last, so that no cut before it can make what would run out of the text around it.
    return page_scripts::WithoutScripts(page);
}

bool Store(Cls数据操作& ops, const AttachedSideFiles& side, const QString& member, const QString& filePath,
           const QString& rootFolder, QStringList& unread) {
    QFile file(filePath);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        unread << filePath;
        return false;
    }
    const QFileInfo info(filePath);
    QString html =
        CleanText(Decode(bytes), info.suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0);
    const QString root = QFileInfo(rootFolder).canonicalFilePath();
    QStringList pictures;
    if (!root.isEmpty())
        html = StorePictures(ops, side, member, html, info.absolutePath(), root, unread, pictures);
    // What the page names beyond its stored pictures is not the user's choice: nothing leads outside.
    html = outside_page::Cleaned(html, pictures);
    if (!html.contains(
            QRegularExpression(QStringLiteral("<body\\b"), QRegularExpression::CaseInsensitiveOption)))
        html = QStringLiteral("<html><body>") + html + QStringLiteral("</body></html>");
    ops.SaveAnyHtmlIn(side, html, member);
    return true;
}

}  // namespace imported_page
