#include "player/mpv_player.h"

#include "base/text.h"
#include "catalogue/stream_options.h"
#include "player/failure_text.h"
#include "player/hardware_decoders.h"
#include "widgets/texts.h"

#include <mpv/client.h>

#include <QMetaObject>
#include <algorithm>
#include <atomic>
#include <clocale>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

enum Observed : std::uint64_t {
    kPause = 1,
    kTimePos,
    kDuration,
    kSeekable,
    kVolume,
    kMute,
    kMediaTitle,
    kIcyTitle,
    kIdleActive,
    kVid,
    kCurrentAo,
    kMuteSet,   // the reply to our own change of "mute"
    kVolumeSet  // and of "volume"
};

// How many log lines of one open are kept for telling why it failed.
constexpr std::size_t kKeptLogLines = 64;
// mpv's network timeout, in seconds: a server that accepts and never answers fails after it.
constexpr int kNetworkTimeout = 8;
// Hardware decoding only with the decoders mpv knows to be sound; any that fails to start
// hands over to software decoding on its own. Decoded frames are copied back ("-copy"
// decoders), so no GPU interop library is loaded into the render context.
constexpr const char* kHardwareDecoders = "auto-copy-safe";

// Sends our own change of a property whose reports we also take. Until mpv has answered it, what
// mpv reports of that property is older than the change (its first report, made when the handle
// was new, can come after a volume or mute set at start): `pending` counts the changes sent and
// not yet answered. A change mpv refused to queue gets no answer, so it is not counted.
void SendAnswered(mpv_handle* mpv, Observed reply, const char* name, mpv_format format, void* data, int& pending) {
    if (mpv_set_property_async(mpv, reply, name, format, data) >= 0) ++pending;
}

std::atomic<int> g_instances{0};
// Every player of the process, on the GUI thread. FFmpeg has one log for the process, and mpv
// hands FFmpeg's lines to the handle made first, whichever handle's stream they are about.
std::vector<MpvPlayer*> g_players;
// The sound driver that opened last in the process (for every player: the system is the same),
// and since when: the clock starts again whenever all drivers were tried.
std::string g_soundFound;
QElapsedTimer g_soundFoundClock;

void Wakeup(void* context) {
    // Called on one of mpv's threads: only queue the drain on the GUI thread.
    QMetaObject::invokeMethod(static_cast<QObject*>(context), "drainEvents", Qt::QueuedConnection);
}

}  // namespace

int MpvPlayer::Instances() { return g_instances.load(); }

