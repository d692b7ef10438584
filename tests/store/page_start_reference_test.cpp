#include <gtest/gtest.h>

#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <algorithm>
#include <deque>
#include <functional>
#include <tuple>

#include "data_ops_fixture.h"
#include "frame/app_state.h"
#include "platform/dao/dao_database.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/memory_tree_nodes.h"
#include "store/page_start_store.h"

namespace {

using Page = QList<PageStart>;

QString Fold(const QString& name) {
    QString out = name;
    for (QChar& c : out)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    return out;
}

// The pages as the one-row-per-start model cuts them, walked in memory over the member table: page 1
// is every named root, and each page's starts are the queue its walk leaves when the page fills up.
// Slow and plain on purpose; it is what the store must reproduce page by page.
class ReferencePages {
public:
    explicit ReferencePages(dao::Database& db) {
        for (auto rs = db.OpenRecordset("SELECT filial, father, generation, boy_sort, boy_birthday, filial_id "
                                        "FROM \"本姓成员\" ORDER BY filial_id");
             rs.hasRow(); rs.MoveNext()) {
            Member m{rs.value(0).isNull(), rs.value(0).toString(), rs.value(1).toString(),
                     qint32(rs.value(2).toLongLong()), rs.value(3).toLongLong(), rs.value(4).isNull(),
                     rs.value(4).toString(), rs.value(5).toLongLong()};
            byName_.insert(Fold(m.name), int(members_.size()));
            if (!m.father.isEmpty()) childrenOf_[Fold(m.father)].push_back(int(members_.size()));
            if (Fold(m.father) == "no_display") anyHidden_ = true;
            members_.push_back(m);
        }
        for (auto& kids : childrenOf_)
            std::sort(kids.begin(), kids.end(), [&](int a, int b) {
                const Member& x = members_[size_t(a)];
                const Member& y = members_[size_t(b)];
                return std::tie(x.sort, y.nullBirthday, x.birthday, x.id) <
                       std::tie(y.sort, x.nullBirthday, y.birthday, y.id);
            });
    }

    std::vector<Page> Cut(qint32 nodesPerPage) const {
        std::vector<Page> pages(1);
        for (const Member& m : members_)
            if ((m.father.isEmpty() || Fold(m.father) == "no_display") && !m.nullName && !Trim(m.name).isEmpty())
                pages[0].push_back({m.name, m.generation});
        if (pages[0].isEmpty()) return {};
        for (size_t k = 0; k < 5000; ++k) {
            QSet<QString> onPage;
            std::deque<PageStart> queue;
            for (const PageStart& s : pages[k]) {
                if (Trim(s.name).isEmpty() || onPage.contains(s.name) || !byName_.contains(Fold(s.name))) continue;
                const bool shown = Shown(s.name);
                if (k == 0 || shown) onPage.insert(s.name);
                if (shown && !Children(s.name).empty()) queue.push_back(s);
            }
            qint32 count = 1;
            bool full = false;
            while (!queue.empty() && !full) {
                const PageStart x = queue.front();
                queue.pop_front();
                for (int c : Children(x.name)) {
                    const Member& m = members_[size_t(c)];
                    if (onPage.contains(m.name)) continue;
                    onPage.insert(m.name);
                    queue.push_back({m.name, m.generation});
                    ++count;
                }
                full = count > nodesPerPage;
            }
            if (!full) break;
            pages.push_back(Page(queue.begin(), queue.end()));
        }
        return pages;
    }

private:
    struct Member {
        bool nullName;
        QString name, father;
        qint32 generation;
        qint64 sort;
        bool nullBirthday;
        QString birthday;
        qint64 id;
    };

    std::vector<int> Children(const QString& father) const {
        std::vector<int> out;
        if (Fold(father) == "no_display") return out;
        for (int c : childrenOf_.value(Fold(father)))
            if (!members_[size_t(c)].nullName && !Trim(members_[size_t(c)].name).isEmpty()) out.push_back(c);
        return out;
    }
    // Not below a root whose father is "No_Display"; a broken or looping line counts as shown.
    bool Shown(const QString& name) const {
        if (!anyHidden_) return true;
        QString current = name;
        QSet<int> passed;
        for (;;) {
            const int i = byName_.value(Fold(current), -1);
            if (i < 0 || passed.contains(i)) return true;
            passed.insert(i);
            const QString& father = members_[size_t(i)].father;
            if (father == "No_Display") return false;
            if (father.isEmpty()) return true;
            current = father;
        }
    }

    std::vector<Member> members_;
    QHash<QString, int> byName_;
    QHash<QString, std::vector<int>> childrenOf_;
    bool anyHidden_ = false;
};

class PageStartReference : public DataOpsFixture {
protected:
    int QueueSize() { return db().Scalar("SELECT count(*) FROM temp").toInt(); }

