// The language engine on the real windows: the shipped localisation file, the language
// window, and the generator's reference file.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/windows1252.h"
#include "localisation/format.h"
#include "localisation/languages.h"
#include "player/player_pane.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "support/modal_watcher.h"
#include "widgets/qt_text.h"
#include "widgets/qt_window.h"
#include "widgets/shell.h"
#include "widgets/skin_label.h"
#include "windows/about_window.h"
#include "windows/language_window.h"
#include "windows/main_window_fixture.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Pick(QComboBox* box, const QString& text) {
    const int at = box->findText(text);
    ASSERT_GE(at, 0) << text.toStdString();
    box->setCurrentIndex(at);
    emit box->activated(at);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Every caption, tab and column header of a window, keyed as the engine keys them.
std::vector<std::pair<std::string, std::string>> Captions(QWidget* window) {
    localisation::QtWindow w(window);
    std::vector<std::pair<std::string, std::string>> out;
    for (std::size_t i = 0; i < w.controlCount(); ++i) {
        const std::string name = w.controlName(i) + std::to_string(w.index(i).value_or(-1));
        if (w.partCount(i) > 0) {
            for (int n = 1; n <= w.partCount(i); ++n)
                out.emplace_back(name + "/" + std::to_string(n), w.partText(i, n));
        } else {
            out.emplace_back(name, w.caption(i));
        }
    }
    return out;
}

class Localisation : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        modLanguages::LangEngine = clsLanguages{};
        modLanguages::CurrentLanguage.clear();
        modLanguages::RegisterMessages();
        for (const char* name : {"Localization.xml", "Localization.txt"})
            std::filesystem::copy_file(std::filesystem::path(SHIPPED_LOCALISATION_DIR) / name, program / name);
    }
    void TearDown() override {
        if (frmLanguage* window = frmLanguage::Loaded()) delete window;
        MainWindow::TearDown();
        modLanguages::LangEngine = clsLanguages{};
        modLanguages::CurrentLanguage.clear();
        modLanguages::RegisterMessages();
    }

    void Apply(QWidget* window, const char* language) {
        localisation::QtWindow w(window);
        modLanguages::LangEngine.ChangeLanguage(w, language);
    }

    static QString T(const char* utf8) { return QString::fromUtf8(utf8); }
};

}  // namespace

TEST_F(Localisation, FrenchFromTheShippedFileChangesButtonsFramesColumnsAndMenusAtOnce) {
    Form1& f = Start();
    Apply(&f, "Français");
    EXPECT_EQ(f.cmdTV->text(), T("Télé"));
    EXPECT_EQ(f.cmdFavorites->text(), T("Favoris"));
    EXPECT_EQ(f.cmdFiles->text(), T("Mes fichiers"));
    EXPECT_EQ(f.cmdWebsite->text(), T("Visiter www.example.test"));  // the web-site placeholder filled in
    EXPECT_EQ(f.Frame1->title(), T("Chaînes"));
    EXPECT_EQ(f.Frame3->title(), T("Favoris"));
    EXPECT_EQ(f.ListView1->columnHeaders(), (QStringList{T("Chaîne"), T("Catégorie"), T("Type")}));
    EXPECT_EQ(f.ListView2->columnHeaders(), f.ListView1->columnHeaders());
    EXPECT_EQ(f.ListView1->model()->headerData(1, Qt::Horizontal).toString(), T("Catégorie"));  // what the header draws
    EXPECT_EQ(f.mnuFile->title(), T("Fichier"));
    EXPECT_EQ(f.mnuFileItem[2]->text(), T("Quitter"));
    EXPECT_TRUE(f.mnuFileItem[1]->isSeparator());
    EXPECT_EQ(f.mnuCatItem[4]->text(), T("Mes fichiers"));
    EXPECT_EQ(f.mnuAboutItem[0]->text(), T("À propos de ce logiciel"));
    EXPECT_EQ(modLanguages::LangEngine.getMessages("MSG_TITLELANGUAGE"), "Choix de la langue");

    Apply(&f, "Deutsch");
    EXPECT_EQ(f.cmdTV->text(), T("Fernsehen"));
    EXPECT_EQ(f.Frame1->title(), T("Sender"));
    EXPECT_EQ(f.mnuFileItem[2]->text(), T("Beenden"));
    EXPECT_EQ(f.ListView1->columnHeaders(), (QStringList{T("Sender"), T("Kategorie"), T("Typ")}));

    Apply(&f, "Klingon");  // not in the file: German stays
    EXPECT_EQ(f.cmdTV->text(), T("Fernsehen"));
    EXPECT_EQ(modLanguages::CurrentLanguage, "Klingon");
    Apply(&f, "english");
    EXPECT_EQ(f.cmdTV->text(), T("TV"));
    EXPECT_EQ(f.mnuFile->title(), T("File"));
}

