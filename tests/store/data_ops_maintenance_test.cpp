#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>

#include "data_ops_fixture.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/text_scramble.h"
#include "store/data_ops.h"

namespace {

int DaoErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const dao::DaoError& e) {
        return e.Number();
    }
    return 0;
}

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool IsPlainFile(const QString& path) {
    return Bytes(path).startsWith("SQLite format 3");
}

class Maintenance : public DataOpsFixture {
protected:
    // A package-like file with one table of names, closed again.
    QString MakeFile(const QString& name, const QString& password, int rows) {
        const QString path = book_.file(name);
        dao::Database f = dao::Database::Create(path, password);
        auto tx = f.BeginTrans();
        f.Execute("CREATE TABLE \"tmp2\" (\"filial\" TEXT, \"n\" INTEGER)");
        for (int i = 0; i < rows; ++i)
            f.Execute("INSERT INTO \"tmp2\" VALUES (?, ?)", {QString("成员%1").arg(i), i});
        tx.Commit();
        f.Close();
        return path;
    }
    static qint64 RowsIn(const QString& path, const QString& password) {
        dao::Database f = dao::Database::Open(path, password);
        return f.Scalar("SELECT count(*) FROM \"tmp2\"").toLongLong();
    }
    void SetSettingsRows(const QVariant& row0, const QVariant& row1) {
        db().Execute("DELETE FROM \"pswdylk\"");
        const QString key = SettingsKey();
        if (!row0.isNull())
            db().Execute("INSERT INTO \"pswdylk\" VALUES (0, ?)", {EncodeText(row0.toString(), key)});
        if (!row1.isNull())
            db().Execute("INSERT INTO \"pswdylk\" VALUES (1, ?)", {EncodeText(row1.toString(), key)});
    }
};

}  // namespace

TEST_F(Maintenance, CompactingTheBookKeepsRowsAndPasswordAndReopensIt) {
    {
        auto tx = db().BeginTrans();
        for (int i = 0; i < 3000; ++i)
            db().Execute("INSERT INTO \"本姓成员\" (filial) VALUES (?)", {QString("成员%1").arg(i)});
        tx.Commit();
    }
    db().Execute("DELETE FROM \"本姓成员\" WHERE filial_id > 1000");
    const qint64 before = QFileInfo(DataDbPath()).size();
    OpenImageDb(ImageDbPath(), BookDbPassword());  // another book file stays as it was

    ops_->Dao修复压缩(DataDbPath(), book_.file("gmap.mdb"), BookDbPassword());

    EXPECT_LT(QFileInfo(DataDbPath()).size(), before);
    ASSERT_TRUE(db().isOpen());
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM \"本姓成员\"").toInt(), 1000);
    EXPECT_EQ(db().Scalar("SELECT filial FROM \"本姓成员\" WHERE filial_id=1000").toString(), "成员999");
    EXPECT_EQ(DaoErrorOf([&] { db().Execute("INSERT INTO \"本姓成员\" (filial) VALUES ('成员5')"); }),
              dao::kErrDuplicateKey);
    EXPECT_TRUE(App().ImageDb.isOpen());
    EXPECT_FALSE(IsPlainFile(DataDbPath()));
    db().Close();
    dao::ReleaseIdleConnections(DataDbPath());
    EXPECT_EQ(DaoErrorOf([&] { dao::Database::Open(DataDbPath(), ""); }), dao::kErrWrongPassword);
    EXPECT_FALSE(QFileInfo::exists(book_.file("gmap.mdb")));
}

TEST_F(Maintenance, CompactingAPackageKeepsItsOwnPassword) {
    const QString pkg = MakeFile("备份.zpk", "strong", 500);
    ops_->Dao修复压缩(pkg, book_.file("gmap.mdb"), "strong");
    EXPECT_EQ(RowsIn(pkg, "strong"), 500);
    EXPECT_EQ(DaoErrorOf([&] { RowsIn(pkg, ""); }), dao::kErrWrongPassword);
    EXPECT_TRUE(db().isOpen());
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM pswdylk").toInt(), 2);
}

TEST_F(Maintenance, FailedCompactionLeavesTheSourceAndSaysSo) {
    const QString pkg = MakeFile("a.zpk", "strong", 20);
    const QByteArray original = Bytes(pkg);
    EXPECT_EQ(DaoErrorOf([&] { ops_->Dao修复压缩(pkg, book_.file("gmap.mdb"), "wrong"); }),
              dao::kErrWrongPassword);
    EXPECT_EQ(Bytes(pkg), original);
    EXPECT_TRUE(db().isOpen());
    // A handle held elsewhere keeps the file: nothing is written over it.
    dao::Database holder = dao::Database::Open(pkg, "strong");
    EXPECT_EQ(DaoErrorOf([&] { ops_->Dao修复压缩(pkg, book_.file("gmap.tmp"), "strong"); }),
              dao::kErrFileInUse);
    EXPECT_EQ(holder.Scalar("SELECT count(*) FROM \"tmp2\"").toInt(), 20);
    EXPECT_EQ(Bytes(pkg), original);
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM pswdylk").toInt(), 2);
    EXPECT_EQ(DaoErrorOf([&] { ops_->Dao修复压缩(book_.file("none.zpk"), book_.file("gmap.mdb"), ""); }),
              dao::kErrFileNotFound);
    EXPECT_TRUE(db().isOpen());
}

