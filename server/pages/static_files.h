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

// An HTTP date: "Sun, 06 Nov 1994 08:49:37 GMT".
QByteArray HttpDate(const QDateTime& when);
