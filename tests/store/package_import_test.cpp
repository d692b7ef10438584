#include <sys/resource.h>
#include <QDir>
#include <QFileInfo>

#include "../../bench/book_generator.h"
#include "frame/dao_table.h"
#include "frame/text_scramble.h"
#include "package_fixture.h"
#include "platform/disk_full.h"
#include "store/package_format.h"
#include "support/file_size_limit.h"

namespace {

class PackageImport : public PackageTest {
protected:
    // Exports the branch of MakeBook to pkg.mdb and returns its path.
    QString Package(const QString& digest = QString()) {
        MakeBook();
        const QString path = book_.file("pkg.mdb");
        EXPECT_EQ(Export(path, digest), 5);
        return path;
    }
    QStringList PictureOwners() {
        dao::Database images = Images();
        return Rows(images, "SELECT filial, length(myimage) FROM imageylk ORDER BY filial, length(myimage)");
    }
};

}  // namespace

TEST_F(PackageImport, RoundTripGivesEverythingBackExactly) {
    for (const QString& digest : {QString(), Digest("secret99")}) {
        SCOPED_TRACE(digest.toStdString());
        const QString path = Package(digest);
        // A quote is no part of a name, in a package as in the member form: 王'戊 comes back as 王戊.
        QStringList before = Snapshot().replaceInStrings("王'戊", "王戊");
        ops_->删除有标识的子女(kBranch);
        ASSERT_EQ(Members(), 2);
        EXPECT_EQ(Import(path, "王祖", digest), 0);
        QStringList after = Snapshot();
        before.sort();
        after.sort();
        EXPECT_EQ(after, before);
        EXPECT_EQ(App().RootAncestorName, "");
        // Start again from an empty book for the next round.
        TearDown();
        for (const QString& f : {DataDbPath(), ImageDbPath(), DescriptDbPath(), path}) QFile::remove(f);
        SetUp();
    }
}

TEST_F(PackageImport, ClashingNamesFollowTheirOwnMembers) {
    Add("X", "", 1);
    Add("X[2]", "X", 2);
    Add("Y", "X[2]", 3);
    Add("Z", "X", 4);
    for (const QString& name : QStringList{"X", "X[2]"}) {
        AddKeyword(name, "词" + name);
        AddPage(name, "<p>" + name + "</p>");
        AddPicture(name, Picture(name.size() * 100, 1), "p" + name);
    }
    Mark("X");
    const QString path = book_.file("x.mdb");
    ASSERT_EQ(Export(path, QString(), "", "X"), 4);
    ops_->删除有标识的子女(kBranch);
    Add("X", "", 8);
    Add("X[1]", "X", 9);

    ASSERT_EQ(Import(path, QString(), QString(), ""), 0);
    // The package's X becomes X[2] while its X[2] waits aside and then becomes X[3].
    EXPECT_EQ(Rows(db(), "SELECT filial, father, boy_sort FROM \"本姓成员\" ORDER BY filial"),
              QStringList({"X||8", "X[1]|X|9", "X[2]||1", "X[3]|X[2]|2", "Y|X[3]|3", "Z|X[2]|4"}));
    EXPECT_EQ(Rows(db(), "SELECT filial, page_key FROM pageindx ORDER BY filial"),
              QStringList({"X[2]|词X", "X[3]|词X[2]"}));
    dao::Database pages = Pages();
    EXPECT_EQ(Rows(pages, "SELECT filial, Hisdescript FROM story ORDER BY filial"),
              QStringList({"X[2]|<p>X</p>", "X[3]|<p>X[2]</p>"}));
    dao::Database images = Images();
    EXPECT_EQ(Rows(images, "SELECT filial, imagepath, length(myimage) FROM imageylk ORDER BY filial"),
              QStringList({"X[2]|pX|100", "X[3]|pX[2]|400"}));
}

