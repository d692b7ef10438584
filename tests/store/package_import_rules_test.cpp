// What a package brings is held to the book's rules: its names to those of typed names, its members to a
// tree the book can reach; a file that is no package, or a book file damaged meanwhile, is told as such.
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <functional>

#include "frame/text_scramble.h"
#include "package_fixture.h"
#include "store/package_format.h"

namespace {

class PackageImportRules : public PackageTest {
protected:
    struct Row {
        QString name;
        QVariant father;  // a package name, "" or Null
    };
    // A package without a password holding these members.
    QString Build(const QList<Row>& rows) {
        const QString path = book_.file("rules.mdb");
        QFile::remove(path);
        const package_format::Keys keys = package_format::MakeKeys(QString());
        {
            dao::Database package = dao::Database::Create(path, QString());
            for (const QString& sql : package_format::CreateStatements()) package.Execute(sql);
            for (const Row& r : rows)
                package.Execute("INSERT INTO \"本姓成员\" (filial, father) VALUES (?, ?)",
                                {EncodeText(r.name, keys.second),
                                 r.father.isValid() ? QVariant(EncodeText(r.father.toString(), keys.first))
                                                    : QVariant()});
        }
        dao::ReleaseAllIdleConnections();
        return path;
    }
    QStringList MembersAfter(qint64 id) {
        return Rows(db(), QString("SELECT filial || '<' || ifnull(father, 'NULL') FROM \"本姓成员\" "
                                  "WHERE filial_id > %1 ORDER BY filial_id")
                              .arg(id));
    }
    static bool HasLatinWords(QString text) { return text.contains(QRegularExpression("[A-Za-z]{3,}")); }
};

}  // namespace

// Each name is kept as the member form keeps a typed one; the children follow their father's kept name.
TEST_F(PackageImportRules, HostileNamesAreKeptByTheRulesOfTypedNames) {
    const QChar nul(0);
    const struct {
        QString sent, kept;
    } names[] = {
        {"王\n甲", "王甲"},
        {"王\r乙\r\n", "王乙"},
        {QString("王\t\x01\x1f丙") + nul, "王丙"},
        {"王\x7f丁", "王丁"},
        {QString("王") + QChar(0x85) + QChar(0x9F) + "戊", "王戊"},
        {QString(QChar(0x202E)) + "己王", "己王"},
        {QString("王") + QChar(0x200E) + QChar(0x200F) + QChar(0x202A) + QChar(0x202C) + "庚", "王庚"},
        {QString(QChar(0x2066)) + "王辛" + QChar(0x2069) + QChar(0x061C), "王辛"},
        {"王'壬", "王壬"},
        {"王%癸", "王癸"},
        {"{3}王子", "3王子"},
        {"王\\丑/寅;", "王丑寅"},
        {"王辰", "王辰"},
        {"王'辰", "王辰[1]"},  // the same name once cleaned: made unique as a typed one would be
    };
    QList<Row> rows{{"王始祖", ""}};
    QStringList expected{"王始祖<"};
    for (const auto& n : names) {
        rows << Row{n.sent, rows.size() == 1 ? QString("王始祖") : rows.last().name};
        expected << n.kept + '<' +
                        (expected.size() == 1 ? QString("王始祖") : expected.last().section('<', 0, 0));
    }
    ASSERT_EQ(Import(Build(rows), QString(), QString(), ""), 0);
    EXPECT_EQ(MembersAfter(0), expected);
}

TEST_F(PackageImportRules, ANameMadeOnlyOfWhatNamesMayNotHoldRefusesThePackage) {
    MakeBook();
    const QStringList before = Snapshot();
    for (const QString& name : {QString("'%{}"), QString("\r\n\t"), QString(QChar(0x202E)) + "/;"}) {
        QString error;
        EXPECT_EQ(Import(Build({{"甲", ""}, {name, "甲"}, {"乙", name}}), QString(), QString(), "", &error),
                  dao::kErrDamaged);
        EXPECT_EQ(error, "族谱包中有 1 个成员没有名字，这个包已损坏。没有导入任何成员。");
        EXPECT_EQ(Snapshot(), before);
    }
}

// Every member comes in where the tree reaches it: under its father in the package, under the member of
// the book its father names, or as a root.
TEST_F(PackageImportRules, AMemberWhoseFatherIsNowhereComesInAsARoot) {
    Add("书中人", "", 1);
    Add("Abc", "书中人", 2);
    const QString path = Build({{"甲", ""},
                                {"乙", "甲"},
                                {"丙", "不在书中"},
                                {"丁", "丙"},
                                {"戊", "书中人"},
                                {"己", "ABC"},
                                {"庚", "No_Display"},
                                {"辛", "   "},
                                {"壬", QVariant()}});
    ASSERT_EQ(Import(path, QString(), QString(), ""), 0);
    EXPECT_EQ(MembersAfter(2),
              QStringList({"甲<", "乙<甲", "丙<", "戊<书中人", "己<ABC", "庚<", "辛<", "壬<NULL", "丁<丙"}));
    // Under a member of the book: the package's root goes there, the member whose father is nowhere
    // stays a root.
    ASSERT_EQ(Import(path, "Abc", QString(), ""), 0);
    EXPECT_EQ(Father("甲[1]"), "Abc");
    EXPECT_EQ(Father("丙[1]"), "");
}

