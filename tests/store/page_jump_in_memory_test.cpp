#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <functional>

#include "data_ops_fixture.h"
#include "frame/app_state.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"
#include "store/page_start_store.h"

namespace {

const QString kSeekOk = QStringLiteral("%SeekOK%");

// The jump in memory against the jump page by page, from the same book and the same recorded pages:
// every page's entries (names, generations, positions, queued flags), the queue left in "temp",
// CurrentPage, RepaginateNeeded and the target must come out the same.
class PageJumpInMemory : public DataOpsFixture {
protected:
    void AddRandomMembers(quint32 seed, int count, int window) {
        QRandomGenerator rng(seed);
        QStringList names;
        for (auto rs = db().OpenRecordset("SELECT filial FROM \"本姓成员\" WHERE trim(filial) <> ''"); rs.hasRow();
             rs.MoveNext())
            names << rs.value(0).toString();
        dao::Transaction tx = db().BeginTrans();
        DataOpsFixture::AddRandomMembers(rng, names, count, window);
        tx.Commit();
    }

    using Tables = std::vector<std::vector<QVariantList>>;
    const QStringList kWorkTables{"pagestart_order", "pagestart_page", "pagestart_renamed", "temp世祖", "temp"};
    Tables Save() {
        Tables out;
        for (const QString& t : kWorkTables) {
            out.emplace_back();
            for (auto rs = db().OpenRecordset("SELECT rowid, * FROM " + dao::QuoteIdent(t) + " ORDER BY rowid"); rs.hasRow();
                 rs.MoveNext()) {
                QVariantList row;
                for (int i = 0; i < rs.fieldCount(); ++i) row << rs.value(i);
                out.back().push_back(row);
            }
        }
        return out;
    }
    void Restore(const Tables& saved, qint32 currentPage) {
        dao::Transaction tx = db().BeginTrans();
        for (size_t i = 0; i < saved.size(); ++i) {
            const QString table = dao::QuoteIdent(kWorkTables[int(i)]);
            db().Execute("DELETE FROM " + table);
            for (const QVariantList& row : saved[i]) {
                QString marks = "?";
                for (int k = 1; k < row.size(); ++k) marks += ", ?";
                const QStringList fields = db().FieldNames(kWorkTables[int(i)]);
                db().Execute("INSERT INTO " + table + " (rowid, \"" + fields.join("\", \"") + "\") VALUES (" + marks + ")", row);
            }
        }
        tx.Commit();
        App().CurrentPage = currentPage;
        App().RepaginateNeeded = true;
    }
    QStringList Outcome(const QString& target) {
        QStringList out{QStringLiteral("page %1, repaginate %2, target %3")
                            .arg(App().CurrentPage)
                            .arg(App().RepaginateNeeded)
                            .arg(target)};
        PageStartStore store(db());
        for (qint32 page = 1; page <= store.HighestPage(); ++page)
            for (const PageStartEntry& e : store.EntriesOf(page))
                out << QStringLiteral("%1: %2 {%3} @%4 %5").arg(page).arg(e.name).arg(e.generation).arg(e.position).arg(e.queued);
        for (auto rs = db().OpenRecordset("SELECT filial, generation FROM temp ORDER BY tempid"); rs.hasRow(); rs.MoveNext())
            out << "queue: " + rs.value(0).toString() + " {" + rs.value(1).toString() + "}";
        return out;
    }
    qint32 QueueSize() { return db().Scalar("SELECT count(*) FROM temp").toInt(); }

