#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/dao_table.h"
#include "frame/db_connections.h"
#include "frame/progress.h"
#include "frame/text_scramble.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
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

constexpr int kRowsPerDoEvents = 500;

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

QString Placeholders(qsizetype n) {
    QStringList marks;
    for (qsizetype i = 0; i < n; ++i) marks << QStringLiteral("?");
    return marks.join(QStringLiteral(", "));
}

QString Source(const QString& schema, const QString& table) {
    return dao::QuoteIdent(schema) + QLatin1Char('.') + dao::QuoteIdent(table);
}

// Copies the branch's rows of one table, row by row, letting conceal change each row on its way.
// Only one row (one picture at most) is in memory at a time.
template <typename Conceal>
qint32 CopyRows(dao::Database& db, const QString& table, const QString& schema, const QString& orderBy,
                qint32 branch, Conceal conceal) {
    const QStringList columns = SharedColumns(db, table, schema);
    const QString list = ColumnList(columns);
    const QString insert = QStringLiteral("INSERT INTO main.") + dao::QuoteIdent(table) +
                           QStringLiteral(" (") + list + QStringLiteral(") VALUES (") +
                           Placeholders(columns.size()) + QLatin1Char(')');
    qint32 count = 0;
    dao::Params row;
    for (dao::Recordset rs = db.OpenRecordset(QStringLiteral("SELECT ") + list + QStringLiteral(" FROM ") +
                                                  Source(schema, table) +
                                                  QStringLiteral(" WHERE \"flag\"=? ORDER BY ") + orderBy,
                                              {branch});
         rs.hasRow(); rs.MoveNext()) {
        row.clear();
        for (int i = 0; i < columns.size(); ++i) row << rs.value(i);
        conceal(columns, row);
        db.Execute(insert, row);
        if (++count % kRowsPerDoEvents == 0) DoEvents();
    }
    return count;
}

// Copies the branch's rows of one table inside the engine, without concealment.
void CopyRowsAsTheyAre(dao::Database& db, const QString& table, const QString& schema, const QString& orderBy,
                       qint32 branch) {
    const QString list = ColumnList(SharedColumns(db, table, schema));
    db.Execute(QStringLiteral("INSERT INTO main.") + dao::QuoteIdent(table) + QStringLiteral(" (") + list +
                   QStringLiteral(") SELECT ") + list + QStringLiteral(" FROM ") + Source(schema, table) +
                   QStringLiteral(" WHERE \"flag\"=? ORDER BY ") + orderBy,
               {branch});
}

// Null stays Null: it is not a name, and the reader leaves it as it is.
void ConcealText(dao::Params& row, int index, const QString& key) {
    if (index >= 0 && row[index].isValid()) row[index] = EncodeText(row[index].toString(), key);
}

int IndexOf(const QStringList& columns, const char* name) {
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return i;
    return -1;
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
        members = CopyRows(package, kMembers, kData, QStringLiteral("\"filial_id\""), branch,
                           [&](const QStringList& columns, dao::Params& row) {
                               const int father = IndexOf(columns, "father");
                               const int id = IndexOf(columns, "filial_id");
                               if (father >= 0 && id >= 0 && rootId.isValid() && row[id] == rootId)
                                   row[father] = QString("");
                               ConcealText(row, father, keys.first);
                               ConcealText(row, IndexOf(columns, "filial"), keys.second);
                           });
        CopyRowsAsTheyAre(package, kKeywords, kData, QStringLiteral("rowid"), branch);
        if (strong) {
            CopyRows(package, kPictures, kImages, QStringLiteral("\"image_id\""), branch,
                     [&](const QStringList& columns, dao::Params& row) {
                         const int image = IndexOf(columns, "myimage");
                         if (image >= 0 && row[image].isValid()) {
                             QByteArray bytes = row[image].toByteArray();
                             package_format::TogglePicture(bytes, keys.first);
                             row[image] = bytes;
                         }
                         ConcealText(row, IndexOf(columns, "filial"), keys.second);
                     });
            CopyRows(package, kPages, kStories, QStringLiteral("rowid"), branch,
                     [&](const QStringList& columns, dao::Params& row) {
                         ConcealText(row, IndexOf(columns, "Hisdescript"), keys.first);
                         ConcealText(row, IndexOf(columns, "filial"), keys.second);
                     });
        } else {
            CopyRowsAsTheyAre(package, kPictures, kImages, QStringLiteral("\"image_id\""), branch);
            CopyRowsAsTheyAre(package, kPages, kStories, QStringLiteral("rowid"), branch);
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
