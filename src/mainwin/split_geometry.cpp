#include "mainwin/split_geometry.h"

#include <exception>

namespace {

constexpr qint16 kLeftButton = 1;
constexpr int kWestEastPointer = 9;
constexpr int kNorthSouthPointer = 7;

// One step of a layout that carries on past a failure.
template <typename Step>
void Attempt(Step step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

}  // namespace

void Cls分屏::myInit(SplitHost& form, SplitPane& bar, SplitPane& left, SplitPane& middle, SplitPane& right,
                     double top) {
    form_ = &form;
    bar_ = &bar;
    left_ = &left;
    middle_ = &middle;
    right_ = &right;
    top_ = top;
    const int t = int(top);
    Attempt([&] { bar.SetPointer(kWestEastPointer); });
    Attempt([&] { left.SetTop(t); });
    Attempt([&] { left.SetLeft(0); });
    Attempt([&] { left.SetWidth(kInitialLeftWidth); });
    Attempt([&] { left.SetHeight(form.Height() - margins_.bottom - t); });
    Attempt([&] { middle.SetTop(t); });
    Attempt([&] { middle.SetHeight(left.Height()); });
    Attempt([&] { middle.SetLeft(left.Width()); });
    Attempt([&] { bar.SetTop(t); });
    Attempt([&] { bar.SetLeft(left.Width() + middle.Width()); });
    Attempt([&] { bar.SetHeight(left.Height()); });
    Attempt([&] { bar.SetWidth(kBarWidth); });
    Attempt([&] { right.SetTop(t); });
    Attempt([&] { right.SetLeft(left.Width() + bar.Width() + middle.Width()); });
    Attempt([&] { right.SetHeight(left.Height()); });
    Attempt([&] {
        right.SetWidth(form.Width() - left.Width() - bar.Width() - margins_.rightAtInit - middle.Width());
    });
    Attempt([&] { bar.BringToFront(); });
}

void Cls分屏::myMouseMove(qint16 button, double x) {
    if (button != kLeftButton || !bar_) return;
    try {
        bar_->SetLeft(bar_->Left() + int(x));
        bar_->BringToFront();
    } catch (const std::exception&) {
    }
}

void Cls分屏::myMouseUp(qint16 button) {
    if (button != kLeftButton || !bar_) return;
    try {
        left_->SetLeft(0);
        const int barLeft = bar_->Left();
        const int formWidth = form_->Width();
        int leftWidth = barLeft - middle_->Width();
        if (barLeft < kEdgeDistance)
            leftWidth = kEdgeDistance;
        else if (barLeft > formWidth - kEdgeDistance)
            leftWidth = formWidth - kEdgeDistance;
        left_->SetWidth(leftWidth);
        placeFromLeftWidth(left_->Width(), margins_.rightAfterDrag);
    } catch (const std::exception&) {
    }
}

void Cls分屏::Refit() {
    if (!bar_) return;
    try {
        const int height = form_->Height() - margins_.bottom - int(top_);
        for (SplitPane* pane : {left_, middle_, bar_, right_}) pane->SetHeight(height);
        int leftWidth = left_->Width();
        if (leftWidth > form_->Width() - kEdgeDistance) leftWidth = form_->Width() - kEdgeDistance;
        if (leftWidth < kEdgeDistance) leftWidth = kEdgeDistance;
        left_->SetWidth(leftWidth);
        placeFromLeftWidth(leftWidth, margins_.rightAfterDrag);
    } catch (const std::exception&) {
    }
}

void Cls分屏::placeFromLeftWidth(int leftWidth, int rightMargin) {
    middle_->SetLeft(leftWidth);
    bar_->SetLeft(leftWidth + middle_->Width());
    right_->SetLeft(leftWidth + bar_->Width() + middle_->Width());
    right_->SetWidth(form_->Width() - leftWidth - bar_->Width() - rightMargin - middle_->Width());
}

void ClsV分屏::myInit(SplitHost& form, SplitPane& bar, SplitPane& top, SplitPane& middle, SplitPane& bottom) {
    form_ = &form;
    bar_ = &bar;
    top_ = &top;
    middle_ = &middle;
    bottom_ = &bottom;
    Attempt([&] { bar.SetPointer(kNorthSouthPointer); });
    Attempt([&] { bar.SetHeight(kBarHeight); });
    Attempt([&] { top.SetTop(0); });
    Attempt([&] { top.SetLeft(0); });
    Attempt([&] { top.SetHeight(kInitialTopHeight); });
    Attempt([&] { bar.SetTop(top.Top() + top.Height() - kBarOverlap); });
    Attempt([&] { bar.SetLeft(top.Left()); });
    Attempt([&] { bar.SetWidth(top.Width()); });
    Attempt([&] { middle.SetTop(bar.Top() + bar.Height() + kStripGap); });
    Attempt([&] { middle.SetWidth(top.Width()); });
    Attempt([&] { middle.SetLeft(top.Left()); });
    Attempt([&] { bottom.SetTop(middle.Top() + middle.Height()); });
    Attempt([&] { bottom.SetLeft(top.Left()); });
    Attempt([&] { bottom.SetHeight(form.Height() - bottom.Top() - margins_.bottom); });
    Attempt([&] { bottom.SetWidth(top.Width()); });
    Attempt([&] { bar.BringToFront(); });
}

void ClsV分屏::myMouseMove(qint16 button, double y) {
    if (button != kLeftButton || !bar_) return;
    try {
        bar_->SetTop(bar_->Top() + int(y));
        bar_->BringToFront();
    } catch (const std::exception&) {
    }
}

void ClsV分屏::myMouseUp(qint16 button) {
    if (button != kLeftButton || !bar_) return;
    try {
        top_->SetHeight(0);
        const int formHeight = form_->Height();
        if (bar_->Top() > formHeight - kBottomDistance) bar_->SetTop(formHeight - kBottomDistance);
        if (bar_->Top() < kTopDistance) bar_->SetTop(kTopDistance);
        top_->SetHeight(bar_->Top() - top_->Top() + kBarOverlap);
        placeBelowBar();
        bar_->BringToFront();
    } catch (const std::exception&) {
    }
}

void ClsV分屏::placeBelowBar() {
    middle_->SetTop(bar_->Top() + bar_->Height() + kStripGap);
    bottom_->SetTop(middle_->Top() + middle_->Height());
    bottom_->SetHeight(form_->Height() - bottom_->Top() - margins_.bottom);
}
