#include "pages/static_files.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

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

std::optional<QString> ExactStaticPath(const QByteArray& targetPath) {
    const QString decoded = QUrl::fromPercentEncoding(targetPath);
    QUrl spelled;
    spelled.setPath(decoded, QUrl::DecodedMode);
    if (!decoded.startsWith(QLatin1Char('/')) || spelled.path(QUrl::FullyEncoded).toUtf8() != targetPath)
        return std::nullopt;
    const QStringList segments = decoded.mid(1).split(QLatin1Char('/'));
    for (const QString& segment : segments)
        if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String("..") ||
            segment.contains(QLatin1Char('\\')))
            return std::nullopt;
    return decoded;
}

namespace {

// A whole number of at most 18 digits, nothing else; -1 otherwise.
qint64 Digits(const QByteArray& text) {
    if (text.isEmpty() || text.size() > 18) return -1;
    for (const char c : text)
        if (c < '0' || c > '9') return -1;
    return text.toLongLong();
}

}  // namespace

FileRange RangeOf(const QByteArray& header, qint64 size) {
    const QByteArray spec = header.trimmed();
    if (size <= 0 || !spec.toLower().startsWith("bytes=")) return {};
    const QByteArray range = spec.mid(6).trimmed();
    const qsizetype dash = range.indexOf('-');
    if (dash < 0 || range.indexOf('-', dash + 1) >= 0 || range.contains(',')) return {};
    const QByteArray from = range.left(dash).trimmed(), to = range.mid(dash + 1).trimmed();
    if (from.isEmpty()) {
        // The last n bytes.
        const qint64 n = Digits(to);
        if (n < 0) return {};
        if (n == 0) return {FileRange::Unsatisfiable};
        return {FileRange::Part, std::max<qint64>(0, size - n), size - 1};
    }
    const qint64 first = Digits(from);
    const qint64 last = to.isEmpty() ? std::max(first, size - 1) : Digits(to);
    if (first < 0 || last < 0 || last < first) return {};
    if (first >= size) return {FileRange::Unsatisfiable};
    return {FileRange::Part, first, std::min(last, size - 1)};
}

QByteArray HttpDate(const QDateTime& when) {
    return QLocale::c().toString(when.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toLatin1();
}
