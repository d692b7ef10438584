#pragma once

#include <QByteArray>
#include <QString>

#include <QStringList>

class AttachedSideFiles;
class Cls数据操作;

// One page file of a folder import, made into a member's stored page without the page editor.
namespace imported_page {

// The file's text by its encoding: a byte-order mark, else the character set its <meta> declares,
// else UTF-8 when the bytes are valid UTF-8, else GB18030.
QString Decode(const QByteArray& bytes);

// The page as it is kept: trimmed, its <head>, every <script> and every event handler cut out
// (page_scripts), every "background=" cut up to the end of its tag. A ".txt" file is plain text:
// escaped, its line breaks kept.
QString CleanText(const QString& text, bool plainText);

// Stores the file as the member's page, inside the caller's transaction with the picture and page
// files attached (side). Its pictures that lie inside rootFolder (relative ones resolved against the
// file's own folder) are stored with the member and referred to as stored pictures; every other address
// that would lead outside the book goes (outside_page). A file or picture that cannot be read is added to unread; false when the page itself could
// not be read (nothing stored).
bool Store(Cls数据操作& ops, const AttachedSideFiles& side, const QString& member, const QString& filePath,
           const QString& rootFolder, QStringList& unread);

}  // namespace imported_page
