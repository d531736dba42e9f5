#include "windows/splash_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

#include "base/private_label.h"
#include "services/machine_settings.h"
#include "services/settings_keys.h"
#include "widgets/gui_resources.h"
#include "widgets/placement.h"
#include "widgets/skin.h"
#include "widgets/twips.h"

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent),
      m_timer2(
          2, [this] { Timer2_Timer(); }, this) {
    InitGuiResources();
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

void frmSplash::Form_Load() {
    // 1. "1" hides the splash; every other step still runs. A value that is not text raises.
    using namespace settings_keys;
    if (GetMachineSetting(AppName(), kSection, kChkSplash, kChkSplashDefault) == "1") {
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
    emit timeUp();
}
