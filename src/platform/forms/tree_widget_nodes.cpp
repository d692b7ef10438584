#include "platform/forms/tree_widget_nodes.h"

#include <QTreeWidget>
#include <algorithm>
#include <stdexcept>

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kPosRole = Qt::UserRole + 2;  // 0-based place in the order added

size_t PosOf(const QTreeWidgetItem* item) {
    return item->data(0, kPosRole).toULongLong();
}

}  // namespace

TreeWidgetNodes::TreeWidgetNodes(QTreeWidget* tree) : tree_(tree) {}

void TreeWidgetNodes::Clear() {
    if (tree_) tree_->clear();
    items_.clear();
    byKey_.clear();
}

void TreeWidgetNodes::Add(const QString& parentKey, const QString& key, const QString& text, int image) {
    QTreeWidgetItem* parent = nullptr;
    if (!parentKey.isEmpty()) {
        parent = Find(parentKey);
        if (!parent) throw TreeKeyError(parentKey);
    }
    if (byKey_.contains(key)) throw TreeKeyError(key);
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kKeyRole, key);
    item->setData(0, kImageRole, image);
    item->setData(0, kPosRole, qulonglong(items_.size()));
    if (image >= 1 && image <= images_.size()) item->setIcon(0, images_.at(image - 1));
    if (parent)
        parent->addChild(item);
    else if (tree_)
        tree_->addTopLevelItem(item);
    items_.push_back(item);
    byKey_.insert(key, item);
}

bool TreeWidgetNodes::Exists(const QString& key) const {
    return byKey_.contains(key);
}

int TreeWidgetNodes::Count() const {
    return int(items_.size());
}

int TreeWidgetNodes::IndexOf(const QString& key) const {
    const QTreeWidgetItem* item = Find(key);
    if (!item) throw TreeKeyError(key);
    return int(PosOf(item)) + 1;
}

QString TreeWidgetNodes::KeyAt(int index) const {
    return KeyOf(ItemAt(index));
}
QString TreeWidgetNodes::TextAt(int index) const {
    return ItemAt(index)->text(0);
}
int TreeWidgetNodes::ImageAt(int index) const {
    return ItemAt(index)->data(0, kImageRole).toInt();
}

QString TreeWidgetNodes::ParentKeyAt(int index) const {
    const QTreeWidgetItem* parent = ItemAt(index)->parent();
    return parent ? KeyOf(parent) : QString();
}

void TreeWidgetNodes::SetImage(int index, int image) {
    QTreeWidgetItem* item = ItemAt(index);
    item->setData(0, kImageRole, image);
    item->setIcon(0, image >= 1 && image <= images_.size() ? images_.at(image - 1) : QIcon());
}

void TreeWidgetNodes::SetKeyAndText(int index, const QString& key, const QString& text) {
    QTreeWidgetItem* item = ItemAt(index);
    const QString old = KeyOf(item);
    if (key != old) {
        if (byKey_.contains(key)) throw TreeKeyError(key);
        byKey_.remove(old);
        byKey_.insert(key, item);
        item->setData(0, kKeyRole, key);
    }
    item->setText(0, text);
}

bool TreeWidgetNodes::MoveAmongSiblings(int index, int step) {
    QTreeWidgetItem* item = ItemAt(index);
    QTreeWidgetItem* parent = item->parent();
    if (!tree_ || (step != -1 && step != 1)) return false;
    const int from = parent ? parent->indexOfChild(item) : tree_->indexOfTopLevelItem(item);
    const int count = parent ? parent->childCount() : tree_->topLevelItemCount();
    const int to = from + step;
    if (from < 0 || to < 0 || to >= count) return false;
    // Taking an item out of the view forgets which of its nodes were open.
    std::vector<std::pair<QTreeWidgetItem*, bool>> open;
    std::vector<QTreeWidgetItem*> pending{item};
    while (!pending.empty()) {
        QTreeWidgetItem* node = pending.back();
        pending.pop_back();
        open.emplace_back(node, node->isExpanded());
        for (int c = 0; c < node->childCount(); ++c) pending.push_back(node->child(c));
    }
    const bool wasCurrent = tree_->currentItem() == item;
    if (parent) {
        parent->takeChild(from);
        parent->insertChild(to, item);
    } else {
        tree_->takeTopLevelItem(from);
        tree_->insertTopLevelItem(to, item);
    }
    for (const auto& [node, expanded] : open) node->setExpanded(expanded);
    if (wasCurrent) tree_->setCurrentItem(item);
    return true;
}

