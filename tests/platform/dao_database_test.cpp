#include <fcntl.h>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/dao/dao_database.h"
#include "support/temp_book.h"

using dao::DaoError;
using dao::Database;

namespace {

int ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const DaoError& e) {
        return e.Number();
    }
    return 0;
}

Database MakeDb(const QString& path, const QString& password) {
    Database db = Database::Create(path, password);
    db.Execute("CREATE TABLE m (name TEXT COLLATE NOCASE UNIQUE, n INTEGER)");
    return db;
}

// Holds the lock file the way a second running copy of the program would.
struct OtherProgramLock {
    OtherProgramLock(const QString& dbPath, int how) {
        fd = ::open(QFile::encodeName(dbPath + ".lck").constData(), O_RDWR | O_CREAT, 0644);
        ok = fd >= 0 && ::flock(fd, how | LOCK_NB) == 0;
    }
    ~OtherProgramLock() { ::close(fd); }
    int fd;
    bool ok;
};

}  // namespace

TEST(DaoOpen, WrongPasswordMissingFileAndRightPassword) {
    TempBook book;
    const QString path = book.file("a.ctr");
    MakeDb(path, "secret").Close();
    dao::ReleaseAllIdleConnections();
    EXPECT_EQ(ErrorOf([&] { Database::Open(path, "wrong"); }), dao::kErrWrongPassword);
    EXPECT_EQ(ErrorOf([&] { Database::Open(path, ""); }), dao::kErrWrongPassword);
    EXPECT_EQ(ErrorOf([&] { Database::Open(book.file("none.ctr"), "secret"); }), dao::kErrFileNotFound);
    Database ok = Database::Open(path, "secret");
    EXPECT_EQ(ok.Scalar("SELECT count(*) FROM m").toInt(), 0);
    // A cached connection must not let a wrong password through.
    EXPECT_EQ(ErrorOf([&] { Database::Open(path, "wrong"); }), dao::kErrWrongPassword);
    try {
        Database::Open(path, "wrong");
    } catch (const DaoError& e) {
        EXPECT_EQ(e.Description(), QStringLiteral("不是有效的密码。"));
    }
}

TEST(DaoOpen, SharedOpensShareOneConnection) {
    TempBook book;
    const QString path = book.file("a.ctr");
    Database first = MakeDb(path, "pw");
    Database second = Database::Open(path, "pw");
    EXPECT_EQ(first.connection(), second.connection());
    first.Execute("INSERT INTO m VALUES ('x', 1)");
    EXPECT_EQ(second.Scalar("SELECT n FROM m").toInt(), 1);
}

TEST(DaoOpen, ExclusiveOpenRefusedWhileOpenElsewhere) {
    TempBook book;
    const QString path = book.file("a.ctr");
    Database shared = MakeDb(path, "pw");
    EXPECT_EQ(ErrorOf([&] { Database::Open(path, "pw", true); }), dao::kErrFileInUse);
    shared.Close();
    // Idle cached connections give way to an exclusive open.
    Database exclusive = Database::Open(path, "pw", true);
    EXPECT_TRUE(exclusive.exclusive());
    EXPECT_EQ(ErrorOf([&] { Database::Open(path, "pw"); }), dao::kErrOpenedExclusively);
    EXPECT_EQ(ErrorOf([&] { Database::Open(path, "pw", true); }), dao::kErrFileInUse);
    exclusive.Close();
    EXPECT_EQ(ErrorOf([&] { Database::Open(path, "pw"); }), 0);
}

TEST(DaoOpen, AnotherProgramsLocksAreHonoured) {
    TempBook book;
    const QString path = book.file("a.ctr");
    MakeDb(path, "pw").Close();
    dao::ReleaseAllIdleConnections();
    {
        OtherProgramLock other(path, LOCK_SH);
        ASSERT_TRUE(other.ok);
        EXPECT_EQ(ErrorOf([&] { Database::Open(path, "pw", true); }), dao::kErrFileInUse);
        EXPECT_EQ(ErrorOf([&] { Database::Open(path, "pw").Close(); }), 0);
        dao::ReleaseAllIdleConnections();
    }
    {
        OtherProgramLock other(path, LOCK_EX);
        ASSERT_TRUE(other.ok);
        EXPECT_EQ(ErrorOf([&] { Database::Open(path, "pw"); }), dao::kErrOpenedExclusively);
        // An attach is a use of the file as much as an open.
        Database main = MakeDb(book.file("main.ctr"), "pw");
        EXPECT_EQ(ErrorOf([&] { main.Attach(path, "side", "pw"); }), dao::kErrOpenedExclusively);
    }
    // Attached, the file holds a shared lock another copy's exclusive open must respect; the lock file
    // goes once nobody holds it.
    Database main = Database::Open(book.file("main.ctr"), "pw");
    main.Attach(path, "side", "pw");
    EXPECT_FALSE(OtherProgramLock(path, LOCK_EX).ok);
    main.Detach("side");
    main.Close();
    dao::ReleaseAllIdleConnections();
    EXPECT_FALSE(QFileInfo::exists(path + ".lck"));
}