std::string MpvPlayer::SoundOutputs(const std::string& found, qint64 msSinceFound) {
    if (found.empty()) return kSoundOutputs;
    if (found == "null") return msSinceFound < kNoSoundRetryMs ? "null" : kSoundOutputs;
    std::string list = found;
    for (std::string_view rest = kSoundOutputs; !rest.empty();) {
        const std::size_t comma = rest.find(',');
        const std::string_view driver = rest.substr(0, comma);
        if (driver != found) list += "," + std::string(driver);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return list;
}

MpvPlayer::MpvPlayer(QObject* parent, int volume, bool muted, bool hardwareDecoding)
    : QObject(parent),
      m_muted(muted),
      m_hwdec(hardwareDecoding),
      m_hwdecSet(hardwareDecoding ? kHardwareDecoders : "no") {
    // mpv refuses to start under a locale whose decimal separator is not ".".
    std::setlocale(LC_NUMERIC, "C");
    m_mpv = mpv_create();
    if (!m_mpv) return;
    const std::pair<const char*, const char*> options[] = {
        // No user configuration, scripts or external downloaders: addresses come from catalogues.
        {"config", "no"},
        {"load-scripts", "no"},
        {"ytdl", "no"},
        {"osc", "no"},
        {"load-stats-overlay", "no"},
        {"load-osd-console", "no"},
        {"load-auto-profiles", "no"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"terminal", "no"},
        {"load-unsafe-playlists", "no"},
        // A folder is never opened as a playlist of everything below it.
        {"directory-mode", "ignore"},
        {"vo", "libmpv"},
        // Sound through the system's output; with none at all the picture still plays.
        {"ao", kSoundOutputs},
        {"idle", "yes"},
        {"keep-open", "no"},
        {"mute", muted ? "yes" : "no"},
        {"hwdec", m_hwdecSet},
        {"gpu-hwdec-interop", "no"},
        {"osd-level", "0"},
        // Start streams quickly: small probes, a modest read-ahead before the first frame.
        {"demuxer-lavf-analyzeduration", "0.5"},
        {"demuxer-lavf-probesize", "500000"},
        {"cache-pause-initial", "no"},
        {"demuxer-readahead-secs", "2"},
    };
    for (const auto& [name, value] : options) mpv_set_option_string(m_mpv, name, value);
    mpv_set_option_string(m_mpv, "network-timeout", std::to_string(kNetworkTimeout).c_str());
    mpv_set_option_string(m_mpv, "volume", std::to_string(volume).c_str());
    if (mpv_initialize(m_mpv) < 0) {
        mpv_destroy(m_mpv);
        m_mpv = nullptr;
        return;
    }
    // After the handle, whose log takes FFmpeg's lines from now on: the look at the machine's
    // hardware decoders logs its drivers' complaints there, not on the terminal.
    if (m_hwdec) hardware_decoders::MayBeAvailable();
    ++g_instances;
    g_players.push_back(this);
    mpv_request_log_messages(m_mpv, "warn");
    mpv_observe_property(m_mpv, kPause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, kTimePos, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, kDuration, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, kSeekable, "seekable", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, kVolume, "volume", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, kMute, "mute", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, kMediaTitle, "media-title", MPV_FORMAT_STRING);
    mpv_observe_property(m_mpv, kIcyTitle, "metadata/by-key/icy-title", MPV_FORMAT_STRING);
    mpv_observe_property(m_mpv, kIdleActive, "idle-active", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, kVid, "vid", MPV_FORMAT_INT64);
    mpv_observe_property(m_mpv, kCurrentAo, "current-ao", MPV_FORMAT_STRING);
    mpv_set_wakeup_callback(m_mpv, Wakeup, this);
}

MpvPlayer::~MpvPlayer() {
    if (!m_mpv) return;
    mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
    mpv_terminate_destroy(m_mpv);
    --g_instances;
    g_players.erase(std::remove(g_players.begin(), g_players.end(), this), g_players.end());
}

void MpvPlayer::command(std::initializer_list<const char*> args) {
    if (!m_mpv) return;
    std::vector<const char*> argv(args);
    argv.push_back(nullptr);
    mpv_command_async(m_mpv, 0, argv.data());
}

void MpvPlayer::setFlag(const char* name, bool value) {
    if (!m_mpv) return;
    int flag = value ? 1 : 0;
    mpv_set_property_async(m_mpv, 0, name, MPV_FORMAT_FLAG, &flag);
}

QString MpvPlayer::userAgent() const {
    if (!m_mpv) return {};
    char* agent = mpv_get_property_string(m_mpv, "user-agent");
    QString out = QString::fromUtf8(agent ? agent : "");
    mpv_free(agent);
    return out;
}

void MpvPlayer::load(const QString& address, const QString& proxy, const std::string& headers) {
    m_loading = true;
    m_idle = false;
    m_pendingEnd.reset();
    m_endToTell.reset();
    m_log.clear();
    stopKeepingWhilePaused();
    m_loadClock.start();
    m_icyTitle.clear();
    if (m_mpv) {
        // Before the load, in the same queue: the stream opens with these decoders and its sound
        // with this list.
        applyHardwareDecoding();
        const std::string outputs =
            SoundOutputs(g_soundFound, g_soundFoundClock.isValid() ? g_soundFoundClock.elapsed() : 0);
        if (outputs != m_soundOutputs) {
            m_soundOutputs = outputs;
            const char* value = m_soundOutputs.c_str();
            mpv_set_property_async(m_mpv, 0, "ao", MPV_FORMAT_STRING, &value);
        }
    }
    const QByteArray utf8 = address.toUtf8();
    // The entry's own options: the proxy, and the headers its server asks for. Each value is
    // given with its length ("%n%value"), so no comma or equals sign in it is read as syntax.
    QByteArray options;
    const auto add = [&](const char* name, const QByteArray& value) {
        if (!options.isEmpty()) options += ',';
        options += QByteArray(name) + "=%" + QByteArray::number(value.size()) + '%' + value;
    };
    if (!proxy.isEmpty()) add("http-proxy", proxy.toUtf8());
    QByteArray otherHeaders;
    for (const stream_options::Header& h : stream_options::Read(headers)) {
        const QByteArray value = QByteArray::fromStdString(h.value);
        if (text::EqualsAsciiNoCase(h.name, "User-Agent")) {
            add("user-agent", value);
        } else if (text::EqualsAsciiNoCase(h.name, "Referer")) {
            add("referrer", value);
        } else if (!value.contains(',')) {  // the list of fields is comma-separated
            if (!otherHeaders.isEmpty()) otherHeaders += ',';
            otherHeaders += QByteArray::fromStdString(h.name) + ": " + value;
        }
    }
    if (!otherHeaders.isEmpty()) add("http-header-fields", otherHeaders);
    if (options.isEmpty()) {
        command({"loadfile", utf8.constData(), "replace"});
    } else if (m_mpv) {
        // As options of this entry alone, in the same request (a separate property change could
        // reach the player after the load): named arguments, whose places do not move between
        // mpv's versions.
        const char* keys[] = {"name", "url", "flags", "options"};
        const char* values[] = {"loadfile", utf8.constData(), "replace", options.constData()};
        mpv_node items[4];
        for (int i = 0; i < 4; ++i) {
            items[i].format = MPV_FORMAT_STRING;
            items[i].u.string = const_cast<char*>(values[i]);
        }
        mpv_node_list map{4, items, const_cast<char**>(keys)};
        mpv_node request;
        request.format = MPV_FORMAT_NODE_MAP;
        request.u.list = &map;
        mpv_command_node_async(m_mpv, 0, &request);
    }
    setFlag("pause", false);
}

void MpvPlayer::stop() {
    m_loading = false;
    m_pendingEnd.reset();
    m_endToTell.reset();
    command({"stop"});
}

void MpvPlayer::setPaused(bool paused) { setFlag("pause", paused); }

void MpvPlayer::seek(double seconds) {
    const QByteArray target = QByteArray::number(seconds, 'f', 3);
    command({"seek", target.constData(), "absolute"});
}

void MpvPlayer::jumpToNewest() {
    if (!m_mpv) return;
    double newest = 0, at = 0;
    if (mpv_get_property(m_mpv, "demuxer-cache-time", MPV_FORMAT_DOUBLE, &newest) < 0 ||
        mpv_get_property(m_mpv, "time-pos", MPV_FORMAT_DOUBLE, &at) < 0)
        return;
    // A second short of the newest packet, from a keyframe: read already, so no network wait.
    if (newest - at < 2) return;
    const QByteArray target = QByteArray::number(newest - 1, 'f', 3);
    command({"seek", target.constData(), "absolute+keyframes"});
}

void MpvPlayer::setVolume(int volume) {
    if (!m_mpv) return;
    double v = volume;
    SendAnswered(m_mpv, kVolumeSet, "volume", MPV_FORMAT_DOUBLE, &v, m_volumeSetsPending);
}

void MpvPlayer::setMuted(bool muted) {
    m_muted = muted;
    if (!m_mpv) return;
    int flag = muted ? 1 : 0;
    SendAnswered(m_mpv, kMuteSet, "mute", MPV_FORMAT_FLAG, &flag, m_muteSetsPending);
}

void MpvPlayer::setHardwareDecoding(bool on) {
    m_hwdec = on;
    applyHardwareDecoding();
}

void MpvPlayer::applyHardwareDecoding() {
    // In software where the machine has no decoder in hardware: mpv would look for one again
    // at every stream.
    const char* wanted = m_hwdec && hardware_decoders::MayBeAvailable() ? kHardwareDecoders : "no";
    if (!m_mpv || std::strcmp(wanted, m_hwdecSet) == 0) return;
    m_hwdecSet = wanted;
    mpv_set_property_async(m_mpv, 0, "hwdec", MPV_FORMAT_STRING, &wanted);
}

double MpvPlayer::durationNow() const {
    double seconds = 0;
    if (!m_mpv || mpv_get_property(m_mpv, "duration", MPV_FORMAT_DOUBLE, &seconds) < 0) return 0;
    return seconds;
}

bool MpvPlayer::sourceSizeKnown() const {
    std::int64_t bytes = 0;
    return m_mpv && mpv_get_property(m_mpv, "file-size", MPV_FORMAT_INT64, &bytes) >= 0 && bytes > 0;
}

QString MpvPlayer::currentDecoder() const {
    if (!m_mpv) return {};
    char* text = mpv_get_property_string(m_mpv, "hwdec-current");
    const QString result = text ? QString::fromUtf8(text) : QStringLiteral("no");
    mpv_free(text);
    return result.isEmpty() ? QStringLiteral("no") : result;
}

StreamFacts MpvPlayer::facts() const {
    StreamFacts out;
    if (!m_mpv) return out;
    const auto text = [this](const char* name) {
        char* value = mpv_get_property_string(m_mpv, name);
        QString result = value ? QString::fromUtf8(value) : QString();
        mpv_free(value);
        return result;
    };
    const auto number = [this](const char* name) {
        double value = 0;
        return mpv_get_property(m_mpv, name, MPV_FORMAT_DOUBLE, &value) >= 0 ? value : 0.0;
    };
    const auto integer = [this](const char* name) {
        std::int64_t value = 0;
        return mpv_get_property(m_mpv, name, MPV_FORMAT_INT64, &value) >= 0 ? value : std::int64_t{0};
    };
    out.videoCodec = text("video-format");
    out.audioCodec = text("audio-codec-name");
    out.width = static_cast<int>(integer("video-params/w"));
    out.height = static_cast<int>(integer("video-params/h"));
    out.framesPerSecond = number("container-fps");
    if (out.framesPerSecond <= 0) out.framesPerSecond = number("estimated-vf-fps");
    out.videoBitrate = number("video-bitrate");
    out.audioBitrate = number("audio-bitrate");
    out.audioFormat = text("audio-params/format");
    out.sampleRate = static_cast<int>(integer("audio-params/samplerate"));
    out.channels = static_cast<int>(integer("audio-params/channel-count"));
    out.channelLayout = text("audio-params/hr-channels");
    out.container = text("file-format");
    out.decoder = currentDecoder();
    out.address = text("path");
    out.droppedFrames = integer("frame-drop-count") + integer("decoder-frame-drop-count");
    return out;
}

QString MpvPlayer::fileFormat() const {
    if (!m_mpv) return {};
    char* text = mpv_get_property_string(m_mpv, "file-format");
    QString result = text ? QString::fromUtf8(text) : QString();
    mpv_free(text);
    return result;
}

bool MpvPlayer::setStreamRecord(const QString& path) {
    // Synchronous: once it returns "", the player has closed what it wrote to.
    return m_mpv && mpv_set_property_string(m_mpv, "stream-record", path.toUtf8().constData()) >= 0;
}

QList<MpvPlayer::Track> MpvPlayer::tracks() const {
    QList<Track> result;
    mpv_node list{};
    if (!m_mpv || mpv_get_property(m_mpv, "track-list", MPV_FORMAT_NODE, &list) < 0) return result;
    if (list.format == MPV_FORMAT_NODE_ARRAY) {
        for (int i = 0; i < list.u.list->num; ++i) {
            const mpv_node& item = list.u.list->values[i];
            if (item.format != MPV_FORMAT_NODE_MAP) continue;
            Track track;
            QString title, language, codec;
            for (int k = 0; k < item.u.list->num; ++k) {
                const char* key = item.u.list->keys[k];
                const mpv_node& value = item.u.list->values[k];
                if (std::strcmp(key, "id") == 0 && value.format == MPV_FORMAT_INT64) track.id = value.u.int64;
                if (std::strcmp(key, "selected") == 0 && value.format == MPV_FORMAT_FLAG) track.selected = value.u.flag;
                if (value.format != MPV_FORMAT_STRING) continue;
                const QString text = QString::fromUtf8(value.u.string);
                if (std::strcmp(key, "type") == 0) track.type = text;
                if (std::strcmp(key, "title") == 0) title = text;
                if (std::strcmp(key, "lang") == 0) language = text;
                if (std::strcmp(key, "codec") == 0) codec = text;
            }
            QStringList parts;
            for (const QString& part : {title, language, codec})
                if (!part.isEmpty()) parts << part;
            track.label = QStringLiteral("%1 %2").arg(track.id).arg(parts.join(QStringLiteral(", ")));
            result << track;
        }
    }
    mpv_free_node_contents(&list);
    return result;
}

void MpvPlayer::selectTrack(const QString& type, qint64 id) {
    if (!m_mpv) return;
    const char* property = type == QLatin1String("audio") ? "aid" : type == QLatin1String("sub") ? "sid" : "vid";
    const QByteArray value = id > 0 ? QByteArray::number(id) : QByteArray("no");
    mpv_set_property_string(m_mpv, property, value.constData());
}

void MpvPlayer::setAspect(const QString& ratio) {
    m_aspect = ratio;
    if (m_mpv)
        mpv_set_property_string(m_mpv, "video-aspect-override", ratio.isEmpty() ? "-1" : ratio.toUtf8().constData());
}

bool MpvPlayer::HasEntryAfter(std::int64_t entryId) const {
    std::int64_t count = 0;
    if (mpv_get_property(m_mpv, "playlist-count", MPV_FORMAT_INT64, &count) < 0) return false;
    for (std::int64_t i = count - 1; i >= 0; --i) {
        const QByteArray name = "playlist/" + QByteArray::number(i) + "/id";
        std::int64_t id = 0;
        if (mpv_get_property(m_mpv, name.constData(), MPV_FORMAT_INT64, &id) >= 0 && id == entryId)
            return i < count - 1;
    }
    return false;
}

void MpvPlayer::readEvents() {
    while (m_mpv) {
        mpv_event* event = mpv_wait_event(m_mpv, 0);
        if (event->event_id == MPV_EVENT_NONE) break;
        handleEvent(*event);
    }
}

void MpvPlayer::keepLogLine(const char* text) {
    // The file cache's own complaints (under the demuxer's name): a full disk, whose writes come
    // up short, or a folder that went or cannot be written.
    if (m_keepingPaused) {
        static constexpr const char* kCacheFaults[] = {"cache file", "cache temporary file", "file cache",
                                                       "Could not write all data", "Could not read all data"};
        for (const char* fault : kCacheFaults)
            if (std::strstr(text, fault)) {
                emit pauseFileFailed(QString::fromUtf8(text).trimmed());
                break;
            }
    }
    if (m_log.size() >= kKeptLogLines) m_log.erase(m_log.begin());
    m_log.emplace_back(text);
}

void MpvPlayer::drainEvents() {
    readEvents();
    if (m_endToTell) {
        // FFmpeg's lines about this stream (the server's answer among them) may wait in the
        // queue of another player: read those first, so that the reason is told in full.
        for (MpvPlayer* other : std::vector<MpvPlayer*>(g_players)) {
            if (other == this) continue;
            other->readEvents();
            if (other->m_endToTell) QMetaObject::invokeMethod(other, "drainEvents", Qt::QueuedConnection);
        }
        const End end = *m_endToTell;
        m_endToTell.reset();
        QString reason;
        if (end.error) {
            const failure_text::Failure failure = failure_text::Describe(end.code, m_log, end.tookLong);
            reason = Msg(failure.key.c_str());
            if (!failure.detail.empty()) reason = reason.arg(QString::fromStdString(failure.detail));
        }
        emit ended(end.error, reason);
    }
}

void MpvPlayer::handleEvent(const mpv_event& event) {
    switch (event.event_id) {
        case MPV_EVENT_LOG_MESSAGE: {
            const auto* msg = static_cast<const mpv_event_log_message*>(event.data);
            if (std::string_view(msg->prefix).substr(0, 6) != "ffmpeg") {
                keepLogLine(msg->text);
                break;
            }
            // FFmpeg's: for the players opening a stream now (this one, if none is).
            bool kept = false;
            for (MpvPlayer* player : g_players)
                if (player->m_loading) {
                    player->keepLogLine(msg->text);
                    kept = true;
                }
            if (!kept) keepLogLine(msg->text);
            break;
        }
        case MPV_EVENT_PLAYBACK_RESTART:
            if (m_loading) {
                m_loading = false;
                emit started();
            }
            break;
        case MPV_EVENT_START_FILE:
            // The next entry of a playlist: whatever ended the one before was not the end.
            m_pendingEnd.reset();
            if (m_loading) emit fileStarting();
            break;
        case MPV_EVENT_END_FILE: {
            // An entry that fails or ends is the end only if no other entry of the playlist
            // follows. When one does, the end is held back: the next entry's start drops it,
            // and the player going idle instead (the next could not even start) tells it.
            const auto* end = static_cast<const mpv_event_end_file*>(event.data);
            if (end->reason == MPV_END_FILE_REASON_ERROR) {
                const bool tookLong = m_loadClock.isValid() && m_loadClock.elapsed() >= kNetworkTimeout * 1000 - 500;
                m_pendingEnd = End{true, end->error, tookLong};
            } else if (end->reason == MPV_END_FILE_REASON_EOF) {
                m_pendingEnd = End{false, 0, false};
            }
            // STOP: replaced by another address or stopped on request; the caller knows.
            if (m_pendingEnd && !HasEntryAfter(end->playlist_entry_id)) {
                m_endToTell = m_pendingEnd;
                m_pendingEnd.reset();
                m_loading = false;
            }
            break;
        }
        case MPV_EVENT_SET_PROPERTY_REPLY:
            if (event.reply_userdata == kMuteSet && m_muteSetsPending > 0) --m_muteSetsPending;
            if (event.reply_userdata == kVolumeSet && m_volumeSetsPending > 0) --m_volumeSetsPending;
            break;
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto* prop = static_cast<const mpv_event_property*>(event.data);
            const bool has = prop->format != MPV_FORMAT_NONE && prop->data;
            switch (event.reply_userdata) {
                case kPause:
                    m_paused = has && *static_cast<int*>(prop->data);
                    emit pausedChanged(m_paused);
                    break;
                case kTimePos: m_position = has ? *static_cast<double*>(prop->data) : 0; break;
                case kDuration:
                    m_duration = has ? *static_cast<double*>(prop->data) : 0;
                    emit durationChanged(m_duration);
                    break;
                case kSeekable:
                    m_seekable = has && *static_cast<int*>(prop->data);
                    emit seekableChanged(m_seekable);
                    break;
                case kVolume:
                    if (has && m_volumeSetsPending == 0)
                        emit volumeChanged(static_cast<int>(std::lround(*static_cast<double*>(prop->data))));
                    break;
                case kMute:
                    if (has && m_muteSetsPending == 0) {
                        m_muted = *static_cast<int*>(prop->data) != 0;
                        emit mutedChanged(m_muted);
                    }
                    break;
                case kVid: {
                    const bool video =
                        has && prop->format == MPV_FORMAT_INT64 && *static_cast<std::int64_t*>(prop->data) > 0;
                    if (video != m_hasVideo) {
                        m_hasVideo = video;
                        emit hasVideoChanged(video);
                    }
                    break;
                }
                case kCurrentAo: {
                    const char* driver = has ? *static_cast<char**>(prop->data) : nullptr;
                    if (!driver || !*driver) break;
                    if (g_soundFound != driver || m_soundOutputs == kSoundOutputs) g_soundFoundClock.start();
                    g_soundFound = driver;
                    break;
                }
                case kIdleActive:
                    m_idle = has && *static_cast<int*>(prop->data);
                    if (m_idle && m_pendingEnd) {
                        m_endToTell = m_pendingEnd;
                        m_pendingEnd.reset();
                        m_loading = false;
                    }
                    break;
                case kMediaTitle:
                case kIcyTitle: {
                    const QString text = has ? QString::fromUtf8(*static_cast<char**>(prop->data)) : QString();
                    (event.reply_userdata == kMediaTitle ? m_mediaTitle : m_icyTitle) = text;
                    emit titleChanged(m_icyTitle.isEmpty() ? m_mediaTitle : m_icyTitle);
                    break;
                }
                default: break;
            }
            break;
        }
        default: break;
    }
}
