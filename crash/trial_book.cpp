#include "trial_book.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStringEncoder>
#include <random>

#include "book_generator.h"
#include "community/ebook_tables.h"
#include "community/help_update.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/text_scramble.h"
#include "mainwin/tree_pages.h"
#include "online/member_exchange.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "print/chart_html_export.h"
#include "store/data_ops.h"

namespace trial_book {

QString BookDir(const QString& root) {
    return root + QStringLiteral("/book");
}
QString InputDir(const QString& root) {
    return root + QStringLiteral("/in");
}
QString OutputDir(const QString& root) {
    return root + QStringLiteral("/out");
}
QString TempDir(const QString& root) {
    return root + QStringLiteral("/tmp");
}
QString ConfigDir(const QString& root) {
    return root + QStringLiteral("/config");
}

void UseTrial(const QString& root) {
    qputenv("QENTARA_HOME", BookDir(root).toUtf8());
    qputenv("TMPDIR", TempDir(root).toUtf8());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, ConfigDir(root));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, ConfigDir(root));
}

QString Root() {
    return book_generator::BookMemberName(0);
}
QString BranchMember() {
    return book_generator::BookMemberName(5);
}
QString ImportUnder() {
    return book_generator::BookMemberName(2);
}

namespace {

void Mark(Cls数据操作& ops, const QString& root, qint32 branch) {
    qint32 first = 1;
    qint16 force = -1;
    quint8 protection = 99;
    ops.标识世祖(root, branch, 0, first, force, protection);
}

void AddMember(dao::Database& db, const QString& name, const QString& father) {
    db.Execute(
        QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"Boy_Sex\") VALUES (?, ?, 1)"),
        {name, father});
}

void AddPage(dao::Database& pages, const QString& name, const QString& html) {
    pages.Execute(QStringLiteral("INSERT INTO \"story\" (\"filial\", \"Hisdescript\") VALUES (?, ?)"),
                  {name, EncodeText(html, StoreKey())});
}

// Pages for one member in five, a picture for one in forty.
void AddPagesAndPictures(int members, std::mt19937& rng) {
    dao::Database pages = dao::Database::Open(DescriptDbPath(), BookDbPassword());
    dao::Database images = dao::Database::Open(ImageDbPath(), BookDbPassword());
    dao::Transaction pagesTx = pages.BeginTrans();
    dao::Transaction imagesTx = images.BeginTrans();
    for (int i = 0; i < members; ++i) {
        const QString name = book_generator::BookMemberName(i);
        if (i % 5 == 0)
            AddPage(pages, name,
                    QStringLiteral("<p>%1生平：耕读传家，乐善好施。</p>").arg(name).repeated(1 + i % 4));
        if (i % 40 == 0) {
            QByteArray bytes(2000 + int(rng() % 6000), Qt::Uninitialized);
            for (char& c : bytes) c = char(rng());
            images.Execute(
                QStringLiteral(
                    "INSERT INTO \"imageylk\" (\"filial\", \"myimage\", \"imagepath\") VALUES (?, ?, ?)"),
                // Concealed as the page store keeps references: the printer then finds the files to write.
                {name, bytes, DecodeText(QStringLiteral("file://_app.path_\\p%1.jpg").arg(i), StoreKey())});
        }
    }
    pagesTx.Commit();
    imagesTx.Commit();
}

// The help branch the update replaces; the newer version has one more member and a changed page.
void AddHelpBranch(dao::Database& db) {
    dao::Database pages = dao::Database::Open(DescriptDbPath(), BookDbPassword());
    const QString root = help_update::HelpRootName();
    AddMember(db, root, QString());
    for (const QString& c :
         {QStringLiteral("使用说明"), QStringLiteral("常见问题"), QStringLiteral("成员录入")}) {
        AddMember(db, c, root);
        AddPage(pages, c, QStringLiteral("<p>%1：旧版说明。</p>").arg(c));
        for (int i = 1; i <= 3; ++i) AddMember(db, c + QString::number(i), c);
    }
}

