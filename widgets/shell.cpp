#include "widgets/shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <memory>

namespace shell {
namespace {
std::function<void(const QString&)> g_opener;
std::function<bool(const QString&)> g_canOpen;
bool g_openFails = false;
}  // namespace

bool Open(const QString& target) {
    if (g_openFails) return false;
    if (g_opener) {
        g_opener(target);
        return true;
    }
    // A file beside the program opens as a file; anything else is an address.
    const QUrl url = QFileInfo(target).isAbsolute() ? QUrl::fromLocalFile(target) : QUrl(target);
    return QDesktopServices::openUrl(url);
}

void SetOpenerForTests(std::function<void(const QString&)> opener) { g_opener = std::move(opener); }
void SetOpenFailsForTests(bool fails) { g_openFails = fails; }

void CanOpenLater(const QString& file, QObject* context, std::function<void(bool)> done) {
#ifdef _WIN32
    const bool known = true;  // the shell says so only by trying
#else
    const bool known = g_canOpen || g_opener;
#endif
    if (known) {
        // The answer needs no other program; it still comes from the event loop, as the
        // desktop's does.
        QTimer::singleShot(0, context, [file, done = std::move(done)] { done(!g_canOpen || g_canOpen(file)); });
        return;
    }
    // The desktop's own answer, from xdg-mime, heard when it comes; 3 s at most.
    auto* query = new QProcess(context);
    auto answered = std::make_shared<bool>(false);
    const auto answer = [query, answered, done = std::move(done)](bool canOpen) {
        if (*answered) return;
        *answered = true;
        query->deleteLater();
        done(canOpen);
    };
    QObject::connect(query, &QProcess::finished, context, [query, answer](int code, QProcess::ExitStatus status) {
        answer(status == QProcess::NormalExit && code == 0 && !query->readAllStandardOutput().trimmed().isEmpty());
    });
    QObject::connect(query, &QProcess::errorOccurred, context, [answer](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) answer(false);
    });
    QTimer::singleShot(3000, query, [query, answer] {
        query->kill();
        answer(false);
    });
    query->start(QStringLiteral("xdg-mime"),
                 {QStringLiteral("query"), QStringLiteral("default"), QMimeDatabase().mimeTypeForFile(file).name()});
}

void SetCanOpenForTests(std::function<bool(const QString&)> canOpen) { g_canOpen = std::move(canOpen); }

}  // namespace shell