TEST(DaoOpen, AFileReplacedOnDiskIsOpenedAfresh) {
    TempBook book;
    const QString path = book.file("a.ctr");
    Database first = MakeDb(path, "pw");
    first.Execute("INSERT INTO m VALUES ('old', 1)");
    {
        Database other = MakeDb(book.file("b.ctr"), "pw");
        other.Execute("INSERT INTO m VALUES ('new', 2)");
    }
    dao::ReleaseIdleConnections(book.file("b.ctr"));
    ASSERT_EQ(std::rename(QFile::encodeName(book.file("b.ctr")).constData(), QFile::encodeName(path).constData()), 0);
    first.Close();
    EXPECT_EQ(Database::Open(path, "pw").Scalar("SELECT name FROM m").toString(), "new");
}

TEST(DaoOpen, FileCreatedThroughALinkedFolderIsOneFile) {
    TempBook book;
    ASSERT_TRUE(QDir(book.path()).mkdir("real"));
    ASSERT_TRUE(QFile::link(book.file("real"), book.file("link")));
    const QString viaLink = book.file("link/a.ctr");
    MakeDb(viaLink, "pw").Close();
    // The idle connection left by the creation is the file's own and gives way to an exclusive open.
    EXPECT_EQ(ErrorOf([&] { Database::Open(book.file("real/a.ctr"), "pw", true).Close(); }), 0);
    Database made = MakeDb(book.file("link/b.ctr"), "pw");
    EXPECT_TRUE(dao::IsFileInUse(book.file("real/b.ctr")));
    EXPECT_EQ(ErrorOf([&] { dao::RewriteFile(book.file("real/b.ctr"), "pw", "pw"); }), dao::kErrFileInUse);
    made.Close();
    dao::ReleaseIdleConnections(book.file("real/b.ctr"));
    EXPECT_FALSE(dao::IsFileInUse(viaLink));
    EXPECT_EQ(ErrorOf([&] { dao::RewriteFile(book.file("link/b.ctr"), "pw", "pw"); }), 0);
}

TEST(DaoValues, QuotesAndPercentAreLiteral) {
    TempBook book;
    Database db = MakeDb(book.file("a.ctr"), "pw");
    const QString name = QStringLiteral("王'大%_\"; DROP TABLE m; --");
    db.Execute("INSERT INTO m VALUES (?, ?)", {name, 7});
    db.Execute("INSERT INTO m VALUES (?, ?)", {QStringLiteral("王X大"), 8});
    EXPECT_EQ(db.Scalar("SELECT n FROM m WHERE name=?", {name}).toInt(), 7);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM m WHERE name=?", {QStringLiteral("王'大%")}).toInt(), 0);
    auto rs = db.OpenRecordset("SELECT name, n AS Num FROM m ORDER BY n");
    ASSERT_TRUE(rs.hasRow());
    EXPECT_EQ(rs.Text("NAME"), name);  // field names ignore case
    EXPECT_EQ(rs.Long("num"), 7);
}

TEST(DaoValues, NullTextBoolAndBlob) {
    TempBook book;
    Database db = Database::Create(book.file("a.ctr"), "pw");
    db.Execute("CREATE TABLE t (s TEXT, b INTEGER, p BLOB)");
    QByteArray bytes(5000, '\0');
    for (int i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7);
    db.Execute("INSERT INTO t VALUES (?, ?, ?)", {QVariant(), true, bytes});
    db.Execute("INSERT INTO t VALUES (?, ?, ?)", {QString(""), false, QByteArray()});
    auto rs = db.OpenRecordset("SELECT * FROM t ORDER BY rowid");
    EXPECT_TRUE(rs.IsNull("s"));
    EXPECT_EQ(rs.Text("s"), QString(""));
    EXPECT_TRUE(rs.Bool("b"));
    EXPECT_EQ(rs.Bytes("p"), bytes);
    rs.MoveNext();
    EXPECT_FALSE(rs.IsNull("s"));  // an empty text stays an empty text, not Null
    EXPECT_FALSE(rs.Bool("b"));
    rs.MoveNext();
    EXPECT_TRUE(rs.EOF_());
}