// The numbered name chosen must be free whether or not it is looked up again: copies in other letter
// case or with a fractional number count, and a name with a NUL in the book brings the look-up back.
TEST_F(PackageImport, ANumberAboveEveryStoredCopyIsChosenWithOrWithoutANulInTheBook) {
    const QString longName = QString(47, QChar(u'长'));
    for (const QString& stray : {QString(), QStringLiteral("有%1零").arg(QChar(0))}) {
        SCOPED_TRACE(stray.size());
        Add("X", "", 1);
        Add(longName, "X", 2);
        Mark("X");
        const QString path = book_.file("x.mdb");
        ASSERT_EQ(Export(path, QString(), "", "X"), 2);
        Add("x[1]", "", 3);
        Add("X[2.6]", "", 4);
        Add(longName.right(46) + "[1]", "", 5);
        Add(stray.isEmpty() ? QStringLiteral("Q") : stray, "", 6);
        ASSERT_EQ(Import(path, QString(), QString(), ""), 0);
        // The long name loses its first characters to the suffix and meets a stored name: [2] it is.
        EXPECT_EQ(Rows(db(), "SELECT filial, father FROM \"本姓成员\" WHERE filial_id>6 ORDER BY filial_id"),
                  QStringList({"X[4]|", longName.right(46) + "[2]|X[4]"}));
        TearDown();
        for (const QString& f : {DataDbPath(), ImageDbPath(), DescriptDbPath(), path}) QFile::remove(f);
        SetUp();
    }
}

// Names as a damaged package may bring them: NULs and halves of surrogate pairs, which the engine
// compares loosely, letter case beyond ASCII, which the name columns do not fold, and copies beyond the
// whole numbers a double holds. Each member gets a name of its own, and the import ends.
TEST_F(PackageImport, EveryNameFindsAFreeNumberWhateverItsCharacters) {
    const QChar nul(0);
    const QString bad(QChar(QChar::ReplacementCharacter));
    struct Case {
        QStringList book, package, imported;
    };
    for (const Case& c : {
             Case{{"甲"},
                  {nul + QString("甲"), nul + QString("甲"), QString(2, nul) + "乙"},
                  {"甲[1]", "甲[2]", "乙"}},
             Case{{},
                  {"丙" + QString(QChar(0xD800)), "丙" + bad, "丁" + QString(QChar(0xDC00))},
                  {"丙" + bad, "丙" + bad + "[1]", "丁" + bad}},
             Case{{"Ä", "ä[2]"}, {"Ä", "ä"}, {"Ä[1]", "ä"}},
             Case{{"X", "X[9007199254740991]", "X[9007199254740992]"}, {"X"}, {"X[9007199254740993]"}},
         }) {
        SCOPED_TRACE(c.imported.join(",").toStdString());
        for (const QString& name : c.book) Add(name, "", 1);
        const QString path = book_.file("names.mdb");
        {
            const package_format::Keys keys = package_format::MakeKeys(QString());
            dao::Database package = dao::Database::Create(path, QString());
            for (const QString& sql : package_format::CreateStatements()) package.Execute(sql);
            for (const QString& name : c.package)
                package.Execute("INSERT INTO \"本姓成员\" (filial, father) VALUES (?, '')",
                                {EncodeText(name, keys.second)});
        }
        dao::ReleaseAllIdleConnections();
        QString error;
        ASSERT_EQ(Import(path, QString(), QString(), "", &error), 0) << error.toStdString();
        EXPECT_EQ(Rows(db(), QString("SELECT filial FROM \"本姓成员\" WHERE filial_id>%1 ORDER BY filial_id")
                                 .arg(c.book.size())),
                  c.imported);
        TearDown();
        for (const QString& f : {DataDbPath(), ImageDbPath(), DescriptDbPath(), path}) QFile::remove(f);
        SetUp();
    }
}

