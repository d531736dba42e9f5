#pragma once
// The viewer's colours follow the desktop's light or dark preference: the XDG desktop portal's
// "org.freedesktop.appearance" "color-scheme", read over the session bus at start and followed
// while the viewer runs (its SettingChanged signal). Where no portal answers, the viewer stays
// light and says nothing. A private label's skin keeps its own colours; the per-user setting
// "ColorScheme" ("light" or "dark") chooses one whatever the desktop says.
#include <QDBusMessage>
#include <QObject>
#include <QPalette>
#include <QString>

namespace color_scheme {

enum class Scheme { Light, Dark };

// The Fusion style's colours for a dark desktop.
QPalette DarkPalette();

class DesktopScheme : public QObject {
    Q_OBJECT
public:
    // `setting`: "light" or "dark" forces that scheme; anything else follows the desktop.
    explicit DesktopScheme(const QString& setting, QObject* parent = nullptr);
    Scheme scheme() const { return m_scheme; }

public slots:
    // The portal's SettingChanged signal (group, key, value), taken whole.
    void settingChanged(const QDBusMessage& message);

private:
    void apply(Scheme scheme);
    Scheme m_scheme = Scheme::Light;
    bool m_applied = false;
};

}  // namespace color_scheme
