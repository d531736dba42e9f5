#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>
#include <memory>

namespace single_instance {
namespace {

// Where this program's lock and hand-over socket live: the user's runtime folder (else the
// temporary folder), named by the program folder and product.
QString Place(const QString& programFolder, const QString& productName, const char* suffix) {
    const QByteArray key = QCryptographicHash::hash(
        QFileInfo(programFolder).absoluteFilePath().toUtf8() + '\n' + productName.toUtf8(), QCryptographicHash::Sha1);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return folder + QStringLiteral("/viewer-") + QString::fromLatin1(key.toHex().left(16)) +
           QString::fromLatin1(suffix);
}

constexpr int kMaxMessageBytes = 64 * 1024;
// A second start connects, writes one line and goes: a few at once at most, each for moments.
constexpr int kMaxClients = 8;
constexpr int kClientDeadlineMs = 5000;

}  // namespace

bool AnotherInstanceRunning(const QString& programFolder, const QString& productName) {
    static std::unique_ptr<QLockFile> held;
    const QString path = Place(programFolder, productName, ".lock");
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

HandOverServer::HandOverServer(const QString& programFolder, const QString& productName, QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)) {
    const QString name = Place(programFolder, productName, ".socket");
    // The lock is ours, so a socket left there is a dead instance's.
    QLocalServer::removeServer(name);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->listen(name);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            // Connections that say nothing cannot pile up: a few at a time, each closed after
            // a few seconds whatever it sent.
            if (m_clients >= kMaxClients) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            ++m_clients;
            connect(socket, &QObject::destroyed, this, [this] { --m_clients; });
            QTimer::singleShot(kClientDeadlineMs, socket, [socket] {
                socket->abort();
                socket->deleteLater();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                // One line: the media named, UTF-8; anything longer than a message is no message.
                if (socket->bytesAvailable() > kMaxMessageBytes) {
                    socket->abort();
                    return;
                }
                if (!socket->canReadLine()) return;
                const QString media = QString::fromUtf8(socket->readLine()).trimmed();
                socket->disconnectFromServer();
                emit handedOver(media);
            });
        }
    });
}

bool HandOverServer::listening() const { return m_server->isListening(); }

QString HandOverServer::socketPath() const { return m_server->fullServerName(); }

bool HandOver(const QString& programFolder, const QString& productName, const QString& media) {
    QString named = media;
    // A file named relative to where the second start ran means the same file to the first.
    if (!named.isEmpty() && !named.contains(QStringLiteral("://")) && QFileInfo::exists(named))
        named = QFileInfo(named).absoluteFilePath();
    named.replace(QLatin1Char('\n'), QLatin1Char(' '));
    QLocalSocket socket;
    socket.connectToServer(Place(programFolder, productName, ".socket"));
    if (!socket.waitForConnected(2000)) return false;
    socket.write(named.toUtf8() + '\n');
    const bool sent = socket.waitForBytesWritten(2000);
    socket.disconnectFromServer();
    return sent;
}

}  // namespace single_instance
