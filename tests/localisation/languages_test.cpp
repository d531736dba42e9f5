#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/app.h"
#include "base/private_label.h"
#include "localisation/format.h"
#include "localisation/languages.h"
#include "localisation/unicode_case.h"
#include "support/program_folder.h"
#include "support/temp_dir.h"

namespace {

// A window made of plain records, as the engine sees a window.
class FakeWindow : public localisation::WindowAdapter {
public:
    struct Control {
        std::string type, name;
        std::optional<int> index;
        std::string caption;
        std::vector<std::string> parts;
    };
    std::string name = "Form1";
    std::vector<Control> controls;

    std::string windowName() const override { return name; }
    std::size_t controlCount() const override { return controls.size(); }
    std::string typeName(std::size_t i) const override { return controls[i].type; }
    std::string controlName(std::size_t i) const override { return controls[i].name; }
    std::optional<int> index(std::size_t i) const override { return controls[i].index; }
    std::string caption(std::size_t i) const override { return controls[i].caption; }
    void setCaption(std::size_t i, const std::string& t) override { controls[i].caption = t; }
    int partCount(std::size_t i) const override { return static_cast<int>(controls[i].parts.size()); }
    std::string partText(std::size_t i, int n) const override {
        return controls[i].parts[static_cast<std::size_t>(n - 1)];
    }
    void setPartText(std::size_t i, int n, const std::string& t) override {
        controls[i].parts[static_cast<std::size_t>(n - 1)] = t;
    }
    const std::string& captionOf(const std::string& control, std::optional<int> index = std::nullopt) const {
        for (const Control& c : controls)
            if (c.name == control && c.index == index) return c.caption;
        static const std::string none = "<none>";
        return none;
    }
};

FakeWindow MainWindowLike() {
    FakeWindow w;
    w.controls = {{"CommandButton", "cmdTV", std::nullopt, "TV", {}},
                  {"Frame", "Frame1", std::nullopt, "Channels", {}},
                  {"ListView", "ListView1", std::nullopt, "", {"Channel", "Category", "Type"}},
                  {"Menu", "mnuFile", std::nullopt, "File", {}},
                  {"Menu", "mnuFileItem", 2, "Exit", {}},
                  {"Label", "lblArray", 0, "first", {}},
                  {"Label", "lblArray", 1, "second", {}},
                  {"PictureBox", "pic", std::nullopt, "unchanged", {}}};
    return w;
}

std::string Group(const std::string& name, const std::string& items) {
    return "<LANGUAGE_GROUP xml:lang=\"x\">\r\n\t<LANGUAGE_NAME>" + name +
           "</LANGUAGE_NAME>\r\n\t<TRANSLATION_ITEMS>\r\n" + items + "\t</TRANSLATION_ITEMS>\r\n</LANGUAGE_GROUP>\r\n";
}

class Languages : public ::testing::Test {
protected:
    void SetUp() override {
        modPrivateLabel::LoadPrivateLabel();
        modLanguages::CurrentLanguage.clear();
    }
    void File(const std::string& text) { program.write("Localization.xml", text); }

    ScopedProgramFolder configured;
    const TempDir& program = configured.folder();
    clsLanguages engine;
};

}  // namespace

TEST_F(Languages, AppliesCaptionsColumnsAndMenusAndMarkersInAnyCase) {
    File(
        "<xml_diz_info>" +
        Group("French",
              "\t\t<FORM1_CMDTV>télé</FORM1_CMDTV>\r\n\t\t<Form1_Frame1>Chaînes</Form1_Frame1>\r\n"
              "\t\t<FORM1_LISTVIEW1_COL1>Chaîne</FORM1_LISTVIEW1_COL1>\r\n\t\t<FORM1_LISTVIEW1_COL3>Type</"
              "FORM1_LISTVIEW1_COL3>\r\n"
              "\t\t<FORM1_MNUFILE0>Fichier</FORM1_MNUFILE0>\r\n\t\t<FORM1_MNUFILEITEM2>Quitter</FORM1_MNUFILEITEM2>\r\n"
              "\t\t<FORM1_LBLARRAY>commun</FORM1_LBLARRAY>\r\n\t\t<FORM1_PIC>never</FORM1_PIC>\r\n")
            .replace(0, 15, "<language_group") +
        "</xml_diz_info>");
    FakeWindow w = MainWindowLike();
    engine.ChangeLanguage(w, "french");
    EXPECT_EQ(modLanguages::CurrentLanguage, "french");
    EXPECT_EQ(w.captionOf("cmdTV"), "Télé");  // first letter raised (an ASCII letter here: t)
    EXPECT_EQ(w.captionOf("Frame1"), "Chaînes");
    EXPECT_EQ(w.controls[2].parts, (std::vector<std::string>{"Chaîne", "Category", "Type"}));
    EXPECT_EQ(w.captionOf("mnuFile"), "Fichier");
    EXPECT_EQ(w.captionOf("mnuFileItem", 2), "Quitter");
    EXPECT_EQ(w.captionOf("lblArray", 0), "Commun");  // an array shares one key
    EXPECT_EQ(w.captionOf("lblArray", 1), "Commun");
    EXPECT_EQ(w.captionOf("pic"), "unchanged");
}

