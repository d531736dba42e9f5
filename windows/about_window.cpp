#include "windows/about_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

#include "base/app.h"
#include "base/private_label.h"
#include "widgets/design.h"
#include "widgets/gui_resources.h"
#include "widgets/picture_box.h"
#include "widgets/placement.h"
#include "widgets/qt_text.h"
#include "widgets/skin.h"
#include "widgets/skin_label.h"
#include "widgets/twips.h"

namespace {

QPointer<frmAbout> g_about;

QFont Verdana(double points, bool bold) { return design::Font("Verdana", points, bold); }

template <typename L>
L* Place(L* label, const char* name, const QString& text, const QFont& font, int l, int t, int w, int h, int tab) {
    label->setText(text);
    label->setFont(font);
    return design::Place(label, name, l, t, w, h, tab);
}

}  // namespace

frmAbout::frmAbout(QWidget* parent) : QWidget(parent) {
    InitGuiResources();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("frmAbout"));
    setWindowFlags(design::kCloseBoxOnly);
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(Verdana(8.25, false));
    setFixedSize(twips::ToPixels(7455), twips::ToPixels(2925));

    Picture1 = design::Place(new PictureBox(this), "Picture1", 0, 0, 7515, 1035, 3);
    auto* strip = new QLabel(Picture1);
    strip->setPixmap(QPixmap(QStringLiteral(":/pictures/about_strip.png")));
    strip->setGeometry(0, 0, twips::ToPixels(7515), twips::ToPixels(1035));

    Label1 = Place(new SkinLabel(this), "Label1", QStringLiteral("YourProgramName"), Verdana(14.25, true), 120, 1200,
                   7095, 435, 7);
    Label2 = Place(new QLabel(this), "Label2", QStringLiteral("Version:"), Verdana(12, true), 180, 1680, 2295, 315, 0);
    lblVersion = Place(new SkinLabel(this), "lblVersion", QStringLiteral("Version"), Verdana(12, true), 2580, 1680,
                       4635, 315, 4);
    Label3 = Place(new QLabel(this), "Label3", QStringLiteral("Owned By:"), Verdana(12, true), 180, 2100, 2295, 315, 1);
    lblCompany = Place(new SkinLabel(this), "lblCompany", QStringLiteral("Version"), Verdana(12, true), 2580, 2100,
                       4635, 315, 5);
    Label4 = Place(new QLabel(this), "Label4", QStringLiteral("Website:"), Verdana(12, true), 180, 2520, 2295, 315, 2);
    lblWebsite = Place(new SkinLabel(this), "lblWebsite", QStringLiteral("Version"), Verdana(12, true), 2580, 2520,
                       4635, 315, 6);
    auto* templateLabel =
        Place(new SkinLabel(this), "SkinLabel1", QStringLiteral("Windowed Label"), QFont(), 480, 2940, 555, 195, 9);
    templateLabel->setProperty(design::kIndex, 0);
    templateLabel->setVisible(false);
    SkinLabel1.push_back(templateLabel);
    Label5 = Place(new QLabel(this), "Label5",
                   QStringLiteral("This program may be resold only under its own private label."), QFont(), 120, 3300,
                   7215, 1275, 8);
    Label5->setWordWrap(true);
}

void frmAbout::Form_Load() {
    const AppInfo& info = App::Info();
    setWindowTitle(ToQt("About " + modPrivateLabel::ProgramName));
    Label1->setText(ToQt(info.productName));
    lblCompany->setText(ToQt(info.companyName));
    lblVersion->setText(QString::number(info.major) + QLatin1Char('.') + QString::number(info.minor));
    lblWebsite->setText(ToQt(info.comments));
    if (modPrivateLabel::SkinEnabled) {
        // Every plain label gets a skin-label copy, in the window's control order.
        for (QLabel* label : {Label5, Label4, Label3, Label2}) modSkin::CloneIntoSkinLabel(label, SkinLabel1);
        modSkin::ApplySkin(this);
    }
}

frmAbout* frmAbout::Show() { return placement::ShowSingle(g_about); }

frmAbout* frmAbout::Loaded() { return g_about; }
