// The about, help and web-site windows, the skin and the banner.
#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QRegularExpression>
#include <QSet>
#include <QTextDocument>
#include <QToolButton>

#include "player/player_pane.h"
#include "registry/hives.h"
#include "registry/registry_access.h"
#include "services/fetch.h"
#include "services/machine_settings.h"
#include "services/settings.h"
#include "support/modal_watcher.h"
#include "support/tiny_http.h"
#include "support/wait_for.h"
#include "widgets/banner_pane.h"
#include "widgets/file_browser.h"
#include "widgets/picture_box.h"
#include "widgets/shell.h"
#include "widgets/skin.h"
#include "widgets/skin_label.h"
#include "widgets/twips.h"
#include "windows/about_window.h"
#include "windows/language_window.h"
#include "windows/launchers.h"
#include "windows/main_window_fixture.h"

using test_support::WaitFor;

namespace {

class Windows : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        SetHiveFolders(hives / "machine", hives / "user");
        shell::SetOpenerForTests([this](const QString& target) { opened << target; });
    }
    void TearDown() override {
        shell::SetOpenerForTests({});
        if (frmAbout* about = frmAbout::Loaded()) delete about;
        modPrivateLabel::LoadPrivateLabel();
        modPrivateLabel::WebTarget.clear();
        modSkin::SkinObject().reset();
        MainWindow::TearDown();
    }
    TempDir hives;
    QStringList opened;
};

}  // namespace

TEST_F(Windows, AboutWindowShowsTheVersionRecordAndIsLoadedOnce) {
    frmAbout* about = frmAbout::Show();
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About Marlu Viewer"));
    EXPECT_EQ(about->Label1->text(), QStringLiteral("Marlu Viewer"));
    EXPECT_EQ(about->lblVersion->text(), QStringLiteral("1.1"));
    EXPECT_EQ(about->lblCompany->text(), QStringLiteral("Marlu"));
    EXPECT_EQ(about->lblWebsite->text(), QStringLiteral("www.example.test"));
    EXPECT_EQ(about->Label4->text(), QStringLiteral("Website:"));
    EXPECT_EQ(about->SkinLabel1.size(), 1u);  // no skin: no skin labels
    about->Label1->setText(QStringLiteral("changed"));
    EXPECT_EQ(frmAbout::Show(), about);  // shown again, not loaded again
    EXPECT_EQ(about->Label1->text(), QStringLiteral("changed"));
    delete about;
    AppInfo info = App::Info();
    info.major = 2;
    info.minor = 10;
    App::Configure(info);
    EXPECT_EQ(frmAbout::Show()->lblVersion->text(), QStringLiteral("2.10"));
}

TEST_F(Windows, TheAboutAndLanguageWindowsHaveATitleAndACloseBoxOnly) {
    frmAbout* about = frmAbout::Show();
    frmLanguage* language = frmLanguage::Show();
    for (QWidget* w : {static_cast<QWidget*>(about), static_cast<QWidget*>(language)}) {
        const Qt::WindowFlags flags = w->windowFlags();  // as Qt hands them to the window manager
        EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint)) << w->objectName().toStdString();
        EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint)) << w->objectName().toStdString();
        EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint)) << w->objectName().toStdString();
        EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint)) << w->objectName().toStdString();
    }
    language->close();
}

TEST_F(Windows, HelpOpensOnTheFirstStartOnlyAndTurnsShowHelpOff) {
    program.write("Help.chm", "help");
    // The desktop is asked for a viewer once the window is up, not while it loads.
    std::vector<bool> windowUpWhenAsked;
    shell::SetCanOpenForTests([&](const QString&) {
        windowUpWhenAsked.push_back(form && form->isVisible());
        return true;
    });
    Start();
    EXPECT_TRUE(WaitFor([&] { return !opened.isEmpty(); }, 5000));
    shell::SetCanOpenForTests({});
    EXPECT_EQ(windowUpWhenAsked, std::vector<bool>{true});
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened[0].endsWith(QStringLiteral("/Help.chm")));
    EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "showHelp", ""), "0");
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "showHelp", ""), "0");
    Start();
    EXPECT_EQ(opened.size(), 1);
    form->mnuHelpItem[0]->trigger();  // the menu opens it whenever asked
    EXPECT_TRUE(WaitFor([&] { return opened.size() == 2; }, 5000));
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<Form8*>(w), nullptr);
}

