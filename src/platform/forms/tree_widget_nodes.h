#pragma once

#include <QHash>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>
#include <vector>

#include "platform/tree_node_sink.h"

class QTreeWidget;
class QTreeWidgetItem;

// The member tree over the main window's QTreeWidget, with the old tree control's rules (unique
// keys, 1-based indexes in the order added, a missing key is a TreeKeyError). The sink must be the
// only one that adds or removes items, or its indexes no longer match the widget.
class TreeWidgetNodes : public TreeNodeSink {
public:
    explicit TreeWidgetNodes(QTreeWidget* tree);

    // The node pictures: image index i shows images[i - 1]; 0 shows none.
    void SetImages(const QList<QIcon>& images) { images_ = images; }

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

    // The picture of a node (the window marks the selected node with a picture of its own).
    void SetImage(int index, int image);
    // A renamed member's node: its key and caption change, its place, children and index stay. Throws
    // TreeKeyError when another node has the key.
    void SetKeyAndText(int index, const QString& key, const QString& text);
    // Moves a node with its subtree one place up (step -1) or down (+1) among its siblings, keeping its
    // key, colours, expansion and the selection; false at either end.
    bool MoveAmongSiblings(int index, int step);

    QTreeWidgetItem* ItemAt(int index) const;
    // The key of a widget item ("" for an item the sink did not add).
    static QString KeyOf(const QTreeWidgetItem* item);

private:
    QTreeWidgetItem* Find(const QString& key) const;
    void Renumber(size_t from);

    QPointer<QTreeWidget> tree_;
    QList<QIcon> images_;
    std::vector<QTreeWidgetItem*> items_;  // in the order added
    QHash<QString, QTreeWidgetItem*> byKey_;
};
