// The catalogue editing panel lies over the player and takes the operator's clicks, with a
// channel playing under it and after full screen came and went. On a real display (xcb under
// Xvfb, the picture in its own OpenGL window) the screen is read back from the X server and the
// clicks are the X server's own (xdotool), so whatever window is on top at that place gets them;
// on the offscreen platform (software picture) the window is drawn and clicked through Qt.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <memory>

#include "base/private_label.h"
#include "player/player_pane.h"
#include "support/http_server.h"
#include "support/program_folder.h"
#include "support/temp_dir.h"
#include "support/video_channels.h"
#include "support/wait_for.h"
#include "widgets/list_view.h"
#include "windows/main_window.h"

using test_support::WaitFor;

namespace {

bool OnRealDisplay() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// What the user sees of `widget`: read from the screen on a real display, else drawn by Qt as
// the window stacks its controls.
QImage Seen(QWidget* widget) {
    if (!OnRealDisplay()) {
        QWidget* top = widget->window();
        return top->grab(QRect(widget->mapTo(top, QPoint()), widget->size())).toImage();
    }
    const QPoint at = widget->mapToGlobal(QPoint());
    return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), widget->width(), widget->height()).toImage();
}

// How much of the image is the panel's own light grey, neither the picture's colours nor black.
double ShareOfPanelGrey(const QImage& image) {
    const QImage small = image.scaled(60, 30).convertToFormat(QImage::Format_RGB32);
    int grey = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x) {
            const QColor c = small.pixelColor(x, y);
            if (c.hsvSaturation() < 40 && c.value() > 150) ++grey;
        }
    return static_cast<double>(grey) / (small.width() * small.height());
}

// A left click in the middle of `widget`, the way the user makes it.
void Click(QWidget* widget) {
    const QPoint centre = widget->rect().center();
    if (!OnRealDisplay()) {
        QWidget* top = widget->window();
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, widget->mapTo(top, centre));
        return;
    }
    const QPoint at = widget->mapToGlobal(centre);
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                       QStringLiteral("click"), QStringLiteral("1")});
}

class EditingPanel : public ::testing::Test {
protected:
    void SetUp() override {
        modPrivateLabel::LoadPrivateLabel();
        test_support::ServeVideoChannels(server, program.folder(), 4);
        program.folder().write("admin.txt", "");
    }
    Form1& Start() {
        form = std::make_unique<Form1>();
        form->Form_Load();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QTest::qWait(300);  // the picture's window made, the panel laid over it
        return *form;
    }

    HttpServer server;
    ScopedProgramFolder program;
    ScopedConfigHome home;
    std::unique_ptr<Form1> form;
};

}  // namespace

TEST_F(EditingPanel, LiesOverAPlayingChannelAndTakesClicksAlsoAfterFullScreen) {
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    ASSERT_TRUE(f.Frame2->isVisible());
    // A channel plays under the panel: its picture is what the panel must cover.
    f.chkLoad->setChecked(false);
    pane->setUrl(server.url(test_support::ChannelPath(0)), QStringLiteral("Channel 0"));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing") && pane->hasFrame(); }, 15000))
        << pane->lastError().toStdString();
    QTest::qWait(200);

    EXPECT_GT(ShareOfPanelGrey(Seen(f.doLoad)), 0.5) << "the panel's buttons are on screen, not the picture";
    const int before = f.ListView1->rowCount();
    Click(f.doLoad);
    EXPECT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == before + 4; }, 3000))
        << "Decrypt and Load took the click: " << f.ListView1->rowCount() << " rows";

    // Full screen shows the picture alone; once it ends the panel lies over the player again.
    pane->setFullScreen(true);
    ASSERT_TRUE(WaitFor([&] { return pane->isFullScreen() && !f.Frame2->isVisible(); }, 3000));
    QTest::qWait(300);
    pane->setFullScreen(false);
    ASSERT_TRUE(WaitFor([&] { return !pane->isFullScreen() && f.Frame2->isVisible(); }, 3000));
    QTest::qWait(300);
    EXPECT_GT(ShareOfPanelGrey(Seen(f.Clear)), 0.5) << "after full screen, the panel is on top again";
    Click(f.Clear);
    EXPECT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == 0; }, 3000)) << "Clear the list took the click";
    pane->stop();
}