TEST_F(Localisation, AGermanWindowHasNoEnglishEntryInItsFileAndPlayerMenusAndNoCaptionedLine) {
    program.write("admin.txt", "");  // the operator's entries are in the File menu too
    Form1& f = Start();
    const auto entries = [&] {
        std::vector<std::pair<QString, bool>> out;  // text, separator
        for (QAction* a : f.mnuFile->actions()) out.emplace_back(a->text(), a->isSeparator());
        std::unique_ptr<QMenu> context(f.WindowsMediaPlayer1->createContextMenu(nullptr));
        for (QAction* a : context->actions()) {
            out.emplace_back(a->text(), a->isSeparator());
            if (a->menu())
                for (QAction* in : a->menu()->actions()) out.emplace_back(in->text(), in->isSeparator());
        }
        return out;
    };
    const auto english = entries();
    Apply(&f, "Deutsch");
    const auto german = entries();
    ASSERT_EQ(german.size(), english.size());
    for (std::size_t i = 0; i < german.size(); ++i) {
        if (english[i].second) {
            EXPECT_TRUE(german[i].first.isEmpty()) << "a line drawn with text: " << german[i].first.toStdString();
            continue;
        }
        if (english[i].first.contains(QLatin1Char(':'))) continue;  // an aspect ratio reads the same in German
        EXPECT_NE(german[i].first, english[i].first) << "still English: " << english[i].first.toStdString();
    }
    EXPECT_EQ(f.mnuFileItem[1]->text(), QString());  // the designed line stays a plain line
    Apply(&f, "English");
    EXPECT_EQ(entries(), english);
}

TEST_F(Localisation, EveryTranslationCoversEveryEnglishItem) {
    const std::string text = ReadAll(program / "Localization.xml");
    EXPECT_EQ(localisation::GroupNames(text), (std::vector<std::string>{"English", "Français", "Deutsch"}));
    const auto english = localisation::FindItems(text, "English");
    ASSERT_TRUE(english);
    for (const char* language : {"Français", "Deutsch"}) {
        const auto items = localisation::FindItems(text, language);
        ASSERT_TRUE(items) << language;
        for (const std::string& line : *english) {
            const auto key = localisation::LineKey(line);
            if (!key) continue;
            EXPECT_FALSE(localisation::LookUp(*items, *key).empty()) << language << " lacks " << *key;
        }
    }
}

TEST_F(Localisation, TheListFileHoldsTheSameGroupsInWindows1252) {
    const std::string xml = ReadAll(program / "Localization.xml");
    const std::string txt = ReadAll(program / "Localization.txt");
    EXPECT_EQ(localisation::GroupNames(txt), (std::vector<std::string>{"English",
                                                                       "Fran\xE7"
                                                                       "ais",
                                                                       "Deutsch"}));
    EXPECT_EQ(cp1252::ToUtf8(txt), xml);
}

// The reference file is what the generator writes from the loaded windows. Set
// VIEWER_WRITE_LOCALIZATION to a path to get the generator's file there.
TEST_F(Localisation, TheShippedEnglishGroupIsTheGeneratorsFileAndTwoRunsAgree) {
    Form1& f = Start();
    frmLanguage* language = frmLanguage::Show();
    localisation::QtWindow main(&f), window(language);
    ASSERT_TRUE(modLanguages::LangEngine.makeLocalizationFile({&main, &window}));
    const std::string generated = ReadAll(program / "Localization.xml");
    if (const char* out = std::getenv("VIEWER_WRITE_LOCALIZATION")) std::ofstream(out, std::ios::binary) << generated;
    ASSERT_TRUE(modLanguages::LangEngine.makeLocalizationFile({&main, &window}));
    EXPECT_EQ(ReadAll(program / "Localization.xml"), generated);

    const std::string shipped = Replace(ReadAll(std::filesystem::path(SHIPPED_LOCALISATION_DIR) / "Localization.xml"),
                                        "[Website]", modPrivateLabel::WebsiteName);
    EXPECT_EQ(localisation::FindItems(shipped, "English"), localisation::FindItems(generated, "English"));
    EXPECT_EQ(shipped.substr(0, shipped.find("</LANGUAGE_GROUP>")),
              generated.substr(0, generated.find("</LANGUAGE_GROUP>")));
}

