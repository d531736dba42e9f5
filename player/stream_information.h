#pragma once
// The "Stream Information" window: what the pane plays, technically (codecs, picture size and
// frame rate, bitrates measured each second, the sound's format, the container, hardware
// decoding, the address asked for and the one that answered, dropped frames). Not modal; it
// follows the pane through zaps and goes with it. It knows nothing of the pane: it reads what
// plays through the function it is given, and the pane tells it when to read again.
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "player/stream_facts.h"

class QLabel;

class StreamInformation : public QWidget {
    Q_OBJECT
public:
    // What plays: the address asked for, whether it is open (playing or paused: its facts can be
    // read without waiting for the player), and its facts then.
    struct Playing {
        QString url;
        bool open = false;
        StreamFacts facts;
    };
    StreamInformation(QWidget* parent, std::function<Playing()> read);
    ~StreamInformation() override;
    StreamInformation(const StreamInformation&) = delete;
    StreamInformation& operator=(const StreamInformation&) = delete;

    void refresh();
    // The text shown beside a field ("Video", "Resolution", "Video bitrate", "Answered by" …).
    QString value(const QString& field) const;

private:
    // Asks the address once in the background (as the stream check does, reading a few
    // kilobytes) to learn which address answers after redirects.
    void askWhoAnswers(const QString& address);

    std::function<Playing()> m_read;
    QHash<QString, QLabel*> m_values;
    QTimer m_timer;
    QString m_asked;       // the address whose answering one is known or being asked
    QString m_answeredBy;  // "" while unknown
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::thread m_worker;  // the question under way (ended within 50 ms of a cancel)
};