TEST_F(Languages, FirstGroupAndFirstKeyWinAndTextsKeepAngleBrackets) {
    File(Group("French", "\t\t<FORM1_CMDTV>A > B < C</FORM1_CMDTV>\r\n\t\t<FORM1_CMDTV>second</FORM1_CMDTV>\r\n") +
         Group("FRENCH", "\t\t<FORM1_CMDTV>other group</FORM1_CMDTV>\r\n"));
    FakeWindow w = MainWindowLike();
    engine.ChangeLanguage(w, "French");
    EXPECT_EQ(w.captionOf("cmdTV"), "A > B < C");
    EXPECT_EQ(localisation::GroupNames(program.read("Localization.xml")),
              (std::vector<std::string>{"French", "FRENCH"}));
}

TEST_F(Languages, OneCharacterKeysAreReadOnlyWhenIndented) {
    std::vector<std::string> lines{"<K>unindented</K>", "\t<K>indented</K>"};
    EXPECT_FALSE(localisation::LineKey(lines[0]).has_value());
    EXPECT_EQ(localisation::LookUp(lines, "K"), "indented");
    EXPECT_EQ(localisation::LookUp({"\t<KEY >spaced</KEY>"}, "KEY"), "");
    EXPECT_EQ(localisation::LookUp({"\t<KEY>no closing tag"}, "KEY"), "");
}

TEST_F(Languages, ItemsOnOneLineCountAsEmptyAndFallBackToEnglish) {
    File(
        "<LANGUAGE_GROUP><LANGUAGE_NAME>French</LANGUAGE_NAME><TRANSLATION_ITEMS><FORM1_CMDTV>télé</FORM1_CMDTV>"
        "<FORM1_FRAME1>Chaînes</FORM1_FRAME1></TRANSLATION_ITEMS></LANGUAGE_GROUP>\r\n" +
        Group("English", "\t\t<FORM1_CMDTV>Television</FORM1_CMDTV>\r\n"));
    FakeWindow w = MainWindowLike();
    engine.ChangeLanguage(w, "French");
    EXPECT_EQ(w.captionOf("cmdTV"), "Television");
    EXPECT_EQ(modLanguages::CurrentLanguage, "English");
}

TEST_F(Languages, AMissingLanguageAfterFrenchLeavesFrenchInForce) {
    File(Group("English", "\t\t<FORM1_CMDTV>TV</FORM1_CMDTV>\r\n") +
         Group("French", "\t\t<FORM1_CMDTV>Télé</FORM1_CMDTV>\r\n"));
    FakeWindow w = MainWindowLike();
    engine.ChangeLanguage(w, "French");
    engine.ChangeLanguage(w, "Klingon");
    EXPECT_EQ(w.captionOf("cmdTV"), "Télé");
    EXPECT_EQ(modLanguages::CurrentLanguage, "Klingon");
}

TEST_F(Languages, PlaceholdersAndMessages) {
    File(Group("English",
               "\t\t<FORM1_CMDTV>[programname] on [WEBSITE] by [CompanyName]</FORM1_CMDTV>\r\n"
               "\t\t<MSG_DOWNLOADED>done</MSG_DOWNLOADED>\r\n"));
    engine.setMessage("MSG_DOWNLOADED", "downloaded");
    engine.setMessage("MSG_TITLELANGUAGE", "language Selection");
    EXPECT_EQ(engine.getMessages("msg_titlelanguage"), "Language Selection");
    EXPECT_EQ(engine.getMessages("MSG_UNKNOWN"), "");
    FakeWindow w = MainWindowLike();
    engine.ChangeLanguage(w, "English");
    EXPECT_EQ(w.captionOf("cmdTV"), modPrivateLabel::ProgramName + " on " + modPrivateLabel::WebsiteName + " by " +
                                        modPrivateLabel::CompanyName);
    EXPECT_EQ(engine.getMessages("MSG_DOWNLOADED"), "Done");
    EXPECT_EQ(engine.getMessages("MSG_TITLELANGUAGE"), "Language Selection");  // no item: kept
}

TEST_F(Languages, The202ndMessageIsIgnored) {
    for (int i = 0; i < 201; ++i) engine.setMessage("M" + std::to_string(i), "text " + std::to_string(i));
    engine.setMessage("EXTRA", "never");
    EXPECT_EQ(engine.getMessages("M200"), "Text 200");
    EXPECT_EQ(engine.getMessages("EXTRA"), "");
}

