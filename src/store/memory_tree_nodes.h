#pragma once

#include <QHash>
#include <QString>
#include <memory>
#include <vector>

#include "platform/tree_node_sink.h"

// The member tree held in memory: page walks without a window, tests and benchmarks.
class MemoryTreeNodes : public TreeNodeSink {
public:
    MemoryTreeNodes();
    ~MemoryTreeNodes() override;

    void Clear() override;
    void Add(const QString& parentKey, const QString& key, const QString& text, int image = 0) override;
    bool Exists(const QString& key) const override;
    int Count() const override;
    int IndexOf(const QString& key) const override;
    QString KeyAt(int index) const override;
    QString TextAt(int index) const override;
    int ImageAt(int index) const override;
    QString ParentKeyAt(int index) const override;
    void Expand(int index) override;
    bool IsExpanded(int index) const override;
    void Select(int index) override;
    int SelectedIndex() const override;
    void SetParent(const QString& key, const QString& newParentKey) override;
    void Remove(int index) override;

    // Keys of a node's children in the order they came under it ("" = the top level).
    QStringList ChildKeys(const QString& parentKey) const;

private:
    struct Node;
    Node& At(int index) const;
    Node* Find(const QString& key) const;
    void Renumber(size_t from);

    std::vector<std::unique_ptr<Node>> nodes_;  // in the order added
    QHash<QString, Node*> byKey_;
    std::vector<Node*> topLevel_;
    Node* selected_ = nullptr;
};
