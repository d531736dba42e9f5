#pragma once
// One running instance per program folder: the first instance holds a lock file; a second
// start finds it held and reports a previous instance. The second start then hands its command
// line to the running one through a local socket beside the lock (only the user can reach it),
// and the running one comes to the front and plays what was named.
#include <QObject>
#include <QString>

class QLocalServer;

namespace single_instance {

// Takes the lock for the program in `programFolder`. Returns true when another live instance
// already holds it. The lock is kept until the process ends.
bool AnotherInstanceRunning(const QString& programFolder, const QString& productName);

// The running instance's end of the hand-over: listens while it lives.
class HandOverServer : public QObject {
    Q_OBJECT
public:
    HandOverServer(const QString& programFolder, const QString& productName, QObject* parent = nullptr);
    bool listening() const;
    QString socketPath() const;

signals:
    // A second start's command line: the address or file it named ("" when none).
    void handedOver(const QString& media);

private:
    QLocalServer* m_server;
    int m_clients = 0;  // connected now
};

// The second start's end: gives `media` (made absolute when it is a local path) to the running
// instance. False when none listens.
bool HandOver(const QString& programFolder, const QString& productName, const QString& media);

}  // namespace single_instance
