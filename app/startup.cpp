#include "app/startup.h"

#include <QCoreApplication>

#include "base/app.h"
#include "base/file_io.h"
#include "base/program_files.h"
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
