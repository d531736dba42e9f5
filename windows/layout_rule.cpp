#include "windows/layout_rule.h"

#include <cstdlib>

namespace layout {

MainWindowLayout ResizeControls(const MainWindowLayout& in) {
    MainWindowLayout out = in;
    out.player.width = std::abs(in.windowWidth - in.player.left - 600);
    out.player.height = std::abs(in.windowHeight - in.player.top - 1000);
    out.frame1.height = out.player.height + 140;
    out.frame3 = out.frame1;
    out.frame4 = out.frame1;
    out.listView1.height = std::abs(out.frame1.height - in.listView1.top - 60);
    out.listView2 = out.listView1;
    out.dir1.height = std::abs((out.frame4.height - in.dir1.top - 600) / 2);
    out.file1.top = std::abs(in.dir1.top + out.dir1.height + 60);
    out.file1.height = out.dir1.height;
    out.cmdWebsite.width = std::abs(in.windowWidth - in.cmdWebsite.left - 600);
    return out;
}

}  // namespace layout
