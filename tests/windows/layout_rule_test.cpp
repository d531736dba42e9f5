#include <gtest/gtest.h>

#include "windows/layout_rule.h"

namespace {
layout::MainWindowLayout Design(int width, int height) {
    layout::MainWindowLayout l;
    l.windowWidth = width;
    l.windowHeight = height;
    l.player = {5340, 1140, 9570, 6705};
    l.frame1 = {60, 1020, 5235, 6675};
    l.frame3 = {60, 1020, 5235, 6675};
    l.frame4 = {60, 1020, 5235, 6735};
    l.listView1 = {180, 900, 4935, 3795};
    l.listView2 = {180, 900, 4935, 3795};
    l.dir1 = {120, 660, 4995, 2340};
    l.file1 = {120, 3060, 4995, 3405};
    l.cmdWebsite = {6660, 60, 2775, 915};
    return l;
}
}  // namespace

TEST(LayoutRule, FollowsTheWindowSize) {
    const auto out = layout::ResizeControls(Design(15510, 10800));
    EXPECT_EQ(out.player, (layout::Rect{5340, 1140, 9570, 8660}));
    EXPECT_EQ(out.frame1, (layout::Rect{60, 1020, 5235, 8800}));
    EXPECT_EQ(out.frame3, out.frame1);
    EXPECT_EQ(out.frame4, out.frame1);  // frame 4 takes frame 1's rectangle, height included
    EXPECT_EQ(out.listView1, (layout::Rect{180, 900, 4935, 7840}));
    EXPECT_EQ(out.listView2, out.listView1);
    EXPECT_EQ(out.dir1.height, (8800 - 660 - 600) / 2);
    EXPECT_EQ(out.file1.top, 660 + 3770 + 60);
    EXPECT_EQ(out.file1.height, 3770);
    EXPECT_EQ(out.cmdWebsite, (layout::Rect{6660, 60, 8250, 915}));
}

TEST(LayoutRule, SmallWindowsStillGivePositiveSizes) {
    const auto out = layout::ResizeControls(Design(3000, 1500));
    EXPECT_EQ(out.player.width, 5340 + 600 - 3000);  // the shortfall
    EXPECT_EQ(out.player.height, 1140 + 1000 - 1500);
    EXPECT_GT(out.listView1.height, 0);
    EXPECT_GT(out.dir1.height, 0);
    EXPECT_EQ(out.cmdWebsite.width, 6660 + 600 - 3000);
}

TEST(LayoutRule, LeavesPositionsAndOtherSizesAlone) {
    const auto in = Design(20000, 12000);
    const auto out = layout::ResizeControls(in);
    EXPECT_EQ(out.player.left, in.player.left);
    EXPECT_EQ(out.player.top, in.player.top);
    EXPECT_EQ(out.frame1.width, in.frame1.width);
    EXPECT_EQ(out.dir1.top, in.dir1.top);
    EXPECT_EQ(out.file1.left, in.file1.left);
}
