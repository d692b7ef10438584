#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace dao {
class Database;
}

// The layout of a book package and the concealment of its names, pages and pictures. The concealment
// only keeps the contents from being read at a glance; the package's database password protects it.
namespace package_format {

// The four data tables of a package, named as in the book files.
extern const QString kMembers;   // 本姓成员
extern const QString kKeywords;  // pageindx
extern const QString kPictures;  // imageylk
extern const QString kPages;     // story

// The data tables and the reader's four empty staging tables, with their columns spelled out.
QStringList CreateStatements();

// Whether the file holds the four data tables: a database without them is no package of this program.
bool HasDataTables(dao::Database& db);
// Whether the file is a database that takes no password (its header is in the clear).
bool IsPlainDatabase(const QString& path);

// The two package keys: the strong-password digest's key (when there is a digest) in front of the
// key of the built-in server text (first) or of the settings phrase (second).
struct Keys {
    QString first;
    QString second;
};
Keys MakeKeys(const QString& digest);

// Bytes 0 to 1203 of a picture exclusive-or the first key's digits; applying it twice gives the bytes back.
void TogglePicture(QByteArray& bytes, const QString& firstKey);
// The same on a stored value, as the copies of whole rows take it: Null stays Null.
QVariant ToggledPicture(const QVariant& stored, const QString& firstKey);

}  // namespace package_format
