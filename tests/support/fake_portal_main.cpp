// A stand-in for the XDG desktop portal's settings, for screenshots and trials on a private
// session bus: answers org.freedesktop.appearance color-scheme with the number given (1 dark,
// 2 light) until it is ended.
//   fake_portal 1
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusVariant>
#include <cstdio>

class Portal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    explicit Portal(uint value) : m_value(value) {}

public slots:
    QDBusVariant Read(const QString& group, const QString& key) {
        if (group != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme"))
            return QDBusVariant(QVariant());
        return QDBusVariant(QVariant::fromValue(QDBusVariant(m_value)));
    }

private:
    uint m_value;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Portal portal(argc > 1 ? QString::fromLocal8Bit(argv[1]).toUInt() : 1u);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "fake_portal: no session bus to serve on\n");
        return 1;
    }
    return app.exec();
}

#include "fake_portal_main.moc"
