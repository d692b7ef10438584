#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <cstdio>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/dao_table.h"
#include "frame/db_connections.h"
#include "frame/progress.h"
#include "frame/text_scramble.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/dao_function.h"
#include "platform/dao/work_file_list.h"
#include "platform/interaction/do_events.h"
#include "store/data_ops.h"
#include "store/package_format.h"
#include "store/strong_password.h"

namespace {

using package_format::kKeywords;
using package_format::kMembers;
using package_format::kPages;
using package_format::kPictures;

// Aliases of the book files while attached to the package being written.
const QString kData = QStringLiteral("bk_data");
const QString kImages = QStringLiteral("bk_img");
const QString kStories = QStringLiteral("bk_stry");

QString Canonical(const QString& path) {
    const QFileInfo fi(path);
    if (fi.exists()) return fi.canonicalFilePath();
    const QString folder = fi.absoluteDir().canonicalPath();
    return folder.isEmpty() ? fi.absoluteFilePath() : folder + QLatin1Char('/') + fi.fileName();
}

// The book files and the files the program keeps beside them: a package written over one of them
// would destroy the book or a file the program is still working with.
bool IsProtectedTarget(const QString& path) {
    const QString target = Canonical(path);
    const QString folder = GetAppPath();
    for (const char* name :
         {"zpdata.ctr", "zpimage.ctr", "descript.ctr", "gmap.mdb", "gmap.tmp", "downtmp.mdb", "ltmp.htm"})
        if (Canonical(folder + QLatin1String(name)) == target) return true;
    return dao::IsFileInUse(target);
}

void RemoveFileSet(const QString& path) {
    dao::RemoveWorkFiles(path);
}

// The columns both tables have, in the package's order: tables are matched by name, never by position.
QStringList SharedColumns(dao::Database& db, const QString& table, const QString& sourceSchema) {
    if (!db.TableExists(table, sourceSchema))
        throw dao::DaoError(dao::kErrTableNotFound, QStringLiteral("找不到输入表或查询 (%1)。").arg(table));
    const QStringList source = db.FieldNames(table, sourceSchema);
    QStringList shared;
    for (const QString& column : db.FieldNames(table))
        if (source.contains(column, Qt::CaseInsensitive)) shared << column;
    return shared;
}

QString ColumnList(const QStringList& columns) {
    QStringList quoted;
    for (const QString& c : columns) quoted << dao::QuoteIdent(c);
    return quoted.join(QStringLiteral(", "));
}

QString Source(const QString& schema, const QString& table) {
    return dao::QuoteIdent(schema) + QLatin1Char('.') + dao::QuoteIdent(table);
}

// What a copied column holds in the package: the value itself, or an expression of it.
using Changes = QHash<QString, QString>;

QString SelectList(const QStringList& columns, const Changes& changes) {
    QStringList selected;
    for (const QString& c : columns) selected << changes.value(c.toLower(), dao::QuoteIdent(c));
    return selected.join(QStringLiteral(", "));
}

// Copies the branch's rows of one table inside the engine, in the given order; changed columns take
// their expression's value. Parameter ?1 is the branch number; the expressions' own parameters come
// after it, in `more`.
void CopyRows(dao::Database& db, const QString& table, const QString& schema, const QString& orderBy,
              qint32 branch, const Changes& changes = {}, const dao::Params& more = {}) {
    const QStringList columns = SharedColumns(db, table, schema);
    db.Execute(QStringLiteral("INSERT INTO main.") + dao::QuoteIdent(table) + QStringLiteral(" (") +
                   ColumnList(columns) + QStringLiteral(") SELECT ") + SelectList(columns, changes) +
                   QStringLiteral(" FROM ") + Source(schema, table) +
                   QStringLiteral(" WHERE \"flag\"=?1 ORDER BY ") + orderBy,
               dao::Params{branch} + more);
}

// The members go over in runs, with window messages between them: a large branch takes seconds.
qint32 CopyMembers(dao::Database& package, qint32 branch, const Changes& changes, const dao::Params& more) {
    constexpr int kMembersPerRun = 20000;
    const QStringList columns = SharedColumns(package, kMembers, kData);
    const QString copy =
        QStringLiteral("INSERT INTO main.") + dao::QuoteIdent(kMembers) + QStringLiteral(" (") +
        ColumnList(columns) + QStringLiteral(") SELECT ") + SelectList(columns, changes) +
        QStringLiteral(" FROM ") + Source(kData, kMembers) +
        QStringLiteral(" WHERE \"flag\"=?1 AND \"filial_id\">?%1 ORDER BY \"filial_id\" LIMIT %2")
            .arg(more.size() + 2)
            .arg(kMembersPerRun);
    const QString last =
        QStringLiteral("SELECT ifnull(max(\"filial_id\"), -9223372036854775807 - 1) FROM main.") +
        dao::QuoteIdent(kMembers);
    qint32 members = 0;
    for (;;) {
        const int copied =
            package.Execute(copy, dao::Params{branch} + more + dao::Params{package.Scalar(last)});
        members += copied;
        if (copied < kMembersPerRun) return members;
        DoEvents();
    }
}

// Writes the whole package into the file at part, attached book files as the source; throws on failure.
qint32 WritePackage(const QString& part, const QString& password, const QString& rootName, qint32 branch,
                    const QString& digest) {
    dao::Database package = dao::Database::Create(part, password);
    for (const QString& sql : package_format::CreateStatements()) package.Execute(sql);
    package.Attach(DataDbPath(), kData, BookDbPassword());
    package.Attach(ImageDbPath(), kImages, BookDbPassword());
    package.Attach(DescriptDbPath(), kStories, BookDbPassword());

    const package_format::Keys keys = package_format::MakeKeys(digest);
    const bool strong = !digest.isEmpty();
    // Null stays Null: it is not a name, and the reader leaves it as it is.
    const dao::SqlFunction conceal(package, QStringLiteral("qz_conceal"), 2, [](std::span<const QVariant> a) {
        return a[0].isValid() ? QVariant(EncodeText(a[0].toString(), a[1].toString())) : QVariant();
    });
    const dao::SqlFunction toggle(package, QStringLiteral("qz_toggle"), 2, [](std::span<const QVariant> a) {
        return package_format::ToggledPicture(a[0], a[1].toString());
    });
    qint32 members = 0;
    {
        dao::Transaction tx = package.BeginTrans();
        if (strong) {
            ClsDaoTable schema;
            const QString table = QStringLiteral("myStrgPswd");
            schema.CreateTable(table, package);
            schema.AddField(table, package, QStringLiteral("pswd"), ClsDaoTable::kText, 66, true, QString());
            package.Execute(QStringLiteral("INSERT INTO \"myStrgPswd\" (\"pswd\") VALUES (?)"),
                            {strong_password::ConcealDigest(digest)});
        }

        // The root becomes a root in the package, whatever its father in this book.
        const QVariant rootId = package.Scalar(
            QStringLiteral("SELECT \"filial_id\" FROM ") + Source(kData, kMembers) +
                QStringLiteral(" WHERE \"flag\"=? AND \"filial\"=? ORDER BY \"filial_id\" LIMIT 1"),
            {branch, rootName});
        members = CopyMembers(
            package, branch,
            {{QStringLiteral("father"),
              QStringLiteral("qz_conceal(CASE WHEN \"filial_id\" IS ?4 THEN '' ELSE \"father\" END, ?2)")},
             {QStringLiteral("filial"), QStringLiteral("qz_conceal(\"filial\", ?3)")}},
            {keys.first, keys.second, rootId});
        CopyRows(package, kKeywords, kData, QStringLiteral("rowid"), branch);
        if (strong) {
            CopyRows(package, kPictures, kImages, QStringLiteral("\"image_id\""), branch,
                     {{QStringLiteral("myimage"), QStringLiteral("qz_toggle(\"myimage\", ?2)")},
                      {QStringLiteral("filial"), QStringLiteral("qz_conceal(\"filial\", ?3)")}},
                     {keys.first, keys.second});
            CopyRows(package, kPages, kStories, QStringLiteral("rowid"), branch,
                     {{QStringLiteral("hisdescript"), QStringLiteral("qz_conceal(\"Hisdescript\", ?2)")},
                      {QStringLiteral("filial"), QStringLiteral("qz_conceal(\"filial\", ?3)")}},
                     {keys.first, keys.second});
        } else {
            CopyRows(package, kPictures, kImages, QStringLiteral("\"image_id\""), branch);
            CopyRows(package, kPages, kStories, QStringLiteral("rowid"), branch);
        }
        tx.Commit();
    }
    package.Detach(kStories);
    package.Detach(kImages);
    package.Detach(kData);
    return members;
}

}  // namespace