// Text handed over in UTF-8 stores the very bytes the engine makes of the same text handed over in
// UTF-16, odd texts too; bound for a statement run at once and for a record set.
TEST(DaoValues, Utf8TextStoresWhatUtf16TextStores) {
    TempBook book;
    Database db = Database::Create(book.file("a.ctr"), "pw");
    db.Execute("CREATE TABLE t (s TEXT)");
    const QChar high(0xD800);
    const QChar low(0xDC00);
    const QString texts[] = {
        QString(),
        QStringLiteral("plain"),
        QStringLiteral("  王甲━━乙┳┣┗┃ é¢ 世  "),
        QStringLiteral("𠀀 and 😀"),
        QString(QChar(0xFEFF)) + QStringLiteral("bom"),
        QString(QChar(0xFEFF)) + QChar(0xFEFF) + QStringLiteral("twice"),
        QStringLiteral("mid") + QChar(0xFEFF),
        QString(QChar(0xFFFE)) + QStringLiteral("swapped 王") + QChar(0x00D8) + QChar(0x00DC),
        QStringLiteral("nul") + QChar(0) + QStringLiteral("kept"),
        QStringLiteral("ends ") + high,
        QString(low) + QStringLiteral("starts"),
        QString(high) + QStringLiteral("x") + high + high,
        QStringLiteral("abcd") + high + QStringLiteral("efgh ijkl mnop"),
        QStringLiteral("abcdefg王hijklmnopq━r")};
    for (const QString& text : texts) {
        std::string utf8;
        dao::AppendEngineUtf8(utf8, text);
        const QVariant bound = QVariant::fromValue(dao::Utf8Text{QByteArray::fromStdString(utf8)});
        db.Execute("DELETE FROM t");
        db.Execute("INSERT INTO t VALUES (?)", {text});
        db.Execute("INSERT INTO t VALUES (?)", {bound});
        auto rs = db.OpenRecordset("SELECT typeof(s) || ' ' || hex(s) FROM t ORDER BY rowid");
        const QString stored = rs.value(0).toString();
        rs.MoveNext();
        EXPECT_EQ(rs.value(0).toString(), stored) << text.toStdString();
        EXPECT_TRUE(stored.startsWith("text ")) << stored.toStdString();
        EXPECT_EQ(db.Scalar("SELECT typeof(?) || ' ' || hex(?)", {bound, bound}).toString(), stored);
    }
}

TEST(DaoTransactions, FailedMultiRowOperationLeavesNothing) {
    TempBook book;
    Database db = MakeDb(book.file("a.ctr"), "pw");
    Database side = MakeDb(book.file("b.ctr"), "pw2");
    side.Close();
    db.Attach(book.file("b.ctr"), "side", "pw2");
    try {
        auto tx = db.BeginTrans();
        db.Execute("INSERT INTO m VALUES ('a', 1)");
        db.Execute("INSERT INTO side.m VALUES ('a', 1)");
        db.Execute("INSERT INTO m VALUES ('A', 2)");  // same name in another case: refused
        tx.Commit();
        FAIL() << "duplicate accepted";
    } catch (const DaoError& e) {
        EXPECT_EQ(e.Number(), dao::kErrDuplicateKey);
    }
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM m").toInt(), 0);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM side.m").toInt(), 0);

    auto outer = db.BeginTrans();
    db.Execute("INSERT INTO m VALUES ('kept', 1)");
    {
        auto inner = db.BeginTrans();
        db.Execute("INSERT INTO m VALUES ('dropped', 2)");
    }  // not committed: only the inner part goes
    outer.Commit();
    EXPECT_EQ(db.Scalar("SELECT group_concat(name) FROM m").toString(), QStringLiteral("kept"));
}

// A full disk (the engine's page limit stands in for it) and a file the engine may only read are told
// in Chinese with the file the statement wrote, an attached one by its own name.
TEST(DaoTransactions, AFullDiskOrAReadOnlyFileIsToldWithTheFile) {
    TempBook book;
    Database db = MakeDb(book.file("a.ctr"), "pw");
    MakeDb(book.file("b.ctr"), "pw").Close();
    db.Attach(book.file("b.ctr"), "side", "pw");
    const QString big(20000, QChar(u'字'));
    const auto told = [&](const QString& sql) {
        try {
            db.Execute(sql, {big});
        } catch (const DaoError& e) {
            return e.Description();
        }
        return QString();
    };
    db.Execute("PRAGMA side.max_page_count=3");
    EXPECT_EQ(told("INSERT INTO \"side\".\"m\" VALUES (?, 1)"),
              QStringLiteral("磁盘已满，不能写入文件 '%1'。")
                  .arg(QFileInfo(book.file("b.ctr")).canonicalFilePath()));
    db.Execute("PRAGMA main.max_page_count=3");
    EXPECT_EQ(told("INSERT INTO m VALUES (?, 1)"),
              QStringLiteral("磁盘已满，不能写入文件 '%1'。")
                  .arg(QFileInfo(book.file("a.ctr")).canonicalFilePath()));
    db.Execute("PRAGMA query_only=1");
    EXPECT_EQ(told("INSERT INTO m VALUES (?, 2)"),
              QStringLiteral("不能写入文件 '%1'：文件或它所在的磁盘是只读的。")
                  .arg(QFileInfo(book.file("a.ctr")).canonicalFilePath()));
}

