#include <gtest/gtest.h>

#include <QPixmap>
#include <QTreeWidget>
#include <memory>
#include <stdexcept>

#include "frame/text_utils.h"
#include "platform/forms/tree_widget_nodes.h"
#include "store/memory_tree_nodes.h"

namespace {

// The same rules hold for the tree in memory and the one over the main window's widget.
struct MemoryTree {
    MemoryTreeNodes nodes;
    TreeNodeSink& sink() { return nodes; }
};

struct WidgetTree {
    QTreeWidget widget;
    TreeWidgetNodes nodes{&widget};
    TreeNodeSink& sink() { return nodes; }
};

template <typename T>
class TreeSink : public ::testing::Test {
protected:
    // R(A(A1, A2), B), C
    void SetUp() override {
        t().Add("", "_R", "R", 3);
        t().Add("_R", "_A", "A", 1);
        t().Add("_A", "_A1", "A1", 2);
        t().Add("_R", "_B", "B", 1);
        t().Add("", "_C", "C", 3);
        t().Add("_A", "_A2", "A2", 2);
    }
    TreeNodeSink& t() { return tree_.sink(); }
    QStringList Keys() {
        QStringList out;
        for (int i = 1; i <= t().Count(); ++i) out << t().KeyAt(i) + "<" + t().ParentKeyAt(i);
        return out;
    }
    T tree_;
};

using Implementations = ::testing::Types<MemoryTree, WidgetTree>;
TYPED_TEST_SUITE(TreeSink, Implementations);

TYPED_TEST(TreeSink, NodesAreNumberedFromOneInTheOrderAdded) {
    TreeNodeSink& t = this->t();
    EXPECT_EQ(this->Keys(), QStringList({"_R<", "_A<_R", "_A1<_A", "_B<_R", "_C<", "_A2<_A"}));
    EXPECT_EQ(t.IndexOf("_A2"), 6);
    EXPECT_EQ(t.TextAt(3), "A1");
    EXPECT_EQ(t.ImageAt(5), 3);
    EXPECT_TRUE(t.Exists("_B"));
    EXPECT_FALSE(t.Exists("_b"));
}

TYPED_TEST(TreeSink, MissingAndRepeatedKeysAreErrors) {
    TreeNodeSink& t = this->t();
    try {
        t.Add("_无", "_X", "X");
        FAIL() << "no error for a missing parent";
    } catch (const TreeKeyError& e) {
        EXPECT_EQ(e.key(), "_无");
    }
    EXPECT_THROW(t.Add("", "_A1", "again"), TreeKeyError);
    EXPECT_THROW(t.IndexOf("_X"), TreeKeyError);
    EXPECT_THROW(t.SetParent("_X", ""), TreeKeyError);
    EXPECT_THROW(t.KeyAt(0), std::out_of_range);
    EXPECT_THROW(t.Expand(7), std::out_of_range);
    EXPECT_EQ(t.Count(), 6);
}

TYPED_TEST(TreeSink, RemovingTakesTheSubtreeAndRenumbers) {
    TreeNodeSink& t = this->t();
    t.Select(6);
    t.Remove(2);  // A with A1 and A2
    EXPECT_EQ(this->Keys(), QStringList({"_R<", "_B<_R", "_C<"}));
    EXPECT_EQ(t.IndexOf("_C"), 3);
    EXPECT_FALSE(t.Exists("_A2"));
    EXPECT_EQ(t.SelectedIndex(), 0);
    t.Add("_C", "_A", "A again");  // the key is free again
    EXPECT_EQ(t.IndexOf("_A"), 4);
}

TYPED_TEST(TreeSink, MovingKeepsIndexesAndRefusesALoop) {
    TreeNodeSink& t = this->t();
    t.SetParent("_A", "_C");
    EXPECT_EQ(this->Keys(), QStringList({"_R<", "_A<_C", "_A1<_A", "_B<_R", "_C<", "_A2<_A"}));
    EXPECT_THROW(t.SetParent("_C", "_A1"), std::invalid_argument);
    t.SetParent("_A1", "");
    EXPECT_EQ(t.ParentKeyAt(3), "");
    t.Remove(5);  // C goes with the moved A and A2
    EXPECT_EQ(this->Keys(), QStringList({"_R<", "_A1<", "_B<_R"}));
}

TYPED_TEST(TreeSink, ExpandSelectAndClear) {
    TreeNodeSink& t = this->t();
    EXPECT_FALSE(t.IsExpanded(2));
    t.Expand(2);
    EXPECT_TRUE(t.IsExpanded(2));
    EXPECT_EQ(t.SelectedIndex(), 0);
    t.Select(4);
    EXPECT_EQ(t.SelectedIndex(), 4);
    ClearTreeNodes(t);
    EXPECT_EQ(t.Count(), 0);
    EXPECT_FALSE(t.Exists("_R"));
    EXPECT_EQ(t.SelectedIndex(), 0);
}

TEST(TreeWidgetNodes, TheWidgetShowsWhatTheSinkHolds) {
    QTreeWidget widget;
    TreeWidgetNodes nodes(&widget);
    QPixmap male(8, 8), female(8, 8), start(8, 8);
    male.fill(Qt::blue);
    female.fill(Qt::red);
    start.fill(Qt::green);
    nodes.SetImages({QIcon(male), QIcon(female), QIcon(start)});
    nodes.Add("", "_王一", "{1}王一", TreeNodeSink::kImagePageStart);
    nodes.Add("_王一", "_王二", "王二", TreeNodeSink::kImageFemale);
    nodes.Add("", "_李一", "李一");
    ASSERT_EQ(widget.topLevelItemCount(), 2);
    QTreeWidgetItem* root = widget.topLevelItem(0);
    EXPECT_EQ(root->text(0), "{1}王一");
    EXPECT_FALSE(root->icon(0).isNull());
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->text(0), "王二");
    EXPECT_TRUE(widget.topLevelItem(1)->icon(0).isNull());
    EXPECT_EQ(TreeWidgetNodes::KeyOf(root->child(0)), "_王二");

    nodes.Expand(1);
    EXPECT_TRUE(root->isExpanded());
    nodes.Expand(3);  // the page walk expands a node before its children come
    nodes.Add("_李一", "_李二", "李二");
    EXPECT_TRUE(widget.topLevelItem(1)->isExpanded());
    nodes.Remove(4);
    nodes.Select(2);
    EXPECT_EQ(widget.currentItem(), root->child(0));
    nodes.SetParent("_李一", "_王二");
    EXPECT_EQ(widget.topLevelItemCount(), 1);
    EXPECT_EQ(root->child(0)->child(0)->text(0), "李一");
    nodes.Clear();
    EXPECT_EQ(widget.topLevelItemCount(), 0);
}

TEST(MemoryTreeNodes, ChildKeysFollowMoves) {
    MemoryTreeNodes t;
    t.Add("", "_R", "R");
    t.Add("_R", "_A", "A");
    t.Add("_R", "_B", "B");
    t.SetParent("_A", "_R");  // to the end of its siblings, as the old control did
    EXPECT_EQ(t.ChildKeys("_R"), QStringList({"_B", "_A"}));
    EXPECT_EQ(t.ChildKeys(""), QStringList({"_R"}));
    EXPECT_THROW(t.ChildKeys("_X"), TreeKeyError);
}

}  // namespace