TEST_F(PackageImport, ImportingTwiceAppendsNumberedCopies) {
    const QString path = Package();
    ASSERT_EQ(Import(path), 0);
    ASSERT_EQ(Import(path), 0);
    EXPECT_EQ(Members(), 17);
    for (const QString& n : QStringList{"[1]", "[2]"}) {
        EXPECT_EQ(Father("王甲" + n), "");
        EXPECT_EQ(Father("王乙" + n), "王甲" + n);
        EXPECT_EQ(Father("王丙" + n), "王甲" + n);
        EXPECT_EQ(Father("王丁" + n), "王乙" + n);
    }
    // Without its quote the first copy of 王'戊 finds its name free.
    EXPECT_EQ(Father("王戊"), "王丙[1]");
    EXPECT_EQ(Father("王戊[1]"), "王丙[2]");
    EXPECT_EQ(Father("王甲"), "王祖");
    EXPECT_EQ(PictureOwners(),
              QStringList({"王'戊|6", "王丁|5000", "王丁[1]|5000", "王丁[2]|5000",
                           "王乙|0", "王乙|1000", "王乙[1]|0", "王乙[1]|1000", "王乙[2]|0", "王乙[2]|1000",
                           "王戊|6", "王戊[1]|6"}));
    EXPECT_EQ(Count(db(), "SELECT count(*) FROM pageindx WHERE filial='王丁[2]' AND page_key='进士'"), 1);
}

// A package longer than one run of the append goes in whole, each member under its own parent across
// the runs' edges, in the order of the walk.
TEST_F(PackageImport, ALongPackageGoesInWholeAcrossRuns) {
    MakeBook();
    AddGrandchildren();
    const QString path = book_.file("long.mdb");
    ASSERT_EQ(Export(path), 5 + kLongLine);
    ASSERT_EQ(Import(path), 0);
    EXPECT_EQ(Members(), 7 + kLongLine + 5 + kLongLine);
    for (const int i : {0, 19994, 19995, 19996, kLongLine - 1})
        EXPECT_EQ(Father(QString("王孙%1[1]").arg(i)), i % 2 ? "王丁[1]" : "王戊") << i;
    // Parents were written before their children.
    EXPECT_EQ(Count(db(),
                    "SELECT count(*) FROM \"本姓成员\" c JOIN \"本姓成员\" p ON p.filial = c.father "
                    "WHERE c.filial LIKE '%[1]' AND p.filial_id > c.filial_id"),
              0);
}

// A clan imported into its own book: the indexes of the names are built again after the rows, the same
// as before, and still refuse a name twice.
TEST_F(PackageImport, ALargePackageIntoALargeBookKeepsTheNameIndexes) {
    book_generator::GenerateBook(db(), 100000, 20240601u);
    db().Execute("UPDATE \"本姓成员\" SET flag=?", {kBranch});
    const auto indexes = [&] {
        return Rows(db(),
                    "SELECT name, sql FROM sqlite_master WHERE type='index' AND tbl_name='本姓成员' "
                    "ORDER BY name");
    };
    const QStringList before = indexes();
    const QString path = book_.file("clan.mdb");
    ASSERT_EQ(Export(path, QString(), "pw123", book_generator::BookMemberName(0)), 100000);
    ASSERT_EQ(Import(path), 0);
    EXPECT_EQ(Members(), 200000);
    EXPECT_EQ(indexes(), before);
    EXPECT_EQ(Father(book_generator::BookMemberName(99999) + "[1]"),
              Father(book_generator::BookMemberName(99999)) + "[1]");
    EXPECT_THROW(db().Execute("INSERT INTO \"本姓成员\" (filial) VALUES (?)",
                              {book_generator::BookMemberName(5).toLower() + "[1]"}),
                 dao::DaoError);
}

TEST_F(PackageImport, AttachesTheRootUnderTheGivenMember) {
    const QString path = Package();
    ASSERT_EQ(Import(path, "李外"), 0);
    EXPECT_EQ(Father("王甲[1]"), "李外");
    EXPECT_EQ(Father("王乙[1]"), "王甲[1]");
    // Under its own namesake the renamed root still hangs under the book's member, not under itself.
    ASSERT_EQ(Import(path, "王甲"), 0);
    EXPECT_EQ(Father("王甲[2]"), "王甲");
    EXPECT_EQ(Father("王乙[2]"), "王甲[2]");
    EXPECT_EQ(Father("王甲"), "王祖");
}