TEST(DaoTransactions, AttachWithWrongPasswordFails) {
    TempBook book;
    Database db = MakeDb(book.file("a.ctr"), "pw");
    MakeDb(book.file("b.ctr"), "pw2").Close();
    EXPECT_EQ(ErrorOf([&] { db.Attach(book.file("b.ctr"), "side", "nope"); }), dao::kErrWrongPassword);
    EXPECT_EQ(ErrorOf([&] { db.Attach(book.file("b.ctr"), "side", "pw2"); }), 0);
}

TEST(DaoRewrite, PasswordChangeReallyEncrypts) {
    TempBook book;
    const QString path = book.file("plain.mdb");
    {
        Database db = MakeDb(path, "");
        db.Execute("INSERT INTO m VALUES ('张三', 1)");
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(15).startsWith("SQLite format 3"));
    f.close();
    dao::RewriteFile(path, "", "newpw");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.read(15).startsWith("SQLite format 3"));
    f.close();
    EXPECT_EQ(ErrorOf([&] { Database::Open(path, ""); }), dao::kErrWrongPassword);
    Database reopened = Database::Open(path, "newpw");
    EXPECT_EQ(reopened.Scalar("SELECT name FROM m").toString(), QStringLiteral("张三"));
    EXPECT_FALSE(QFileInfo::exists(path + ".rewrite~"));
}

TEST(DaoRewrite, CompactionKeepsEveryRowAndShrinks) {
    TempBook book;
    const QString path = book.file("a.ctr");
    {
        Database db = MakeDb(path, "pw");
        auto tx = db.BeginTrans();
        for (int i = 0; i < 3000; ++i)
            db.Execute("INSERT INTO m VALUES (?, ?)", {QStringLiteral("成员%1").arg(i), i});
        tx.Commit();
        db.Execute("DELETE FROM m WHERE n >= 1000");
    }
    const qint64 before = QFileInfo(path).size();
    dao::RewriteFile(path, "pw", "pw");
    EXPECT_LT(QFileInfo(path).size(), before);
    Database db = Database::Open(path, "pw");
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM m").toInt(), 1000);
    EXPECT_EQ(db.Scalar("SELECT sum(n) FROM m").toLongLong(), 999LL * 1000 / 2);
    // The unique index came along.
    EXPECT_EQ(ErrorOf([&] { db.Execute("INSERT INTO m VALUES ('成员5', 0)"); }), dao::kErrDuplicateKey);
}

TEST(DaoRewrite, RefusedWhileTheFileIsOpen) {
    TempBook book;
    const QString path = book.file("a.ctr");
    Database db = MakeDb(path, "pw");
    db.Execute("INSERT INTO m VALUES ('a', 1)");
    EXPECT_EQ(ErrorOf([&] { dao::RewriteFile(path, "pw", "other"); }), dao::kErrFileInUse);
    auto rs = db.OpenRecordset("SELECT * FROM m");
    db.Close();
    // An open record set still holds the file.
    EXPECT_EQ(ErrorOf([&] { dao::RewriteFile(path, "pw", "other"); }), dao::kErrFileInUse);
    rs.Close();
    EXPECT_EQ(ErrorOf([&] { dao::RewriteFile(path, "pw", "other"); }), 0);
    EXPECT_EQ(ErrorOf([&] { Database::Open(path, "other"); }), 0);
}

TEST(DaoValues, SchemaChangeIsSeenBySameQueryText) {
    TempBook book;
    Database db = MakeDb(book.file("a.ctr"), "pw");
    db.Execute("INSERT INTO m VALUES ('a', 1)");
    EXPECT_EQ(db.OpenRecordset("SELECT * FROM m").fieldIndex("extra"), -1);
    db.Execute("ALTER TABLE m ADD COLUMN extra TEXT DEFAULT 'x'");
    auto rs = db.OpenRecordset("SELECT * FROM m");
    EXPECT_EQ(rs.Text("extra"), "x");
}
