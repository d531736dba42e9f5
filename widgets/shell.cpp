#include "widgets/shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

namespace shell {
namespace {
std::function<void(const QString&)> g_opener;
std::function<bool(const QString&)> g_canOpen;
}  // namespace

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

bool CanOpen(const QString& file) {
    if (g_canOpen) return g_canOpen(file);
    if (g_opener) return true;
#ifdef _WIN32
    return true;
#else
    // The desktop's own answer: a default application for the file's type.
    const QString type = QMimeDatabase().mimeTypeForFile(file).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(3000) || query.exitCode() != 0) return false;
    return !query.readAllStandardOutput().trimmed().isEmpty();
#endif
}

void SetCanOpenForTests(std::function<bool(const QString&)> canOpen) { g_canOpen = std::move(canOpen); }

}  // namespace shell
