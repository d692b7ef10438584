#include <gtest/gtest.h>

#include <QFile>

#include "online/member_sync_fixture.h"
#include "store/page_start_store.h"
#include "support/book_fixture.h"

namespace {

using namespace sync_book;

// A staging file written by hand, as the tree download writes it, merged into the book.
class DataOpsMergeTest : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        ops_ = std::make_unique<Cls数据操作>();
        staging_ = member_exchange::CreateStaging(member_exchange::StagingPath());
    }
    void TearDown() override {
        staging_.Close();
        ops_.reset();
        BookFixture::TearDown();
    }
    void stage(qint32 serverId, const QString& name, const QString& father,
               const QString& birthday = "2000") {
        staging_.Execute(
            QStringLiteral(
                "INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"mysql_id\", \"boy_birthday\", "
                "\"mother\") VALUES (?, ?, ?, ?, '服务器母')"),
            {name, father, serverId, birthday});
    }
    void stagePicture(qint32 serverId, const QString& name, const QByteArray& bytes, const QString& path) {
        staging_.Execute(
            QStringLiteral("INSERT INTO \"imageylk\" (\"filial\", \"myimage\", \"imagepath\", \"flag\") "
                           "VALUES (?, ?, ?, ?)"),
            {name, bytes, DecodeText(path, StoreKey()), serverId});
    }
    void stagePage(qint32 serverId, const QString& name, const QString& html) {
        staging_.Execute(
            QStringLiteral("INSERT INTO \"story\" (\"filial\", \"Hisdescript\", \"flag\") VALUES (?, ?, ?)"),
            {name, EncodeText(html, StoreKey()), serverId});
    }
    qint32 merge(QString* error = nullptr) {
        staging_.Close();
        return ops_->DaReLoad(member_exchange::StagingPath(), error);
    }

    std::unique_ptr<Cls数据操作> ops_;
    dao::Database staging_;
};

TEST_F(DataOpsMergeTest, AMemberInTheBookIsUpdatedInPlaceAndKeepsWhatTheDownloadLacks) {
    Add(QStringLiteral("老家"));
    Add(QStringLiteral("王甲"), QStringLiteral("老家"), 11);
    Add(QStringLiteral("王乙"), QStringLiteral("王甲"));
    AddPicture(QStringLiteral("王甲"), "OLD", QStringLiteral("old.jpg"));
    SetPage(QStringLiteral("王甲"), QStringLiteral("<p>本地</p>"));
    Db().Execute(
        QStringLiteral("INSERT INTO \"pageindx\" (\"filial\", \"page_key\") VALUES ('王甲', '关键')"));
    PageStartStore().AddStart(1, QStringLiteral("王甲"), 0);
    stage(11, QStringLiteral("王丙"), QString());  // renamed on the server
    stagePage(11, QStringLiteral("王丙"), QStringLiteral("<p>服务器</p>"));
    staging_.Execute(QStringLiteral("INSERT INTO \"tmp2\" (\"filial\") VALUES ('旧')"));
    staging_.Execute(QStringLiteral("INSERT INTO \"tmp2img\" (\"filial\") VALUES ('旧')"));
    staging_.Execute(QStringLiteral("INSERT INTO \"tmp2stry\" (\"filial\") VALUES ('旧')"));
    App().RootAncestorName = QStringLiteral("老家");

    ASSERT_EQ(merge(), 0);
    EXPECT_EQ(Column(QStringLiteral("王丙"), "father"), QStringLiteral("老家"));
    EXPECT_EQ(Column(QStringLiteral("王丙"), "boy_birthday"), QStringLiteral("2000"));
    EXPECT_EQ(Column(QStringLiteral("王丙"), "mother"), QStringLiteral("服务器母"));
    EXPECT_EQ(Column(QStringLiteral("王乙"), "father"), QStringLiteral("王丙"));
    EXPECT_EQ(Page(QStringLiteral("王丙")), QStringLiteral("<p>服务器</p>"));
    EXPECT_EQ(Pictures(QStringLiteral("王丙")).size(), 1);  // the download brought none: the book's stays
    EXPECT_EQ(Db().Scalar(QStringLiteral("SELECT \"filial\" FROM \"pageindx\"")).toString(),
              QStringLiteral("王丙"));
    EXPECT_EQ(PageStartStore().StartsOf(1), QList<PageStart>{(PageStart{QStringLiteral("王丙"), 0})});
    EXPECT_EQ(App().RootAncestorName, QString());
    // The work tables are empty afterwards, the downloaded ones as they were.
    staging_ = dao::Database::Open(member_exchange::StagingPath(), QString());
    for (const char* table : {"tmp2", "tmp2img", "tmp2stry"})
        EXPECT_EQ(
            staging_.Scalar(QStringLiteral("SELECT count(*) FROM ") + QString::fromLatin1(table)).toInt(), 0);
    EXPECT_EQ(staging_.Scalar(QStringLiteral("SELECT count(*) FROM \"本姓成员\"")).toInt(), 1);
}

