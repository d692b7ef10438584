#include "node_commands_fixture.h"

namespace {

using NodeToolbarTest = NodeCommandsFixture;

TEST_F(NodeToolbarTest, UpAndDownMoveWholeMembersAndTheOrderIsStoredOnce) {
    Open();
    Select(QStringLiteral("丙"));
    Press("node_up");
    EXPECT_EQ(Children(QStringLiteral("甲")), QStringList({"丙", "乙"}));
    EXPECT_EQ(Children(QStringLiteral("乙")),
              QStringList({"丁", "戊"}));  // the children go with their member
    EXPECT_EQ(window_->TreeVw()->currentItem(), Node(QStringLiteral("丙")));
    Press("node_up");  // already first: no move
    EXPECT_EQ(Children(QStringLiteral("甲")), QStringList({"丙", "乙"}));

    // The siblings' order is stored, although the member selected has no children of its own.
    Press("node_sort");
    EXPECT_EQ(Column(QStringLiteral("丙"), "boy_sort"), QStringLiteral("0"));
    EXPECT_EQ(Column(QStringLiteral("乙"), "boy_sort"), QStringLiteral("1"));
    EXPECT_EQ(Children(QStringLiteral("甲")), QStringList({"丙", "乙"}));  // the page rebuilt in that order
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"boy_sort\" = 7 WHERE \"filial\" = '乙'"));
    Press("node_sort");
    EXPECT_EQ(Column(QStringLiteral("乙"), "boy_sort"), QStringLiteral("7"));
}

TEST_F(NodeToolbarTest, MoreThan255ChildrenKeepTheirOrder) {
    SetNodesPerPage(400);
    for (int i = 1; i <= 300; ++i)
        Add(QStringLiteral("子%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("庚"));
    Open();
    Select(QStringLiteral("子001"));
    Press("node_down");
    Press("node_sort");
    EXPECT_EQ(Column(QStringLiteral("子002"), "boy_sort"), QStringLiteral("0"));
    EXPECT_EQ(Column(QStringLiteral("子001"), "boy_sort"), QStringLiteral("1"));
    EXPECT_EQ(Column(QStringLiteral("子256"), "boy_sort"), QStringLiteral("255"));
    EXPECT_EQ(Column(QStringLiteral("子300"), "boy_sort"), QStringLiteral("299"));
    const QStringList shown = Children(QStringLiteral("庚"));
    ASSERT_EQ(shown.size(), 300);
    EXPECT_EQ(shown.mid(0, 2), QStringList({"子002", "子001"}));
    EXPECT_EQ(shown.at(255), QStringLiteral("子256"));
    EXPECT_EQ(shown.last(), QStringLiteral("子300"));
}

TEST_F(NodeToolbarTest, EbookOnlyForAMemberWithChildren) {
    dsptree& w = Open();
    QList<int> built;
    w.chmBuilder = [&built](int index) { built << index; };
    Select(QStringLiteral("丁"));
    Press("node_chm");
    EXPECT_TRUE(built.isEmpty());
    Select(QStringLiteral("乙"));
    Press("node_chm");
    const int index = Nodes().IndexOf(QStringLiteral("_乙"));
    EXPECT_EQ(built, QList<int>{index});
    EXPECT_EQ(Column(QStringLiteral("丁"), "flag"), QString::number(index));
    EXPECT_EQ(Column(QStringLiteral("丁"), "generation"), QStringLiteral("-9999"));  // not renumbered
}

}  // namespace