void TreeWidgetNodes::Expand(int index) {
    ItemAt(index)->setExpanded(true);
}
bool TreeWidgetNodes::IsExpanded(int index) const {
    return ItemAt(index)->isExpanded();
}

void TreeWidgetNodes::Select(int index) {
    QTreeWidgetItem* item = ItemAt(index);
    if (tree_) tree_->setCurrentItem(item);
}

int TreeWidgetNodes::SelectedIndex() const {
    const QTreeWidgetItem* current = tree_ ? tree_->currentItem() : nullptr;
    if (!current || byKey_.value(KeyOf(current)) != current) return 0;
    return int(PosOf(current)) + 1;
}

void TreeWidgetNodes::SetParent(const QString& key, const QString& newParentKey) {
    QTreeWidgetItem* item = Find(key);
    if (!item) throw TreeKeyError(key);
    QTreeWidgetItem* parent = nullptr;
    if (!newParentKey.isEmpty()) {
        parent = Find(newParentKey);
        if (!parent) throw TreeKeyError(newParentKey);
        for (const QTreeWidgetItem* up = parent; up; up = up->parent())
            if (up == item) throw std::invalid_argument("a tree node cannot move under its own subtree");
    }
    const bool wasCurrent = tree_ && tree_->currentItem() == item;
    if (QTreeWidgetItem* old = item->parent())
        old->takeChild(old->indexOfChild(item));
    else if (tree_)
        tree_->takeTopLevelItem(tree_->indexOfTopLevelItem(item));
    if (parent)
        parent->addChild(item);
    else if (tree_)
        tree_->addTopLevelItem(item);
    if (wasCurrent) tree_->setCurrentItem(item);
}

void TreeWidgetNodes::Remove(int index) {
    QTreeWidgetItem* root = ItemAt(index);
    // The item goes with its whole subtree; the nodes after it move up.
    std::vector<QTreeWidgetItem*> doomed{root};
    size_t first = PosOf(root);
    for (size_t i = 0; i < doomed.size(); ++i) {
        QTreeWidgetItem* item = doomed[i];
        first = std::min(first, PosOf(item));
        for (int c = 0; c < item->childCount(); ++c) doomed.push_back(item->child(c));
        byKey_.remove(KeyOf(item));
    }
    std::sort(doomed.begin(), doomed.end());
    const auto tail = std::stable_partition(items_.begin() + first, items_.end(), [&](QTreeWidgetItem* item) {
        return !std::binary_search(doomed.begin(), doomed.end(), item);
    });
    items_.erase(tail, items_.end());
    delete root;  // takes the children and the widget's reference with it
    Renumber(first);
}

QTreeWidgetItem* TreeWidgetNodes::ItemAt(int index) const {
    if (index < 1 || index > int(items_.size())) throw std::out_of_range("tree node index out of bounds");
    return items_[size_t(index) - 1];
}

QString TreeWidgetNodes::KeyOf(const QTreeWidgetItem* item) {
    return item->data(0, kKeyRole).toString();
}

QTreeWidgetItem* TreeWidgetNodes::Find(const QString& key) const {
    return byKey_.value(key);
}

void TreeWidgetNodes::Renumber(size_t from) {
    for (size_t i = from; i < items_.size(); ++i) items_[i]->setData(0, kPosRole, qulonglong(i));
}
