#pragma once
// Skinning: a skin file (face, text and panel colours and a Qt style sheet) laid over a
// window, the recolouring of its ordinary controls by type name, the label conversion into
// skin labels, and the banner pane in its clipping box. All of it runs only when the
// private-label switches ask for it.
#include <QColor>
#include <QString>
#include <memory>
#include <vector>

class QLabel;
class QWidget;
class SkinLabel;

namespace modSkin {

struct Skin {
    QString description;
    QColor face, text, panel, panelText;
    int hue = 0;
    QString styleSheet;
};

// Reads a skin file: "key=value" lines, a line "---", then the style sheet. Nothing when the
// file cannot be read.
std::shared_ptr<Skin> LoadSkin(const QString& path);

// The skin of the run, set by the splash window when skinning is on; empty otherwise.
std::shared_ptr<Skin>& SkinObject();

// Lays the skin over a window: recolours its controls, resets its region on systems that
// need it, and gives it the skin's style sheet. Every step's failure is ignored.
void ApplySkin(QWidget* window);
void RecolourControls(QWidget* window, const QColor& face, const QColor& text, const QColor& panel,
                      const QColor& unused);
bool IsVistaOrLater();
bool IsVistaOrLaterFor(int platformId, int majorVersion);  // the rule itself, for any system
void ResetWindowRegion(QWidget* window);

// The skin side's support object: takes the skin and makes the application's own pop-ups
// (menus, message boxes) follow it.
void SkinSupportAttach(const std::shared_ptr<Skin>& skin);
void SkinSupportStart();

// Label conversion: a new element of `skinLabels` (index one above the last) on top of
// `label`, with its top, left, height, width, font, caption and visibility.
SkinLabel* CloneIntoSkinLabel(QLabel* label, std::vector<SkinLabel*>& skinLabels);

}  // namespace modSkin