    // The callers' loop over single jumps: on while members are queued, until page stopAt is recorded
    // or the target met.
    void JumpPageByPage(qint32 stopAt, QString& target) {
        while (QueueSize() > 0) {
            ops_->Node分结点数跳页(5, target);
            ++App().CurrentPage;
            if (target == kSeekOk || App().CurrentPage + 1 >= stopAt) break;
        }
    }
    // From the page after CurrentPage, with its starts queued as recorded.
    void ExpectSameJump(qint32 fromPage, qint32 stopAt, const QString& target) {
        App().CurrentPage = fromPage - 1;
        App().RepaginateNeeded = true;
        db().Execute("DELETE FROM temp");
        for (const PageStart& s : PageStartStore(db()).StartsOf(fromPage))
            db().Execute("INSERT INTO temp (filial, generation) VALUES (?, ?)", {s.name, s.generation});
        const Tables before = Save();
        QString slowTarget = target;
        JumpPageByPage(stopAt, slowTarget);
        const QStringList expected = Outcome(slowTarget);
        Restore(before, fromPage - 1);
        QString fastTarget = target;
        if (QueueSize() > 0) {
            EXPECT_TRUE(ops_->JumpPagesInMemory(stopAt, fastTarget));
        }
        const QStringList actual = Outcome(fastTarget);
        ASSERT_EQ(actual.size(), expected.size()) << actual.join('\n').toStdString();
        for (qsizetype i = 0; i < expected.size(); ++i) ASSERT_EQ(actual[i], expected[i]) << "line " << i;
    }
};

TEST_F(PageJumpInMemory, RandomBooksToTheEndToAPageAndToAMember) {
    for (const quint32 seed : {3u, 41u, 977u}) {
        SCOPED_TRACE(seed);
        db().Execute("DELETE FROM \"本姓成员\"");
        AddMember("甲祖", "");
        AddMember("乙祖", "");
        AddRandomMembers(seed, 700, 20 + int(seed % 60));
        App().NodesPerPage = 5 + int(seed % 9);
        ops_->Find世祖(0, "");
        ExpectSameJump(1, 5000, "");
        ops_->Del后续分页标志(1);
        ExpectSameJump(1, 9, "");
        ExpectSameJump(9, 5000, QStringLiteral("员650"));
    }
}

// Pages recorded before the book changed: the jumps compare each page they cut with the recorded one,
// keep it when it is the same and cut the rest afresh from the first that differs.
TEST_F(PageJumpInMemory, PagesRecordedBeforeAChangeOfTheBook) {
    AddMember("甲祖", "");
    AddRandomMembers(8, 500, 40);
    App().NodesPerPage = 7;
    ops_->Find世祖(0, "");
    ExpectSameJump(1, 5000, "");
    db().Execute("UPDATE \"本姓成员\" SET father = '员30' WHERE filial = '员400'");
    db().Execute("DELETE FROM \"本姓成员\" WHERE filial = '员41'");
    PageStartStore(db()).Rename("员77", "员77新");
    ExpectSameJump(1, 5000, "");
}

// Starts added by hand (in another letter case, no member at all, twice, blank, inside a circle of
// fathers), hidden roots and a member named "No_Display", and sibling orders over every kind of value.
TEST_F(PageJumpInMemory, AwkwardStartsAndSiblingOrders) {
    AddMember("甲祖", "");
    AddMember("隐祖", "No_Display");
    AddMember("半隐", "no_display");
    AddMember("隐一", "隐祖");
    AddMember("No_Display", "甲祖");
    AddMember("Abc", "甲祖", 2, QVariant());
    AddMember("实数", "甲祖", 2, 1.5);
    AddMember("文字", "甲祖", 2, "x");
    AddMember("字节", "甲祖", 2, QByteArray("\x01\x02", 2));
    AddMember("整一", "甲祖", 2, 1, QString::fromUtf8("\xF0\x9F\x80\x80"));  // beyond U+FFFF: after U+FF01
    AddMember("整二", "甲祖", 2, 1, QString(QChar(0xFF01)));
    AddMember("整三", "甲祖", 2, 1, QByteArray("b", 1));
    AddMember("圈甲", "圈乙");
    AddMember("圈乙", "圈甲");
    AddMember("圈子", "圈甲");
    AddMember(" 空前", "甲祖");
    AddMember("", "甲祖");
    AddMember("   ", "甲祖");
    AddRandomMembers(21, 200, 25);
    App().NodesPerPage = 6;
    ops_->Find世祖(0, "");
    PageStartStore store(db());
    for (const char* hand : {"abc", "无此人", "甲祖", "圈甲", "  ", "隐一"}) store.AddStart(1, QString::fromUtf8(hand), 4);
    ExpectSameJump(1, 5000, "");
    ExpectSameJump(1, 5000, QStringLiteral("圈子"));
}

}  // namespace
