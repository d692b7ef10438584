// The node toolbar Toolbar1 beside the tree, and through it the keys F4, F5 and F6: the member
// commands, moving a member among its siblings and storing that order, and the e-book of a branch.
#include <QAction>
#include <QTreeWidget>
#include <utility>

#include "frame/app_state.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/member_tree_widget.h"
#include "mainwin/forms/node_command_support.h"
#include "store/data_ops.h"

namespace {

const QString kSortButton = QStringLiteral("node_sort");

}  // namespace

void dsptree::SetupNodeToolbar() {
    // node_script and page_find have no command.
    for (const char* key : {"node_new", "node_tongbei", "node_zhilu", "node_edit", "node_del", "node_up",
                            "node_down", "node_sort", "node_chm"})
        ToolbarButton(QString::fromLatin1(key))->setEnabled(true);
    chmBuilder = [this](int nodeIndex) { buildEbook(nodeIndex, false); };
}

void dsptree::Toolbar1_ButtonClick(const QString& key) {
    // No other toolbar command starts while this one asks or writes.
    const node_commands::ToolbarsDisabled quiet(tbarOpEx_, tbarOP_, nullptr);
    node_commands::RunReported([&] {
        if (key == QLatin1String("node_new"))
            NewAncestorNode();
        else if (key == QLatin1String("node_tongbei"))
            AddSiblingNode();
        else if (key == QLatin1String("node_zhilu"))
            AddChildNode();
        else if (key == QLatin1String("node_edit"))
            EditMemberNode();
        else if (key == QLatin1String("node_del"))
            DeleteMemberNode(false);
        else if (key == QLatin1String("node_up"))
            MoveAmongSiblings(-1);
        else if (key == QLatin1String("node_down"))
            MoveAmongSiblings(1);
        else if (key == kSortButton)
            StoreSiblingOrder();
        else if (key == QLatin1String("node_chm"))
            BuildChmOfBranch();
    });
}

void dsptree::MoveAmongSiblings(int step) {
    // Marked even when nothing moves, so that the next store runs.
    ToolbarButton(kSortButton)->setProperty("Tag", QStringLiteral("1"));
    QTreeWidgetItem* node = treeVw_->currentItem();
    if (!node || !node->parent()) return;
    // The whole node moves: its key, children and colours stay with its caption.
    if (treeNodes_->MoveAmongSiblings(indexOfItem(node), step))
        pendingSortParentKey_ = TreeWidgetNodes::KeyOf(node->parent());
}

void dsptree::StoreSiblingOrder() {
    QAction* sort = ToolbarButton(kSortButton);
    if (sort->property("Tag").toString().toInt() == 0) return;
    sort->setProperty("Tag", QStringLiteral("0"));
    // The order of the siblings that moved; without a move, that of the selected member's children.
    const QString key = std::exchange(pendingSortParentKey_, QString());
    QTreeWidgetItem* parent = !key.isEmpty() && treeNodes_->Exists(key)
                                  ? treeNodes_->ItemAt(treeNodes_->IndexOf(key))
                                  : treeVw_->currentItem();
    ResortChildren(parent);
}

void dsptree::BuildChmOfBranch() {
    AppState& app = App();
    QTreeWidgetItem* node = treeVw_->currentItem();
    const QString name = SelectedMemberName();
    app.FormParamString = name;
    if (!chmBuilder || name.isEmpty() || !node || node->childCount() == 0) return;
    const int index = indexOfItem(node);
    if (index == 0) return;
    app.SelectedNodeIndex = index;
    DataOps().Chm_标识世祖(name, index);
    chmBuilder(index);
}
