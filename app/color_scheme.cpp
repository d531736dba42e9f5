#include "app/color_scheme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QStyle>
#include <QStyleFactory>
#include <optional>

#include "base/private_label.h"

namespace color_scheme {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// The portal's Read wraps the value in a variant of its own: unwrapped to the scheme. 1 prefers
// dark; 0 (no preference) and 2 prefer light.
std::optional<Scheme> PortalScheme(QVariant value) {
    while (value.userType() == qMetaTypeId<QDBusVariant>()) value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint number = value.toUInt(&ok);
    if (!ok) return std::nullopt;
    return number == 1 ? Scheme::Dark : Scheme::Light;
}

}  // namespace

QPalette DarkPalette() {
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230), disabled(128, 128, 128);
    const QColor highlight(42, 130, 218);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Light, window.lighter(150));
    p.setColor(QPalette::Midlight, window.lighter(125));
    p.setColor(QPalette::Mid, window.darker(120));
    p.setColor(QPalette::Dark, window.darker(160));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Link, highlight.lighter(130));
    p.setColor(QPalette::LinkVisited, highlight.lighter(110));
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Highlight, window.lighter(130));
    return p;
}

DesktopScheme::DesktopScheme(const QString& setting, QObject* parent) : QObject(parent) {
    if (modPrivateLabel::SkinEnabled) return;  // the skin's colours stand
    const QString forced = setting.trimmed().toLower();
    if (forced == QLatin1String("light") || forced == QLatin1String("dark")) {
        apply(forced == QLatin1String("dark") ? Scheme::Dark : Scheme::Light);
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    // Matched by path and interface alone: a match on the portal's name waits for the bus to
    // name its owner, and a change said meanwhile would be missed.
    bus.connect(QString(), kPath, kInterface, QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QDBusMessage)));
    // Asked without waiting: a portal started on demand may take a moment, and the window
    // should not wait for it.
    QDBusMessage read = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    read << kGroup << kKey;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusMessage reply = call->reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;  // no portal
        if (const auto scheme = PortalScheme(reply.arguments().front())) apply(*scheme);
    });
}

void DesktopScheme::settingChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.size() < 3 || args.at(0).toString() != kGroup || args.at(1).toString() != kKey) return;
    if (const auto scheme = PortalScheme(args.at(2))) apply(*scheme);
}

void DesktopScheme::apply(Scheme scheme) {
    if (m_applied && scheme == m_scheme) return;
    m_applied = true;
    m_scheme = scheme;
    // The Fusion style draws with the palette's colours alone, so both schemes look whole.
    if (QApplication::style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(scheme == Scheme::Dark ? DarkPalette() : QApplication::style()->standardPalette());
}

}  // namespace color_scheme