TEST_F(Localisation, TheGeneratorsFileReadBackRestoresEveryCaption) {
    Form1& f = Start();
    frmLanguage* language = frmLanguage::Show();
    frmAbout* about = frmAbout::Show();
    // Texts beyond ASCII and beyond Windows-1252 come back exactly: the file is UTF-8.
    f.cmdVideo->setText(T("Vidéo → ½ € 映像"));
    f.ListView2->setColumnHeader(2, T("Catégorie «b»"));
    const auto before = std::make_tuple(Captions(&f), Captions(language), Captions(about));
    ASSERT_GT(std::get<0>(before).size(), 60u);
    localisation::QtWindow main(&f), window(language), aboutWindow(about);
    ASSERT_TRUE(modLanguages::LangEngine.makeLocalizationFile({&main, &window, &aboutWindow}));
    const std::string generated = ReadAll(program / "Localization.xml");
    EXPECT_NE(generated.find("\t\t<FRMABOUT_LABEL3>Owned By:</FRMABOUT_LABEL3>\r\n"), std::string::npos);
    EXPECT_NE(generated.find("\t\t<FORM1_MNUFILEITEM1>-</FORM1_MNUFILEITEM1>\r\n"), std::string::npos);

    for (localisation::QtWindow* w : {&main, &window, &aboutWindow})
        for (std::size_t i = 0; i < w->controlCount(); ++i) {
            w->setCaption(i, "scrambled");
            for (int n = 1; n <= w->partCount(i); ++n) w->setPartText(i, n, "scrambled");
        }
    ASSERT_NE(Captions(&f), std::get<0>(before));
    for (localisation::QtWindow* w : {&main, &window, &aboutWindow})
        modLanguages::LangEngine.ChangeLanguage(*w, "English");
    // Read back, every text starts with a capital letter, as every looked-up text does.
    auto raised = [](std::vector<std::pair<std::string, std::string>> captions) {
        for (auto& [key, text] : captions)
            if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
        return captions;
    };
    EXPECT_EQ(Captions(&f), raised(std::get<0>(before)));
    EXPECT_EQ(Captions(language), raised(std::get<1>(before)));
    EXPECT_EQ(Captions(about), raised(std::get<2>(before)));
    EXPECT_EQ(about->lblWebsite->text(), QStringLiteral("Www.example.test"));
    EXPECT_EQ(f.cmdVideo->text(), T("Vidéo → ½ € 映像"));
    EXPECT_EQ(f.ListView2->columnHeaders().at(1), T("Catégorie «b»"));
    about->close();
}

TEST_F(Localisation, TheWalkFollowsTheDesignOrderWithMenusLast) {
    Form1& f = Start();
    localisation::QtWindow w(&f);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < w.controlCount(); ++i) names.push_back(w.controlName(i));
    auto at = [&](const char* name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
    EXPECT_EQ(names.front(), "cmdTV");
    EXPECT_LT(at("cmdWebsite"), at("Frame1"));
    EXPECT_LT(at("Frame1"), at("lblCountry"));
    EXPECT_LT(at("ListView1"), at("Frame3"));
    EXPECT_LT(at("Frame2"), at("Label5"));
    EXPECT_LT(at("Recommended"), at("SkinLabel1"));
    EXPECT_LT(at("SkinLabel1"), at("mnuFile"));
    EXPECT_EQ(std::count(names.begin(), names.end(), "mnuFile"), 1);  // the menu, not also its action
    EXPECT_EQ(std::count(names.begin(), names.end(), "mnuFileItem"), 3);
    EXPECT_EQ(names.back(), "mnuAboutItem");
    EXPECT_EQ(w.typeName(static_cast<std::size_t>(at("mnuFile"))), "Menu");
    EXPECT_FALSE(w.index(static_cast<std::size_t>(at("mnuFile"))).has_value());
    EXPECT_EQ(w.typeName(static_cast<std::size_t>(at("ListView1"))), "ListView");
    EXPECT_EQ(w.typeName(static_cast<std::size_t>(at("SkinLabel2"))), "SkinLabel");
    EXPECT_EQ(w.typeName(static_cast<std::size_t>(at("chkLoad"))), "CheckBox");

    localisation::QtWindow language(frmLanguage::Show());
    std::vector<std::string> own;
    for (std::size_t i = 0; i < language.controlCount(); ++i) own.push_back(language.controlName(i));
    EXPECT_EQ(own, (std::vector<std::string>{"Command3", "Command2", "Command1", "Combo1", "Label1"}));
}