TEST_F(PackageImport, ChildrenFollowTheirRenamedParentsWhateverTheStoredGenerations) {
    const QString path = Package();
    {
        dao::Database package = dao::Database::Open(path, "pw123");
        package.Execute("UPDATE \"本姓成员\" SET generation=100-generation");
    }
    ASSERT_EQ(Import(path), 0);
    EXPECT_EQ(Father("王甲[1]"), "");
    EXPECT_EQ(Father("王乙[1]"), "王甲[1]");
    EXPECT_EQ(Father("王丙[1]"), "王甲[1]");
    EXPECT_EQ(Father("王丁[1]"), "王乙[1]");
    EXPECT_EQ(Father("王戊"), "王丙[1]");
    EXPECT_EQ(Father("王丁"), "王乙");
}

// Loops in the father links are opened as the merge of a download opens them: the loop's first member
// (by row) stands as a root, so that every member hangs from a root the tree shows.
TEST_F(PackageImport, LoopsInTheFatherLinksAreOpenedAtTheirFirstMember) {
    struct Case {
        const char* what;
        QList<QPair<int, QString>> fathers;  // by boy_sort: 2 王甲, 3 王乙, 4 王丙, 5 王丁, 6 王'戊
        QStringList expected;                // member < father, in name order (王'戊 comes in as 王戊)
    };
    const Case cases[] = {
        {"a loop of three, the whole package",
         {{2, "王丁"}},
         {"王丁[1]<王乙[1]", "王丙[1]<王甲[1]", "王乙[1]<王甲[1]", "王戊<王丙[1]", "王甲[1]<"}},
        {"a loop of two beside the root",
         {{4, "王'戊"}},
         {"王丁[1]<王乙[1]", "王丙[1]<", "王乙[1]<王甲[1]", "王戊<王丙[1]", "王甲[1]<"}},
        {"a member who is his own father",
         {{5, "王丁"}},
         {"王丁[1]<", "王丙[1]<王甲[1]", "王乙[1]<王甲[1]", "王戊<王丙[1]", "王甲[1]<"}},
    };
    const QString path = Package();
    const QByteArray sound = FileBytes(path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString loop = book_.file(QStringLiteral("loop.mdb"));
        QFile::remove(loop);
        {
            QFile f(loop);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(sound);
        }
        {
            dao::Database package = dao::Database::Open(loop, "pw123");
            for (const auto& [sort, father] : c.fathers)
                package.Execute("UPDATE \"本姓成员\" SET father=? WHERE boy_sort=?",
                                {EncodeText(father, ServerKey()), sort});
        }
        dao::ReleaseAllIdleConnections();
        ASSERT_EQ(Import(loop), 0);
        EXPECT_EQ(Rows(db(),
                       "SELECT filial || '<' || ifnull(father, '') FROM \"本姓成员\" "
                       "WHERE filial_id > 7 ORDER BY filial"),
                  c.expected);
        db().Execute("DELETE FROM \"本姓成员\" WHERE filial_id > 7");
    }
}

// A package may come from anyone: its pages come in without scripts or event handlers, the book's own
// pages stay as they were.
TEST_F(PackageImport, PagesComeInWithoutWhatWouldRun) {
    const QString path = Package();
    {
        dao::Database package = dao::Database::Open(path, "pw123");
        package.Execute("UPDATE story SET Hisdescript=?",
                        {EncodeText("<p>传</p><script>steal()</script><img src=a onerror=b()>", StoreKey())});
    }
    dao::ReleaseAllIdleConnections();
    ASSERT_EQ(Import(path), 0);
    dao::Database pages = Pages();
    QStringList imported;
    for (const QString& row : Rows(pages,
                                   "SELECT filial, Hisdescript FROM story WHERE filial LIKE '%[1]' "
                                   "ORDER BY filial"))
        imported << row.section('|', 0, 0) + '=' + DecodeText(row.section('|', 1), StoreKey());
    EXPECT_EQ(imported, (QStringList{"王丁[1]=<p>传</p><img>", "王甲[1]=<p>传</p><img>"}));
    EXPECT_EQ(
        Rows(pages, "SELECT filial, Hisdescript FROM story WHERE filial NOT LIKE '%[1]' ORDER BY filial"),
        (QStringList{"王丁|<p>丁</p>", "王甲|<p>王甲传：\"迁居\" 'x' % [1]</p>", "王祖|<p>祖</p>"}));
}

