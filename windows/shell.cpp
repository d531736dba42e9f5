#include "windows/shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace shell {
namespace {
std::function<void(const QString&)> g_opener;
}

void Open(const QString& target) {
    if (g_opener) {
        g_opener(target);
        return;
    }
    // A file beside the program opens as a file; anything else is an address.
    const QUrl url = QFileInfo(target).isAbsolute() ? QUrl::fromLocalFile(target) : QUrl(target);
    QDesktopServices::openUrl(url);  // the result is not examined
}

void SetOpenerForTests(std::function<void(const QString&)> opener) { g_opener = std::move(opener); }

}  // namespace shell