TEST_F(Localisation, TheLanguageWindowListsTheGroupsInFileOrderWithTheSavedLanguage) {
    program.write("Localization.txt",
                  "<XML_DIZ_INFO>\r\n<LANGUAGE_GROUP><LANGUAGE_NAME>Fran\xE7"
                  "ais</LANGUAGE_NAME></LANGUAGE_GROUP>\r\n"
                  "<language_group xml:lang=\"de\">\n<language_name>Deutsch</language_name></language_group>\r\n"
                  "<LANGUAGE_GROUP><LANGUAGE_NAME>Espa\xF1ol</LANGUAGE_NAME></LANGUAGE_GROUP>\r\n</XML_DIZ_INFO>\r\n");
    Start();
    frmLanguage* w = frmLanguage::Show();
    EXPECT_EQ(Entries(w->Combo1), (QStringList{T("Français"), T("Deutsch"), T("Español")}));
    EXPECT_EQ(w->Combo1->currentText(), T("English"));  // nothing saved yet
    EXPECT_EQ(w->windowTitle(), T("Language Selection"));
    delete w;

    SaveSetting("Marlu Viewer", "Settings", "Language", "Espa\xF1ol");
    w = frmLanguage::Show();
    EXPECT_EQ(w->Combo1->currentText(), T("Español"));
    delete w;
    SaveSetting("Marlu Viewer", "Settings", "Language", "Esperanto");  // not listed, still shown
    w = frmLanguage::Show();
    EXPECT_EQ(w->Combo1->currentText(), T("Esperanto"));
    delete w;

    std::filesystem::remove(program / "Localization.txt");
    w = frmLanguage::Show();
    EXPECT_EQ(w->Combo1->count(), 0);
    EXPECT_EQ(w->Combo1->currentText(), T("Choose Language Here"));
    std::vector<QString> opened;
    shell::SetOpenerForTests([&](const QString& target) { opened.push_back(target); });
    w->Command3_Click();  // no file: nothing to open
    EXPECT_TRUE(opened.empty());
    shell::SetOpenerForTests({});
}

TEST_F(Localisation, PickingALanguageStoresItAndTranslatesBothWindows) {
    Form1& f = Start();
    f.mnuLanguageItem[0]->trigger();
    f.mnuLanguageItem_Click(0);
    frmLanguage* w = frmLanguage::Loaded();
    ASSERT_NE(w, nullptr);
    int windows = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) windows += top->objectName() == QLatin1String("frmLanguage");
    EXPECT_EQ(windows, 1);                                    // one window, however often it is asked for
    EXPECT_FALSE(f.mnuLanguages->menuAction()->isVisible());  // the menu stays hidden

    Pick(w->Combo1, T("Deutsch"));
    EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "Language", ""), "Deutsch");
    EXPECT_EQ(f.cmdRadio->text(), T("Radio"));
    EXPECT_EQ(f.cmdFav->text(), T("Zu Favoriten"));
    EXPECT_EQ(f.Frame1->title(), T("Sender"));
    EXPECT_EQ(w->Command2->text(), T("OK"));
    EXPECT_EQ(w->Command1->text(), T("Nach neuen Sprachdateien suchen"));
    EXPECT_EQ(w->Label1->text(), T("Bitte wählen Sie die gewünschte Sprache:"));
    EXPECT_EQ(modLanguages::CurrentLanguage, "Deutsch");

    // The prompt text picked from the list changes nothing.
    w->Combo1->addItem(T("Choose Language Here"));
    Pick(w->Combo1, T("Choose Language Here"));
    EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "Language", ""), "Deutsch");

    // A second opening takes the current language at once.
    w->Command2_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmLanguage::Loaded(), nullptr);
    w = frmLanguage::Show();
    EXPECT_EQ(w->Command3->text(), T("Dieses Programm übersetzen"));
    EXPECT_EQ(w->windowTitle(), T("Sprachauswahl"));

    std::vector<QString> opened;
    shell::SetOpenerForTests([&](const QString& target) { opened.push_back(target); });
    w->Command3_Click();
    shell::SetOpenerForTests({});
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(opened[0].endsWith(QLatin1String("/Localization.txt")));
}

