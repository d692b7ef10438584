#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <functional>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/text_scramble.h"
#include "platform/bookdir.h"
#include "support/book_fixture.h"

namespace {

class BookFiles : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        OpenDataDb(DataDbPath(), BookDbPassword());
    }
    dao::Database& db() { return App().DataDb; }
};

int ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const dao::DaoError& e) {
        return e.Number();
    }
    return 0;
}

}  // namespace

TEST_F(BookFiles, FolderAndFilesAreMadeEncrypted) {
    EXPECT_EQ(GetAppPath(), book_.path());
    for (const QString& path : {DataDbPath(), ImageDbPath(), DescriptDbPath()}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        EXPECT_FALSE(f.read(16).startsWith("SQLite format 3")) << path.toStdString();
        EXPECT_FALSE(QFileInfo::exists(path + ".part"));
        EXPECT_EQ(ErrorOf([&] { dao::Database::Open(path, ""); }), dao::kErrWrongPassword);
    }
    EXPECT_EQ(BookDbPassword(), StoreKey().left(11));
}

TEST_F(BookFiles, EveryTableIsInItsFile) {
    const QStringList data = db().TableNames();
    for (const char* t : {"本姓成员", "外戚成员", "temp世祖", "temp", "tempflag", "pageindx", "tempinfo",
                          "rowcolctrl", "pswdylk", "skrslt", "temp_px"})
        EXPECT_TRUE(data.contains(QString::fromUtf8(t))) << t;
    OpenImageDb(ImageDbPath(), BookDbPassword());
    EXPECT_EQ(App().ImageDb.FieldNames("imageylk"),
              QStringList({"filial", "myimage", "imagepath", "image_id", "flag"}));
    OpenDescriptDb(DescriptDbPath(), BookDbPassword());
    EXPECT_EQ(App().DescriptDb.FieldNames("story"), QStringList({"filial", "Hisdescript", "flag"}));
    const QStringList px = db().FieldNames("temp_px");
    ASSERT_EQ(px.size(), 41);
    EXPECT_EQ(px.first(), "boy1");
    EXPECT_EQ(px[20], "r_boy1");
    EXPECT_EQ(px.last(), "tmp_id");
}

TEST_F(BookFiles, MemberColumnDefaultsAndNameRules) {
    db().Execute("INSERT INTO \"本姓成员\" (filial, father) VALUES (?, ?)",
                 {QStringLiteral("Wang大"), QString("")});
    auto rs = db().OpenRecordset("SELECT * FROM \"本姓成员\" WHERE filial=?", {QStringLiteral("wANG大")});
    ASSERT_TRUE(rs.hasRow());  // names compare without regard to case
    EXPECT_EQ(rs.Long("generation"), -9999);
    EXPECT_EQ(rs.Long("flag"), -9);
    EXPECT_EQ(rs.Long("boy_sort"), 0);
    EXPECT_EQ(rs.Long("mysql_id"), 0);
    EXPECT_EQ(rs.Long("myacc_id"), 0);
    EXPECT_EQ(rs.Long("filial_protect"), 0);
    EXPECT_TRUE(rs.Bool("Boy_Sex"));
    EXPECT_TRUE(rs.Bool("boy_active"));
    EXPECT_TRUE(rs.Bool("Mother_active"));
    EXPECT_GT(rs.Long("filial_id"), 0);
    rs.Close();
    EXPECT_EQ(ErrorOf([&] {
                  db().Execute("INSERT INTO \"本姓成员\" (filial) VALUES (?)", {QStringLiteral("WANG大")});
              }),
              dao::kErrDuplicateKey);
}

