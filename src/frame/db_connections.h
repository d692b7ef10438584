#pragma once

#include <QString>

// Paths of the three book files in the book folder.
QString DataDbPath();     // zpdata.ctr: members, work, look-up and settings tables
QString ImageDbPath();    // zpimage.ctr: pictures
QString DescriptDbPath(); // descript.ctr: page texts

// Open a book file shared and read-write into its handle. Errors reach the caller as dao::DaoError,
// and the handle keeps its previous value.
void OpenDataDb(const QString& path, const QString& password);
void OpenImageDb(const QString& path, const QString& password);
void OpenDescriptDb(const QString& path, const QString& password);

// Opens path exclusively into ExclusiveDb; 0 on success, else the engine's error number
// (3024 missing, 3031 wrong password, 3045 in use), and ExclusiveDb is then empty; the engine's
// text of the error goes to description when one is given.
qint32 TryOpenDbExclusive(const QString& path, const QString& password, QString* description = nullptr);
