#include "widgets/shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace shell {
namespace {
std::function<void(const QString&)> g_opener;
}

bool Open(const QString& target) {
    if (g_opener) {
        g_opener(target);
        return true;
    }
    // A file beside the program opens as a file; anything else is an address.
    const QUrl url = QFileInfo(target).isAbsolute() ? QUrl::fromLocalFile(target) : QUrl(target);
    return QDesktopServices::openUrl(url);
}

void SetOpenerForTests(std::function<void(const QString&)> opener) { g_opener = std::move(opener); }

}  // namespace shell
