#include <gtest/gtest.h>
#include <array>
#include <stdexcept>

#include "mainwin/split_geometry.h"

namespace {

struct Box : SplitPane {
    int left = 0, top = 0, width = 0, height = 0;
    int fronts = 0;
    int pointer = 0;
    Box(int w = 0, int h = 0) : width(w), height(h) {}
    int Left() const override { return left; }
    int Top() const override { return top; }
    int Width() const override { return width; }
    int Height() const override { return height; }
    void SetLeft(int v) override { left = v; }
    void SetTop(int v) override { top = v; }
    void SetWidth(int v) override {
        if (v < 0) throw std::invalid_argument("width");
        width = v;
    }
    void SetHeight(int v) override {
        if (v < 0) throw std::invalid_argument("height");
        height = v;
    }
    void BringToFront() override { ++fronts; }
    void SetPointer(int code) override { pointer = code; }
};

struct Host : SplitHost {
    int width, height;
    Host(int w, int h) : width(w), height(h) {}
    int Width() const override { return width; }
    int Height() const override { return height; }
};

// A window 15000 x 9000 twips measured whole, toolbars 600 high, node strip 450 wide.
struct Upright : ::testing::Test {
    Host form{15000, 9000};
    Box bar, left, middle{450, 0}, right;
    Cls分屏 split;
    void SetUp() override { split.myInit(form, bar, left, middle, right, 600); }
    void Drop(int barLeft) {
        split.myMouseMove(1, barLeft - bar.left);
        split.myMouseUp(1);
    }
};

TEST_F(Upright, InitialLayout) {
    EXPECT_EQ(bar.pointer, 9);
    EXPECT_EQ((std::array{left.left, left.top, left.width, left.height}), (std::array{0, 600, 6000, 7700}));
    EXPECT_EQ((std::array{middle.left, middle.top, middle.height}), (std::array{6000, 600, 7700}));
    EXPECT_EQ((std::array{bar.left, bar.top, bar.width, bar.height}), (std::array{6450, 600, 35, 7700}));
    EXPECT_EQ((std::array{right.left, right.top, right.width, right.height}),
              (std::array{6485, 600, 15000 - 6000 - 35 - 30 - 450, 7700}));
    EXPECT_EQ(bar.fronts, 1);
}

TEST_F(Upright, DropsWithinTheEdgeDistance) {
    struct Case {
        int barLeft, treeWidth;
    };
    for (const Case c : {Case{400, 1000}, Case{20000, 15000 - 1000}, Case{8450, 8000}}) {
        Drop(c.barLeft);
        EXPECT_EQ(left.width, c.treeWidth) << c.barLeft;
        EXPECT_EQ(middle.left, c.treeWidth);
        EXPECT_EQ(bar.left, c.treeWidth + 450);
        EXPECT_EQ(right.left, c.treeWidth + 35 + 450);
    }
    Drop(8450);
    EXPECT_EQ(right.width, 15000 - 8000 - 35 - 105 - 450);
}

TEST_F(Upright, OnlyTheLeftButtonMovesTheBarAndThePanesWaitForTheRelease) {
    split.myMouseMove(2, 500);
    EXPECT_EQ(bar.left, 6450);
    split.myMouseMove(1, 500);
    EXPECT_EQ(bar.left, 6950);
    EXPECT_EQ(left.width, 6000);
    split.myMouseUp(2);
    EXPECT_EQ(left.width, 6000);
    split.myMouseUp(1);
    EXPECT_EQ(left.width, 6500);
}

TEST_F(Upright, ARightPaneThatWouldBeNegativeKeepsItsWidth) {
    form.width = 1200;  // a window narrower than the tree's least width
    const int before = right.width;
    Drop(400);
    EXPECT_EQ(left.width, 1000);
    EXPECT_EQ(right.width, before);
}

TEST_F(Upright, RefitFollowsTheHostAndKeepsTheEdgeDistance) {
    form.width = 5000;
    form.height = 4000;
    split.Refit();
    EXPECT_EQ(left.width, 4000);
    EXPECT_EQ(left.height, 4000 - 700 - 600);
    EXPECT_EQ(right.height, left.height);
    EXPECT_EQ(bar.left, 4450);
}

TEST(UprightInitTest, EveryStepIsTriedAfterAFailure) {
    Host form(500, 300);  // the panes get negative heights and widths
    Box bar, left, middle, right;
    Cls分屏 split;
    split.myInit(form, bar, left, middle, right, 0);
    EXPECT_EQ(left.width, 6000);
    EXPECT_EQ(bar.width, 35);
    EXPECT_EQ(right.left, 6035);
    EXPECT_EQ(bar.fronts, 1);
}

struct Lying : ::testing::Test {
    Host form{9000, 8000};
    Box bar, top{9000, 0}, middle{0, 400}, bottom;
    ClsV分屏 split;
    void SetUp() override { split.myInit(form, bar, top, middle, bottom); }
    void Drop(int barTop) {
        split.myMouseMove(1, barTop - bar.top);
        split.myMouseUp(1);
    }
};

TEST_F(Lying, InitialLayout) {
    EXPECT_EQ(bar.pointer, 7);
    EXPECT_EQ((std::array{top.left, top.top, top.height}), (std::array{0, 0, 4955}));
    EXPECT_EQ((std::array{bar.left, bar.top, bar.width, bar.height}), (std::array{0, 4895, 9000, 90}));
    EXPECT_EQ((std::array{middle.top, middle.width}), (std::array{5000, 9000}));
    EXPECT_EQ((std::array{bottom.top, bottom.width, bottom.height}),
              (std::array{5400, 9000, 8000 - 5400 - 675}));
}

TEST_F(Lying, DropsKeepTheirBoundsTheTopOneLast) {
    Drop(500);
    EXPECT_EQ(bar.top, 1000);
    EXPECT_EQ(top.height, 1060);
    EXPECT_EQ(middle.top, 1105);
    EXPECT_EQ(bottom.top, 1505);
    EXPECT_EQ(bottom.height, 8000 - 1505 - 675);
    Drop(7000);
    EXPECT_EQ(bar.top, 6000);
    form.height = 2500;
    Drop(1800);
    EXPECT_EQ(bar.top, 1000);
}

}  // namespace
