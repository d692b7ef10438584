#include "pages/static_files.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace {

QByteArray ContentTypeOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("htm") || suffix == QLatin1String("html")) return "text/html; charset=utf-8";
    if (suffix == QLatin1String("txt")) return "text/plain; charset=utf-8";
    if (suffix == QLatin1String("css")) return "text/css";
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) return "image/jpeg";
    if (suffix == QLatin1String("png")) return "image/png";
    if (suffix == QLatin1String("gif")) return "image/gif";
    return "application/octet-stream";
}

}  // namespace

std::optional<StaticFile> FindStaticFile(const QString& root, const QString& urlPath) {
    if (root.isEmpty() || !urlPath.startsWith(QLatin1Char('/'))) return std::nullopt;
    // Old clients may write "\" between folders.
    QString relative = urlPath.mid(1);
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    for (const QString& part : relative.split(QLatin1Char('/')))
        if (part == QLatin1String("..")) return std::nullopt;

    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    if (canonicalRoot.isEmpty()) return std::nullopt;
    const QFileInfo info(QDir(canonicalRoot).filePath(relative));
    if (!info.isFile() || !info.isReadable()) return std::nullopt;
    const QString canonical = info.canonicalFilePath();
    if (!canonical.startsWith(canonicalRoot + QLatin1Char('/'))) return std::nullopt;

    return StaticFile{canonical, info.size(), info.lastModified().toUTC(), ContentTypeOf(canonical)};
}

QByteArray HttpDate(const QDateTime& when) {
    return QLocale::c().toString(when.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toLatin1();
}
