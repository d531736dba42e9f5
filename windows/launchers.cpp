#include "windows/launchers.h"

#include <QCoreApplication>

#include "base/app.h"
#include "base/file_utils.h"
#include "base/private_label.h"
#include "base/text.h"
#include "services/machine_settings.h"
#include "services/settings_keys.h"
#include "widgets/qt_text.h"
#include "widgets/shell.h"
#include "widgets/twips.h"

namespace {
QPointer<frmWebsite> g_website;

void Borderless(QWidget* w, int widthTwips, int heightTwips) {
    w->setWindowFlags(Qt::FramelessWindowHint | Qt::Tool);
    w->resize(twips::ToPixels(widthTwips), twips::ToPixels(heightTwips));
}
}  // namespace

// ---- Help launcher -----------------------------------------------------------------------

Form8::Form8(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form8"));
    Borderless(this, 90, 90);
}

std::string Form8::CompiledHelp() { return App::ProgramFile("Help.chm").string(); }
std::string Form8::HtmlHelp() { return (App::ProgramFile("help") / "index.html").string(); }
bool Form8::HelpExists() { return xfileExists::FileExists(CompiledHelp()) || xfileExists::FileExists(HtmlHelp()); }

void Form8::Form_Load() {
    resize(0, 0);
    setVisible(false);
    // The compiled help where the system has a viewer for it, else the same pages in the browser;
    // with neither, nothing happens here and the caller says so.
    const std::string chm = CompiledHelp(), html = HtmlHelp();
    if (xfileExists::FileExists(chm) && m_compiledHelpViewer) m_opened = shell::Open(ToQt(chm));
    if (!m_opened && xfileExists::FileExists(html)) m_opened = shell::Open(ToQt(html));
    if (m_opened) SaveMachineSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kShowHelp, "0");
}

bool Form8::Run(bool compiledHelpViewer) {
    Form8 launcher;
    launcher.m_compiledHelpViewer = compiledHelpViewer;
    launcher.Form_Load();
    launcher.show();
    launcher.setVisible(false);
    QCoreApplication::processEvents();
    return launcher.opened();
}

void Form8::RunLater(QObject* context, std::function<void(bool)> done) {
    if (!xfileExists::FileExists(CompiledHelp())) {
        done(Run(false));  // the HTML help: nothing to ask
        return;
    }
    shell::CanOpenLater(ToQt(CompiledHelp()), context, [done = std::move(done)](bool viewer) { done(Run(viewer)); });
}

// ---- Web-site launcher -------------------------------------------------------------------

frmWebsite::frmWebsite(QWidget* parent)
    : QWidget(parent),
      m_timer1(
          1000, [this] { Timer1_Timer(); }, this) {
    setObjectName(QStringLiteral("frmWebsite"));
    Borderless(this, 1830, 1605);
    setAttribute(Qt::WA_DeleteOnClose);
}

std::string frmWebsite::AddressFor(const std::string& websiteName) {
    const std::string folded = text::FoldCase(websiteName);
    if (folded.find("https://") != std::string::npos || folded.find("http://") != std::string::npos) return websiteName;
    return "http://" + websiteName;
}

void frmWebsite::Form_Load() {
    m_timer1.setEnabled(true);  // the timer runs from the moment the window loads
    modPrivateLabel::LoadPrivateLabel();
    if (modPrivateLabel::WebTarget != "Website") return;  // no page is known for the others
    shell::Open(ToQt(AddressFor(modPrivateLabel::WebsiteName)));
    modPrivateLabel::WebTarget.clear();
}

void frmWebsite::Timer1_Timer() {
    m_timer1.setEnabled(false);
    close();  // unloads: the window deletes itself
}

void frmWebsite::Load() {
    if (g_website) return;
    g_website = new frmWebsite;
    g_website->Form_Load();
}

bool frmWebsite::IsLoaded() { return !g_website.isNull(); }