// Every page the help's contents, its project and its index name is there, and the key page
// names every key the window and the player answer to (read from their actions, so a new key
// without its line fails here).
TEST_F(Windows, EveryHelpPageNamedIsThereAndTheKeyPageNamesEveryKey) {
    const QDir help(QStringLiteral(HELP_SOURCE_DIR));
    const auto read = [&](const QString& name) {
        QFile file(help.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        return QString::fromUtf8(file.readAll());
    };
    QStringList named;
    const QRegularExpression local(QStringLiteral(R"re(name="Local" value="([^"]+)")re"));
    for (auto m = local.globalMatch(read(QStringLiteral("contents.hhc"))); m.hasNext();) named << m.next().captured(1);
    const QString project = read(QStringLiteral("help.hhp"));
    named << project.mid(project.indexOf(QLatin1String("[FILES]")) + 7).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QRegularExpression link(QStringLiteral(R"re(href="([^"#]+))re"));
    for (auto m = link.globalMatch(read(QStringLiteral("index.html"))); m.hasNext();) named << m.next().captured(1);
    EXPECT_GE(named.size(), 40);
    for (const QString& page : named) EXPECT_TRUE(help.exists(page.trimmed())) << page.toStdString();
    for (const QString& page : help.entryList({QStringLiteral("*.html")}, QDir::Files))
        EXPECT_TRUE(named.contains(page)) << page.toStdString() << " is in no contents";

    QSet<QString> documented;
    const QRegularExpression kbd(QStringLiteral("<kbd>([^<]+)</kbd>"));
    for (auto m = kbd.globalMatch(read(QStringLiteral("keys.html"))); m.hasNext();) documented << m.next().captured(1);
    Form1& f = Start();
    int keys = 0;
    for (QAction* action : f.findChildren<QAction*>()) {
        for (const QKeySequence& key : action->shortcuts()) {
            // A keypad digit is its digit.
            const QString text = key.toString(QKeySequence::PortableText).remove(QStringLiteral("Num+"));
            EXPECT_TRUE(documented.contains(text))
                << text.toStdString() << " (" << action->objectName().toStdString() << ") is not on the key page";
            ++keys;
        }
    }
    EXPECT_GE(keys, 30);
}

// Without a help file the menu entry does nothing; with one that nothing can open, the message
// names it. F1 is the entry's key.
TEST_F(Windows, NoHelpFileMeansNothingHappensAndHelpNothingOpensIsNamed) {
    Start();
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(GetMachineSetting("Marlu Viewer", "Settings", "showHelp", "unset"), "unset");
    EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "showHelp", "unset"), "unset");  // offered again next time
    EXPECT_EQ(form->mnuHelpItem[0]->shortcut(), QKeySequence(Qt::Key_F1));
    {
        ModalWatcher watcher;
        form->mnuHelpItem[0]->trigger();
        QTest::qWait(50);
        EXPECT_TRUE(watcher.texts().isEmpty());
        EXPECT_TRUE(opened.isEmpty());
    }
    std::filesystem::create_directory(program / "help");
    program.write("help/index.html", "<html></html>");
    shell::SetOpenFailsForTests(true);  // nothing takes it
    ModalWatcher watcher;
    form->mnuHelpItem[0]->trigger();
    const bool told = WaitFor([&] { return watcher.texts().size() == 1; }, 3000);
    shell::SetOpenFailsForTests(false);
    ASSERT_TRUE(told);
    EXPECT_TRUE(watcher.texts()[0].contains(QStringLiteral("could not be opened")));
    EXPECT_TRUE(watcher.texts()[0].contains(QString::fromStdString((program / "help" / "index.html").string())));
    EXPECT_FALSE(watcher.texts()[0].contains(QStringLiteral("Help.chm"))) << "only the files that are there";
}

TEST_F(Windows, WhereNoViewerTakesTheCompiledHelpTheHtmlHelpOpensInTheBrowser) {
    program.write("Help.chm", "help");
    std::filesystem::create_directory(program / "help");
    program.write("help/index.html", "<html></html>");
    shell::SetCanOpenForTests([](const QString& file) { return !file.endsWith(QStringLiteral(".chm")); });
    Start();
    EXPECT_TRUE(WaitFor([&] { return !opened.isEmpty(); }, 5000));
    shell::SetCanOpenForTests({});
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened[0].endsWith(QStringLiteral("/help/index.html")));
    EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "showHelp", ""), "0");
}

TEST_F(Windows, WebsiteAddressRule) {
    EXPECT_EQ(frmWebsite::AddressFor("www.example.test"), "http://www.example.test");
    EXPECT_EQ(frmWebsite::AddressFor("HTTP://www.example.test"), "HTTP://www.example.test");
    EXPECT_EQ(frmWebsite::AddressFor("https://secure.test"), "https://secure.test");
    EXPECT_EQ(frmWebsite::AddressFor("see http://x.test"), "see http://x.test");
    EXPECT_EQ(frmWebsite::AddressFor(""), "http://");
}

TEST_F(Windows, TheLauncherOpensOncePerLoadAndUnloadsItselfAfterASecond) {
    Form1& f = Start();
    f.cmdWebsite_Click();
    f.cmdWebsite_Click();  // still loaded: nothing happens
    EXPECT_EQ(opened, QStringList{QStringLiteral("http://www.example.test")});
    EXPECT_TRUE(frmWebsite::IsLoaded());
    EXPECT_TRUE(WaitFor([] { return !frmWebsite::IsLoaded(); }, 3000));
    f.cmdSports_Click();
    EXPECT_EQ(opened.size(), 1);  // no page is known for Sports
    EXPECT_EQ(modPrivateLabel::WebTarget, "Sports");
    EXPECT_TRUE(WaitFor([] { return !frmWebsite::IsLoaded(); }, 3000));
    f.cmdWebsite_Click();
    EXPECT_EQ(opened.size(), 2);
}

TEST_F(Windows, WithTheSkinOnLabelsBecomeSkinLabelsAndListsAreRecoloured) {
    modSkin::SkinObject() = modSkin::LoadSkin(QStringLiteral(":/skins/standard.skin"));
    ASSERT_TRUE(modSkin::SkinObject());
    EXPECT_EQ(modSkin::SkinObject()->description, QStringLiteral("Standard Skin"));
    modPrivateLabel::SkinEnabled = true;
    frmAbout* about = frmAbout::Show();
    ASSERT_EQ(about->SkinLabel1.size(), 5u);
    EXPECT_EQ(about->SkinLabel1[1]->text(), about->Label5->text());
    EXPECT_EQ(about->SkinLabel1[2]->text(), QStringLiteral("Website:"));
    EXPECT_EQ(about->SkinLabel1[4]->text(), QStringLiteral("Version:"));
    EXPECT_EQ(about->SkinLabel1[4]->property("index").toInt(), 4);
    EXPECT_EQ(twips::Geometry(about->SkinLabel1[4]), twips::Geometry(about->Label2));

    Form1 f;
    const QColor frameBefore = f.Frame1->palette().color(QPalette::Window);
    const QColor labelBefore = f.lblCountry->palette().color(QPalette::WindowText);
    const auto& skin = *modSkin::SkinObject();
    modSkin::RecolourControls(&f, skin.face, skin.text, skin.panel, skin.panelText);
    const QColor face = skin.face, text = skin.text;
    EXPECT_EQ(f.ListView1->palette().color(QPalette::Base), face);
    EXPECT_EQ(f.ListView1->palette().color(QPalette::Text), text);
    EXPECT_EQ(f.Drive1->palette().color(QPalette::Base), face);
    EXPECT_EQ(f.cmdTV->palette().color(QPalette::Button), face);
    EXPECT_EQ(f.wbPicture->palette().color(QPalette::Window), modSkin::SkinObject()->panel);
    EXPECT_EQ(f.Frame1->palette().color(QPalette::Window), frameBefore);
    EXPECT_EQ(f.lblCountry->palette().color(QPalette::WindowText), labelBefore);
    // The player keeps its own buttons as they were.
    for (QToolButton* button : f.WindowsMediaPlayer1->findChildren<QToolButton*>())
        EXPECT_NE(button->palette().color(QPalette::Button), face) << button->objectName().toStdString();
    // The whole skin then draws every window part from its style sheet.
    modSkin::ApplySkin(&f);
    EXPECT_EQ(f.styleSheet(), skin.styleSheet);
}

TEST_F(Windows, TheRegionRuleAndTheSkinOffBuild) {
    EXPECT_FALSE(modSkin::IsVistaOrLaterFor(2, 5));
    EXPECT_TRUE(modSkin::IsVistaOrLaterFor(2, 6));
    EXPECT_TRUE(modSkin::IsVistaOrLaterFor(2, 10));
    EXPECT_FALSE(modSkin::IsVistaOrLaterFor(1, 6));
    Form1& f = Start();  // this build: skin off
    EXPECT_TRUE(f.styleSheet().isEmpty());
    EXPECT_EQ(f.SkinLabel1.size(), 1u);
    EXPECT_TRUE(f.mask().isEmpty());
}

TEST_F(Windows, WithTheBannerOnTheClippingBoxIs280TwipsNarrowerThanThePane) {
    modPrivateLabel::ShowBanner = true;
    modPrivateLabel::BannerAddress = "http://127.0.0.1:1/viewerbanner.html";  // nothing there
    Form1 f;
    const int frameTop = twips::Geometry(f.Frame1).top, playerTop = twips::Geometry(f.WindowsMediaPlayer1).top;
    f.Form_Load();
    ASSERT_NE(f.BannerClip, nullptr);
    EXPECT_EQ(f.BannerClip->objectName(), QStringLiteral("picBox"));
    EXPECT_EQ(twips::Geometry(f.BannerClip).width, twips::Geometry(f.wbBanner).width - 280);
    EXPECT_EQ(twips::Geometry(f.BannerClip).height, twips::Geometry(f.wbBanner).height);
    EXPECT_EQ(f.wbBanner->parentWidget(), f.BannerClip);
    EXPECT_TRUE(f.wbBanner->isVisibleTo(&f));
    EXPECT_FALSE(f.wbPicture->isVisibleTo(&f));
    EXPECT_EQ(twips::Geometry(f.Frame1).top, frameTop + 945);
    EXPECT_EQ(twips::Geometry(f.WindowsMediaPlayer1).top, playerTop + 945);
}

// A banner server that accepts and never answers does not hold up the main window: the page
// loads in the background. A page that comes shows its pictures, fetched the same way.
TEST_F(Windows, TheBannerLoadsInTheBackgroundWithItsPictures) {
    TinyHttp server;
    server.silent("/silent.html");
    modPrivateLabel::ShowBanner = true;
    modPrivateLabel::BannerAddress = server.url("/silent.html");
    {
        Form1 f;
        f.Form_Load();  // returns while the banner server stays silent
        EXPECT_TRUE(f.wbBanner->loading());
        EXPECT_TRUE(f.wbBanner->toPlainText().isEmpty());
        fetch::CancelAll();  // as closing the program does
    }
    QImage red(8, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");
    server.route("/pic.png", 200, png.toStdString());
    server.route("/banner.html", 200,
                 "<html><body><a href=\"http://www.example.test/\"><img src=\"/pic.png\"></a>"
                 "Banner text<img src=\"/missing.png\"></body></html>");
    modPrivateLabel::BannerAddress = server.url("/banner.html");
    Form1 f;
    f.Form_Load();
    f.show();  // pictures are asked for when the page is laid out on screen
    ASSERT_TRUE(WaitFor([&] { return f.wbBanner->toPlainText().contains(QStringLiteral("Banner text")); }, 5000));
    EXPECT_TRUE(WaitFor([&] { return f.wbBanner->imageCount() == 1; }, 5000));
    EXPECT_FALSE(f.wbBanner->document()
                     ->resource(QTextDocument::ImageResource, QUrl(QString::fromStdString(server.url("/pic.png"))))
                     .isNull());
    modPrivateLabel::ShowBanner = false;
}
