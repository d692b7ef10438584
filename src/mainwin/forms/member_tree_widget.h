#pragma once

#include <QTreeWidget>

class dsptree;

// The main window's member tree (TreeVw). It hands the window the events the old tree control raised:
// a node click (a left press on a node's label, or a keyboard move of the selection), mouse down and
// move, drag over and drop. A right press never changes the selection, and moving with the left button
// held starts a member drag instead of sweeping the selection over the nodes.
class MemberTreeWidget : public QTreeWidget {
public:
    explicit MemberTreeWidget(dsptree* window, QWidget* parent = nullptr);

    // The data a member drag carries.
    static const char* const kDragFormat;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    dsptree* window_;
};
