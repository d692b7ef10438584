#pragma once

#include <QString>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/tree_node_sink.h"

// The work tree of one chart section: filled once by the generation walk, read by the section layout,
// emptied for the next section. Children lists are kept as the nodes arrive, so the layout needs no key
// look-ups; moving or removing nodes is not part of its use and is refused (std::logic_error).
class ChartWorkTree : public TreeNodeSink {
public:
    void Clear() override;
    void Add(const QString& parentKey, const QString& key, const QString& text, int image = 0) override;
    bool Exists(const QString& key) const override;
    int Count() const override { return int(nodes_.size()); }
    int IndexOf(const QString& key) const override;
    QString KeyAt(int index) const override { return At(index).key; }
    QString TextAt(int index) const override { return At(index).text; }
    int ImageAt(int index) const override { return At(index).image; }
    QString ParentKeyAt(int index) const override;
    void Expand(int index) override { At(index).expanded = true; }
    bool IsExpanded(int index) const override { return At(index).expanded; }
    void Select(int index) override;
    int SelectedIndex() const override { return selected_; }
    void SetParent(const QString& key, const QString& newParentKey) override;
    void Remove(int index) override;

    // 1-based node numbers, in the order the nodes came.
    const std::vector<int>& Roots() const { return roots_; }
    const std::vector<int>& Children(int index) const { return At(index).children; }
    // The top-level node above index (index itself for a top-level node), then down to it.
    std::vector<int> PathTo(int index) const;
    int ParentOf(int index) const { return At(index).parent; }

private:
    struct Node {
        QString key;
        QString text;
        int image = 0;
        int parent = 0;  // 0 for a top-level node
        bool expanded = false;
        std::vector<int> children;
    };
    struct KeyHash {
        size_t operator()(const QString& key) const {
            return std::hash<std::u16string_view>{}(
                std::u16string_view(reinterpret_cast<const char16_t*>(key.constData()), size_t(key.size())));
        }
    };
    Node& At(int index);
    const Node& At(int index) const;

    std::vector<Node> nodes_;
    std::vector<int> roots_;
    std::unordered_map<QString, int, KeyHash> byKey_;
    int selected_ = 0;
    // Siblings arrive one after another: the parent found last usually serves the next node too.
    QString lastParentKey_;
    int lastParent_ = 0;
};