TEST_F(Maintenance, PasswordChangeReallyEncryptsAndDecrypts) {
    const QString pkg = MakeFile("b.zpk", "", 30);
    ASSERT_TRUE(IsPlainFile(pkg));
    ops_->ChgPswd(pkg, "", "新密码1");
    EXPECT_FALSE(IsPlainFile(pkg));
    EXPECT_EQ(DaoErrorOf([&] { RowsIn(pkg, ""); }), dao::kErrWrongPassword);
    EXPECT_EQ(RowsIn(pkg, "新密码1"), 30);
    dao::ReleaseIdleConnections(pkg);
    EXPECT_FALSE(App().ExclusiveDb.isOpen());

    ops_->ChgPswd(pkg, "新密码1", "");
    EXPECT_TRUE(IsPlainFile(pkg));
    EXPECT_EQ(RowsIn(pkg, ""), 30);
    dao::ReleaseIdleConnections(pkg);
}

TEST_F(Maintenance, PasswordChangeThatCannotBeMade) {
    const QString pkg = MakeFile("c.zpk", "old", 3);
    const QByteArray original = Bytes(pkg);
    ops_->ChgPswd(pkg, "", "");          // nothing asked: nothing done, even on a file with a password
    ops_->ChgPswd(pkg, "wrong", "new");  // the wrong old password leaves the file alone, silently
    EXPECT_EQ(Bytes(pkg), original);
    dao::Database holder = dao::Database::Open(pkg, "old");
    EXPECT_EQ(DaoErrorOf([&] { ops_->ChgPswd(pkg, "old", "new"); }), dao::kErrFileInUse);
    holder.Close();
    EXPECT_EQ(Bytes(pkg), original);
    EXPECT_EQ(DaoErrorOf([&] { ops_->ChgPswd(book_.file("none.zpk"), "", "x"); }), dao::kErrFileNotFound);
}

TEST_F(Maintenance, PasswordChangeOfAFileTheProgramHoldsReopensItsHandle) {
    OpenImageDb(ImageDbPath(), BookDbPassword());
    App().ImageDb.Execute("INSERT INTO imageylk (filial) VALUES ('张三')");
    ops_->ChgPswd(ImageDbPath(), BookDbPassword(), "另一个");
    ASSERT_TRUE(App().ImageDb.isOpen());
    EXPECT_EQ(App().ImageDb.Scalar("SELECT filial FROM imageylk").toString(), "张三");
    App().ImageDb.Close();
    dao::ReleaseIdleConnections(ImageDbPath());
    // Under the built-in password the re-keyed file is no book file of ours any more.
    EXPECT_EQ(DaoErrorOf([&] { dao::Database::Open(ImageDbPath(), BookDbPassword()); }), dao::kErrDamaged);
}

TEST_F(Maintenance, SettingsStringKeepsFieldPositions) {
    EXPECT_EQ(ops_->ChgPswd2(), "%%%%30%%%");  // as shipped: 30 members per page

    SetSettingsRows(QVariant(), QVariant());
    EXPECT_EQ(ops_->ChgPswd2(), "%%%%%%%%");
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM pswdylk WHERE whnt=1 AND flg=''").toInt(), 1);
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM pswdylk").toInt(), 1);

    SetSettingsRows("www.x.cn%0571-1%某公司%25", QVariant());
    EXPECT_EQ(ops_->ChgPswd2(), "%www.x.cn%0571-1%某公司%25%%%%");
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM pswdylk WHERE whnt=1").toInt(), 1);
    EXPECT_EQ(ops_->ChgPswd2(), "%www.x.cn%0571-1%某公司%25%");

    SetSettingsRows(QVariant(), "qq 123%工行 1%农行 2");
    EXPECT_EQ(ops_->ChgPswd2(), "%%%%%qq 123%工行 1%农行 2");

    // A short or empty first row would move the second row's fields.
    SetSettingsRows("www.x.cn", "qq 5%a%b");
    EXPECT_EQ(ops_->ChgPswd2().split('%').value(5), "qq 5");
    SetSettingsRows("", "qq 5%a%b");
    EXPECT_EQ(ops_->ChgPswd2(), "%%%%%qq 5%a%b");
    SetSettingsRows("a%b%c%d%e", "qq 5%a%b");
    EXPECT_EQ(ops_->ChgPswd2(), "%a%b%c%d%qq 5%a%b");
}

