#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"
#include "platform/dao/dao_database.h"
#include "store/package_format.h"

// A package as a hostile family would send it: its root 甲 and his son 乙 each have a page that names
// addresses on a listener and a secret file of this computer (as a picture, background, medium and
// link, with "file:", absolute and climbing out of the book's folder), beside the one picture 甲's
// package brings (own.gif).
namespace hostile_package {

inline const QByteArray kSecret = "SECRET-0815-KEY";
inline const QByteArray kOwnPicture = "GIF89a-own-picture";

inline QString Page(const QString& listener, const QString& secret) {
    const QString climbing = QStringLiteral("../../../../../../../..") + secret;
    return QStringLiteral(
               "<html><head></head><body background=\"%1bg.jpg\"><p>他的生平 his life</p>"
               "<img src=\"file://_app.path_\\own.gif\"><img src=\"%1a.jpg\"><img src=\"file://%2\">"
               "<img src=\"%2\"><embed src=\"%2\"><embed src=\"%1m.mp3\"><a href=\"file://%2\">l</a>"
               "<a href=\"%2\">m</a><a href=\"%3\">n</a><img src=\"_app.path_\\..\\..\\..\\%3\">"
               "</body></html>")
        .arg(listener, secret, climbing);
}

// Writes the secret into folder and the package to path; the package takes no password.
inline void Write(const QString& path, const QString& folder, const QString& listener) {
    const QString secret = QDir(folder).filePath(QStringLiteral("secret.key"));
    QFile file(secret);
    file.open(QIODevice::WriteOnly);
    file.write(kSecret);
    file.close();
    QFile::remove(path);
    const package_format::Keys keys = package_format::MakeKeys(QString());
    dao::Database package = dao::Database::Create(path, QString());
    for (const QString& sql : package_format::CreateStatements()) package.Execute(sql);
    package.Execute(
        QStringLiteral("INSERT INTO \"本姓成员\" (filial, father) VALUES (?, ''), (?, ?)"),
        {EncodeText(QStringLiteral("甲"), keys.second), EncodeText(QStringLiteral("乙"), keys.second),
         EncodeText(QStringLiteral("甲"), keys.first)});
    for (const QString& member : {QStringLiteral("甲"), QStringLiteral("乙")})
        package.Execute(QStringLiteral("INSERT INTO story (filial, Hisdescript) VALUES (?, ?)"),
                        {member, EncodeText(Page(listener, secret), StoreKey())});
    package.Execute(QStringLiteral("INSERT INTO imageylk (filial, myimage, imagepath) VALUES (?, ?, ?)"),
                    {QStringLiteral("甲"), kOwnPicture,
                     DecodeText(QStringLiteral("file://_app.path_\\own.gif"), StoreKey())});
    package.Close();
    dao::ReleaseAllIdleConnections();
}

// Whether any file below the folder holds the secret.
inline bool FolderHolds(const QString& folder, const QByteArray& bytes) {
    for (const QFileInfo& entry :
         QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (entry.isDir()) {
            if (FolderHolds(entry.filePath(), bytes)) return true;
            continue;
        }
        QFile file(entry.filePath());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(bytes)) return true;
    }
    return false;
}

}  // namespace hostile_package
