// Hostile input: catalogues, update pages, localisation files and settings that no honest
// program wrote. Each must end without a crash or a hang, with the other files untouched.
#include <QGroupBox>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <random>

#include "catalogue/catalogue_writer.h"
#include "catalogue/codec.h"
#include "localisation/languages.h"
#include "services/fetch.h"
#include "services/settings.h"
#include "support/http_server.h"
#include "support/modal_watcher.h"
#include "support/tiny_http.h"
#include "widgets/file_browser.h"
#include "widgets/qt_window.h"
#include "windows/main_window_fixture.h"

namespace {

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string out(n, '\0');
    for (char& c : out) c = static_cast<char>(rng() & 0xFF);
    return out;
}

std::string Line(const char* name, const char* category = "TV", const char* language = "English") {
    std::string out;
    catalogue::AppendEncodedLine(out, name, std::string("http://127.0.0.1/") + name, category, language);
    return out;
}

class Hostile : public MainWindow {
protected:
    Form1& StartWith(const std::string& data) {
        program.write("Data.txt", data);
        Form1& f = Start();
        EXPECT_FALSE(f.endedAtStart());
        return f;
    }
};

}  // namespace

TEST_F(Hostile, RandomBytesInTheCatalogueLoadWithoutHarm) {
    for (unsigned seed : {1u, 2u, 3u}) {
        ModalWatcher watcher;
        Form1& f = StartWith(RandomBytes(1 << 20, seed));
        EXPECT_TRUE(watcher.texts().isEmpty()) << seed;  // a readable file: no "missing" message
        f.cmdRadio_Click();
        f.cmdTV_Click();
        form.reset();
    }
}

TEST_F(Hostile, ATenMegabyteLineIsSkippedAndTheRestLoads) {
    std::string data = Line("Before");
    std::string huge = modGenDec::EncodeLine("Huge|http://x/|TV|English") + std::string(10 << 20, 'a');
    data += huge + "\r\n" + Line("After");
    Form1& f = StartWith(data);
    EXPECT_EQ(Column(f.ListView1, 0), (std::vector<std::string>{"Before", "After"}));
}

TEST_F(Hostile, AMillionLinesLoadInFull) {
    std::string data;
    data.reserve(40u << 20);
    const std::string tv = Line("Same TV"), radio = Line("Same Radio", "Radio");
    for (int i = 0; i < 1'000'000; ++i) data += (i % 4 == 0) ? radio : tv;
    Form1& f = StartWith(data);
    EXPECT_EQ(f.ListView1->rowCount(), 750'000);
    f.cmdRadio_Click();
    EXPECT_EQ(f.ListView1->rowCount(), 250'000);
}

TEST_F(Hostile, NulBytesAndLoneLineFeedsStayInsideTheirLines) {
    std::string data = Line("Nul");
    data.insert(1, std::string(1, static_cast<char>(0 + modGenDec::kKey)));  // a NUL inside the name
    data += modGenDec::EncodeLine("Two|http://a/|TV|English") + "\n" + modGenDec::EncodeLine("Lines|http://b/|TV|Eng");
    data += "\r\n" + std::string("\0\0\0\r\n", 5) + Line("Last");
    Form1& f = StartWith(data);
    const auto names = Column(f.ListView1, 0);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], std::string("N\0ul", 4));
    EXPECT_EQ(names[1], "Two");  // the lone line feed is text: the rest of that line is its language
    EXPECT_EQ(names[2], "Last");
}

TEST_F(Hostile, UpdatePagesWithReversedNestedOrEndlessMarkersLeaveTheCatalogueAlone) {
    TinyHttp server;
    Form1& f = Start();
    modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(server.port());
    const std::string before = program.read("Data.txt");
    const char* const path = "/TV/Data.htm";

    server.route(path, 200, "</data>\r\n" + Line("Reversed") + "<data>\r\n");
    {
        ModalWatcher watcher;
        f.mnuFileItem_Click(0);
        EXPECT_EQ(program.read("Data.txt"), before);
        ASSERT_EQ(watcher.texts().size(), 1);
        EXPECT_TRUE(watcher.texts().front().contains(QStringLiteral("incomplete")));
    }
    server.endless(path, "<data>\r\n" + Line("Again and again"), 0, std::uint64_t{1} << 30);  // a gigabyte
    {
        ModalWatcher watcher;
        f.mnuFileItem_Click(0);
        EXPECT_EQ(program.read("Data.txt"), before);
        ASSERT_EQ(watcher.texts().size(), 1);  // refused whole, and the user is told why
        EXPECT_TRUE(watcher.texts().front().contains(QStringLiteral("larger than any page")));
    }
    // Nested markers: the block runs from the first opening to the first closing marker.
    server.route(path, 200, "<data>\r\n<data>\r\n" + Line("Inner") + "</data></data>");
    {
        ModalWatcher watcher;
        f.mnuFileItem_Click(0);
        EXPECT_NE(program.read("Data.txt").find("<data>\r\n" + Line("Inner")), std::string::npos);
        EXPECT_EQ(Column(f.ListView1, 0), std::vector<std::string>{"Inner"});  // the stray marker line is no channel
    }
}