void MakeHelpNewer(dao::Database& db, bool newer) {
    dao::Database pages = dao::Database::Open(DescriptDbPath(), BookDbPassword());
    const QString added = QStringLiteral("新功能");
    const QString changed = QStringLiteral("使用说明");
    pages.Execute(QStringLiteral("UPDATE \"story\" SET \"Hisdescript\"=? WHERE \"filial\"=?"),
                  {EncodeText(QStringLiteral("<p>%1：%2说明。</p>")
                                  .arg(changed, newer ? QStringLiteral("新版") : QStringLiteral("旧版")),
                              StoreKey()),
                   changed});
    if (newer) {
        AddMember(db, added, help_update::HelpRootName());
        AddPage(pages, added, QStringLiteral("<p>新版新增。</p>"));
    } else {
        db.Execute(QStringLiteral("DELETE FROM \"本姓成员\" WHERE \"filial\"=?"), {added});
        pages.Execute(QStringLiteral("DELETE FROM \"story\" WHERE \"filial\"=?"), {added});
    }
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

// Folders of families, each with pages in UTF-8 and GB18030, text files and pictures beside them.
void MakePageFolder(const QString& folder) {
    QByteArray picture(3000, Qt::Uninitialized);
    for (int i = 0; i < picture.size(); ++i) picture[i] = char(i * 7);
    for (int f = 1; f <= 4; ++f) {
        const QString family = folder + QStringLiteral("/第%1房").arg(f);
        for (int s = 1; s <= 3; ++s) {
            const QString branch = family + QStringLiteral("/支%1").arg(s);
            WriteFile(branch + QStringLiteral("/像%1.jpg").arg(s), picture);
            for (int m = 1; m <= 4; ++m) {
                const QString page = QStringLiteral(
                                         "<html><head><title>传</title></head><body><p>第%1房%2支第%3人"
                                         "，字子明。</p><img src=\"像%2.jpg\"></body></html>")
                                         .arg(f)
                                         .arg(s)
                                         .arg(m);
                if (m % 2)
                    WriteFile(branch + QStringLiteral("/成员%1.htm").arg(m), page.toUtf8());
                else
                    WriteFile(branch + QStringLiteral("/成员%1.htm").arg(m),
                              "<meta charset=gb2312>" + QStringEncoder("GB18030").encode(page));
            }
            WriteFile(branch + QStringLiteral("/家训.txt"), QStringLiteral("耕读传家\n勤俭持家").toUtf8());
        }
    }
}

// The tree download of the members with server ids: each under its server name (some renamed), a new
// child under each, and a page for every other one.
void StageDownload(dao::Database& book) {
    dao::Database staging = member_exchange::CreateStaging(member_exchange::StagingPath());
    dao::Transaction tx = staging.BeginTrans();
    int n = 0;
    for (dao::Recordset rs =
             book.OpenRecordset(QStringLiteral("SELECT \"filial\", \"father\", \"mysql_id\" FROM "
                                               "\"本姓成员\" WHERE \"mysql_id\">0 ORDER BY \"filial_id\""));
         rs.hasRow(); rs.MoveNext(), ++n) {
        const QString name = rs.value(0).toString() + (n % 3 == 0 ? QStringLiteral("公") : QString());
        const qint64 id = rs.value(2).toLongLong();
        const QString insert = QStringLiteral(
            "INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"mysql_id\", \"mother\") VALUES (?, ?, ?, "
            "'服务器母')");
        staging.Execute(insert, {name, rs.value(1), id});
        staging.Execute(insert, {name + QStringLiteral("子"), name, id + 100000});
        if (n % 2 == 0)
            staging.Execute(
                QStringLiteral(
                    "INSERT INTO \"story\" (\"filial\", \"Hisdescript\", \"flag\") VALUES (?, ?, ?)"),
                {name, EncodeText(QStringLiteral("<p>服务器上的页面</p>"), StoreKey()), id});
    }
    tx.Commit();
}

}  // namespace

void Make(const QString& root, int members, unsigned seed) {
    for (const QString& dir :
         {BookDir(root), InputDir(root), OutputDir(root), TempDir(root), ConfigDir(root)})
        QDir().mkpath(dir);
    UseTrial(root);
    EnsureBookFiles();
    std::mt19937 rng(seed);
    Cls数据操作 ops;
    dao::Database& db = App().DataDb;
    book_generator::GenerateBook(db, members, seed);
    db.Execute(
        QStringLiteral("UPDATE \"本姓成员\" SET \"mysql_id\"=\"filial_id\"+1000 WHERE \"filial_id\"%7=3"));
    AddPagesAndPictures(members, rng);

    // The packages: a branch of the book, and the help branch as the next version has it.
    AddHelpBranch(db);
    Mark(ops, BranchMember(), 7);
    if (ops.族谱备份(InputDir(root) + QStringLiteral("/branch.mdb"), BranchMember(), 7,
                     QStringLiteral("pw")) <= 0)
        throw std::runtime_error("the branch package is empty");
    MakeHelpNewer(db, true);
    Mark(ops, help_update::HelpRootName(), 8);
    if (ops.族谱备份(InputDir(root) + QStringLiteral("/help.mdb"), help_update::HelpRootName(), 8,
                     QString::fromLatin1(kEbookDbPassword)) <= 0)
        throw std::runtime_error("the help package is empty");
    MakeHelpNewer(db, false);
    MakePageFolder(InputDir(root) + QStringLiteral("/pages"));
    StageDownload(db);
    // The e-book of the branch, built before: a new build replaces it.
    WriteFile(GetAppPath() + QStringLiteral("chm/") +
                  ChartFileName(BranchMember(), QStringLiteral("book"), QStringLiteral(".chm")),
              QByteArrayLiteral("an earlier e-book of the branch"));

    // The first pages recorded, as a user who paged through them left them.
    App().NodesPerPage = kNodesPerPage;
    App().RepaginateNeeded = true;
    qint32 pageCount = 0;
    WalkToPage(ops, kRecordedPages, pageCount);
    App().DataDb.Close();
    ResetAppState();
    dao::ReleaseAllIdleConnections();
}

}  // namespace trial_book
