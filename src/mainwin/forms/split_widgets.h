#pragma once

#include <QFrame>
#include <QLayout>
#include <QList>
#include <functional>

#include "mainwin/split_geometry.h"

// The Qt side of the splitters: widgets as twips rectangles, the bar that forwards its mouse, and the
// layout that lets a splitter place the panes whenever the area changes its size.

// A widget as a pane, in twips of its parent's coordinates (15 to a pixel).
class WidgetPane : public SplitPane {
public:
    explicit WidgetPane(QWidget* widget) : widget_(widget) {}
    int Left() const override;
    int Top() const override;
    int Width() const override;
    int Height() const override;
    void SetLeft(int twips) override;
    void SetTop(int twips) override;
    void SetWidth(int twips) override;
    void SetHeight(int twips) override;
    void BringToFront() override;
    void SetPointer(int code) override;

private:
    QWidget* widget_;
};

// A widget's own area as a splitter host.
class WidgetHost : public SplitHost {
public:
    explicit WidgetHost(QWidget* widget) : widget_(widget) {}
    int Width() const override;
    int Height() const override;

private:
    QWidget* widget_;
};

// The splitter bar: a flat strip in the button-face colour that hands its mouse moves and releases to
// the splitter, positions in twips.
class SplitBar : public QFrame {
public:
    explicit SplitBar(QWidget* parent = nullptr);
    std::function<void(qint16 button, double twips)> onMouseMove;
    std::function<void(qint16 button)> onMouseUp;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Holds the panes of a split area; whenever the area gets a new size it asks onGeometry to place them
// (a splitter's Refit). Its minimum keeps room for the bar's edge distance on both sides.
class SplitPaneLayout : public QLayout {
public:
    explicit SplitPaneLayout(QWidget* parent = nullptr) : QLayout(parent) { setContentsMargins(0, 0, 0, 0); }
    ~SplitPaneLayout() override;

    std::function<void()> onGeometry;

    void addItem(QLayoutItem* item) override { items_.append(item); }
    int count() const override { return int(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    QList<QLayoutItem*> items_;
};
