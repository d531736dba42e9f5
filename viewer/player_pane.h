#pragma once
// The media-player pane of the main window. Setting URL opens and plays the address at once;
// controls.stop and close end playback.
#include <QFrame>
#include <QString>

class PlayerPane : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString URL READ url WRITE setUrl)
    Q_PROPERTY(QString playState READ playState NOTIFY playStateChanged)
public:
    explicit PlayerPane(QWidget* parent = nullptr);

    QString url() const { return m_url; }
    void setUrl(const QString& url);
    QString playState() const { return m_state; }
    int volume() const { return m_volume; }

    void stop();   // controls.stop
    void close();  // close: releases the current media

signals:
    void playStateChanged(const QString& state);

private:
    void setState(const QString& state);

    QString m_url;
    QString m_state = QStringLiteral("idle");
    int m_volume = 50;
};
