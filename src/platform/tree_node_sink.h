#pragma once

#include <QString>
#include <stdexcept>

// The member tree as the store fills it, with the old tree control's rules: keys are unique, nodes
// are numbered from 1 in the order they were added, and a key that is not there is an error the
// caller sees (TreeKeyError); an index out of range is std::out_of_range. The main window implements
// it over its tree widget (TreeWidgetNodes); MemoryTreeNodes serves page walks without a window,
// tests and benchmarks.
class TreeKeyError : public std::runtime_error {
public:
    explicit TreeKeyError(const QString& key)
        : std::runtime_error(("no tree node with key " + key).toStdString()), key_(key) {}
    const QString& key() const { return key_; }

private:
    QString key_;
};

class TreeNodeSink {
public:
    // Node pictures: male member, female member, start member of a page.
    static constexpr int kImageMale = 1;
    static constexpr int kImageFemale = 2;
    static constexpr int kImagePageStart = 3;

    // A member's node key: its name behind "_", so that a name such as "1" is never read as an index.
    static QString MemberKey(const QString& name) { return QLatin1Char('_') + name; }

    virtual ~TreeNodeSink() = default;
    virtual void Clear() = 0;
    // Adds a top-level node when parentKey is empty, else a child of parentKey. Throws TreeKeyError
    // when parentKey is unknown or key is already in the tree.
    virtual void Add(const QString& parentKey, const QString& key, const QString& text, int image = 0) = 0;
    virtual bool Exists(const QString& key) const = 0;
    virtual int Count() const = 0;
    // 1-based index of a key; throws TreeKeyError when absent.
    virtual int IndexOf(const QString& key) const = 0;
    virtual QString KeyAt(int index) const = 0;
    virtual QString TextAt(int index) const = 0;
    virtual int ImageAt(int index) const = 0;
    // Key of the node's parent, "" for a top-level node.
    virtual QString ParentKeyAt(int index) const = 0;
    virtual void Expand(int index) = 0;
    virtual bool IsExpanded(int index) const = 0;
    virtual void Select(int index) = 0;
    virtual int SelectedIndex() const = 0;  // 0 when none
    // Moves a node with its subtree to the end of another node's children ("" = top level); its index
    // stays. A move under its own subtree is refused with std::invalid_argument.
    virtual void SetParent(const QString& key, const QString& newParentKey) = 0;
    // Removes a node with its subtree; the nodes after it move up.
    virtual void Remove(int index) = 0;
};