TEST_F(Maintenance, SavedListsAreStoredAsGiven) {
    const QString key = SettingsKey();
    SetSettingsRows(QVariant(), QVariant());
    ops_->SavePswd2(EncodeText("w%t%n%40", key), EncodeText("qq 1%p%q", key));
    ops_->SavePswd2(EncodeText("w2%t2%n2%50", key), EncodeText("qq 2%p2%q2", key));
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM pswdylk").toInt(), 2);
    EXPECT_EQ(db().Scalar("SELECT flg FROM pswdylk WHERE whnt=0").toString(), EncodeText("w2%t2%n2%50", key));
    EXPECT_EQ(ops_->ChgPswd2(), "%w2%t2%n2%50%qq 2%p2%q2");
}

TEST_F(Maintenance, TelephoneAndQqNumberArePickedOut) {
    SetSettingsRows("w%0571-8888 1234\r\n138 0000 1111%n%30", "QQ: 45678 MSN: x%a%b");
    EXPECT_EQ(ops_->GetTeleNo(), "0571-8888123413800001111");
    EXPECT_EQ(ops_->GetQQNo(), "45678");
    SetSettingsRows("w%0571\n8888%n%30", "msn 678, qq 9%a%b");
    EXPECT_EQ(ops_->GetTeleNo(), "05718888");
    EXPECT_EQ(ops_->GetQQNo(), "9");
    SetSettingsRows(QVariant(), "1234x56");  // no "qq": the scan starts at the second character
    EXPECT_EQ(ops_->GetQQNo(), "234");
    EXPECT_EQ(ops_->GetTeleNo(), "");
    SetSettingsRows(QVariant(), "qq 号码未填");
    EXPECT_EQ(ops_->GetQQNo(), "");
}

TEST_F(Maintenance, ChartTableStartsWithTheLineAndEightyEmptyRows) {
    ops_->InitReport_Sxt("旧");
    ops_->InitReport_Sxt("┌─始祖");
    auto rs = db().OpenRecordset("SELECT * FROM skrslt ORDER BY id");
    ASSERT_TRUE(rs.hasRow());
    EXPECT_EQ(rs.Text("code"), "┌─始祖");
    int rows = 1;
    for (rs.MoveNext(); rs.hasRow(); rs.MoveNext(), ++rows) EXPECT_TRUE(rs.IsNull("code"));
    EXPECT_EQ(rows, 81);
}

TEST_F(Maintenance, PageKeywordsOfOneMember) {
    for (const char* row : {"张三|祖籍", "李四|迁徙", "张三|迁徙", "O'Neil|100%"}) {
        const QStringList f = QString::fromUtf8(row).split('|');
        db().Execute("INSERT INTO pageindx (filial, page_key) VALUES (?, ?)", {f[0], f[1]});
    }
    EXPECT_EQ(ops_->GetP_key("张三"), "祖籍%迁徙%");
    EXPECT_EQ(ops_->GetP_key("O'Neil"), "100%%");
    EXPECT_EQ(ops_->GetP_key("王五"), "");
}

// What a killed run leaves beside the files is cleared by the next run (or the next start), a failed run
// leaves nothing, and no lock file stays beside a file once it is let go.
TEST_F(Maintenance, NoWorkFileOutlivesItsOperation) {
    // Files the program has let go: their lock files must have gone with them.
    const auto files = [&] {
        dao::ReleaseAllIdleConnections();
        return QDir(book_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    };
    const auto leave = [&](const QString& name) {
        QFile f(book_.file(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("left by a killed run");
    };
    const QString pkg = MakeFile("a.zpk", "", 20);
    dao::ReleaseAllIdleConnections();
    const QStringList clean = files();

    leave("a.zpk.rewrite~");
    leave("a.zpk.rewrite~-journal");
    ops_->Dao修复压缩(pkg, book_.file("gmap.tmp"), "");
    EXPECT_EQ(files(), clean);
    EXPECT_EQ(DaoErrorOf([&] { ops_->Dao修复压缩(pkg, book_.file("gmap.tmp"), "wrong"); }), dao::kErrWrongPassword);
    ops_->ChgPswd(pkg, "", "新密码");
    dao::ReleaseAllIdleConnections();
    EXPECT_EQ(files(), clean);

    leave("zpdata.ctr-mj0A1B2C3D");
    leave("zpimage.ctr.rewrite~");
    leave("descript.ctr.part");
    CheckBookFiles();
    RemoveStaleWorkFiles();
    EXPECT_EQ(files(), clean);

    // A compaction of an empty file is refused; it used to leave a file without tables.
    leave("empty.zpk");
    QFile(book_.file("empty.zpk")).resize(0);
    EXPECT_EQ(DaoErrorOf([&] { ops_->Dao修复压缩(book_.file("empty.zpk"), book_.file("gmap.tmp"), ""); }),
              dao::kErrDamaged);
    EXPECT_EQ(QFileInfo(book_.file("empty.zpk")).size(), 0);
    QStringList withEmpty = clean + QStringList{"empty.zpk"};
    withEmpty.sort();
    EXPECT_EQ(files(), withEmpty);
}