    std::vector<Page> Recorded() {
        PageStartStore store(db());
        std::vector<Page> out;
        for (qint32 page = 1; page <= store.HighestPage(); ++page) out.push_back(store.StartsOf(page));
        return out;
    }
    std::vector<Page> CutByDisplay() {
        ops_->Find世祖(0, "");
        for (qint32 page = 1; page < 5000; ++page) {
            App().CurrentPage = page;
            ops_->显示世祖(tree_, 5);
            ops_->Tree分结点数展开(tree_, 5);
            if (QueueSize() == 0) break;
        }
        return Recorded();
    }
    std::vector<Page> CutByJump() {
        ops_->Find世祖(0, "");
        db().Execute("DELETE FROM temp");
        for (const PageStart& s : PageStartStore(db()).StartsOf(1))
            db().Execute("INSERT INTO temp (filial, generation) VALUES (?, ?)", {s.name, s.generation});
        QString target;
        for (App().CurrentPage = 0; QueueSize() > 0 && App().CurrentPage < 5000; ++App().CurrentPage)
            ops_->Node分结点数跳页(5, target);
        return Recorded();
    }
    std::vector<Page> CutByJumpInMemory() {
        ops_->Find世祖(0, "");
        db().Execute("DELETE FROM temp");
        for (const PageStart& s : PageStartStore(db()).StartsOf(1))
            db().Execute("INSERT INTO temp (filial, generation) VALUES (?, ?)", {s.name, s.generation});
        App().CurrentPage = 0;
        QString target;
        EXPECT_TRUE(ops_->JumpPagesInMemory(5000, target));
        EXPECT_EQ(QueueSize(), 0);
        return Recorded();
    }
    void ExpectSamePages(const std::vector<Page>& actual, const std::vector<Page>& expected, const char* walk) {
        ASSERT_EQ(actual.size(), expected.size()) << walk;
        for (size_t p = 0; p < expected.size(); ++p)
            ASSERT_EQ(actual[p], expected[p]) << walk << " page " << p + 1;
    }
    void ExpectBothWalksCutTheReferencePages(qint32 nodesPerPage) {
        App().NodesPerPage = nodesPerPage;
        const std::vector<Page> expected = ReferencePages(db()).Cut(nodesPerPage);
        ASSERT_GT(expected.size(), 3u);
        ExpectSamePages(CutByDisplay(), expected, "display");
        ExpectSamePages(CutByJump(), expected, "jump");
        ExpectSamePages(CutByJumpInMemory(), expected, "jump in memory");
    }

    MemoryTreeNodes tree_;
};

TEST_F(PageStartReference, RandomBooks) {
    for (const quint32 seed : {7u, 104u, 2024u}) {
        SCOPED_TRACE(seed);
        db().Execute("DELETE FROM \"本姓成员\"");
        QRandomGenerator rng(seed);
        QStringList names{"甲祖", "乙祖"};
        AddMember("甲祖", "", 1);
        AddMember("乙祖", "", 1);
        AddRandomMembers(rng, names, 600, 30 + int(seed % 50));
        ExpectBothWalksCutTheReferencePages(5 + int(seed % 9));
    }
}

TEST_F(PageStartReference, GeneratedClanOfTenThousand) {
    QRandomGenerator rng(10000);
    QStringList names;
    for (int r = 0; r < 3; ++r) {
        names << QStringLiteral("祖%1").arg(r);
        AddMember(names.back(), "", 1);
    }
    dao::Transaction tx = db().BeginTrans();
    AddRandomMembers(rng, names, 10000 - 3, 400);
    tx.Commit();
    ExpectBothWalksCutTheReferencePages(30);

    // A rename and a removal reach every page the member starts; a truncation keeps the pages before.
    std::vector<Page> expected = Recorded();
    const QString who = expected[4].back().name;
    const auto change = [&](const std::function<void(Page&)>& edit) {
        for (Page& p : expected) edit(p);
    };
    PageStartStore store(db());
    store.Rename(who, "改名");
    change([&](Page& p) {
        for (PageStart& s : p)
            if (s.name == who) s.name = "改名";
    });
    ExpectSamePages(Recorded(), expected, "rename");
    store.RemoveMember("改名");
    change([&](Page& p) { p.removeIf([](const PageStart& s) { return s.name == "改名"; }); });
    ExpectSamePages(Recorded(), expected, "removal");
    store.TruncateAfter(3);
    expected.resize(3);
    ExpectSamePages(Recorded(), expected, "truncation");
}

// Hidden roots, childless roots, empty and blank names, names with blanks around them, a member
// named "No_Display": the rule is one for every walk, names are taken as stored, a name blank after
// trimming is no member, and "No_Display" is nobody's father.
TEST_F(PageStartReference, HandMadeBooks) {
    AddMember("甲祖", "", 1);
    AddMember("孤祖", "", 1);  // childless root
    AddMember("隐祖", "No_Display", 1);
    AddMember("隐一", "隐祖", 2);
    AddMember("  ", "", 1);   // a blank root
    AddMember("", "甲祖", 2);  // nameless and blank children
    AddMember("   ", "甲祖", 2);
    AddMember(" 前空", "甲祖", 2, 1);
    AddMember("后空 ", "甲祖", 2, 2);
    AddMember("No_Display", "甲祖", 2, 3);
    AddMember("前空子", " 前空", 3);
    AddMember("后空子", "后空 ", 3);
    AddMember("空下", "   ", 3);
    QRandomGenerator rng(5);
    QStringList names{"甲祖", " 前空", "后空 ", "前空子", "后空子", "隐一", "No_Display"};
    AddRandomMembers(rng, names, 120, 12);
    ExpectBothWalksCutTheReferencePages(6);

    // What the rule shows on page 1: the members with blanks lead their own families; nobody is shown
    // below "No_Display" or below a blank name.
    App().CurrentPage = 1;
    ops_->显示世祖(tree_, 5);
    ops_->Tree分结点数展开(tree_, 5);
    QHash<QString, QString> parentOf;
    for (int i = 1; i <= tree_.Count(); ++i) parentOf.insert(tree_.KeyAt(i), tree_.ParentKeyAt(i));
    EXPECT_EQ(parentOf.value("_前空子"), "_ 前空");
    EXPECT_EQ(parentOf.value("_后空子"), "_后空 ");
    EXPECT_FALSE(parentOf.contains("_   ") || parentOf.contains("_空下"));
    EXPECT_TRUE(std::none_of(parentOf.begin(), parentOf.end(), [](const QString& p) { return p == "_No_Display"; }));
}

}  // namespace
