#include "windows/splash_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

#include "base/app.h"
#include "base/private_label.h"
#include "services/machine_settings.h"
#include "widgets/gui_resources.h"
#include "widgets/placement.h"
#include "widgets/skin.h"
#include "widgets/twips.h"
#include "windows/main_window.h"

namespace {
QPointer<frmSplash> g_splash;
}

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent),
      m_timer2(
          2, [this] { Timer2_Timer(); }, this) {
    InitGuiResources();
    g_splash = this;
    setObjectName(QStringLiteral("frmSplash"));
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    const QSize size(twips::ToPixels(7170), twips::ToPixels(4770));
    resize(size);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/splash.png")).scaled(size));
    twips::SetGeometry(Image1, 0, 0, 7170, 4770);
    placement::CentreOnScreen(this);
}

frmSplash::~frmSplash() = default;

frmSplash* frmSplash::Loaded() { return g_splash; }

void frmSplash::Form_Load() {
    // 1. "1" hides the splash; every other step still runs. A value that is not text raises.
    if (GetMachineSetting(App::Info().productName, "Settings", "chkSplash", "0") == "1") {
        m_hiddenByChoice = true;
        setVisible(false);
    }
    // 2. The private-label profile.
    modPrivateLabel::LoadPrivateLabel();
    // 3. The skin, when switched on.
    if (modPrivateLabel::SkinEnabled) {
        modSkin::SkinObject() = modSkin::LoadSkin(QStringLiteral(":/skins/standard.skin"));
        modSkin::ApplySkin(this);
        modSkin::SkinSupportAttach(modSkin::SkinObject());
        modSkin::SkinSupportStart();
    }
    // 4. The hand-over timer.
    intTemp = 0;
    m_timer2.setEnabled(true);
}

void frmSplash::Timer2_Timer() {
    intTemp = static_cast<std::int16_t>(intTemp + 2);
    if (intTemp != 150) return;
    m_timer2.setEnabled(false);
    m_form1 = std::make_unique<Form1>();
    m_form1->Form_Load();
    if (m_form1->endedAtStart()) {
        m_endedAtStart = true;
        QCoreApplication::quit();
        return;
    }
    placement::CentreOnScreen(m_form1.get());  // centred when first shown
    m_form1->show();
    hide();
    setVisible(false);
    emit handedOver();
}
