// What a run killed in the middle of an operation leaves, as the next start finds it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "app/startup.h"
#include "community/ebook_tables.h"
#include "community/help_update.h"
#include "frame/app_settings.h"
#include "frame/db_connections.h"
#include "mainwin/tree_pages.h"
#include "platform/bookdir.h"
#include "platform/dao/work_file_list.h"
#include "print/book_output.h"
#include "store/data_ops.h"
#include "store/page_start_store.h"
#include "support/book_fixture.h"

namespace {

class KilledRunLeftovers : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        qputenv("TMPDIR", tmp_.path().toUtf8());
        ops_ = std::make_unique<Cls数据操作>();
    }
    void TearDown() override {
        ops_.reset();
        qunsetenv("TMPDIR");
        BookFixture::TearDown();
    }
    static void Touch(const QString& path) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("left by a killed run");
    }
    static void Add(const QString& name, const QString& father) {
        App().DataDb.Execute("INSERT INTO \"本姓成员\" (filial, father) VALUES (?, ?)", {name, father});
    }
    QStringList Members() {
        QStringList names;
        for (auto rs = App().DataDb.OpenRecordset("SELECT filial, father FROM \"本姓成员\" ORDER BY filial");
             rs.hasRow(); rs.MoveNext())
            names << rs.value(0).toString() + "<" + rs.value(1).toString();
        return names;
    }

    QTemporaryDir tmp_, elsewhere_;
    std::unique_ptr<Cls数据操作> ops_;
};

// Killed: a backup beside its target, a download merge, an e-book build, an import, a book printed in
// parts, a help update that had taken the old branch out, a command between its change of the roots and the
// new cut of the pages.
TEST_F(KilledRunLeftovers, TheCopyHoldingTheFolderTakesThemAway) {
    Add("祖", "");
    Add("帮助文件", "");
    Add("说明", "帮助文件");
    ops_->Find世祖(0, QString());
    qint32 first = 1;
    qint16 force = -1;
    quint8 protection = 99;
    ops_->标识世祖("帮助文件", 5, 0, first, force, protection);
    ASSERT_EQ(ops_->族谱备份(GetAppPath() + "help_backup.mdb", "帮助文件", 5,
                             QString::fromLatin1(kEbookDbPassword)),
              2);
    ops_->删除有标识的子女(5);
    Add("新祖", "");                            // a root page 1 does not list yet
    TreeChangeMark::RecutAfterKilledCommand();  // no mark: nothing is cut
    ASSERT_EQ(PageStartStore().StartsOf(1).size(), 2);

    const QString part = elsewhere_.path() + "/备份.mdb.part";
    dao::WorkFileList::Note(part);
    const QStringList leftovers = {part,
                                   part + "-journal",
                                   part + ".lck",
                                   GetAppPath() + "downtmp.mdb",
                                   GetAppPath() + "downtmp.mdb-journal",
                                   GetAppPath() + "downtmp.mdb.lck",
                                   GetAppPath() + "chm/.ebook-Ab12Cd/book.hhp",
                                   tmp_.path() + "/qentara-import-Xy34Zw/busy",
                                   tmp_.path() + "/qentara-import-Pq56Rs.busy",
                                   tmp_.path() + "/qentara-import-Pq56Rs/package.mdb",
                                   tmp_.path() + "/qentara-import-Lm78No.busy",
                                   BookOutput::PartFile(1),
                                   TreeChangeMark::MarkPath()};
    for (const QString& path : leftovers) Touch(path);
    SaveAppSetting("dividerpage", "False");
    ops_.reset();
    App().DataDb.Close();
    dao::ReleaseAllIdleConnections();

    // A second copy of the program leaves them to the first.
    MainProc::PrepareBook(false);
    for (const QString& path : leftovers) EXPECT_TRUE(QFile::exists(path)) << path.toStdString();

    MainProc::PrepareBook(true);
    for (const QString& path : leftovers) EXPECT_FALSE(QFile::exists(path)) << path.toStdString();
    for (const QString& folder : {GetAppPath() + "chm/.ebook-Ab12Cd", tmp_.path() + "/qentara-import-Xy34Zw",
                                  tmp_.path() + "/qentara-import-Pq56Rs"})
        EXPECT_FALSE(QDir(folder).exists()) << folder.toStdString();
    EXPECT_FALSE(QFile::exists(GetAppPath() + "help_backup.mdb"));
    EXPECT_FALSE(QFile::exists(dao::WorkFileList::ListPath()));
    Cls数据操作 ops;
    EXPECT_EQ(Members(), (QStringList{"帮助文件<", "新祖<", "祖<", "说明<帮助文件"}));
    QStringList firstPage;
    for (const PageStart& start : PageStartStore().StartsOf(1)) firstPage << start.name;
    EXPECT_EQ(firstPage, (QStringList{"祖", "新祖", "帮助文件"}));
    EXPECT_EQ(GetAppSetting("dividerpage"), "True");
}

// The help branch is in (the new one, or the old one never taken out): the kept copy only goes.
TEST_F(KilledRunLeftovers, AKeptHelpBranchGoesWhenTheBookHasOne) {
    Add("帮助文件", "");
    Add("新说明", "帮助文件");
    Touch(GetAppPath() + "help_backup.mdb");
    help_update::FinishInterruptedUpdate();
    EXPECT_FALSE(QFile::exists(GetAppPath() + "help_backup.mdb"));
    EXPECT_EQ(Members(), (QStringList{"帮助文件<", "新说明<帮助文件"}));
}

}  // namespace
