#include "store/picture_refs.h"

#include <QDir>
#include <QStringList>

#include "platform/bookdir.h"

namespace picture_refs {

namespace {

const QString kPathMarker = QStringLiteral("_app.path_");
const QString kBackgroundMarker = QStringLiteral("_app.bg_");

constexpr int kDownloadTimeoutMs = 10000;
constexpr qint64 kDownloadMaxBytes = 12 * 1024 * 1024 - 1;
int g_downloadTimeoutMs = kDownloadTimeoutMs;
qint64 g_downloadMaxBytes = kDownloadMaxBytes;

// The folders and file name of a path, with "." and empty parts dropped and ".." taking back one
// level but never more than the path has: whatever the text, the result stays below its root.
QStringList ConfinedSegments(const QString& path) {
    QStringList kept;
    const QStringList parts =
        QString(path).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'));
    for (const QString& part : parts) {
        if (part.isEmpty() || part == QLatin1String(".")) continue;
        if (part == QLatin1String("..")) {
            if (!kept.isEmpty()) kept.removeLast();
            continue;
        }
        kept << part;
    }
    return kept;
}

// A Windows drive ("C:") in front of a path from an older book stands for no folder here.
QString WithoutDrive(const QString& path) {
    if (path.size() >= 2 && path[1] == QLatin1Char(':') && path[0].isLetter()) return path.mid(2);
    return path;
}

QString FileBelowTemp(const QStringList& segments) {
    if (segments.isEmpty()) return QString();
    return TempFolder() + QLatin1Char('/') + segments.join(QLatin1Char('/'));
}

// The path part of a stored reference, without its placeholder.
QString PathAfterMarker(const QString& path) {
    if (path.startsWith(kPathMarker)) return path.mid(kPathMarker.size());
    if (path.startsWith(kBackgroundMarker)) return path.mid(kBackgroundMarker.size());
    return WithoutDrive(path);
}

bool IsReferenceEnd(QChar c, QChar quote) {
    if (!quote.isNull()) return c == quote || c == u'<' || c == u'>' || c == u'\r' || c == u'\n';
    return c.isSpace() || c == u'"' || c == u'\'' || c == u'<' || c == u'>';
}

}  // namespace

QString TempFolder() {
    return GetAppPath() + QStringLiteral("temp");
}

QString ChmImagesFolder() {
    return GetAppPath() + QStringLiteral("chm/images/");
}

bool IsWebAddress(const QString& address) {
    const qsizetype cut = address.indexOf(QLatin1String("//"));
    if (cut < 0) return false;
    const QStringView scheme = QStringView(address).left(cut);
    return scheme == QLatin1String("http:") || scheme == QLatin1String("https:");
}

QString DownloadTarget(const QString& address) {
    const qsizetype cut = address.indexOf(QLatin1String("//"));
    if (cut < 0) return QString();
    const QStringList parts = address.mid(cut + 2).split(QLatin1Char('/'));
    if (parts.size() < 2) return QString();  // a host alone names no file
    const QString name = parts.last();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return QString();
    // The host is dropped: the same picture from a mirror lands in the same file.
    return FileBelowTemp(ConfinedSegments(parts.mid(1).join(QLatin1Char('/'))));
}

QString StoredReference(const QString& source, bool background) {
    const qsizetype cut = source.indexOf(QLatin1String("//"));
    if (cut < 0) return QString();
    QString scheme = source.left(cut);
    QString path;
    if (IsWebAddress(source)) {
        path = DownloadTarget(source);
        scheme = QStringLiteral("file:");
    } else {
        path = QDir::cleanPath(ToLocalSeparators(source.mid(cut + 2)));
    }
    const QString temp = TempFolder() + QLatin1Char('/');
    const QString below = path.startsWith(temp) ? path.mid(temp.size()) : WithoutDrive(path);
    const QStringList segments = ConfinedSegments(below);
    if (segments.isEmpty()) return QString();
    return scheme + QStringLiteral("//") + (background ? kBackgroundMarker : kPathMarker) +
           QLatin1Char('\\') + segments.join(QLatin1Char('\\'));
}

QString PictureFile(const QString& storedReference) {
    const qsizetype cut = storedReference.indexOf(QLatin1String("//"));
    if (cut < 0) return QString();
    return FileBelowTemp(ConfinedSegments(PathAfterMarker(storedReference.mid(cut + 2))));
}

QString PictureBelowTemp(const QString& storedReference) {
    const qsizetype cut = storedReference.indexOf(QLatin1String("//"));
    if (cut < 0) return QString();
    return ConfinedSegments(PathAfterMarker(storedReference.mid(cut + 2))).join(QLatin1Char('/'));
}

QString ResolvePageReferences(const QString& text) {
    QString out;
    out.reserve(text.size() + 64);
    qsizetype from = 0;
    while (true) {
        const qsizetype atPath = text.indexOf(kPathMarker, from);
        const qsizetype atBackground = text.indexOf(kBackgroundMarker, from);
        qsizetype at = atPath;
        if (at < 0 || (atBackground >= 0 && atBackground < at)) at = atBackground;
        if (at < 0) break;
        const QString& marker = at == atPath ? kPathMarker : kBackgroundMarker;

        // A quoted attribute may hold spaces ("My Pictures"); an unquoted one ends at the first blank.
        QChar quote;
        const qsizetype scheme = at - 7;
        if (scheme >= 1 && text.mid(scheme, 7) == QLatin1String("file://") &&
            (text[scheme - 1] == u'"' || text[scheme - 1] == u'\''))
            quote = text[scheme - 1];
        qsizetype end = at + marker.size();
        while (end < text.size() && !IsReferenceEnd(text[end], quote)) ++end;

        const QStringList segments = ConfinedSegments(text.mid(at + marker.size(), end - at - marker.size()));
        out += text.mid(from, at - from);
        out += segments.isEmpty() ? TempFolder() : FileBelowTemp(segments);
        from = end;
    }
    out += text.mid(from);
    return out;
}

int DownloadTimeoutMs() {
    return g_downloadTimeoutMs;
}

void SetDownloadTimeoutMs(int ms) {
    g_downloadTimeoutMs = ms;
}

qint64 DownloadMaxBytes() {
    return g_downloadMaxBytes;
}

void SetDownloadMaxBytes(qint64 bytes) {
    g_downloadMaxBytes = bytes;
}

}  // namespace picture_refs
