#pragma once

#include <QString>

// The two splitters of the program's windows, as arithmetic in twips over panes they are handed:
// Cls分屏 divides a window into a left pane and a right pane with an upright bar dragged left and right
// (the main window: tree side and page area), ClsV分屏 into a top and a bottom pane with a lying bar
// dragged up and down (the message board). Neither knows about widgets: a window hands them its panes
// through SplitPane and its size through SplitHost, and tests hand them plain rectangles.

// A rectangle the splitters place, in twips. A setter refuses a value it cannot take (a negative width
// or height) with std::invalid_argument, as the old controls refused an invalid property value.
class SplitPane {
public:
    virtual ~SplitPane() = default;
    virtual int Left() const = 0;
    virtual int Top() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetLeft(int twips) = 0;
    virtual void SetTop(int twips) = 0;
    virtual void SetWidth(int twips) = 0;
    virtual void SetHeight(int twips) = 0;
    virtual void BringToFront() {}
    // The old mouse-pointer codes: 7 north-south sizing, 9 west-east sizing.
    virtual void SetPointer(int /*code*/) {}
};

// The area the panes share: the window (or its client area), in twips.
class SplitHost {
public:
    virtual ~SplitHost() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
};

// What a host keeps free of panes. The old windows measured the whole window, frame and caption
// included, and kept these margins for them; a host that reports its client area keeps none.
struct SplitMargins {
    int bottom = 0;          // below the panes
    int rightAtInit = 0;     // right of the right pane when first laid out
    int rightAfterDrag = 0;  // right of the right pane after the bar is dropped
};

class Cls分屏 {
public:
    // Margins of a window measured whole: 700 below, 30 and 105 on the right.
    static constexpr SplitMargins kWindowMargins{700, 30, 105};
    static constexpr int kInitialLeftWidth = 6000;
    static constexpr int kBarWidth = 35;
    // The bar is dropped at least this far from either edge.
    static constexpr int kEdgeDistance = 1000;

    explicit Cls分屏(SplitMargins margins = kWindowMargins) : margins_(margins) {}

    // Keeps the five references until the object ends and lays the panes out below `top`. Every step
    // is tried even when one before it failed.
    void myInit(SplitHost& form, SplitPane& bar, SplitPane& left, SplitPane& middle, SplitPane& right,
                double top);
    // From the bar's mouse-move event: with the left button (1) held the bar follows the pointer; the
    // panes wait for the release.
    void myMouseMove(qint16 button, double x);
    // From the bar's mouse-up event: with the left button the panes follow the bar, which stays at
    // least kEdgeDistance from either edge.
    void myMouseUp(qint16 button);
    // After the host changed its size: the panes take its new height and width, the left pane keeping
    // its width as far as the edge distance allows.
    void Refit();

private:
    void placeFromLeftWidth(int leftWidth, int rightMargin);

    SplitMargins margins_;
    double top_ = 0;
    SplitHost* form_ = nullptr;
    SplitPane* bar_ = nullptr;
    SplitPane* left_ = nullptr;
    SplitPane* middle_ = nullptr;
    SplitPane* right_ = nullptr;
};

class ClsV分屏 {
public:
    // Margins of a window measured whole: 390 + 285 below the bottom pane.
    static constexpr SplitMargins kWindowMargins{390 + 285, 0, 0};
    static constexpr int kInitialTopHeight = 4955;
    static constexpr int kBarHeight = 90;
    static constexpr int kBarOverlap = 60;  // the bar covers the top pane's last 60 twips
    static constexpr int kStripGap = 15;
    static constexpr int kTopDistance = 1000;
    static constexpr int kBottomDistance = 2000;

    explicit ClsV分屏(SplitMargins margins = kWindowMargins) : margins_(margins) {}

    // The sixth argument of the old call is not used and not asked for.
    void myInit(SplitHost& form, SplitPane& bar, SplitPane& top, SplitPane& middle, SplitPane& bottom);
    void myMouseMove(qint16 button, double y);
    // The bar ends at most kBottomDistance above the bottom edge and at least kTopDistance below the
    // top; when the two cross, the top bound wins.
    void myMouseUp(qint16 button);

private:
    void placeBelowBar();

    SplitMargins margins_;
    SplitHost* form_ = nullptr;
    SplitPane* bar_ = nullptr;
    SplitPane* top_ = nullptr;
    SplitPane* middle_ = nullptr;
    SplitPane* bottom_ = nullptr;
};
