#include "frame/db_connections.h"

#include <QFileInfo>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "platform/bookdir.h"

QString DataDbPath() { return GetAppPath() + QStringLiteral("zpdata.ctr"); }
QString ImageDbPath() { return GetAppPath() + QStringLiteral("zpimage.ctr"); }
QString DescriptDbPath() { return GetAppPath() + QStringLiteral("descript.ctr"); }

void OpenDataDb(const QString& path, const QString& password) {
    App().DataDb = dao::Database::Open(path, password);
}

void OpenImageDb(const QString& path, const QString& password) {
    dao::Database& db = App().ImageDb;
    db = dao::Database::Open(path, password);
    // Books made before the index get it the first time the file is opened, while building it (which
    // reads every picture) takes a moment; a larger file, or one that cannot take it then (busy, full
    // disk), is read as before.
    const QString index = book_schema::PicturePathIndex();
    if (db.Done(index)) return;
    db.NoteDone(index);
    constexpr qint64 kMostBytesToIndex = qint64(256) << 20;
    if (QFileInfo(path).size() > kMostBytesToIndex) return;
    try {
        db.Execute(index);
    } catch (const dao::DaoError&) {
    }
}

void OpenDescriptDb(const QString& path, const QString& password) {
    App().DescriptDb = dao::Database::Open(path, password);
}

qint32 TryOpenDbExclusive(const QString& path, const QString& password, QString* description) {
    App().ExclusiveDb.Close();
    try {
        App().ExclusiveDb = dao::Database::Open(path, password, true);
        return 0;
    } catch (const dao::DaoError& e) {
        if (description) *description = e.Description();
        return e.Number();
    }
}

AttachedSideFiles::AttachedSideFiles(dao::Database& db, const QString& imageAlias, const QString& storyAlias)
    : dao::AttachGuard(db),
      pictures_(dao::QuoteIdent(imageAlias) + QStringLiteral(".\"imageylk\"")),
      pages_(dao::QuoteIdent(storyAlias) + QStringLiteral(".\"story\"")) {
    Attach(ImageDbPath(), imageAlias, BookDbPassword());
    Attach(DescriptDbPath(), storyAlias, BookDbPassword());
}
