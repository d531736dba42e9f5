#include "windows/language_window.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include "base/app.h"
#include "base/file_io.h"
#include "base/file_utils.h"
#include "base/line_reader.h"
#include "base/private_label.h"
#include "base/program_files.h"
#include "base/text.h"
#include "localisation/format.h"
#include "localisation/languages.h"
#include "services/fetch.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "widgets/design.h"
#include "widgets/handler_guard.h"
#include "widgets/message_box.h"
#include "widgets/pick_combo.h"
#include "widgets/placement.h"
#include "widgets/qt_text.h"
#include "widgets/qt_window.h"
#include "widgets/shell.h"
#include "widgets/skin.h"
#include "widgets/skin_label.h"
#include "widgets/texts.h"
#include "widgets/twips.h"
#include "windows/main_window.h"

namespace {

QPointer<frmLanguage> g_language;

constexpr const char* kFileName = "Localization.txt";
// The multi-language file is a few hundred lines; anything far larger is not one.
constexpr std::uintmax_t kMaxListFileBytes = std::uintmax_t{16} * 1024 * 1024;

// Shell results as the system reports them: above 32 the document was handed over.
constexpr int kShellOpened = 42;
constexpr int kShellNoAssociation = 31;

}  // namespace

const char* const frmLanguage::kPrompt = "Choose Language Here";

frmLanguage::frmLanguage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmLanguage"));
    setWindowTitle(QStringLiteral("Language Selection"));
    setWindowFlags(design::kCloseBoxOnly);
    setAttribute(Qt::WA_DeleteOnClose);
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    font.setBold(true);
    setFont(font);
    setFixedSize(twips::ToPixels(8295), twips::ToPixels(2715));

    // Created in the window's control order.
    Command3 = design::Place(new QPushButton(QStringLiteral("Translate this program"), this), "Command3", 60, 2040,
                             8175, 615, 3);
    Command2 = design::Place(new QPushButton(QStringLiteral("OK"), this), "Command2", 6900, 120, 1335, 675, 2);
    Command1 = design::Place(new QPushButton(QStringLiteral("Check for language updates"), this), "Command1", 60, 1380,
                             8175, 615, 1);
    Combo1 = design::Place(new PickComboBox(this), "Combo1", 60, 480, 6735, 315, 0);
    Combo1->setEditText(QString::fromLatin1(kPrompt));
    Label1 = design::Place(new SkinLabel(this), "Label1", 60, 180, 6735, 195, 4);  // a label: never takes the focus
    Label1->setText(QStringLiteral("Please select the language you would like to use:"));
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    twips::SetGeometry(Line1, 60, 1080, 8160, 15);

    setTabOrder(Combo1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);

    connect(Combo1, &PickComboBox::picked, this, [this](int) { Combo1_Click(); });
    connect(Command1, &QPushButton::clicked, this, &frmLanguage::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmLanguage::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmLanguage::Command3_Click);
}

void frmLanguage::Form_Load() {
    localisation::QtWindow self(this);
    modLanguages::LangEngine.ChangeLanguage(self, modLanguages::CurrentLanguage);
    setWindowTitle(localisation::FromEngineText(modLanguages::LangEngine.getMessages("MSG_TITLELANGUAGE")));
    FillLanguageList();
    if (modPrivateLabel::SkinEnabled) modSkin::ApplySkin(this);
}

frmLanguage* frmLanguage::Show() { return placement::ShowSingle(g_language); }

frmLanguage* frmLanguage::Loaded() { return g_language; }

void frmLanguage::FillLanguageList() {
    Combo1->clear();
    const std::string path = program_files::ReadPath(kFileName).string();
    if (!xfileExists::FileExists(path)) return;
    const auto bytes = base::ReadFileCapped(path, kMaxListFileBytes);
    if (!bytes) return;
    // "Localization.txt" is read as the program's 8-bit text, Windows-1252 (as the download
    // saves it byte for byte); read line by line and joined with CR LF, as its readers expect.
    std::string text;
    text.reserve(bytes->size() + 64);
    text::ForEachLine(*bytes, [&](std::string_view line) { text.append(line).append("\r\n"); });
    const QString saved = ToQt(GetSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kLanguage,
                                          settings_keys::kDefaultLanguage));
    for (const std::string& name : localisation::GroupNames(text)) {
        Combo1->addItem(ToQt(name));
        Combo1->setEditText(saved);
    }
}

void frmLanguage::Combo1_Click() {
    const QString text = Combo1->currentText();
    if (text == QLatin1String(kPrompt)) return;
    // The language is applied whatever happens to remembering it; the main window saves it, and
    // says so when that fails.
    Form1* main = Form1::Loaded();
    if (main) {
        main->saveSetting(settings_keys::kLanguage, FromQt(text));
    } else if (settings::Save(settings_keys::AppName(), settings_keys::kSection, settings_keys::kLanguage, FromQt(text),
                              Form1::kSettingsLockWait) != settings::Saved::Yes) {
        ShowMessage(this, QStringLiteral("Your choice of language could not be saved. The language holds until the "
                                         "program ends."));
    }
    if (main) {
        localisation::QtWindow window(main);
        modLanguages::LangEngine.ChangeLanguage(window, localisation::ToEngineText(text));
    }
    ApplyLanguage(this, localisation::ToEngineText(text));  // then the added texts of every window
}

std::string frmLanguage::DownloadAddress() {
    return "http://" + modPrivateLabel::UpdateHost + "/Languages/" + std::to_string(modPrivateLabel::ProductNumber) +
           "/" + kFileName;
}

void frmLanguage::Command1_Click() {
    // The download pumps events: the window may be closed meanwhile, and is then deleted only
    // after this handler has returned.
    const HandlerGuard guard(this);
    m_downloading = true;
    const FetchResult fetched = FetchPageReport(DownloadAddress());
    if (guard.closed() || fetched.cancelled) return;
    m_downloading = false;
    if (fetched.incomplete) {
        // Part of a language file would replace the whole one: the languages it lacks would go.
        ShowMessage(this, Msg("MSG_LANGUAGEBROKEOFF").arg(ToQt(fetched.failure)));
        return;
    }
    std::string page = fetched.body;
    if (!text::ContainsNoCase(page, "<TRANSLATION_ITEMS>")) return;  // no language file: nothing happens
    const std::size_t first = page.find('<');
    if (first != std::string::npos && first > 0) page.erase(0, first);
    page += "\r\n";
    // Replaced whole: a failed write keeps the old file and says so.
    const base::WriteResult written = base::ReplaceFileAtomically(program_files::WritePath(kFileName), page);
    if (!written) {
        ShowMessage(this, QStringLiteral("The language file could not be saved (") + ToQt(written.error) +
                              QStringLiteral("). The languages listed before are kept."));
        return;
    }
    FillLanguageList();
    ShowMessage(this, localisation::FromEngineText(modLanguages::LangEngine.getMessages("MSG_DOWNLOADED")));
}

void frmLanguage::Command2_Click() { close(); }

void frmLanguage::closeEvent(QCloseEvent* event) {
    // Nobody waits for a download whose window is gone.
    if (m_downloading) fetch::CancelAll();
    QWidget::closeEvent(event);
}

void frmLanguage::Command3_Click() {
    const std::string path = program_files::ReadPath(kFileName).string();
    if (xfileExists::FileExists(path)) ShellOpenFile(path, 1);
}

int frmLanguage::ShellOpenFile(const std::string& path, int /*showCommand: windows open shown normally*/) {
    return shell::Open(ToQt(path)) ? kShellOpened : kShellNoAssociation;
}