TEST_F(PackageImport, AnOldLayoutPackageImportsTheSameWayTwice) {
    const QString path = Package();
    {
        dao::Database package = dao::Database::Open(path, "pw123");
        ClsDaoTable schema;
        for (const QString& table : QStringList{"本姓成员", "tmp2"})
            for (const QString& field : QStringList{"mysql_id", "myacc_id", "boy_sort", "filial_protect"})
                schema.DeleteField(table, package, field);
        ASSERT_FALSE(package.FieldNames("本姓成员").contains("boy_sort"));
    }
    ASSERT_EQ(Import(path), 0);
    ASSERT_EQ(Import(path), 0);
    const QString columns = "mother, c_jc_w_z_h, boy_death, boy_sort, mysql_id, myacc_id, filial_protect";
    EXPECT_EQ(Rows(db(), "SELECT " + columns + " FROM \"本姓成员\" WHERE filial='王丁'"),
              QStringList({"李氏5|称%5%讳%字%号%谥|1970-4-5|5|1005|2005|0"}));
    for (const QString& n : QStringList{"[1]", "[2]"}) {
        dao::Recordset rs = db().OpenRecordset(
            "SELECT " + columns + ", father FROM \"本姓成员\" WHERE filial=?", {"王丁" + n});
        ASSERT_TRUE(rs.hasRow());
        EXPECT_EQ(rs.Text("mother"), "李氏5");
        EXPECT_EQ(rs.Text("c_jc_w_z_h"), "称%5%讳%字%号%谥");
        EXPECT_EQ(rs.Text("boy_death"), "1970-4-5");
        EXPECT_EQ(rs.Long("boy_sort"), 0);
        EXPECT_EQ(rs.Long("mysql_id"), 0);
        EXPECT_EQ(rs.Long("myacc_id"), 0);
        EXPECT_EQ(rs.Long("filial_protect"), 0);
        EXPECT_EQ(rs.Text("father"), "王乙" + n);
    }
}

TEST_F(PackageImport, AWrongStrongPasswordIsRefusedWithNothingImported) {
    const QString path = Package(Digest("secret99"));
    const QStringList before = Snapshot();
    for (const QString& digest : {Digest("secret98"), QString()}) {
        QString error;
        EXPECT_EQ(Import(path, QString(), digest, "pw123", &error), dao::kErrWrongPassword);
        EXPECT_EQ(error, "强力密码不正确！再试一次吧。");
        EXPECT_EQ(Snapshot(), before);
        EXPECT_EQ(App().RootAncestorName, "王甲");
    }
    EXPECT_EQ(Import(path, QString(), Digest("secret99")), 0);
    EXPECT_EQ(Father("王丁[1]"), "王乙[1]");
}

// The record of the strong password may be gone or blanked; the concealed names still show it.
TEST_F(PackageImport, AStrongPasswordPackageWithoutItsRecordIsRefused) {
    const QString strong = Package(Digest("secret99"));
    const QByteArray whole = FileBytes(strong);
    const QStringList before = Snapshot();
    for (const char* strip : {"DELETE FROM myStrgPswd", "UPDATE myStrgPswd SET pswd=''",
                              "UPDATE myStrgPswd SET pswd=NULL", "DROP TABLE myStrgPswd"}) {
        SCOPED_TRACE(strip);
        {
            QFile f(strong);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(whole);
        }
        dao::Database::Open(strong, "pw123").Execute(QString::fromLatin1(strip));
        dao::ReleaseAllIdleConnections();
        QString error;
        EXPECT_EQ(Import(strong, QString(), QString(), "pw123", &error), dao::kErrWrongPassword);
        EXPECT_EQ(error, "强力密码不正确！再试一次吧。");
        EXPECT_EQ(Snapshot(), before);
    }
    // With the password typed the stripped package still imports; a plain one with a password does not.
    EXPECT_EQ(Import(strong, QString(), Digest("secret99")), 0);
    EXPECT_EQ(Father("王丁[1]"), "王乙[1]");
    const QString plain = book_.file("plain.mdb");
    ASSERT_EQ(Export(plain), 5);
    EXPECT_EQ(Import(plain, QString(), Digest("secret99")), dao::kErrWrongPassword);
}

