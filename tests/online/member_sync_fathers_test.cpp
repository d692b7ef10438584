#include <gtest/gtest.h>

#include <QHash>

#include "online/member_sync_fixture.h"

namespace {

using namespace sync_book;

struct Member {
    const char* name;
    const char* father;
};

// One book uploads, another account's book downloads a tree of it and merges it.
struct Case {
    const char* title;
    std::vector<Member> uploaded;  // in the order of the uploading book
    bool branch;                   // one branch upload, else one member at a time
    int uploads;                   // how often the upload runs
    const char* root;              // the member whose tree is downloaded
    std::vector<Member> present;   // the downloading book's own members
    const char* deletedAfterListing;
    QStringList server;  // "name|father" as the server links them
    QStringList merged;  // "name|father|uploaded member whose page and pictures it has" ("" none)
};

// clang-format off
const Case kCases[] = {
    {"names differing in letter case",
     {{"始", ""}, {"Wang", "始"}, {"wang[1]", "始"}, {"孙甲", "Wang"}, {"孙乙", "wang[1]"}}, true, 1, "始", {}, "",
     {"始|", "Wang|始", "wang|始", "孙甲|Wang", "孙乙|wang"},
     {"始||始", "Wang|始|Wang", "wang[1]|始|wang[1]", "孙甲|Wang|孙甲", "孙乙|wang[1]|孙乙"}},
    {"letter case, the father outside the download in the book",
     {{"Elder", ""}, {"Root", "Elder"}, {"elder[1]", "Root"}, {"孙", "elder[1]"}}, true, 1, "Root", {{"Elder", ""}}, "",
     {"Elder|", "Root|Elder", "elder|Root", "孙|elder"},
     {"Elder||", "Root|Elder|Root", "elder[1]|Root|elder[1]", "孙|elder[1]|孙"}},
    {"letter case, the father outside the download and the book",
     {{"Elder", ""}, {"Root", "Elder"}, {"elder[1]", "Root"}, {"孙", "elder[1]"}}, true, 1, "Root", {}, "",
     {"Elder|", "Root|Elder", "elder|Root", "孙|elder"},
     {"Root||Root", "elder|Root|elder[1]", "孙|elder|孙"}},
    {"two fathers of one name, one member at a time",
     {{"始", ""}, {"王五", "始"}, {"王五[1]", "始"}, {"小明", "王五[1]"}, {"小红", "王五"}}, false, 1, "始", {}, "",
     {"始|", "王五|始", "王五(2)|始", "小明|王五(2)", "小红|王五"},
     {"始||始", "王五|始|王五", "王五(2)|始|王五[1]", "小明|王五(2)|小明", "小红|王五|小红"}},
    {"two fathers of one name after their children, one branch",
     {{"始", ""}, {"小明", "王五[1]"}, {"小红", "王五"}, {"王五", "始"}, {"王五[1]", "始"}}, true, 1, "始", {}, "",
     {"始|", "王五|始", "王五(2)|始", "小明|王五(2)", "小红|王五"},
     {"始||始", "王五|始|王五", "王五(2)|始|王五[1]", "小明|王五(2)|小明", "小红|王五|小红"}},
    {"a member deleted on the server between the list and its fetch",
     {{"始", ""}, {"甲", "始"}, {"乙", "始"}, {"丙", "乙"}}, true, 1, "始", {}, "乙",
     {"始|", "甲|始", "乙|始", "丙|乙"},
     {"始||始", "甲|始|甲", "丙||丙"}},
    {"a father loop, uploaded twice",
     {{"X", "Y"}, {"Y", "X"}}, true, 2, "X", {}, "",
     {"X|", "Y|X"},
     {"X||X", "Y|X|Y"}},
};
// clang-format on

class MemberSyncFathersTest : public MemberSyncTest {
protected:
    // A fresh book of its own for the account, which is logged on.
    void useBook(const QString& account) {
        ResetAppState();
        dao::ReleaseAllIdleConnections();
        EnsureBookFiles();
        OpenDataDb(DataDbPath(), BookDbPassword());
        App().CurrentUser = std::make_shared<Cls_User>();
        ASSERT_GT(LogOnProgramUser(account), 0);
    }
    void leaveBook() {
        ResetAppState();
        dao::ReleaseAllIdleConnections();
    }
    // The server's members of the tree, each with the father it links him to.
    QStringList serverLinks() {
        QStringList links = serverRows(QStringLiteral(
            "SELECT m.filial, coalesce(f.filial, '') FROM members m LEFT JOIN members f ON f.filial_id = "
            "m.father_id"));
        links.sort();
        return links;
    }
    // The list of the tree the download asks for is made before the member goes.
    void deleteAfterListing(const QString& name) {
        for (const QString& sql :
             {QStringLiteral("SET ROLE qntzp_owner"),
              QStringLiteral("CREATE TABLE deleted_after_listing (name text)"),
              QStringLiteral("ALTER FUNCTION \"sp_GnSeekList2\"(integer, integer) RENAME TO listed_first"),
              QStringLiteral(
                  "CREATE FUNCTION \"sp_GnSeekList2\"(\"@myacc_id\" integer, \"@myboy_id\" integer) "
                  "RETURNS TABLE (filial_id integer, storynum integer, imagenum integer) LANGUAGE plpgsql "
                  "SECURITY DEFINER SET search_path = public, pg_temp AS $$ BEGIN "
                  "RETURN QUERY SELECT * FROM listed_first(\"@myacc_id\", \"@myboy_id\"); "
                  "DELETE FROM members m WHERE m.filial IN (SELECT d.name FROM deleted_after_listing d); "
                  "END $$"),
              QStringLiteral("GRANT EXECUTE ON FUNCTION \"sp_GnSeekList2\"(integer, integer) TO qntzpsvr01"),
              QStringLiteral("RESET ROLE")})
            ASSERT_TRUE(server_->admin().exec(sql).ok) << sql.toStdString();
        ASSERT_TRUE(server_->admin()
                        .exec(QStringLiteral("INSERT INTO deleted_after_listing VALUES ($1)"), {name})
                        .ok);
    }
};

TEST_F(MemberSyncFathersTest, EveryMemberKeepsHisFatherPageAndPictures) {
    ASSERT_GT(RegisterTestAccount(cmd_, QStringLiteral("acc003"), QStringLiteral("丙")), 0);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.title);
        ASSERT_TRUE(server_->admin().exec(QStringLiteral("DELETE FROM members")).ok);
        QHash<QString, QString> pageAndPictures;  // uploaded member -> "page|picture paths"
        qint32 root = 0;
        {
            TempBook uploading;
            ASSERT_NO_FATAL_FAILURE(useBook(QStringLiteral("acc001")));
            for (const Member& m : c.uploaded) {
                const QString name = QString::fromUtf8(m.name);
                Add(name, QString::fromUtf8(m.father));
                SetPage(name, QStringLiteral("<p>") + name + QStringLiteral("</p>"));
                AddPicture(name, name.toUtf8(), name + QStringLiteral(".jpg"));
            }
            for (int run = 0; run < c.uploads; ++run) {
                if (c.branch) {
                    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"flag\" = 1"));
                    ASSERT_EQ(Cls数据操作().UpLoad_All(1), qint32(c.uploaded.size()));
                } else {
                    for (const Member& m : c.uploaded) Cls数据操作().UpLoad_1(QString::fromUtf8(m.name));
                }
            }
            for (const Member& m : c.uploaded) {
                const QString name = QString::fromUtf8(m.name);
                QStringList paths;
                for (const QString& picture : Pictures(name)) paths << picture.section(u':', 0, 0);
                pageAndPictures.insert(name, Page(name) + QLatin1Char('|') + paths.join(u','));
            }
            root = Cls数据操作().GetSql_Id(QString::fromUtf8(c.root));
            leaveBook();
        }
        QStringList server = c.server;
        server.sort();
        EXPECT_EQ(serverLinks().join(u'\n').toStdString(), server.join(u'\n').toStdString());
        if (*c.deletedAfterListing) deleteAfterListing(QString::fromUtf8(c.deletedAfterListing));

        QStringList merged;
        {
            TempBook downloading;
            ASSERT_NO_FATAL_FAILURE(useBook(QStringLiteral("acc003")));
            for (const Member& m : c.present) Add(QString::fromUtf8(m.name), QString::fromUtf8(m.father));
            Cls数据操作 ops;
            ops.DownLoad_All(root);
            EXPECT_EQ(ops.DaReLoad(member_exchange::StagingPath()), 0);
            for (const QString& row :
                 rows(QStringLiteral("SELECT \"filial\", \"father\" FROM \"本姓成员\""))) {
                const QString name = row.section(u'|', 0, 0);
                QStringList paths;
                for (const QString& picture : Pictures(name)) paths << picture.section(u':', 0, 0);
                merged << row + QLatin1Char('|') + Page(name) + QLatin1Char('|') + paths.join(u',');
            }
            leaveBook();
        }
        QStringList expected;
        for (const QString& row : c.merged) {
            const QString from = row.section(u'|', 2);
            expected << row.section(u'|', 0, 1) + QLatin1Char('|') +
                            (from.isEmpty() ? QStringLiteral("-|") : pageAndPictures.value(from));
        }
        expected.sort();
        merged.sort();
        EXPECT_EQ(merged.join(u'\n').toStdString(), expected.join(u'\n').toStdString());
        if (*c.deletedAfterListing) {
            for (const QString& sql :
                 {QStringLiteral("DROP FUNCTION \"sp_GnSeekList2\"(integer, integer)"),
                  QStringLiteral(
                      "ALTER FUNCTION listed_first(integer, integer) RENAME TO \"sp_GnSeekList2\""),
                  QStringLiteral("DROP TABLE deleted_after_listing")})
                ASSERT_TRUE(server_->admin().exec(sql).ok) << sql.toStdString();
        }
    }
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
}

}  // namespace
