#include <QDir>
#include <QFileInfo>

#include "frame/text_scramble.h"
#include "package_fixture.h"
#include "platform/dao/work_file_list.h"

namespace {

using PackageExport = PackageTest;

}  // namespace

TEST_F(PackageExport, WritesTheBranchWithConcealedNamesOnly) {
    MakeBook();
    const QString path = book_.file("备份's [1].mdb");
    EXPECT_EQ(Export(path), 5);
    EXPECT_THROW(dao::Database::Open(path, ""), dao::DaoError);
    dao::Database package = dao::Database::Open(path, "pw123");
    EXPECT_EQ(package.TableNames(), QStringList({"本姓成员", "pageindx", "imageylk", "story", "tmp2",
                                                 "tmp2img", "tmp2stry", "tmp2indx"}));
    for (const QString& staging : QStringList{"tmp2", "tmp2img", "tmp2stry", "tmp2indx"})
        EXPECT_EQ(Count(package, "SELECT count(*) FROM " + staging), 0) << staging.toStdString();
    EXPECT_EQ(package.FieldNames("tmp2"), package.FieldNames("本姓成员"));

    const QString first = ServerKey();
    const QString second = SettingsKey();
    const auto member = [&](const QString& name, const QString& father) {
        return EncodeText(name, second) + "|" + (father.isEmpty() ? QString("") : EncodeText(father, first)) +
               "|" +
               QString::number(name == "王甲"   ? 2
                               : name == "王乙" ? 3
                               : name == "王丙" ? 4
                               : name == "王丁" ? 5
                                                : 6);
    };
    // The root's father is cleared; the other particulars travel as they are.
    EXPECT_EQ(Rows(package, "SELECT filial, father, boy_sort FROM \"本姓成员\" ORDER BY filial_id"),
              QStringList({member("王甲", ""), member("王乙", "王甲"), member("王丙", "王甲"),
                           member("王丁", "王乙"), member("王'戊", "王丙")}));
    EXPECT_EQ(Rows(package, "SELECT mother, c_jc_w_z_h, mysql_id FROM \"本姓成员\" WHERE boy_sort=3"),
              QStringList({"李氏3|称%3%讳%字%号%谥|1003"}));
    EXPECT_EQ(Rows(package, "SELECT filial, page_key FROM pageindx ORDER BY rowid"),
              QStringList({"王甲|始迁祖", "王丁|进士", "王'戊|引号"}));
    dao::Database images = Images();
    EXPECT_EQ(Rows(package, "SELECT filial, imagepath, myimage FROM imageylk ORDER BY image_id"),
              Rows(images, "SELECT filial, imagepath, myimage FROM imageylk ORDER BY image_id"));
    EXPECT_EQ(Rows(package, "SELECT filial, Hisdescript FROM story ORDER BY rowid"),
              QStringList({"王甲|<p>王甲传：\"迁居\" 'x' % [1]</p>", "王丁|<p>丁</p>"}));
}

TEST_F(PackageExport, StrongPasswordConcealsPagesAndPicturesAndLeavesTheDigestRecord) {
    MakeBook();
    const QString digest = Digest("secret99");
    ASSERT_EQ(digest.size(), 32);
    const QString path = book_.file("strong.mdb");
    EXPECT_EQ(Export(path, digest), 5);
    dao::Database package = dao::Database::Open(path, "pw123");
    EXPECT_EQ(Rows(package, "SELECT * FROM myStrgPswd"),
              QStringList({"<null>|" + EncodeText(digest, ServerKey())}));

    const QString first = DeriveKey(digest) + ServerKey();
    const QString second = DeriveKey(digest) + SettingsKey();
    EXPECT_EQ(Rows(package, "SELECT filial, father FROM \"本姓成员\" WHERE boy_sort=5"),
              QStringList({EncodeText("王丁", second) + "|" + EncodeText("王乙", first)}));
    EXPECT_NE(EncodeText("王丁", second), EncodeText("王丁", SettingsKey()));
    EXPECT_EQ(Rows(package, "SELECT filial, Hisdescript FROM story ORDER BY rowid"),
              QStringList(
                  {EncodeText("王甲", second) + "|" + EncodeText("<p>王甲传：\"迁居\" 'x' % [1]</p>", first),
                   EncodeText("王丁", second) + "|" + EncodeText("<p>丁</p>", first)}));
    EXPECT_EQ(Rows(package, "SELECT filial FROM pageindx ORDER BY rowid"),
              QStringList({"王甲", "王丁", "王'戊"}));

    QList<QByteArray> stored;
    for (dao::Recordset rs = package.OpenRecordset("SELECT myimage, filial FROM imageylk ORDER BY image_id");
         rs.hasRow(); rs.MoveNext()) {
        stored << rs.Bytes("myimage");
        EXPECT_TRUE(rs.Text("filial") == EncodeText("王乙", second) ||
                    rs.Text("filial") == EncodeText("王丁", second) ||
                    rs.Text("filial") == EncodeText("王'戊", second));
    }
    ASSERT_EQ(stored.size(), 4);
    EXPECT_TRUE(stored[0].isEmpty());
    const QByteArray small = Picture(1000, 2);
    const QByteArray large = Picture(5000, 3);
    ASSERT_EQ(stored[1].size(), 1000);
    ASSERT_EQ(stored[2].size(), 5000);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(uchar(stored[1][i]), uchar(small[i]) ^ uchar(first[i % first.size()].unicode())) << i;
    for (int i = 0; i < 1204; ++i)
        ASSERT_EQ(uchar(stored[2][i]), uchar(large[i]) ^ uchar(first[i % first.size()].unicode())) << i;
    EXPECT_EQ(stored[2].mid(1204), large.mid(1204));
}

