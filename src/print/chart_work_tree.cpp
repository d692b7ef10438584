#include "print/chart_work_tree.h"

#include <algorithm>
#include <stdexcept>

void ChartWorkTree::Clear() {
    nodes_.clear();
    roots_.clear();
    byKey_.clear();
    selected_ = 0;
    lastParentKey_.clear();
    lastParent_ = 0;
}

void ChartWorkTree::Add(const QString& parentKey, const QString& key, const QString& text, int image) {
    int parent = 0;
    if (!parentKey.isEmpty()) {
        if (lastParent_ == 0 || parentKey != lastParentKey_) {
            lastParent_ = IndexOf(parentKey);
            lastParentKey_ = parentKey;
        }
        parent = lastParent_;
    }
    const int index = int(nodes_.size()) + 1;
    if (!byKey_.emplace(key, index).second) throw TreeKeyError(key);
    nodes_.push_back({key, text, image, parent, false, {}});
    (parent ? nodes_[size_t(parent) - 1].children : roots_).push_back(index);
}

bool ChartWorkTree::Exists(const QString& key) const {
    return byKey_.count(key) > 0;
}

int ChartWorkTree::IndexOf(const QString& key) const {
    const auto it = byKey_.find(key);
    if (it == byKey_.end()) throw TreeKeyError(key);
    return it->second;
}

QString ChartWorkTree::ParentKeyAt(int index) const {
    const int parent = At(index).parent;
    return parent ? nodes_[size_t(parent) - 1].key : QString();
}

void ChartWorkTree::Select(int index) {
    At(index);
    selected_ = index;
}

void ChartWorkTree::SetParent(const QString&, const QString&) {
    throw std::logic_error("the chart's work tree is built once and never rearranged");
}

void ChartWorkTree::Remove(int) {
    throw std::logic_error("the chart's work tree is built once and never rearranged");
}

std::vector<int> ChartWorkTree::PathTo(int index) const {
    std::vector<int> path;
    for (int n = index; n; n = At(n).parent) path.push_back(n);
    std::reverse(path.begin(), path.end());
    return path;
}

ChartWorkTree::Node& ChartWorkTree::At(int index) {
    if (index < 1 || index > int(nodes_.size())) throw std::out_of_range("tree node index out of bounds");
    return nodes_[size_t(index) - 1];
}

const ChartWorkTree::Node& ChartWorkTree::At(int index) const {
    return const_cast<ChartWorkTree*>(this)->At(index);
}