// The translated windows as they are drawn; with VIEWER_SCREENSHOT_DIR set the pictures are
// kept there (scripts/screenshot-languages makes the README's pictures this way).
TEST_F(Localisation, TheTranslatedWindowsAreDrawn) {
    Form1& f = Start();
    frmLanguage* w = frmLanguage::Show();
    Apply(&f, "Français");
    Pick(w->Combo1, T("Deutsch"));
    Apply(&f, "Français");
    QTest::qWait(50);
    const QPixmap main = f.grab(), language = w->grab();
    ASSERT_FALSE(main.isNull());
    ASSERT_FALSE(language.isNull());
    EXPECT_EQ(language.size(), w->size() * language.devicePixelRatio());
    if (const char* dir = std::getenv("VIEWER_SCREENSHOT_DIR")) {
        EXPECT_TRUE(main.save(QString::fromLocal8Bit(dir) + QStringLiteral("/screenshot-french.png")));
        EXPECT_TRUE(language.save(QString::fromLocal8Bit(dir) + QStringLiteral("/screenshot-language.png")));
    }
}

TEST_F(Localisation, TheLanguageSavedLastTimeAppliesWhenTheMainWindowLoads) {
    {
        Form1& first = Start();  // nothing saved: the designed captions
        EXPECT_EQ(first.cmdTV->text(), T("TV"));
        EXPECT_FALSE(first.mnuLanguages->menuAction()->isVisible());  // hidden, as designed
    }
    SaveSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kLanguage, FromQt(T("Français")));
    Form1& f = Start();
    EXPECT_EQ(f.cmdTV->text(), T("Télé"));
    EXPECT_EQ(f.mnuFileItem[2]->text(), T("Quitter"));
}

TEST_F(Localisation, TheBuildSwitchShowsTheLanguagesMenu) {
    modPrivateLabel::ShowLanguagesMenu = true;
    Form1& f = Start();
    EXPECT_TRUE(f.mnuLanguages->menuAction()->isVisible());
    modPrivateLabel::LoadPrivateLabel();
}

// Started in German, every window and menu a user can open shows no text of the English file
// that German says otherwise: the added dialogs, notes and windows go through the engine too.
TEST_F(Localisation, AProgramStartedInGermanShowsNoEnglishTextAnywhere) {
    const std::string file = ReadAll(program / "Localization.xml");
    const auto english = localisation::FindItems(file, "English");
    const auto german = localisation::FindItems(file, "Deutsch");
    ASSERT_TRUE(english && german);
    QSet<QString> untranslated;  // English texts that German words differently
    for (const std::string& line : *english) {
        const auto key = localisation::LineKey(line);
        if (!key) continue;
        const std::string en = localisation::LookUp(*english, *key), de = localisation::LookUp(*german, *key);
        if (en != de && en.find('%') == std::string::npos) untranslated.insert(localisation::FromEngineText(en));
    }
    ASSERT_GT(untranslated.size(), 150);

    program.write("admin.txt", "");  // the operator's entries too
    SaveSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kLanguage, "Deutsch");
    Form1& f = Start();
    f.cmdRadio_Click();
    f.ListView1->openFilter();
    f.ListView1->filterLine()->setText(T("jazz"));  // the radio directory's offer
    f.mnuGuideGrid->trigger();
    f.WindowsMediaPlayer1->showStreamInformation();
    frmLanguage::Show();
    frmAbout* about = frmAbout::Show();
    std::unique_ptr<QMenu> context(f.WindowsMediaPlayer1->createContextMenu(nullptr));

    QStringList seen;
    const auto menu = [&](QMenu* m, auto& self) -> void {
        seen << m->title();
        for (QAction* a : m->actions()) {
            seen << a->text() << a->toolTip();
            if (a->menu()) self(a->menu(), self);
        }
    };
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible()) continue;
        seen << top->windowTitle();
        for (QWidget* w : top->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(top)) continue;
            seen << w->toolTip();
            if (auto* b = qobject_cast<QAbstractButton*>(w)) seen << b->text();
            if (auto* l = qobject_cast<QLabel*>(w)) seen << l->text();
            if (auto* g = qobject_cast<QGroupBox*>(w)) seen << g->title();
            if (auto* e = qobject_cast<QLineEdit*>(w)) seen << e->placeholderText();
            // The editor's boxes hold values written into the catalogue ("TV", "Channel"), no captions.
            if (auto* c = qobject_cast<QComboBox*>(w); c && !f.Frame2->isAncestorOf(c))
                for (int i = 0; i < c->count(); ++i) seen << c->itemText(i);
            if (auto* list = qobject_cast<ListView*>(w)) seen << list->columnHeaders();
        }
    }
    for (QMenu* m : f.menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) menu(m, menu);
    menu(context.get(), menu);
    ASSERT_GT(seen.size(), 100);
    for (const QString& text : seen) EXPECT_FALSE(untranslated.contains(text)) << "still English: " << FromQt(text);
    EXPECT_EQ(f.ListView1->filterLine()->placeholderText(), T("Sender suchen"));
    about->close();
}