TEST_F(BookFiles, ShippedPickListsAndSettingsRecord) {
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM tempinfo WHERE pageflag=1").toInt(), 56);
    EXPECT_EQ(db().Scalar("SELECT msgName FROM tempinfo WHERE pageflag=1 ORDER BY rowid LIMIT 1").toString(),
              QStringLiteral("汉族"));
    EXPECT_GT(db().Scalar("SELECT count(*) FROM tempinfo WHERE pageflag=2").toInt(), 5);
    EXPECT_GT(db().Scalar("SELECT count(*) FROM tempinfo WHERE pageflag=8").toInt(), 0);
    // Position titles are numbered from 1 (an approved member) up to the founder's title.
    QStringList titles;
    for (auto rs =
             db().OpenRecordset("SELECT msg_id, msgName FROM tempinfo WHERE pageflag=5 ORDER BY msg_id");
         rs.hasRow(); rs.MoveNext())
        titles << QString::number(rs.Long("msg_id")) + rs.Text("msgName");
    EXPECT_EQ(titles, QStringList({"1会员", "2理事", "3常务理事", "4副会长", "5会长"}));
    const QString key = SettingsKey();
    EXPECT_EQ(DecodeText(db().Scalar("SELECT flg FROM pswdylk WHERE whnt=0").toString(), key), "%%%30");
    EXPECT_EQ(DecodeText(db().Scalar("SELECT flg FROM pswdylk WHERE whnt=1").toString(), key), "%%");
}

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QString DescriptionOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const dao::DaoError& e) {
        return QString::number(e.Number()) + ' ' + e.Description();
    }
    return QString();
}

TEST_F(BookFiles, AMissingFileIsNamedAndNothingIsRemade) {
    db().Execute("INSERT INTO \"本姓成员\" (filial) VALUES ('始祖')");
    ResetAppState();
    dao::ReleaseAllIdleConnections();
    const QByteArray members = Bytes(DataDbPath());
    ASSERT_TRUE(QFile::remove(ImageDbPath()));
    const QString said = DescriptionOf([] { EnsureBookFiles(); });
    EXPECT_TRUE(said.startsWith("3024 ")) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("“zpimage.ctr”（图片）"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("程序没有改动任何文件"))) << said.toStdString();
    EXPECT_FALSE(QFileInfo::exists(ImageDbPath()));
    EXPECT_EQ(Bytes(DataDbPath()), members);
    // With none of the three there, it is a new book.
    ASSERT_TRUE(QFile::remove(DataDbPath()) && QFile::remove(DescriptDbPath()));
    EnsureBookFiles();
    for (const QString& path : {DataDbPath(), ImageDbPath(), DescriptDbPath()})
        EXPECT_TRUE(QFileInfo::exists(path) && !QFileInfo::exists(path + ".part")) << path.toStdString();
}

// Each kind of damage on each book file: the check refuses it naming the file, and no write reaches it.
TEST_F(BookFiles, DamagedOrForeignFilesAreRefusedAndLeftAsTheyAre) {
    db().Execute("INSERT INTO \"本姓成员\" (filial) VALUES ('始祖')");
    ResetAppState();
    dao::ReleaseAllIdleConnections();
    const QByteArray plainSqlite = [&] {
        const QString path = book_.file("plain.db");
        dao::Database::Create(path, "").Execute("CREATE TABLE t (x)");
        dao::ReleaseAllIdleConnections();
        return Bytes(path);
    }();
    const struct {
        const char* kind;
        std::function<QByteArray(QByteArray)> damage;
    } kinds[] = {
        {"torn last page", [](QByteArray b) { return b.left(b.size() - 1500); }},
        {"flipped byte in the last page", [](QByteArray b) { b[b.size() - 700] = char(b[b.size() - 700] ^ 0x10); return b; }},
        {"flipped byte in the first page", [](QByteArray b) { b[100] = char(b[100] ^ 0x01); return b; }},
        {"empty", [](QByteArray) { return QByteArray(); }},
        {"text", [](QByteArray) { return QByteArray("not a book\n").repeated(500); }},
        {"unencrypted database", [&](QByteArray) { return plainSqlite; }},
    };
    for (const QString& path : {DataDbPath(), ImageDbPath(), DescriptDbPath()}) {
        const QByteArray sound = Bytes(path);
        for (const auto& k : kinds) {
            SCOPED_TRACE(path.toStdString() + ": " + k.kind);
            Write(path, k.damage(sound));
            const QByteArray damaged = Bytes(path);
            const QString said = DescriptionOf([] { CheckBookFiles(); });
            EXPECT_TRUE(said.startsWith("3049 ")) << said.toStdString();
            EXPECT_TRUE(said.contains(path)) << said.toStdString();
            EXPECT_TRUE(said.contains(QStringLiteral("程序没有改动它；请先为它保留一份副本。"))) << said.toStdString();
            EXPECT_FALSE(said.contains(QStringLiteral("不是有效的密码"))) << said.toStdString();
            EXPECT_EQ(DescriptionOf([&] {
                          dao::Database::Open(path, BookDbPassword()).Execute("CREATE TABLE w (x)");
                      }).left(5),
                      "3049 ");
            EXPECT_EQ(Bytes(path), damaged);
            dao::ReleaseAllIdleConnections();
        }
        Write(path, sound);
    }
    CheckBookFiles();
}