TEST_F(PackageImport, MembersWithoutANameRefuseThePackage) {
    const QString path = Package();
    const QByteArray whole = FileBytes(path);
    const QStringList before = Snapshot();
    for (const char* name : {"NULL", "''", "'   '"}) {
        SCOPED_TRACE(name);
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(whole);
        }
        // 王乙 is the father of 王丁: the child would otherwise attach to the book's own 王乙.
        dao::Database pkg = dao::Database::Open(path, "pw123");
        const QString concealed = EncodeText("王乙", SettingsKey());
        ASSERT_EQ(pkg.Execute(QStringLiteral("UPDATE \"本姓成员\" SET filial=%1 WHERE filial=?").arg(name),
                              {concealed}),
                  1);
        pkg.Close();
        dao::ReleaseAllIdleConnections();
        QString error;
        EXPECT_EQ(Import(path, QString(), QString(), "pw123", &error), dao::kErrDamaged);
        EXPECT_EQ(error, "族谱包中有 1 个成员没有名字，这个包已损坏。没有导入任何成员。");
        EXPECT_EQ(Snapshot(), before);
    }
}

TEST_F(PackageImport, DamagedOrForeignFilesAreRefusedWithTheBookUnchanged) {
    const QString path = Package();
    const QStringList before = Snapshot();
    const QByteArray whole = FileBytes(path);
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(book_.file(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return book_.file(name);
    };
    const auto refused = [&](const QString& file, const QString& password, int expected) {
        SCOPED_TRACE(file.toStdString());
        QString error;
        const qint32 result = Import(file, QString(), QString(), password, &error);
        if (expected)
            EXPECT_EQ(result, expected);
        else
            EXPECT_NE(result, 0);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(Snapshot(), before);
    };
    refused(book_.file("missing.mdb"), "pw123", dao::kErrFileNotFound);
    refused(path, "wrong", dao::kErrWrongPassword);
    refused(write("text.mdb", QByteArray("这不是族谱文件\n").repeated(200)), "pw123", 0);
    {
        dao::Database foreign = dao::Database::Create(book_.file("foreign.mdb"), "pw123");
        foreign.Execute("CREATE TABLE \"本姓成员\" (filial TEXT)");
    }
    dao::ReleaseAllIdleConnections();
    refused(book_.file("foreign.mdb"), "pw123", dao::kErrTableNotFound);
    for (const double part : {0.3, 0.6, 0.8, 0.95})
        refused(write(QString("cut%1.mdb").arg(part), whole.left(qsizetype(whole.size() * part))), "pw123",
                0);
    // A torn package is named as the user's file, never as the import's private copy.
    const QString torn = write("torn.mdb", whole.left(whole.size() - 1000));
    QString error;
    EXPECT_EQ(Import(torn, QString(), QString(), "pw123", &error), dao::kErrDamaged);
    EXPECT_TRUE(error.startsWith(QStringLiteral("文件 '%1' 已损坏").arg(torn))) << error.toStdString();
}

// A damaged header that claims 4,279,369,738 pages in 40 KB is refused from the claim itself: the engine's
// own check would first clear memory for that many pages (535 MB).
TEST_F(PackageImport, AFileClaimingMorePagesThanItHoldsIsRefusedBeforeTheEngineChecksIt) {
    MakeBook();
    const QStringList before = Snapshot();
    const QString damaged = book_.file("claims.mdb");
    ASSERT_TRUE(QFile::copy(QStringLiteral(QENTARA_TEST_DATA "/../../fuzz/corpus/package_file/"
                                                             "damaged-check-half-a-gigabyte"),
                            damaged));
    rusage start{};
    getrusage(RUSAGE_SELF, &start);
    QString error;
    EXPECT_EQ(Import(damaged, QString(), QString(), QString(), &error), dao::kErrDamaged);
    rusage end{};
    getrusage(RUSAGE_SELF, &end);
    EXPECT_EQ(error, QStringLiteral("文件 '%1' 已损坏，或不是本程序的数据库文件。程序没有改动它；请先为它保留"
                                    "一份副本。 (4279369738 页，文件只有 40960 字节)")
                         .arg(damaged));
    EXPECT_LT(end.ru_maxrss - start.ru_maxrss, 64 * 1024) << "KB more at the peak";
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(PackageImport, AFailingStepUndoesTheWholeImport) {
    // The private copies go to a temporary folder of this case's own; one of them a killed run left.
    const QByteArray tmp = qgetenv("TMPDIR");
    ASSERT_TRUE(QDir().mkpath(book_.file("tmp/qentara-import-Ab12Cd")));
    QFile(book_.file("tmp/qentara-import-Ab12Cd/busy")).open(QIODevice::WriteOnly);
    qputenv("TMPDIR", book_.file("tmp").toUtf8());
    const QString path = Package();
    Images().Execute("ALTER TABLE imageylk RENAME TO imageylk_old");
    const qint64 keywords = Count(db(), "SELECT count(*) FROM pageindx");
    EXPECT_EQ(Import(path), dao::kErrTableNotFound);
    EXPECT_EQ(Members(), 7);
    EXPECT_EQ(Count(db(), "SELECT count(*) FROM pageindx"), keywords);
    dao::Database pages = Pages();
    EXPECT_EQ(Count(pages, "SELECT count(*) FROM story"), 3);
    EXPECT_EQ(QDir(book_.file("tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    qputenv("TMPDIR", tmp);
}

// With no room left for the private copy, the import says that the temporary folder's disk is full and
// names the user's package, never the copy; nothing is imported and nothing is left behind.
TEST_F(PackageImport, AFullTemporaryFolderIsToldAsSuchNamingThePackage) {
    const QByteArray tmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", book_.file("tmp").toUtf8());
    ASSERT_TRUE(QDir().mkpath(book_.file("tmp")));
    const QString path = Package();
    const QStringList before = Snapshot();
    QString error;
    qint32 result = 0;
    {
        const FileSizeLimit full(4096);
        result = Import(path, QString(), QString(), "pw123", &error);
    }
    EXPECT_EQ(result, kErrDiskFull);
    EXPECT_EQ(error, QStringLiteral("临时文件夹所在的磁盘已满，不能导入文件 '%1'。").arg(path));
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(QDir(book_.file("tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    qputenv("TMPDIR", tmp);
}

TEST_F(PackageImport, AReadOnlyPackageImportsAndIsLeftAsItWas) {
    const QString path = Package();
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QByteArray before = FileBytes(path);
    EXPECT_EQ(Import(path), 0);
    EXPECT_EQ(Father("王丁[1]"), "王乙[1]");
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_FALSE(QFileInfo::exists(path + ".lck"));
}

// Packages like these once left a lock behind them: the next command in the same run answered 3260.
TEST_F(PackageImport, AfterAnOddPackageTheNextCommandsFindTheBookFree) {
    const QString path = Package();
    const QByteArray whole = FileBytes(path);
    const QString longName = QString("王").repeated(60) + "\x01\t\n" + QString(QChar(0)) + "x";
    const QList<std::pair<QString, QString>> edits = {{"father", "王丁"},
                                                      {"filial", longName},
                                                      {"filial", QString("王\x01\x02\x1f甲")},
                                                      {"father", longName}};
    for (const auto& [column, text] : edits) {
        SCOPED_TRACE(column.toStdString() + " " + text.toStdString());
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(whole);
        }
        {
            dao::Database package = dao::Database::Open(path, "pw123");
            package.Execute(QString("UPDATE \"本姓成员\" SET %1=? WHERE boy_sort IN (2, 3)").arg(column),
                            {EncodeText(text, column == "father" ? ServerKey() : SettingsKey())});
        }
        dao::ReleaseAllIdleConnections();
        const qint64 members = Members();
        ASSERT_EQ(Import(path, "王祖"), 0);
        EXPECT_EQ(Members(), members + 5);
        Mark("王祖", 9);
        QFile::remove(book_.file("again.mdb"));
        EXPECT_GT(ops_->族谱备份(book_.file("again.mdb"), "王祖", 9, "pw123"), 5);
        QString html = "<p>再</p>";
        ops_->SaveAnyHtml(html, "王祖");
    }
}
