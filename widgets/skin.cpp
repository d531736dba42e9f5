#include "widgets/skin.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QOperatingSystemVersion>
#include <QRegion>
#include <QWidget>

#include "base/private_label.h"
#include "widgets/control_types.h"
#include "widgets/design.h"
#include "widgets/qt_text.h"
#include "widgets/skin_label.h"
#include "widgets/twips.h"

namespace modSkin {
namespace {
std::shared_ptr<Skin> g_supported;
}

std::shared_ptr<Skin> LoadSkin(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    auto skin = std::make_shared<Skin>();
    const QString text = QString::fromUtf8(file.readAll());
    const qsizetype split = text.indexOf(QStringLiteral("\n---\n"));
    const QString head = split < 0 ? text : text.left(split);
    skin->styleSheet = split < 0 ? QString() : text.mid(split + 5);
    for (const QString& line : head.split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        const QString key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Description")) skin->description = value;
        if (key == QLatin1String("Face")) skin->face = QColor(value);
        if (key == QLatin1String("Text")) skin->text = QColor(value);
        if (key == QLatin1String("Panel")) skin->panel = QColor(value);
        if (key == QLatin1String("PanelText")) skin->panelText = QColor(value);
        if (key == QLatin1String("Hue")) skin->hue = value.toInt();
    }
    return skin;
}

std::shared_ptr<Skin>& SkinObject() {
    static std::shared_ptr<Skin> skin;
    return skin;
}

namespace {
// Whether the control is, or lies inside, one that keeps its own look.
bool KeepsOwnLook(const QWidget* control, const QWidget* window) {
    for (const QWidget* w = control; w && w != window; w = w->parentWidget())
        if (w->property(design::kOwnLook).toBool()) return true;
    return false;
}
}  // namespace

void RecolourControls(QWidget* window, const QColor& face, const QColor& text, const QColor& panel, const QColor&) {
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (KeepsOwnLook(control, window)) continue;  // the player's own buttons among them
        const QString type = ControlTypeName(control);
        QPalette p = control->palette();
        if (type == QLatin1String("CommandButton")) {
            p.setColor(QPalette::Button, face);
        } else if (type == QLatin1String("TextBox") || type == QLatin1String("ComboBox") ||
                   type == QLatin1String("FileListBox") || type == QLatin1String("DirListBox") ||
                   type == QLatin1String("DriveListBox") || type == QLatin1String("ListBox") ||
                   type == QLatin1String("ListView")) {
            p.setColor(QPalette::Base, face);
            p.setColor(QPalette::Window, face);
            p.setColor(QPalette::Text, text);
            p.setColor(QPalette::WindowText, text);
        } else if (type == QLatin1String("PictureBox")) {
            p.setColor(QPalette::Window, panel);
            control->setAutoFillBackground(true);
        } else {
            continue;  // frames, labels, skin labels, the player and the web panes keep theirs
        }
        control->setPalette(p);
    }
}

bool IsVistaOrLaterFor(int platformId, int majorVersion) { return platformId == 2 && majorVersion >= 6; }

bool IsVistaOrLater() {
#ifdef _WIN32
    const auto v = QOperatingSystemVersion::current();
    return IsVistaOrLaterFor(2, v.majorVersion());
#else
    return false;  // not a system of that family
#endif
}

void ResetWindowRegion(QWidget* window) {
    // The window's outer size in twips, taken as pixels: never smaller than the window.
    const layout::Rect r{0, 0, twips::FromPixels(window->frameGeometry().width()),
                         twips::FromPixels(window->frameGeometry().height())};
    window->setMask(QRegion(0, 0, r.width, r.height));
}

void ApplySkin(QWidget* window) {
    const std::shared_ptr<Skin> skin = SkinObject();
    if (!skin || !window) return;
    RecolourControls(window, skin->face, skin->text, skin->panel, skin->panelText);
    if (IsVistaOrLater() && modPrivateLabel::SkinEnabled) ResetWindowRegion(window);
    window->setStyleSheet(skin->styleSheet);
    window->setProperty("skinned", true);
}

void SkinSupportAttach(const std::shared_ptr<Skin>& skin) { g_supported = skin; }

void SkinSupportStart() {
    if (!g_supported) return;
    QPalette p = QApplication::palette();
    p.setColor(QPalette::Window, g_supported->panel);
    p.setColor(QPalette::WindowText, g_supported->panelText);
    p.setColor(QPalette::Button, g_supported->face);
    p.setColor(QPalette::ButtonText, g_supported->text);
    p.setColor(QPalette::Base, g_supported->face);
    p.setColor(QPalette::Text, g_supported->text);
    QApplication::setPalette(p);
}

SkinLabel* CloneIntoSkinLabel(QLabel* label, std::vector<SkinLabel*>& skinLabels) {
    if (!label || skinLabels.empty()) return nullptr;
    if (skinLabels.size() > 32767) throw std::overflow_error("Overflow");
    auto* copy = new SkinLabel(skinLabels.front()->parentWidget());
    copy->setObjectName(skinLabels.front()->objectName());
    copy->setProperty(design::kIndex, static_cast<int>(skinLabels.size()));
    twips::SetGeometry(copy, twips::Geometry(label));
    copy->setFont(label->font());
    copy->setText(label->text());
    copy->setVisible(label->isVisibleTo(label->parentWidget()));
    copy->raise();
    skinLabels.push_back(copy);
    return copy;
}

}  // namespace modSkin
