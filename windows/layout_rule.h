#pragma once
// The main window's layout rule, in twips: the player and the three frames follow the
// window's size. Pure arithmetic, so it is tested without a window.
#include "widgets/twips.h"

namespace layout {

struct MainWindowLayout {
    int windowWidth = 0, windowHeight = 0;  // outer size of the window
    Rect player, frame1, frame3, frame4, listView1, listView2, dir1, file1, cmdWebsite;
    bool operator==(const MainWindowLayout&) const = default;
};

// Applies the rule to `in` (the current geometry) and returns the new geometry. Every size is
// an absolute value, so a window smaller than the margins still gives positive sizes.
MainWindowLayout ResizeControls(const MainWindowLayout& in);

}  // namespace layout
