#include "store/memory_tree_nodes.h"

#include <QStringList>
#include <algorithm>
#include <stdexcept>

struct MemoryTreeNodes::Node {
    QString key;
    QString text;
    int image = 0;
    bool expanded = false;
    bool removing = false;
    Node* parent = nullptr;
    std::vector<Node*> children;
    size_t pos = 0;  // place in nodes_, the 0-based index
};

namespace {

// Drops one entry from a child list, looking from the end: trees are emptied from the last node.
template <typename T>
void EraseFromEnd(std::vector<T*>& list, T* item) {
    const auto it = std::find(list.rbegin(), list.rend(), item);
    if (it != list.rend()) list.erase(std::next(it).base());
}

}  // namespace

MemoryTreeNodes::MemoryTreeNodes() = default;
MemoryTreeNodes::~MemoryTreeNodes() = default;

void MemoryTreeNodes::Clear() {
    nodes_.clear();
    byKey_.clear();
    topLevel_.clear();
    selected_ = nullptr;
}

void MemoryTreeNodes::Add(const QString& parentKey, const QString& key, const QString& text, int image) {
    Node* parent = nullptr;
    if (!parentKey.isEmpty()) {
        parent = Find(parentKey);
        if (!parent) throw TreeKeyError(parentKey);
    }
    if (byKey_.contains(key)) throw TreeKeyError(key);
    auto node = std::make_unique<Node>();
    node->key = key;
    node->text = text;
    node->image = image;
    node->parent = parent;
    node->pos = nodes_.size();
    (parent ? parent->children : topLevel_).push_back(node.get());
    byKey_.insert(key, node.get());
    nodes_.push_back(std::move(node));
}

bool MemoryTreeNodes::Exists(const QString& key) const {
    return byKey_.contains(key);
}

int MemoryTreeNodes::Count() const {
    return int(nodes_.size());
}

int MemoryTreeNodes::IndexOf(const QString& key) const {
    const Node* node = Find(key);
    if (!node) throw TreeKeyError(key);
    return int(node->pos) + 1;
}

QString MemoryTreeNodes::KeyAt(int index) const {
    return At(index).key;
}
QString MemoryTreeNodes::TextAt(int index) const {
    return At(index).text;
}
int MemoryTreeNodes::ImageAt(int index) const {
    return At(index).image;
}

QString MemoryTreeNodes::ParentKeyAt(int index) const {
    const Node& node = At(index);
    return node.parent ? node.parent->key : QString();
}

void MemoryTreeNodes::Expand(int index) {
    At(index).expanded = true;
}
bool MemoryTreeNodes::IsExpanded(int index) const {
    return At(index).expanded;
}
void MemoryTreeNodes::Select(int index) {
    selected_ = &At(index);
}
int MemoryTreeNodes::SelectedIndex() const {
    return selected_ ? int(selected_->pos) + 1 : 0;
}

void MemoryTreeNodes::SetParent(const QString& key, const QString& newParentKey) {
    Node* node = Find(key);
    if (!node) throw TreeKeyError(key);
    Node* parent = nullptr;
    if (!newParentKey.isEmpty()) {
        parent = Find(newParentKey);
        if (!parent) throw TreeKeyError(newParentKey);
        for (const Node* up = parent; up; up = up->parent)
            if (up == node) throw std::invalid_argument("a tree node cannot move under its own subtree");
    }
    EraseFromEnd(node->parent ? node->parent->children : topLevel_, node);
    node->parent = parent;
    (parent ? parent->children : topLevel_).push_back(node);
}

void MemoryTreeNodes::Remove(int index) {
    Node* root = &At(index);
    EraseFromEnd(root->parent ? root->parent->children : topLevel_, root);

    // The node goes with its whole subtree; the nodes after it move up.
    std::vector<Node*> doomed{root};
    size_t first = root->pos;
    for (size_t i = 0; i < doomed.size(); ++i) {
        Node* n = doomed[i];
        first = std::min(first, n->pos);
        doomed.insert(doomed.end(), n->children.begin(), n->children.end());
        byKey_.remove(n->key);
        if (n == selected_) selected_ = nullptr;
    }
    for (Node* n : doomed) n->removing = true;
    const auto tail = std::stable_partition(nodes_.begin() + first, nodes_.end(),
                                            [](const auto& n) { return !n->removing; });
    nodes_.erase(tail, nodes_.end());
    Renumber(first);
}

QStringList MemoryTreeNodes::ChildKeys(const QString& parentKey) const {
    const std::vector<Node*>* list = &topLevel_;
    if (!parentKey.isEmpty()) {
        const Node* parent = Find(parentKey);
        if (!parent) throw TreeKeyError(parentKey);
        list = &parent->children;
    }
    QStringList keys;
    for (const Node* n : *list) keys << n->key;
    return keys;
}

MemoryTreeNodes::Node& MemoryTreeNodes::At(int index) const {
    if (index < 1 || index > int(nodes_.size())) throw std::out_of_range("tree node index out of bounds");
    return *nodes_[size_t(index) - 1];
}

MemoryTreeNodes::Node* MemoryTreeNodes::Find(const QString& key) const {
    return byKey_.value(key);
}

void MemoryTreeNodes::Renumber(size_t from) {
    for (size_t i = from; i < nodes_.size(); ++i) nodes_[i]->pos = i;
}
