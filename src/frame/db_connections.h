#pragma once

#include <QString>

#include "platform/dao/dao_database.h"

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

// The picture and page files attached to the members database for one operation, under aliases of the
// caller's, so that one commit covers all three book files.
class AttachedSideFiles : public dao::AttachGuard {
public:
    AttachedSideFiles(dao::Database& db, const QString& imageAlias, const QString& storyAlias);
    QString Pictures() const { return pictures_; }  // the picture table as reached from db
    QString Pages() const { return pages_; }        // the page table as reached from db

private:
    QString pictures_;
    QString pages_;
};