TEST_F(PackageImportRules, APlainDatabaseIsNoPackageOfThisProgram) {
    MakeBook();
    const QStringList before = Snapshot();
    const QString plain = book_.file("plain.db");
    {
        dao::Database other = dao::Database::Create(plain, QString());
        other.Execute("CREATE TABLE t (x)");
        other.Execute("CREATE TABLE \"本姓成员\" (filial TEXT)");
    }
    dao::ReleaseAllIdleConnections();
    for (const QString& password : {QString(), QString("pw123")}) {
        QString error;
        EXPECT_EQ(Import(plain, QString(), QString(), password, &error), dao::kErrTableNotFound);
        EXPECT_EQ(error, QString("文件 '%1' 不是本程序的族谱包，没有导入。").arg(plain));
        EXPECT_EQ(Snapshot(), before);
    }
    // A package without a password is one: a password typed for it is what is wrong.
    const QString path = Build({{"甲", ""}});
    QString error;
    EXPECT_EQ(Import(path, QString(), QString(), "pw123", &error), dao::kErrWrongPassword);
    EXPECT_EQ(Import(path, QString(), QString(), ""), 0);
}

// The picture file damaged while the book is open: the import meets the damage in a statement over
// several files, and names the one that is damaged, in the program's words only.
TEST_F(PackageImportRules, APictureFileDamagedMeanwhileIsNamed) {
    MakeBook();
    const QString path = book_.file("pkg.mdb");
    ASSERT_EQ(Export(path), 5);
    const QString images = QFileInfo(ImageDbPath()).canonicalFilePath();
    const QByteArray sound = FileBytes(images);
    const struct {
        const char* kind;
        std::function<QByteArray(QByteArray)> damage;
    } kinds[] = {
        {"torn last page", [](QByteArray b) { return b.left(b.size() - 1500); }},
        {"cut to its half", [](QByteArray b) { return b.left(b.size() / 2); }},
        {"pages after the first zeroed",
         [](QByteArray b) { return b.left(4096) + QByteArray(b.size() - 4096, '\0'); }},
        {"flipped byte in the first page",
         [](QByteArray b) {
             b[100] = char(b[100] ^ 0x01);
             return b;
         }},
        {"pages of text", [](QByteArray b) { return b.left(4096) + QByteArray("damaged ").repeated(4096); }},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.kind);
        // The book's picture file is in use, as after showing a page.
        App().ImageDb = Images();
        App().ImageDb.Scalar("SELECT count(*) FROM imageylk");
        {
            QFile f(images);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(k.damage(sound));
        }
        const qint64 members = Members();
        QString error;
        EXPECT_NE(Import(path, QString(), QString(), "pw123", &error), 0);
        EXPECT_TRUE(error.contains(images)) << error.toStdString();
        EXPECT_FALSE(error.contains("zpdata.ctr")) << error.toStdString();
        EXPECT_FALSE(HasLatinWords(QString(error).remove(images))) << error.toStdString();
        EXPECT_EQ(Members(), members);
        App().ImageDb.Close();
        dao::ReleaseAllIdleConnections();
        QFile f(images);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(sound);
    }
}

// The pictures a page keeps are found by its member's name in the package, concealed or not.
TEST_F(PackageImportRules, APageKeepsThePicturesItsMemberBringsWithOrWithoutAStrongPassword) {
    Add("王甲", "", 1);
    QString page = R"(<p>甲<img src="file://_app.bg_\c.png"><img src="file://_app.path_\d.png"></p>)";
    ops_->SaveAnyHtml(page, "王甲");
    AddPicture("王甲", Picture(1300, 4), DecodeText("file://_app.bg_\\c.png", StoreKey()));
    Mark("王甲");
    for (const QString& digest : {QString(), Digest("secret99")}) {
        const QString path = book_.file("own.mdb");
        QFile::remove(path);
        ASSERT_EQ(Export(path, digest), 1);
        ASSERT_EQ(Import(path, QString(), digest), 0);
        QString imported;
        ASSERT_FALSE(
            ops_->GetAnyHtmlCode(Rows(db(), "SELECT max(filial) FROM \"本姓成员\"").value(0), imported));
        EXPECT_TRUE(imported.endsWith(R"(c.png"><img></p>)")) << imported.toStdString();
    }
}
