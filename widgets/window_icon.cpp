#include "widgets/window_icon.h"

#include <QDirIterator>
#include <QWidget>

namespace modIcon {

QIcon LoadIconResource(const QString& name) {
    QIcon icon;
    // Pictures of one icon resource are stored as ":/icons/NAME_SIZE.png".
    QDirIterator it(QStringLiteral(":/icons"));
    const QString prefix = name + QLatin1Char('_');
    while (it.hasNext()) {
        it.next();
        if (it.fileName().startsWith(prefix)) icon.addFile(it.filePath());
    }
    return icon;
}

void SetIcon(QWidget* window, const QString& resourceName, bool setOwner) {
    if (!window) return;
    const QIcon icon = LoadIconResource(resourceName);
    if (setOwner) {
        // The top-level owner: follow the owner chain to its end.
        QWidget* owner = window;
        while (QWidget* up = owner->parentWidget()) owner = up->window();
        if (owner != window) owner->setWindowIcon(icon);
    }
    window->setWindowIcon(icon);
}

}  // namespace modIcon
