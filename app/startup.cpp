#include "app/startup.h"

#include <QCoreApplication>
#include <QLocale>

#ifdef _WIN32
#include <windows.h>
#endif

#include "base/app.h"
#include "base/file_io.h"
#include "base/program_files.h"
#include "base/vb_error.h"
#include "base/windows1252.h"
#include "services/recording.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "widgets/placement.h"
#include "windows/main_window.h"
#include "windows/splash_window.h"

void RemoveLeftoverTemporaries() {
    constexpr std::chrono::seconds kMinAge{60};
    base::RemoveStaleTemporaries(App::Info().path, kMinAge);
    base::RemoveStaleTemporaries(program_files::UserDataFolder(), kMinAge);
    base::RemoveStaleTemporaries(settings::StoreFile(settings_keys::AppName()).parent_path(), kMinAge);
    recording::CleanLeftovers();  // pipe folders of recordings whose program was killed
}

void ChooseCodePage() {
    std::string chosen;
    try {
        chosen = GetSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kCodePage, "");
    } catch (const VbError&) {
        // A value that is not text: the system's.
    }
    if (!chosen.empty() && chosen.find_first_not_of("0123456789") == std::string::npos && chosen.size() == 4 &&
        cp1252::SetCodePage(std::stoi(chosen)))
        return;
#ifdef _WIN32
    if (cp1252::SetCodePage(static_cast<int>(GetACP()))) return;
#endif
    cp1252::SetCodePage(cp1252::CodePageForLocale(QLocale::system().name().toStdString()));
}

StartUp::StartUp(frmSplash* splash, QObject* parent) : QObject(parent), m_splash(splash) {
    connect(splash, &frmSplash::timeUp, this, &StartUp::openMainWindow);
}

StartUp::~StartUp() = default;

void StartUp::openMainWindow() {
    m_form1 = std::make_unique<Form1>();
    connect(m_form1.get(), &Form1::unloaded, this, [this] {
        if (m_splash) m_splash->close();
    });
    m_form1->Form_Load();
    if (m_form1->endedAtStart()) {
        m_endedAtStart = true;
        QCoreApplication::quit();
        return;
    }
    placement::CentreOnScreen(m_form1.get());  // centred when first shown
    m_form1->show();
    if (m_splash) m_splash->hide();
    emit handedOver();
    if (m_pendingHandOver) {
        const QString media = *m_pendingHandOver;
        m_pendingHandOver.reset();
        takeHandOver(media);
    }
}

void StartUp::takeHandOver(const QString& media) {
    if (!m_form1 || !m_form1->isVisible()) {
        m_pendingHandOver = media;  // the latest one counts
        return;
    }
    if (m_form1->isMinimized()) m_form1->showNormal();
    m_form1->raise();
    m_form1->activateWindow();
    if (!media.isEmpty()) m_form1->OpenMedia(media);
}
