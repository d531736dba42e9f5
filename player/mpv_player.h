#pragma once
// The one owner of the libmpv handle. Everything the rest of the program does with the player
// goes through this object on the GUI thread; mpv's wakeup callback only queues a call that
// drains mpv's events here.
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "player/stream_facts.h"

struct mpv_handle;
struct mpv_event;

class MpvPlayer : public QObject {
    Q_OBJECT
public:
    // Starts with this volume, mute and decoding, so that its first reports agree with the
    // pane's (a second handle made later must not report the designed volume for a moment).
    explicit MpvPlayer(QObject* parent = nullptr, int volume = 50, bool muted = false, bool hardwareDecoding = true);
    ~MpvPlayer() override;
    // How many handles the process holds now.
    static int Instances();
    // The sound drivers mpv tries for the next stream, in order. mpv opens the sound output
    // anew for every stream, and each driver missing on the system costs milliseconds of every
    // zap, so the one that opened last (`found`; "" when none has yet) comes first. When there
    // was no sound device at all ("null"), only that is tried until `msSinceFound` reaches
    // kNoSoundRetryMs; then all again, as a sound server may have started meanwhile.
    static std::string SoundOutputs(const std::string& found, qint64 msSinceFound);
    static constexpr const char* kSoundOutputs = "pipewire,pulse,alsa,null";
    static constexpr qint64 kNoSoundRetryMs = 60000;

    mpv_handle* handle() const { return m_mpv; }
    bool isValid() const { return m_mpv != nullptr; }

    // Replaces whatever plays. With a proxy ("http://127.0.0.1:port"), this entry's plain and
    // secure http requests go through it; without one, straight to the servers.
    // Opens `address` (through `proxy` when given), sending `headers` (stream_options' form)
    // with every request of this entry alone.
    void load(const QString& address, const QString& proxy = {}, const std::string& headers = {});
    QString userAgent() const;  // what the player says to servers
    void stop();
    // Nothing open and nothing closing: a load starts at once, waiting for no stream's end
    // (as the player last said; a stop is done when it says it is idle).
    bool isIdle() const { return m_idle; }
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    void seek(double seconds);
    // A live stream that was paused goes on from the newest part it has read meanwhile, not
    // from where it paused.
    void jumpToNewest();
    // Live TV paused: what arrives is kept on disk, in a file of `folder` (at most `bytes`, or
    // `seconds` of the stream), so that play resumes where it paused and Left and Right seek in
    // it. The next load forgets it. False when the player has nothing open.
    bool keepWhilePaused(const QString& folder, qint64 bytes, int seconds);
    bool keepingWhilePaused() const { return m_keepingPaused; }
    void stopKeepingWhilePaused();  // back to the ordinary read-ahead (a load does it too)
    void seekBy(double seconds);    // within what the player holds
    double behindNewest() const;    // seconds between what shows and the newest packet held
    qint64 pauseFileBytes() const;  // what the file kept while paused holds
    void setVolume(int volume);
    void setMuted(bool muted);
    bool isMuted() const { return m_muted; }

    // Hardware decoding where it is known to work well ("auto-safe"); a decoder that fails
    // falls back to software by itself. Off decodes in software only, and so does on where the
    // machine has no decoder in hardware at all (see hardware_decoders.h); the setting stays on.
    void setHardwareDecoding(bool on);
    bool hardwareDecoding() const { return m_hwdec; }
    QString currentDecoder() const;  // "no" while decoding in software
    // The demuxer's name for what plays ("mpegts", "hls", "mp3" …); empty before it opened.
    QString fileFormat() const;
    // What plays, technically, as the player knows it now (read from its core: not while it
    // opens a stream, when a read waits for the core).
    StreamFacts facts() const;
    // Writes the stream as it is read, its packets as they are (never encoded again), to `path`
    // in the container its extension names; "" stops and closes it. The player opens the path
    // anew whenever it opens the stream anew (a reconnect).
    bool setStreamRecord(const QString& path);

    // The audio, video and subtitle tracks of what plays.
    struct Track {
        qint64 id = 0;
        QString type;  // "audio", "video" or "sub"
        QString label;
        bool selected = false;
    };
    QList<Track> tracks() const;
    void selectTrack(const QString& type, qint64 id);  // 0 turns the type off
    // "" (as the stream says), or a ratio like "16:9".
    void setAspect(const QString& ratio);
    QString aspect() const { return m_aspect; }
    bool hasVideo() const { return m_hasVideo; }
    QString nowPlaying() const { return m_icyTitle; }  // the radio's title (ICY); empty if none

    double position() const { return m_position; }
    double duration() const { return m_duration; }
    // The duration as the player knows it this moment (0 when unknown: a live stream).
    double durationNow() const;
    bool sourceSizeKnown() const;  // the source announced its length (a file, a download)
    bool seekable() const { return m_seekable; }

signals:
    void fileStarting();  // the player began to open an entry: what it draws now is of it
    void started();       // the file opened and playback began (or resumed after a seek)
    void ended(bool error, const QString& reason);
    void pausedChanged(bool paused);
    void seekableChanged(bool seekable);
    void durationChanged(double seconds);
    void volumeChanged(int volume);
    void mutedChanged(bool muted);
    void titleChanged(const QString& title);  // the stream's now-playing title, or the media title
    void hasVideoChanged(bool hasVideo);
    // The file kept while paused could not be made or written (a full disk, a folder gone).
    void pauseFileFailed(const QString& why);

private slots:
    void drainEvents();

private:
    void handleEvent(const mpv_event& event);
    void readEvents();  // handles what mpv has queued, telling no end yet
    void keepLogLine(const char* text);
    // Whether the playlist holds an entry after the one with this id (which is then played).
    bool HasEntryAfter(std::int64_t entryId) const;
    void command(std::initializer_list<const char*> args);
    void setFlag(const char* name, bool value);

    mpv_handle* m_mpv = nullptr;
    bool m_paused = false;
    bool m_keepingPaused = false;
    bool m_idle = true;
    bool m_seekable = false;
    double m_position = 0;
    double m_duration = 0;
    bool m_loading = false;
    bool m_muted = false;
    int m_muteSetsPending = 0;  // changes of "mute" sent and not yet answered
    int m_volumeSetsPending = 0;
    bool m_hwdec = true;
    const char* m_hwdecSet = "";  // the decoders the handle was told last
    void applyHardwareDecoding();
    bool m_hasVideo = false;
    QString m_aspect;
    std::vector<std::string> m_log;  // warnings and errors since the address was set
    QElapsedTimer m_loadClock;
    struct End {
        bool error;
        int code;       // the mpv error code of a failure
        bool tookLong;  // the failure came after the network timeout
    };
    std::optional<End> m_pendingEnd;  // how the last entry ended, told once the player is idle
    // An end to tell once the events queued now are drained: mpv hands out its log lines only
    // after its other events, and the lines say why an open failed.
    std::optional<End> m_endToTell;
    QString m_mediaTitle, m_icyTitle;
    std::string m_soundOutputs = kSoundOutputs;  // the sound drivers set in the player
};