TEST_F(BookFiles, OpenersKeepTheHandleOnFailure) {
    const auto before = db().connection();
    EXPECT_EQ(ErrorOf([&] { OpenDataDb(DataDbPath(), "wrong"); }), dao::kErrWrongPassword);
    EXPECT_EQ(db().connection(), before);
    EXPECT_EQ(ErrorOf([&] { OpenDataDb(book_.file("missing.ctr"), BookDbPassword()); }),
              dao::kErrFileNotFound);
    // Opening twice in a row leaves one working handle.
    OpenDataDb(DataDbPath(), BookDbPassword());
    OpenDataDb(DataDbPath(), BookDbPassword());
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM tempinfo WHERE pageflag=5").toInt(), 5);
}

TEST_F(BookFiles, TryOpenDbExclusiveReturnsTheEngineNumbers) {
    EXPECT_EQ(TryOpenDbExclusive(DataDbPath(), BookDbPassword()), dao::kErrFileInUse);
    EXPECT_FALSE(App().ExclusiveDb.isOpen());
    EXPECT_EQ(TryOpenDbExclusive(ImageDbPath(), "wrong"), dao::kErrWrongPassword);
    EXPECT_EQ(TryOpenDbExclusive(book_.file("none.mdb"), ""), dao::kErrFileNotFound);
    EXPECT_EQ(TryOpenDbExclusive(ImageDbPath(), BookDbPassword()), 0);
    EXPECT_TRUE(App().ExclusiveDb.exclusive());
    EXPECT_EQ(ErrorOf([&] { OpenImageDb(ImageDbPath(), BookDbPassword()); }), dao::kErrOpenedExclusively);
}

// A member's picture paths come from the index alone, in a new book and in one made before the index.
TEST_F(BookFiles, PicturePathsAreReadWithoutThePictures) {
    for (const bool older : {false, true}) {
        OpenImageDb(ImageDbPath(), BookDbPassword());
        if (older) {
            App().ImageDb.Execute("DROP INDEX \"idx_image_filial_path\"");
            // Opened afresh, as by the next run of the program.
            App().ImageDb.Close();
            dao::ReleaseAllIdleConnections();
            OpenImageDb(ImageDbPath(), BookDbPassword());
        }
        QStringList plan;
        for (dao::Recordset rs = App().ImageDb.OpenRecordset(
                 "EXPLAIN QUERY PLAN SELECT \"image_id\", \"imagepath\" FROM \"imageylk\" WHERE \"filial\"=? "
                 "ORDER BY rowid",
                 {QString("王")});
             rs.hasRow(); rs.MoveNext())
            plan << rs.Text("detail");
        EXPECT_TRUE(plan.join('\n').contains("COVERING INDEX idx_image_filial_path")) << plan.join('\n').toStdString();
    }
}