TEST_F(Hostile, ALocalisationFileThatIsNotUtf8AppliesWithReplacementCharacters) {
    const std::string latin1 =
        "<LANGUAGE_GROUP><LANGUAGE_NAME>Latin</LANGUAGE_NAME><TRANSLATION_ITEMS>\r\n"
        "<FORM1_CMDTV>T\xE9l\xE9</FORM1_CMDTV>\r\n<FORM1_FRAME1>\xFF\xFE" +
        std::string(1, '\0') + "\x01</FORM1_FRAME1>\r\n</TRANSLATION_ITEMS></LANGUAGE_GROUP>\r\n";
    program.write("Localization.xml", latin1);
    Form1& f = Start();
    const QString frame = f.Frame1->title();
    localisation::QtWindow w(&f);
    modLanguages::LangEngine.ChangeLanguage(w, "Latin");
    EXPECT_EQ(f.cmdTV->text(), QStringLiteral("T\uFFFDl\uFFFD"));
    EXPECT_NE(f.Frame1->title(), frame);  // replaced, whatever the bytes made of it
    EXPECT_EQ(program.read("Data.txt"), SampleCatalogue());
    modLanguages::LangEngine = clsLanguages{};
    modLanguages::RegisterMessages();
}

TEST_F(Hostile, AbsurdSettingsForTheFileBrowserAreIgnored) {
    SaveSetting("Marlu Viewer", "Settings", "Drive", "q:");
    SaveSetting("Marlu Viewer", "Settings", "Dir", "/" + std::string(10'000, 'd'));
    Form1& f = Start();
    EXPECT_TRUE(QDir(f.Dir1->path()).exists());
    EXPECT_TRUE(QDir(f.File1->path()).exists());
    f.cmdFiles_Click();
    EXPECT_TRUE(f.Frame4->isVisible());
    SaveSetting("Marlu Viewer", "Settings", "Dir", std::string("\xFF\x00/..", 5));
    form.reset();
    Form1& again = Start();
    EXPECT_TRUE(QDir(again.Dir1->path()).exists());
}

// Closing the main window while the update page trickles in ends the download at once: the
// handler returns without a word and the catalogue is left as it was.
TEST_F(Hostile, ClosingTheMainWindowDuringAnUpdateEndsTheDownloadSilently) {
    TinyHttp server;
    Form1& f = Start();
    modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(server.port());
    const std::string before = program.read("Data.txt");
    server.endless("/TV/Data.htm", "<", 200);  // a byte every 200 ms: minutes for any page
    QTimer::singleShot(500, &f, [&f] { f.close(); });
    ModalWatcher watcher;
    f.mnuFileItem_Click(0);
    EXPECT_TRUE(watcher.texts().isEmpty()) << watcher.texts().join(QStringLiteral(" | ")).toStdString();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(program.read("Data.txt"), before);
    // A fetch begun afterwards runs as usual.
    server.route("/after", 200, "After");
    EXPECT_EQ(FetchPage(server.url("/after")), "After");
}

// An update page of millions of tiny lines (the fetch's 64 MiB cap) is refused with a word,
// and so is such a Data.txt: neither is turned into millions of rows.
TEST_F(Hostile, ACatalogueOfMillionsOfTinyLinesIsRefusedNotLoaded) {
    std::string tiny;
    catalogue::AppendEncodedLine(tiny, "a", "h", "TV", "e");
    while (tiny.size() * 2 < (std::size_t{60} << 20)) tiny += tiny;  // 30 to 60 MiB
    TinyHttp server;
    Form1& f = Start();
    modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(server.port());
    const std::string before = program.read("Data.txt");
    server.route("/TV/Data.htm", 200, "<data>\r\n" + tiny + "</data>");
    {
        ModalWatcher watcher;
        f.mnuFileItem_Click(0);
        ASSERT_EQ(watcher.texts().size(), 1);
        EXPECT_TRUE(watcher.texts().front().contains(QStringLiteral("more lines than the program can keep")))
            << watcher.texts().front().toStdString();
    }
    EXPECT_EQ(program.read("Data.txt"), before);

    program.write("Data.txt", tiny);
    ModalWatcher watcher;
    f.cmdTV_Click();
    ASSERT_EQ(watcher.texts().size(), 1);
    EXPECT_EQ(watcher.texts().front(), QString::fromLatin1(Form1::kCatalogueTooLargeMessage));
    EXPECT_EQ(f.ListView1->rowCount(), 0);
}
