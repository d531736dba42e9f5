#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <memory>

namespace single_instance {

bool AnotherInstanceRunning(const QString& programFolder, const QString& productName) {
    static std::unique_ptr<QLockFile> held;
    const QByteArray key = QCryptographicHash::hash(
        QFileInfo(programFolder).absoluteFilePath().toUtf8() + '\n' + productName.toUtf8(), QCryptographicHash::Sha1);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    const QString path =
        folder + QStringLiteral("/viewer-") + QString::fromLatin1(key.toHex().left(16)) + QStringLiteral(".lock");
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);  // only a dead owner makes the lock stale, never its age
    if (!lock->tryLock(0)) {
        // A lock we cannot take for a reason other than a live owner (an unwritable folder)
        // must not keep the program from starting.
        return lock->error() == QLockFile::LockFailedError;
    }
    held = std::move(lock);
    return false;
}

}  // namespace single_instance
