#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// A file of the service's static root: update files, e-books, the public message page.
struct StaticFile {
    QString localPath;
    qint64 size = 0;
    QDateTime modified;  // UTC
    QByteArray contentType;
};

// The regular file that urlPath (decoded, starting with "/") names under root; nothing for a directory,
// a missing file, or a path that leads outside root ("..", links).
std::optional<StaticFile> FindStaticFile(const QString& root, const QString& urlPath);

// The path a request target's path names, decoded, when the target spells it as the program does (its
// URLs are made by QUrl: every byte that needs it percent-escaped in capitals, nothing else escaped) and it
// has no empty or dot segment and no trailing slash; nothing otherwise.
std::optional<QString> ExactStaticPath(const QByteArray& targetPath);

// What a Range header asks of a file of this size: the whole file (no header, or one this service does
// not serve: several ranges, another unit, nonsense, an empty file), a part (first to last, both
// included), or nothing the file holds (416). (The HTTP library itself answers 416 to a header it cannot
// read, before any of this.)
struct FileRange {
    enum Kind { Whole, Part, Unsatisfiable } kind = Whole;
    qint64 first = 0, last = 0;
};
FileRange RangeOf(const QByteArray& header, qint64 size);

// An HTTP date: "Sun, 06 Nov 1994 08:49:37 GMT".
QByteArray HttpDate(const QDateTime& when);