TEST_F(Languages, BrokenGroupsEndTheScanWithEarlierGroupsKept) {
    // A group whose name has no end tag ends the scan; the groups after it are not seen.
    const std::string text =
        Group("English", "") + "<LANGUAGE_GROUP><LANGUAGE_NAME>Cut</LANGUAGE_GROUP>\r\n" + Group("German", "");
    EXPECT_EQ(localisation::GroupNames(text), (std::vector<std::string>{"English"}));
    EXPECT_EQ(localisation::GroupNames(Group("A", "") + "<LANGUAGE_GROUP> never closed"),
              (std::vector<std::string>{"A"}));
}

TEST_F(Languages, TheGeneratorsFileReadsBackAndIsTheSameTwice) {
    FakeWindow w = MainWindowLike();
    w.controls[0].caption = "Télé & Co";  // non-ASCII and an ampersand, written as they stand
    engine.setMessage("MSG_TITLELANGUAGE", "Language Selection");
    ASSERT_TRUE(engine.makeLocalizationFile({&w}));
    const std::string first = program.read("Localization.xml");
    ASSERT_TRUE(engine.makeLocalizationFile({&w}));
    EXPECT_EQ(program.read("Localization.xml"), first);
    EXPECT_EQ(first.rfind(
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<XML_DIZ_INFO>\r\n\t<LOCALIZATION_FILE_INFO>\r\n", 0),
              0u);
    EXPECT_NE(first.find("\t\t<FORM1_MNUFILE0>File</FORM1_MNUFILE0>\r\n"), std::string::npos);
    EXPECT_NE(first.find("\t\t<FORM1_MNUFILEITEM2>Exit</FORM1_MNUFILEITEM2>\r\n"), std::string::npos);
    EXPECT_NE(first.find("\t\t<FORM1_LISTVIEW1_COL3>Type</FORM1_LISTVIEW1_COL3>\r\n"), std::string::npos);
    EXPECT_NE(first.find("\t\t<MSG_TITLELANGUAGE>Language Selection</MSG_TITLELANGUAGE>\r\n\t</TRANSLATION_ITEMS>"),
              std::string::npos);
    EXPECT_EQ(first.substr(first.size() - 36), "</LANGUAGE_GROUP>\r\n</XML_DIZ_INFO>\r\n");
    // Every caption comes back through the engine.
    FakeWindow other = MainWindowLike();
    for (auto& c : other.controls) c.caption = "x";
    other.controls[2].parts = {"x", "x", "x"};
    engine.ChangeLanguage(other, "English");
    EXPECT_EQ(other.captionOf("cmdTV"), "Télé & Co");
    EXPECT_EQ(other.captionOf("mnuFileItem", 2), "Exit");
    EXPECT_EQ(other.controls[2].parts, (std::vector<std::string>{"Channel", "Category", "Type"}));
}

TEST_F(Languages, TrimPathAndFileExists) {
    EXPECT_EQ(engine.LangTrimPath("C:\\Program Files\\Marlu\\Localization.xml"), "Localization.xml");
    EXPECT_EQ(engine.LangTrimPath(""), "");
    EXPECT_EQ(engine.LangTrimPath("Localization.xml"), "Localization.xml");
    EXPECT_FALSE(engine.LangFileExists((program / "Localization.xml").string()));
    program.write(".hidden.xml", "x");
    EXPECT_TRUE(engine.LangFileExists((program / ".hidden.xml").string()));
}

// The localisation file is UTF-8: letter case follows Unicode's rules there, both when a
// message's first letter is raised and when a language is found by its name.
TEST_F(Languages, LetterCaseBeyondAsciiFollowsUnicode) {
    File(Group("Français",
               "\t\t<FORM1_CMDTV>Télé</FORM1_CMDTV>\r\n\t\t<MSG_DOWNLOADED>écran à jour</MSG_DOWNLOADED>\r\n") +
         Group("Deutsch", "\t\t<MSG_DOWNLOADED>über alles</MSG_DOWNLOADED>\r\n"));
    engine.setMessage("MSG_DOWNLOADED", "downloaded");
    FakeWindow w = MainWindowLike();
    engine.ChangeLanguage(w, "FRANÇAIS");
    EXPECT_EQ(w.captionOf("cmdTV"), "Télé");
    EXPECT_EQ(engine.getMessages("MSG_DOWNLOADED"), "Écran à jour");
    engine.ChangeLanguage(w, "deutsch");
    EXPECT_EQ(engine.getMessages("MSG_DOWNLOADED"), "Über alles");
    engine.setMessage("MSG_ABOUT", "à propos");
    EXPECT_EQ(engine.getMessages("MSG_ABOUT"), "À propos");

    EXPECT_EQ(localisation::FoldUtf8("ÜBER ÉCRAN"), localisation::FoldUtf8("über écran"));
    EXPECT_EQ(localisation::RaiseFirstUtf8(""), "");
    EXPECT_EQ(localisation::RaiseFirstUtf8("1st"), "1st");
    EXPECT_EQ(localisation::FoldUtf8("\xE9t\xE9"), "\xE9t\xE9");  // not UTF-8: the byte rules
}