TEST_F(PackageExport, NeverWritesOverTheBookOrAFileInUse) {
    MakeBook();
    for (const QString& target : {DataDbPath(), ImageDbPath(), DescriptDbPath(), book_.file("gmap.mdb")}) {
        const QByteArray before = FileBytes(target);
        try {
            Export(target);
            ADD_FAILURE() << "exported onto " << target.toStdString();
        } catch (const dao::DaoError& e) {
            EXPECT_EQ(e.Number(), dao::kErrFileInUse);
            EXPECT_EQ(e.Description(), QString("不能使用 '%1'；文件已在使用中。").arg(target));
        }
        EXPECT_EQ(FileBytes(target), before);
        EXPECT_FALSE(QFileInfo::exists(target + ".part"));
    }
    EXPECT_EQ(Members(), 7);

    const QString other = book_.file("open.mdb");
    dao::Database held = dao::Database::Create(other, "");
    held.Execute("CREATE TABLE keep (x INTEGER)");
    EXPECT_THROW(Export(other), dao::DaoError);
    EXPECT_TRUE(held.TableExists("keep"));
}

TEST_F(PackageExport, AFailedExportLeavesNoPartAndKeepsTheEarlierPackage) {
    MakeBook();
    const QString folder = book_.file("folder.mdb");
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_THROW(Export(folder), dao::DaoError);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_FALSE(QFileInfo::exists(folder + ".part"));

    const QString path = book_.file("pkg.mdb");
    // What an export killed half-way left is cleared by the next one, beside another target too.
    const QString other = book_.file("其他/旧.mdb");
    ASSERT_TRUE(QDir().mkpath(book_.file("其他")));
    dao::WorkFileList::Note(other + ".part");
    for (const QString& killed : {path, other})
        for (const char* left : {".part", ".part.lck", ".part-journal", ".part-mj12AB34CD"}) {
            QFile f(killed + left);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("left");
        }
    EXPECT_EQ(Export(path), 5);
    for (const QString& killed : {path, other})
        for (const char* left : {".part", ".part.lck", ".part-journal", ".part-mj12AB34CD"})
            EXPECT_FALSE(QFileInfo::exists(killed + left)) << left;
    const QByteArray earlier = FileBytes(path);
    Pages().Execute("DROP TABLE story");
    try {
        Export(path);
        ADD_FAILURE() << "export without a page table";
    } catch (const dao::DaoError& e) {
        EXPECT_EQ(e.Number(), dao::kErrTableNotFound);
    }
    EXPECT_EQ(FileBytes(path), earlier);
    EXPECT_FALSE(QFileInfo::exists(path + ".part"));
    EXPECT_FALSE(QFileInfo::exists(path + ".part.lck"));
}

TEST_F(PackageExport, ExportingAgainGivesAFreshFile) {
    MakeBook();
    const QString path = book_.file("pkg.mdb");
    EXPECT_EQ(Export(path, QString(), QString()), 5);
    Add("王庚", "王丁", 8);
    App().RootAncestorName.clear();
    Mark("王甲");
    EXPECT_EQ(Export(path, QString(), QString()), 6);
    dao::Database package = dao::Database::Open(path, "");
    EXPECT_EQ(Count(package, "SELECT count(*) FROM \"本姓成员\""), 6);
    EXPECT_FALSE(package.TableExists("myStrgPswd"));
}

TEST_F(PackageExport, AnEmptyBranchGivesEmptyTables) {
    MakeBook();
    const QString path = book_.file("empty.mdb");
    App().StrgPswdDigest.clear();
    EXPECT_EQ(ops_->族谱备份(path, "王甲", 99, "pw"), 0);
    dao::Database package = dao::Database::Open(path, "pw");
    for (const QString& table : package.TableNames())
        EXPECT_EQ(Count(package, "SELECT count(*) FROM " + dao::QuoteIdent(table)), 0) << table.toStdString();
}

// A branch longer than one run of the copy goes over whole and in order, and the package holds no free
// pages, so the backup has nothing to compact.
TEST_F(PackageExport, ALongBranchIsWrittenWholeWithoutFreePages) {
    MakeBook();
    AddGrandchildren();
    const QString path = book_.file("long.mdb");
    EXPECT_EQ(Export(path), 5 + kLongLine);
    dao::Database package = dao::Database::Open(path, "pw123");
    EXPECT_EQ(Count(package, "PRAGMA freelist_count"), 0);
    EXPECT_EQ(Rows(package, "SELECT filial, father FROM \"本姓成员\" ORDER BY filial_id DESC LIMIT 1"),
              QStringList({EncodeText(QString("王孙%1").arg(kLongLine - 1), SettingsKey()) + "|" +
                           EncodeText("王丁", ServerKey())}));
    EXPECT_EQ(Count(package, "SELECT count(DISTINCT filial_id) FROM \"本姓成员\""), 5 + kLongLine);
}