TEST_F(DataOpsMergeTest, NamesClashWithTheBookAndWithinTheBatchAndFathersFollow) {
    Add(QStringLiteral("王五"));
    Add(QStringLiteral("王五[1]"));
    Add(QStringLiteral("王五[4]"), QString(), 99);
    Add(QStringLiteral("张一"));
    // The child comes before its root; two members the server keeps under one name.
    stage(32, QStringLiteral("张二"), QStringLiteral("张一"));
    stage(31, QStringLiteral("张一"), QString());
    stage(21, QStringLiteral("王五"), QString());
    stage(42, QStringLiteral("王五"), QString());
    stage(43, QStringLiteral("王六"), QStringLiteral("王五"));
    stagePicture(21, QStringLiteral("王五"), "AAAA", QStringLiteral("a.jpg"));
    stagePicture(42, QStringLiteral("王五"), "BB", QStringLiteral("b.jpg"));
    stagePage(42, QStringLiteral("王五"), QStringLiteral("<p>四二</p>"));

    ASSERT_EQ(merge(), 0);
    const auto row = [](const char* name) {
        const QString n = QString::fromUtf8(name);
        return Column(n, "father") + '|' + Column(n, "mysql_id");
    };
    EXPECT_EQ(row("张一"), QStringLiteral("|0"));
    EXPECT_EQ(row("张一[1]"), QStringLiteral("|31"));
    EXPECT_EQ(row("张二"), QStringLiteral("张一[1]|32"));
    EXPECT_EQ(row("王五[5]"), QStringLiteral("|21"));
    EXPECT_EQ(row("王五[6]"), QStringLiteral("|42"));
    EXPECT_EQ(row("王六"), QStringLiteral("王五[5]|43"));  // of one name, the first
    EXPECT_EQ(Pictures(QStringLiteral("王五[5]")).value(0).section(':', 0, 1), QStringLiteral("a.jpg:4"));
    EXPECT_EQ(Pictures(QStringLiteral("王五[6]")).value(0).section(':', 0, 1), QStringLiteral("b.jpg:2"));
    EXPECT_EQ(Page(QStringLiteral("王五[5]")), QStringLiteral("-"));
    EXPECT_EQ(Page(QStringLiteral("王五[6]")), QStringLiteral("<p>四二</p>"));
    EXPECT_EQ(Pictures(QStringLiteral("王五")), QStringList());
}

TEST_F(DataOpsMergeTest, AFailedMergeLeavesTheBookByteIdentical) {
    Add(QStringLiteral("甲"), QString(), 1);
    stage(1, QStringLiteral("甲改"), QString());
    stage(2, QStringLiteral("乙"), QStringLiteral("甲改"));
    stage(3, QStringLiteral("丙"), QStringLiteral("乙"));
    stagePicture(2, QStringLiteral("乙"), "PIC", QStringLiteral("p.jpg"));
    stagePage(2, QStringLiteral("乙"), QStringLiteral("<p>乙</p>"));
    Db().Execute(
        QStringLiteral("CREATE TRIGGER \"fail_on_third\" BEFORE INSERT ON \"本姓成员\" WHEN NEW.\"filial\" = "
                       "'丙' BEGIN SELECT RAISE(ABORT, '第三个成员写不进去'); END"));
    const auto bytes = [] {
        QStringList all;
        for (const QString& path : {DataDbPath(), ImageDbPath(), DescriptDbPath()}) {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            all << QString::fromLatin1(file.readAll().toHex());
        }
        return all;
    };
    const QStringList before = bytes();
    QString error;
    EXPECT_NE(merge(&error), 0);
    EXPECT_TRUE(error.contains(QStringLiteral("第三个成员写不进去"))) << error.toStdString();
    dao::ReleaseAllIdleConnections();
    EXPECT_TRUE(bytes() == before);

    ASSERT_TRUE(QFile::remove(member_exchange::StagingPath()));
    EXPECT_EQ(merge(&error), dao::kErrFileNotFound);
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace

// A downloaded page keeps the pictures its member has after the merge (those that came with it, else the
// book's own) and nothing that leads outside.
TEST_F(DataOpsMergeTest, APageComesInNamingOnlyItsMembersPictures) {
    const QString page = QStringLiteral(
        "<body background=\"http://127.0.0.1:9/bg.jpg\"><img src=\"file://_app.path_\\own.gif\">"
        "<img src=\"file://_app.path_\\book.gif\"><img src=\"http://127.0.0.1:9/a.jpg\">"
        "<embed src=\"/etc/passwd\"><a href=\"file:///proc/self/environ\">e</a></body>");
    Add(QStringLiteral("老家"));
    Add(QStringLiteral("王甲"), QStringLiteral("老家"), 11);
    AddPicture(QStringLiteral("王甲"), "BOOK", QStringLiteral("file://_app.path_\\book.gif"));
    stage(11, QStringLiteral("王甲"), QStringLiteral("老家"));
    stagePage(11, QStringLiteral("王甲"), page);
    stage(12, QStringLiteral("王乙"), QStringLiteral("王甲"));
    stagePage(12, QStringLiteral("王乙"), page);
    stagePicture(12, QStringLiteral("王乙"), "OWN", QStringLiteral("file://_app.path_\\own.gif"));
    ASSERT_EQ(merge(), 0);
    EXPECT_EQ(
        Page(QStringLiteral("王甲")),
        QStringLiteral("<body><img><img src=\"file://_app.path_\\book.gif\"><img><embed><a>e</a></body>"));
    EXPECT_EQ(
        Page(QStringLiteral("王乙")),
        QStringLiteral("<body><img src=\"file://_app.path_\\own.gif\"><img><img><embed><a>e</a></body>"));
}