qint32 Cls数据操作::族谱备份(const QString& path, const QString& rootName, qint32 branch,
                             const QString& password) {
    AppState& app = App();
    ProgressScope progress;
    // The export reads the book files directly; the handles opened around single uses are let go, as
    // callers expect after an export.
    app.ExclusiveDb.Close();
    app.ImageDb.Close();
    app.DescriptDb.Close();
    if (path.isEmpty() || IsProtectedTarget(path))
        throw dao::DaoError(dao::kErrFileInUse, QStringLiteral("不能使用 '%1'；文件已在使用中。").arg(path));

    // Written beside the target and renamed into place only when complete, so neither a failure nor a
    // crash leaves a half-written package, nor costs an earlier package at the same path.
    // It is listed in the book folder while it exists, so that what a killed export left is removed.
    const QString part = Canonical(path) + QStringLiteral(".part");
    dao::WorkFileList::RemoveLeftovers();
    dao::WorkFileList::Note(part);
    RemoveFileSet(part);
    qint32 members = 0;
    try {
        members = WritePackage(part, password, rootName, branch, app.StrgPswdDigest);
        dao::ReleaseIdleConnections(part);
    } catch (...) {
        dao::ReleaseIdleConnections(part);
        RemoveFileSet(part);
        dao::WorkFileList::Forget(part);
        throw;
    }
    QFile::remove(part + QStringLiteral(".lck"));
    const bool renamed =
        std::rename(QFile::encodeName(part).constData(), QFile::encodeName(Canonical(path)).constData()) == 0;
    if (!renamed) RemoveFileSet(part);
    dao::WorkFileList::Forget(part);
    if (!renamed) throw dao::DaoError(dao::kErrGeneric, QStringLiteral("不能创建文件 '%1'。").arg(path));
    return members;
}
