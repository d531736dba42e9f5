// Zap time, every way a user zaps, against players that draw: a press on a channel row of the
// main window with the pointer at rest on it before (the row prepared), a touch (no rest), Down
// over the list from the channel playing above (zapping on), an address handed over (the command line,
// the desktop's media controls, a second start), and Backspace to the last channel; each to
// the first picture on screen, or to playback for sound. The peers, on the same streams in the
// same run, draw as the pane does: a warm libmpv handle through its render API into an OpenGL
// framebuffer of the pane's size, and a warm libVLC player into an X11 window of that size
// (stock options both, and tuned for zapping both), each player in a process of its own as it
// runs for its users, the pane's process holding the pane alone. The limit of each stream:
// FFmpeg's own open, smallest probe and first decoded frame (in a process of its own too),
// plus one steady draw at the pane's size, plus the round trips the protocol needs over the
// link. Players that draw nothing (a warm libmpv handle, libVLC with
// callbacks, the mpv and ffplay command lines) are context. The streams: MPEG-2 and H.264 + AAC
// in MPEG-TS, HLS VOD, a live HLS channel (a sliding window of 2 s or of 6 s segments), MP3 and
// AAC radio with ICY titles; each on plain loopback and through a relay that makes a 40 ms
// round trip (latency_proxy.h). The server has threads of its own, so that the window's work
// never delays a peer's answers. A fast start must not cost smooth watching: the frames the
// pane drops in the first 10 s of a live channel are counted beside the stock and the tuned
// libmpv's. Run it under Xvfb on xcb (OpenGL through Mesa), as bench/run does.
//
//   build/release/bin/zap_bench [repeats]        ZAP_BENCH_ONLY=<part of a stream's name>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QPalette>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <clocale>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <mpv/client.h>
#include <mpv/render_gl.h>
#include <vlc/vlc.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "base/private_label.h"
#include "bench_table.h"
#include "catalogue/catalogue_writer.h"
#include "gui_bench.h"
#include "latency_proxy.h"
#include "player/player_pane.h"
#include "support/program_folder.h"
#include "support/temp_dir.h"
#include "support/tiny_http.h"
#include "widgets/list_view.h"
#include "windows/main_window.h"

namespace {

// Runs the event loop as the application's own does, asleep until an event comes (a 1 ms timer
// wakes it to look), not spinning: a spinning loop takes one of the machine's cores from the
// player's threads while a stream starts.
void ProcessEventsFor1Ms() {
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setSingleShot(true);
    tick.start(1);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        ProcessEventsFor1Ms();
    }
    return true;
}

void Ffmpeg(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} + args);
    p.waitForFinished(120000);
    if (p.exitCode() != 0) std::fprintf(stderr, "ffmpeg: %s\n", p.readAllStandardError().constData());
}

std::string Read(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

using bench::Stats;
using bench::Summarise;

// True when the pane shows a picture with detail in it (the test pattern), not a black frame.
bool ShowsPicture(const PlayerPane& pane) {
    if (!pane.hasFrame()) return false;
    const QImage image = pane.grabFrame();
    if (image.isNull()) return false;
    int lit = 0;
    for (int y = 0; y < image.height(); y += 16)
        for (int x = 0; x < image.width(); x += 16)
            if (qGray(image.pixel(x, y)) > 40) ++lit;
    return lit > 20;
}

// The moment the pane reports playback, in milliseconds on a clock started with it: taken when
// the pane says so, before the window repaints.
class PlayingClock {
public:
    explicit PlayingClock(PlayerPane& pane) {
        m_timer.start();
        m_connection = QObject::connect(&pane, &PlayerPane::playStateChanged, [this](const QString& state) {
            if (m_at < 0 && state == QLatin1String("playing")) m_at = m_timer.nsecsElapsed() / 1e6;
        });
    }
    ~PlayingClock() { QObject::disconnect(m_connection); }
    PlayingClock(const PlayingClock&) = delete;
    PlayingClock& operator=(const PlayingClock&) = delete;
    double at() const { return m_at; }  // -1 until then
    double now() const { return m_timer.nsecsElapsed() / 1e6; }
    qint64 elapsed() const { return m_timer.elapsed(); }

private:
    QElapsedTimer m_timer;
    QMetaObject::Connection m_connection;
    double m_at = -1;
};

// Milliseconds on the clock to the first picture on screen (video) or to the player reporting
// playback (sound), or -1 while neither came. A picture is timed before it is read back to
// check it: the pane had it on screen then, and the read-back costs a draw of its own.
double Arrived(const PlayingClock& t, const PlayerPane& pane, bool video) {
    const double now = t.now();
    return video ? (ShowsPicture(pane) ? now : -1) : t.at();
}

// Waits (20 s at most) for the first picture on screen (video) or the player reporting
// playback (sound): milliseconds on the clock, or -1.
double WaitArrival(const PlayingClock& t, const PlayerPane& pane, bool video) {
    double ms = -1;
    WaitFor(
        [&] {
            ms = Arrived(t, pane, video);
            return ms >= 0;
        },
        20000);
    return ms;
}

// One zap of the pane: milliseconds to the first decoded frame on screen (or to the start of
// playback for audio), or -1.
double PaneZap(PlayerPane& pane, const QString& url, bool video) {
    pane.stop();
    WaitFor([] { return false; }, 50);  // let the previous stream wind down
    PlayingClock t(pane);
    pane.setUrl(url);
    const double ms = WaitArrival(t, pane, video);
    return ms;
}

// The mpv command-line player on the same stream: the whole run from process start to its exit
// after the first frame (or the first 10 ms of audio). For video the sound is left out: with it,
// mpv plays out its buffered audio before it exits, which is no part of starting the stream.
double CliZap(const QString& url, bool video) {
    QStringList args{QStringLiteral("--no-config"), QStringLiteral("--really-quiet"), QStringLiteral("--vo=null"),
                     QStringLiteral("--ao=null"), QStringLiteral("--ytdl=no")};
    if (video)
        args << QStringLiteral("--frames=1") << QStringLiteral("--aid=no");
    else
        args << QStringLiteral("--end=0.01");
    args << url;
    QProcess mpv;
    QElapsedTimer t;
    t.start();
    mpv.start(QStringLiteral("mpv"), args);
    if (!WaitFor([&] { return mpv.state() == QProcess::NotRunning; }, 20000)) {
        mpv.kill();
        mpv.waitForFinished();
        return -1;
    }
    return mpv.exitCode() == 0 ? t.nsecsElapsed() / 1e6 : -1;
}

// ffplay on the same stream, for context: from process start to its exit after the first
// 40 ms of the stream, without a display or a sound device.
double FfplayStart(const QString& url) {
    QProcess ffplay;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    ffplay.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    ffplay.start(QStringLiteral("ffplay"),
                 {QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-nodisp"), QStringLiteral("-autoexit"),
                  QStringLiteral("-t"), QStringLiteral("0.04"), url});
    if (!WaitFor([&] { return ffplay.state() == QProcess::NotRunning; }, 20000)) {
        ffplay.kill();
        ffplay.waitForFinished();
        return -1;
    }
    return ffplay.exitCode() == 0 ? t.nsecsElapsed() / 1e6 : -1;
}

// Tells a libmpv handle to open `url` in place of what it plays.
void LoadFile(mpv_handle* mpv, const QString& url) {
    const QByteArray address = url.toUtf8();
    const char* load[] = {"loadfile", address.constData(), nullptr};
    mpv_command(mpv, load);
}

// One libmpv handle kept for every zap, mpv's stock options (no picture or sound device here):
// what an embedding player does. Milliseconds from loadfile to playback start, or -1.
class WarmMpv {
public:
    WarmMpv() : m_mpv(mpv_create()) {
        for (const auto& [name, value] : {std::pair{"vo", "null"}, std::pair{"ao", "null"}, std::pair{"config", "no"},
                                          std::pair{"terminal", "no"}, std::pair{"ytdl", "no"}})
            mpv_set_option_string(m_mpv, name, value);
        mpv_initialize(m_mpv);
    }
    ~WarmMpv() { mpv_terminate_destroy(m_mpv); }
    WarmMpv(const WarmMpv&) = delete;
    WarmMpv& operator=(const WarmMpv&) = delete;

    double zap(const QString& url) {
        QElapsedTimer t;
        t.start();
        LoadFile(m_mpv, url);
        double ms = -1;
        while (t.elapsed() < 20000) {
            const mpv_event* e = mpv_wait_event(m_mpv, 1.0);
            if (e->event_id == MPV_EVENT_PLAYBACK_RESTART) {
                ms = t.nsecsElapsed() / 1e6;
                break;
            }
            if (e->event_id == MPV_EVENT_END_FILE) break;
        }
        const char* stop[] = {"stop", nullptr};
        mpv_command(m_mpv, stop);
        for (QElapsedTimer w; !w.isValid() || w.elapsed() < 5000;) {
            if (!w.isValid()) w.start();
            if (mpv_wait_event(m_mpv, 1.0)->event_id == MPV_EVENT_IDLE) break;
        }
        return ms;
    }

private:
    mpv_handle* m_mpv;
};

// A libVLC instance and its one player, kept for every zap: `play` opens an address, `over`
// says whether it failed or ended.
class VlcPlayer {
public:
    explicit VlcPlayer(const std::vector<const char*>& args) {
        m_vlc = libvlc_new(static_cast<int>(args.size()), args.data());
        if (m_vlc) m_player = libvlc_media_player_new(m_vlc);
    }
    ~VlcPlayer() {
        if (m_player) libvlc_media_player_release(m_player);
        if (m_vlc) libvlc_release(m_vlc);
    }
    VlcPlayer(const VlcPlayer&) = delete;
    VlcPlayer& operator=(const VlcPlayer&) = delete;
    libvlc_media_player_t* player() const { return m_player; }

    void play(const QString& url) {
        const QByteArray address = url.toUtf8();
        libvlc_media_t* media = libvlc_media_new_location(m_vlc, address.constData());
        libvlc_media_player_set_media(m_player, media);
        libvlc_media_release(media);
        libvlc_media_player_play(m_player);
    }
    bool over() const {
        const libvlc_state_t state = libvlc_media_player_get_state(m_player);
        return state == libvlc_Error || state == libvlc_Ended;
    }
    void stop() { libvlc_media_player_stop(m_player); }

private:
    libvlc_instance_t* m_vlc = nullptr;
    libvlc_media_player_t* m_player = nullptr;
};

// One libVLC player kept for every zap, libVLC's stock options (its network caching among them),
// pictures and sound handed to callbacks instead of devices: what a player that embeds libVLC
// does. Milliseconds from play to the first picture (or the first sound), or -1.
class WarmVlc {
public:
    WarmVlc() {
        libvlc_media_player_t* player = m_vlc.player();
        if (!player) return;
        libvlc_video_set_callbacks(player, Lock, nullptr, Display, this);
        libvlc_video_set_format(player, "RV32", kWidth, kHeight, kWidth * 4);
        libvlc_audio_set_callbacks(player, Play, nullptr, nullptr, nullptr, nullptr, this);
        libvlc_audio_set_format(player, "S16N", 48000, 2);
    }
    double zap(const QString& url, bool video) {
        if (!m_vlc.player()) return -1;
        m_pictures = 0;
        m_sounds = 0;
        QElapsedTimer t;
        t.start();
        m_vlc.play(url);
        double ms = -1;
        while (t.elapsed() < 20000) {
            if ((video ? m_pictures.load() : m_sounds.load()) > 0) {
                ms = t.nsecsElapsed() / 1e6;
                break;
            }
            if (m_vlc.over()) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        m_vlc.stop();
        return ms;
    }

private:
    static constexpr unsigned kWidth = 640, kHeight = 360;
    static void* Lock(void* self, void** planes) {
        *planes = static_cast<WarmVlc*>(self)->m_frame.data();
        return nullptr;
    }
    static void Display(void* self, void*) { ++static_cast<WarmVlc*>(self)->m_pictures; }
    static void Play(void* self, const void*, unsigned, int64_t) { ++static_cast<WarmVlc*>(self)->m_sounds; }

    std::vector<unsigned char> m_frame = std::vector<unsigned char>(std::size_t{kWidth} * kHeight * 4);
    std::atomic<int> m_pictures{0}, m_sounds{0};
    VlcPlayer m_vlc{{"--quiet", "--no-xlib", "--ignore-config", "--no-video-title-show", "--no-stats"}};  // goes first
};

// A libmpv handle that draws, as a player embedding libmpv does: its render API into an OpenGL
// framebuffer of the pane's size (the same Mesa as the pane's), stock options otherwise, kept
// for every zap. Video: milliseconds from loadfile to the first picture drawn and finished;
// sound: to playback start. A steady frame's draw is measured on the frames after the first.
class DrawingMpv {
public:
    // `tuned`: as an embedder tuned for zapping has it: mpv's low-latency profile, no cache,
    // and its first picture drawn at once rather than at the frame's display time.
    DrawingMpv(QSize size, bool tuned) : m_mpv(mpv_create()), m_tuned(tuned) {
        for (const auto& [name, value] : {std::pair{"vo", "libmpv"}, std::pair{"ao", "null"}, std::pair{"config", "no"},
                                          std::pair{"terminal", "no"}, std::pair{"ytdl", "no"}})
            mpv_set_option_string(m_mpv, name, value);
        if (tuned) {
            mpv_set_option_string(m_mpv, "profile", "low-latency");
            mpv_set_option_string(m_mpv, "cache", "no");
        }
        mpv_initialize(m_mpv);
        QSurfaceFormat format;
        m_context.setFormat(format);
        m_surface.setFormat(format);
        m_surface.create();
        if (!m_context.create() || !m_context.makeCurrent(&m_surface)) return;
        m_fbo = std::make_unique<QOpenGLFramebufferObject>(size);
        mpv_opengl_init_params gl{&DrawingMpv::ProcAddress, nullptr};
        mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
                                     {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        if (mpv_render_context_create(&m_render, m_mpv, params) < 0) m_render = nullptr;
        if (m_render) mpv_render_context_set_update_callback(m_render, &DrawingMpv::Updated, this);
    }
    ~DrawingMpv() {
        if (m_context.makeCurrent(&m_surface)) {
            if (m_render) mpv_render_context_free(m_render);
            m_fbo.reset();
        }
        mpv_terminate_destroy(m_mpv);
    }
    DrawingMpv(const DrawingMpv&) = delete;
    DrawingMpv& operator=(const DrawingMpv&) = delete;

    // `steady`, when given, gets the draw times of the frames after the first.
    double zap(const QString& url, bool video, std::vector<double>* steady = nullptr) {
        if (!m_render || !m_context.makeCurrent(&m_surface)) return -1;
        QElapsedTimer t;
        t.start();
        LoadFile(m_mpv, url);
        double ms = -1;
        int after = 0;  // frames drawn after the first
        bool ended = false;
        while (t.elapsed() < 20000 && !ended && (ms < 0 || (steady && after < 10))) {
            for (const mpv_event* e = mpv_wait_event(m_mpv, 0); e->event_id != MPV_EVENT_NONE;
                 e = mpv_wait_event(m_mpv, 0)) {
                if (e->event_id == MPV_EVENT_END_FILE) ended = true;
                if (!video && e->event_id == MPV_EVENT_PLAYBACK_RESTART && ms < 0) ms = t.nsecsElapsed() / 1e6;
            }
            if (!video) {
                if (ms >= 0) break;
                std::unique_lock lock(m_mutex);
                m_wake.wait_for(lock, std::chrono::milliseconds(1));
                continue;
            }
            if (!takeUpdate()) continue;
            if (!(mpv_render_context_update(m_render) & MPV_RENDER_UPDATE_FRAME)) continue;
            const qint64 before = t.nsecsElapsed();
            draw(ms < 0 && !m_tuned);
            if (ms >= 0) {
                steady->push_back((t.nsecsElapsed() - before) / 1e6);
                ++after;
            } else {
                const double drawn = t.nsecsElapsed() / 1e6;  // timed before the read-back
                if (Lit()) ms = drawn;
            }
        }
        stopAndDrain();
        return ms;
    }

    // Frames dropped (by the decoder or at display) in the first `seconds` of a video stream,
    // each frame drawn at its display time as a player shows it; -1 if the stream ended.
    double dropsOver(const QString& url, int seconds) {
        if (!m_render || !m_context.makeCurrent(&m_surface)) return -1;
        QElapsedTimer t;
        t.start();
        LoadFile(m_mpv, url);
        bool ended = false;
        while (!ended && t.elapsed() < qint64{seconds} * 1000) {
            for (const mpv_event* e = mpv_wait_event(m_mpv, 0); e->event_id != MPV_EVENT_NONE;
                 e = mpv_wait_event(m_mpv, 0))
                if (e->event_id == MPV_EVENT_END_FILE) ended = true;
            if (!takeUpdate()) continue;
            if (mpv_render_context_update(m_render) & MPV_RENDER_UPDATE_FRAME) draw();
        }
        std::int64_t shown = 0, decoded = 0;
        mpv_get_property(m_mpv, "frame-drop-count", MPV_FORMAT_INT64, &shown);
        mpv_get_property(m_mpv, "decoder-frame-drop-count", MPV_FORMAT_INT64, &decoded);
        stopAndDrain();
        return ended ? -1 : static_cast<double>(shown + decoded);
    }

private:
    // Waits a millisecond at most for mpv's word that the renderer has something new.
    bool takeUpdate() {
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::milliseconds(1), [this] { return m_updated; });
        return std::exchange(m_updated, false);
    }
    void stopAndDrain() {
        const char* stop[] = {"stop", nullptr};
        mpv_command(m_mpv, stop);
        for (QElapsedTimer w; !w.isValid() || w.elapsed() < 5000;) {
            if (!w.isValid()) w.start();
            if (mpv_wait_event(m_mpv, 0.05)->event_id == MPV_EVENT_IDLE) break;
            if (mpv_render_context_update(m_render) & MPV_RENDER_UPDATE_FRAME) draw();
        }
    }
    static void* ProcAddress(void*, const char* name) {
        return reinterpret_cast<void*>(QOpenGLContext::currentContext()->getProcAddress(name));
    }
    static void Updated(void* self) {
        auto* me = static_cast<DrawingMpv*>(self);
        {
            std::lock_guard lock(me->m_mutex);
            me->m_updated = true;
        }
        me->m_wake.notify_one();
    }
    // `waitForItsTime`: the stock way, the call returns at the frame's display time; a steady
    // draw is timed without that wait.
    void draw(bool waitForItsTime = true) {
        mpv_opengl_fbo target{static_cast<int>(m_fbo->handle()), m_fbo->width(), m_fbo->height(), 0};
        int flip = 0;
        int block = waitForItsTime ? 1 : 0;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                     {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                     {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(m_render, params);
        m_context.functions()->glFinish();
    }
    // Whether the framebuffer holds the test pattern: a row across its middle read back.
    bool Lit() {
        const int w = m_fbo->width();
        std::vector<unsigned char> row(static_cast<std::size_t>(w) * 4);
        m_fbo->bind();
        m_context.functions()->glReadPixels(0, m_fbo->height() / 2, w, 1, GL_RGBA, GL_UNSIGNED_BYTE, row.data());
        m_fbo->release();
        int lit = 0;
        for (int x = 0; x < w; x += 16)
            if (row[static_cast<std::size_t>(x) * 4] + row[static_cast<std::size_t>(x) * 4 + 1] > 80) ++lit;
        return lit > w / 64;
    }

    mpv_handle* m_mpv;
    bool m_tuned;
    mpv_render_context* m_render = nullptr;
    QOpenGLContext m_context;
    QOffscreenSurface m_surface;
    std::unique_ptr<QOpenGLFramebufferObject> m_fbo;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_updated = false;
};

// A libVLC player that draws into an X11 window of the pane's size (its own video output, as a
// player embedding libVLC has it), stock options, kept for every zap. Video: milliseconds from
// play to the first picture on screen (a row across the window's middle read back from the X
// server); sound: to the player reporting that it plays.
class DrawingVlc {
public:
    // `tuned`: network and live caching of 50 ms, where libVLC's stock is a second.
    DrawingVlc(QSize size, bool tuned)
        : m_vlc(tuned ? std::vector<const char*>{"--quiet", "--ignore-config", "--no-video-title-show", "--no-stats",
                                                 "--network-caching=50", "--live-caching=50"}
                      : std::vector<const char*>{"--quiet", "--ignore-config", "--no-video-title-show", "--no-stats"}) {
        libvlc_media_player_t* player = m_vlc.player();
        if (!player) return;
        // Black where VLC has no picture, and beside the main window, not over it.
        m_window.setAttribute(Qt::WA_NativeWindow);
        QPalette black = m_window.palette();
        black.setColor(QPalette::Window, Qt::black);
        m_window.setPalette(black);
        m_window.setAutoFillBackground(true);
        m_window.resize(size);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        // The tuned one at the other corner: a window over the other's would hide its picture.
        m_window.move(tuned ? screen.left() : screen.right() - size.width(), screen.bottom() - size.height());
        m_window.show();
        WaitFor([this] { return m_window.windowHandle() && m_window.windowHandle()->isExposed(); }, 5000);
        libvlc_media_player_set_xwindow(player, static_cast<uint32_t>(m_window.winId()));
        libvlc_event_attach(libvlc_media_player_event_manager(player), libvlc_MediaPlayerPlaying, &Playing, this);
    }
    double zap(const QString& url, bool video) {
        if (!m_vlc.player()) return -1;
        WaitFor([this] { return !Lit(); }, 2000);  // the last stream's picture gone
        m_playing = false;
        QElapsedTimer t;
        t.start();
        m_vlc.play(url);
        double ms = -1;
        while (t.elapsed() < 20000) {
            const double now = t.nsecsElapsed() / 1e6;
            if (video ? Lit() : m_playing.load()) {
                ms = now;
                break;
            }
            if (m_vlc.over()) break;
            ProcessEventsFor1Ms();
        }
        m_vlc.stop();
        m_window.repaint();  // black again: the X server keeps the last picture where VLC's window was
        return ms;
    }

private:
    static void Playing(const libvlc_event_t*, void* self) { static_cast<DrawingVlc*>(self)->m_playing = true; }
    bool Lit() const {
        const int w = m_window.width();
        const QImage row = m_window.screen()->grabWindow(m_window.winId(), 0, m_window.height() / 2, w, 1).toImage();
        int lit = 0;
        for (int x = 0; x < row.width(); x += 16)
            if (qGray(row.pixel(x, 0)) > 40) ++lit;
        return lit > w / 64;
    }

    QWidget m_window;
    std::atomic<bool> m_playing{false};
    VlcPlayer m_vlc;  // goes first, before its window
};

// FFmpeg alone: open, probe with `probeBytes`, and decode the first frame of the stream's video
// (or audio). Milliseconds, or -1 when the probe did not find the stream or nothing decoded.
double FfmpegFirstFrame(const QString& url, bool video, int64_t probeBytes) {
    const QByteArray address = url.toUtf8();
    QElapsedTimer t;
    t.start();
    AVFormatContext* format = avformat_alloc_context();
    format->probesize = probeBytes;
    format->max_analyze_duration = 0;
    if (avformat_open_input(&format, address.constData(), nullptr, nullptr) < 0) return -1;
    double ms = -1;
    const AVMediaType type = video ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
    const AVCodec* codec = nullptr;
    AVCodecContext* decoder = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const int index =
        avformat_find_stream_info(format, nullptr) < 0 ? -1 : av_find_best_stream(format, type, -1, -1, &codec, 0);
    if (index >= 0 && codec && (decoder = avcodec_alloc_context3(codec)) &&
        avcodec_parameters_to_context(decoder, format->streams[index]->codecpar) >= 0 &&
        (!video || format->streams[index]->codecpar->width > 0) && avcodec_open2(decoder, codec, nullptr) >= 0) {
        while (ms < 0 && av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == index && avcodec_send_packet(decoder, packet) >= 0 &&
                avcodec_receive_frame(decoder, frame) >= 0)
                ms = t.nsecsElapsed() / 1e6;
            av_packet_unref(packet);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return ms;
}

// The smallest probe (from 4 KiB, doubling) with which FFmpeg finds and decodes the stream.
int64_t SmallestProbe(const QString& url, bool video) {
    for (int64_t probe = 4096; probe <= (int64_t{8} << 20); probe *= 2)
        if (FfmpegFirstFrame(url, video, probe) >= 0) return probe;
    return int64_t{5} << 20;  // FFmpeg's default
}

// The pane from its URL to "playing" (the player's playback start): like for like with the
// warm handle.
double PaneToPlaying(PlayerPane& pane, const QString& url) {
    pane.stop();
    WaitFor([] { return false; }, 50);
    PlayingClock t(pane);
    pane.setUrl(url);
    WaitFor([&] { return t.at() >= 0; }, 20000);
    return t.at();
}

// A click on a row of the window's list, as a hand makes it: the pointer comes to rest on the
// row `restMs` before the press (0: it lands and presses at once, as a touch does), the release
// follows 100 ms after the press; then the wait for the first picture (or playback, for sound).
// Milliseconds from the press, or -1.
double PressZap(Form1& form, int row, bool video, int restMs) {
    PlayerPane& pane = *form.WindowsMediaPlayer1;
    pane.stop();
    pane.prepare({});  // nothing left prepared by the zap before
    ListView& list = *form.ListView1;
    QTest::mouseMove(form.cmdTV, QPoint(2, 2));  // off the list
    WaitFor([] { return false; }, 50);
    const QPoint at = list.visualRect(list.model()->index(row, 0)).center();  // the rows as shown
    if (restMs > 0) {
        QTest::mouseMove(list.viewport(), at);
        WaitFor([] { return false; }, restMs);
    }
    PlayingClock t(pane);
    QTest::mousePress(list.viewport(), Qt::LeftButton, {}, at);
    // The picture may come while the button is still down: it counts from then.
    double ms = -1;
    bool released = false;
    while (t.elapsed() < 20000 && (ms < 0 || !released)) {
        ProcessEventsFor1Ms();
        if (ms < 0) ms = Arrived(t, pane, video);
        if (!released && t.elapsed() >= 100) {
            QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, at);
            released = true;
        }
    }
    return ms;
}

// A zap by the keyboard, as a user zapping on does: the channel one row above (below, for the
// first row) plays, chosen by a key zap the same way, and has played for a second, the keys at
// rest; then Down (Up) is pressed once over the list. Milliseconds from the key press to the
// first picture (or playback), or -1.
double KeyZap(Form1& form, int row, bool video) {
    PlayerPane& pane = *form.WindowsMediaPlayer1;
    pane.stop();
    pane.prepare({});
    ListView& list = *form.ListView1;
    const int step = row > 0 ? 1 : -1;
    const int from = row - step;
    const Qt::Key key = step > 0 ? Qt::Key_Down : Qt::Key_Up;
    list.setFocus();
    const bool byKey = from - step >= 0 && from - step < list.rowCount();
    list.selectRow(byKey ? from - step : from);  // where none is beside it, Enter plays it
    WaitFor([] { return false; }, Form1::kZapPauseMs + 50);
    {
        PlayingClock before(pane);
        QTest::keyClick(list.viewport(), byKey ? key : Qt::Key_Return);
        if (WaitArrival(before, pane, video) < 0) return -1;
    }
    WaitFor([] { return false; }, 1000);
    PlayingClock t(pane);
    QTest::keyClick(list.viewport(), key);
    // The next kind of zap follows at once: the channel before may still be closing (a live HLS
    // stream waiting for its next playlist takes up to about 100 ms to let go), as when a user
    // zaps on quickly.
    return WaitArrival(t, pane, video);
}

// An address handed to the window as the command line, the desktop's media controls or a
// second start hand it over: nothing was prepared for it. Milliseconds from the hand-over.
double HandedOverZap(Form1& form, const QString& url, bool video) {
    PlayerPane& pane = *form.WindowsMediaPlayer1;
    pane.stop();
    pane.prepare({});
    WaitFor([] { return false; }, 50);
    PlayingClock t(pane);
    form.PlayAddress(url);
    const double ms = WaitArrival(t, pane, video);
    return ms;
}

// Frames the pane dropped (decoder and display) in the first `seconds` of a channel touched in
// the list, from the press; -1 if it did not play.
double PaneDropsOver(Form1& form, int row, int seconds) {
    PlayerPane& pane = *form.WindowsMediaPlayer1;
    if (PressZap(form, row, true, 0) < 0) return -1;
    WaitFor([] { return false; }, seconds * 1000);
    if (pane.playState() != QLatin1String("playing")) return -1;
    return static_cast<double>(pane.streamFacts().droppedFrames);
}

// Each peer in a process of its own, as it runs for its users: the memory one player's streams
// churn then meets no other player's next open (the pane's process holds the pane alone). The
// bench's own program, started with --peer <kind> <width> <height>, makes one player and answers
// each request, a line on its input, with a line "= <numbers>" on its output.
class PeerProcess {
public:
    PeerProcess(const char* kind, QSize size) {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--peer"), QString::fromLatin1(kind), QString::number(size.width()),
                         QString::number(size.height())});
        m_process.waitForStarted();
    }
    ~PeerProcess() {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000)) m_process.kill();
        m_process.waitForFinished();
    }
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    // Milliseconds to the first picture (or sound), or -1; `steady`, when given, gets the draw
    // times of the frames after the first (players that draw through libmpv).
    double zap(const QString& url, bool video, std::vector<double>* steady = nullptr) {
        const std::vector<double> answer = ask("zap", video, steady ? 1 : 0, url);
        if (answer.empty()) return -1;
        if (steady) steady->insert(steady->end(), answer.begin() + 1, answer.end());
        return answer.front();
    }
    double dropsOver(const QString& url, int seconds) { return first(ask("drops", true, seconds, url)); }
    double floor(const QString& url, bool video, int64_t probe) {
        return first(ask("floor", video, static_cast<double>(probe), url));
    }
    int64_t smallestProbe(const QString& url, bool video) {
        const double bytes = first(ask("probe", video, 0, url));
        return bytes > 0 ? static_cast<int64_t>(bytes) : int64_t{5} << 20;
    }

private:
    static double first(const std::vector<double>& answer) { return answer.empty() ? -1 : answer.front(); }
    std::vector<double> ask(const char* verb, bool video, double number, const QString& url) {
        m_process.write(QStringLiteral("%1 %2 %3 %4\n")
                            .arg(QLatin1String(verb))
                            .arg(video ? 1 : 0)
                            .arg(number, 0, 'f', 0)
                            .arg(url)
                            .toUtf8());
        m_process.waitForBytesWritten();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 60000) {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                if (!line.startsWith("= ")) continue;  // a library's own words
                std::vector<double> numbers;
                for (const QByteArray& n : line.mid(2).split(' '))
                    if (!n.isEmpty()) numbers.push_back(n.toDouble());
                return numbers;
            }
            if (m_process.state() != QProcess::Running) break;
            m_process.waitForReadyRead(1000);
        }
        return {};
    }
    QProcess m_process;
};

// The peer's side: one player of `kind` (mpv, mpv-tuned, vlc, vlc-tuned: drawing; warm-mpv,
// warm-vlc: drawing nothing; ffmpeg: FFmpeg's bare open) answering requests until its input ends.
int PeerMain(int argc, char** argv) {
    if (argc < 5) return 2;
    bench::GuiBench gui(argc, argv, 0);  // the pane's process start: only the player differs
    const std::string kind = argv[2];
    const QSize size(std::atoi(argv[3]), std::atoi(argv[4]));
    avformat_network_init();
    av_log_set_level(AV_LOG_QUIET);
    std::unique_ptr<DrawingMpv> drawingMpv;
    std::unique_ptr<DrawingVlc> drawingVlc;
    std::unique_ptr<WarmMpv> warmMpv;
    std::unique_ptr<WarmVlc> warmVlc;
    if (kind == "mpv" || kind == "mpv-tuned") drawingMpv = std::make_unique<DrawingMpv>(size, kind == "mpv-tuned");
    if (kind == "vlc" || kind == "vlc-tuned") drawingVlc = std::make_unique<DrawingVlc>(size, kind == "vlc-tuned");
    if (kind == "warm-mpv") warmMpv = std::make_unique<WarmMpv>();
    if (kind == "warm-vlc") warmVlc = std::make_unique<WarmVlc>();
    char verb[16];
    int video = 0;
    double number = 0;
    char address[4096];
    while (std::scanf("%15s %d %lf %4095s", verb, &video, &number, address) == 4) {
        const QString url = QString::fromUtf8(address);
        const std::string what = verb;
        std::vector<double> answer;
        if (what == "zap") {
            std::vector<double> steady;
            answer.push_back(drawingMpv   ? drawingMpv->zap(url, video != 0, number > 0 ? &steady : nullptr)
                             : drawingVlc ? drawingVlc->zap(url, video != 0)
                             : warmMpv    ? warmMpv->zap(url)
                             : warmVlc    ? warmVlc->zap(url, video != 0)
                                          : -1);
            answer.insert(answer.end(), steady.begin(), steady.end());
        } else if (what == "drops") {
            answer.push_back(drawingMpv ? drawingMpv->dropsOver(url, static_cast<int>(number)) : -1);
        } else if (what == "floor") {
            answer.push_back(FfmpegFirstFrame(url, video != 0, static_cast<int64_t>(number)));
        } else if (what == "probe") {
            answer.push_back(static_cast<double>(SmallestProbe(url, video != 0)));
        }
        std::printf("=");
        for (const double n : answer) std::printf(" %.3f", n);
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

// How long a hand's pointer rests on a row before it presses: the time the row is prepared in.
constexpr int kRestMs = 300;

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--peer") return PeerMain(argc, argv);
    bench::GuiBench gui(argc, argv, 7);
    const int repeats = gui.repeats();

    QTemporaryDir dir;
    const QString d = dir.path();
    const QStringList src =
        QString::fromLatin1(
            "-f lavfi -i testsrc=size=1280x720:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 "
            "-t 30")
            .split(QLatin1Char(' '));
    Ffmpeg(src +
           QString::fromLatin1("-c:v mpeg2video -q:v 4 -g 12 -c:a mp2 -f mpegts ")
               .split(QLatin1Char(' '), Qt::SkipEmptyParts) +
           QStringList{d + QStringLiteral("/zap.ts")});
    QDir().mkpath(d + QStringLiteral("/hls"));
    Ffmpeg(src +
           QString::fromLatin1("-c:v mpeg2video -q:v 4 -g 25 -c:a mp2 -f hls -hls_time 2 -hls_list_size 0")
               .split(QLatin1Char(' ')) +
           QStringList{d + QStringLiteral("/hls/index.m3u8")});
    Ffmpeg(QString::fromLatin1("-f lavfi -i sine=frequency=440:sample_rate=44100 -t 30 -c:a libmp3lame -b:a 128k")
               .split(QLatin1Char(' ')) +
           QStringList{d + QStringLiteral("/zap.mp3")});
    // What most channels send today: H.264 and AAC, a keyframe every 2 s; and AAC radio.
    const QString h264 = QStringLiteral(
        "-c:v libx264 -preset ultrafast -g 50 -keyint_min 50 -sc_threshold 0 "
        "-pix_fmt yuv420p -c:a aac -b:a 128k");
    Ffmpeg(src + h264.split(QLatin1Char(' ')) +
           QStringList{QStringLiteral("-f"), QStringLiteral("mpegts"), d + QStringLiteral("/zap264.ts")});
    Ffmpeg(QString::fromLatin1("-f lavfi -i sine=frequency=440:sample_rate=44100 -t 30 -c:a aac -b:a 64k -f adts")
               .split(QLatin1Char(' ')) +
           QStringList{d + QStringLiteral("/zap.aac")});
    // A live HLS channel: five minutes cut into 2 s segments.
    QDir().mkpath(d + QStringLiteral("/live"));
    Ffmpeg(QString::fromLatin1("-f lavfi -i testsrc=size=1280x720:rate=25 -f lavfi -i "
                               "sine=frequency=440:sample_rate=48000 -t 300")
               .split(QLatin1Char(' ')) +
           h264.split(QLatin1Char(' ')) +
           QStringList{QStringLiteral("-f"), QStringLiteral("hls"), QStringLiteral("-hls_time"), QStringLiteral("2"),
                       QStringLiteral("-hls_list_size"), QStringLiteral("0"), QStringLiteral("-hls_segment_filename"),
                       d + QStringLiteral("/live/s%03d.ts"), d + QStringLiteral("/live/full.m3u8")});
    // The same channel cut into 6 s segments (three keyframes each), as many live channels send.
    QDir().mkpath(d + QStringLiteral("/live6"));
    Ffmpeg({QStringLiteral("-i"), d + QStringLiteral("/live/full.m3u8"), QStringLiteral("-c"), QStringLiteral("copy"),
            QStringLiteral("-f"), QStringLiteral("hls"), QStringLiteral("-hls_time"), QStringLiteral("6"),
            QStringLiteral("-hls_list_size"), QStringLiteral("0"), QStringLiteral("-hls_segment_filename"),
            d + QStringLiteral("/live6/s%03d.ts"), d + QStringLiteral("/live6/full.m3u8")});
    // A live channel's segments, (EXTINF line, file name), and their length.
    struct Live {
        std::string folder;
        int seconds;
        std::vector<std::pair<std::string, std::string>> segments;
    };
    std::vector<Live> lives = {{"live", 2, {}}, {"live6", 6, {}}};
    for (Live& live : lives) {
        const QString folder = d + QLatin1Char('/') + QString::fromStdString(live.folder);
        std::string extinf;
        for (const QString& line :
             QString::fromStdString(Read(folder + QStringLiteral("/full.m3u8"))).split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("#EXTINF"))) extinf = line.toStdString();
            if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
                live.segments.emplace_back(extinf, line.toStdString());
        }
    }

    TinyHttp server;
    server.route("/zap.ts", 200, Read(d + QStringLiteral("/zap.ts")), "video/mp2t");
    server.route("/zap264.ts", 200, Read(d + QStringLiteral("/zap264.ts")), "video/mp2t");
    // Radio as stations send it: no length, a burst on connect, now-playing titles (ICY).
    server.radio("/zap.mp3", Read(d + QStringLiteral("/zap.mp3")), "audio/mpeg", "Bench Artist - Bench Song");
    server.radio("/zap.aac", Read(d + QStringLiteral("/zap.aac")), "audio/aac", "Bench Artist - Bench Song");
    for (const QString& f : QDir(d + QStringLiteral("/hls")).entryList(QDir::Files))
        server.route("/hls/" + f.toStdString(), 200, Read(d + QStringLiteral("/hls/") + f),
                     f.endsWith(QLatin1String(".m3u8")) ? "application/vnd.apple.mpegurl" : "video/mp2t");
    for (const Live& live : lives)
        for (const auto& segment : live.segments)
            server.route("/" + live.folder + "/" + segment.second, 200,
                         Read(d + QLatin1Char('/') + QString::fromStdString(live.folder + "/" + segment.second)),
                         "video/mp2t");
    // Each live playlist shows the newest three segments, one more every segment's length (a
    // sliding window, no end).
    std::atomic<bool> liveEnds{false};
    std::thread liveWindow([&] {
        const auto start = std::chrono::steady_clock::now();
        while (!liveEnds) {
            const auto seconds =
                std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
            for (const Live& live : lives) {
                if (live.segments.size() < 3) continue;
                const std::size_t newest = std::min(live.segments.size() - 1,
                                                    std::size_t{2} + static_cast<std::size_t>(seconds / live.seconds));
                const std::size_t first = newest - 2;
                std::string playlist =
                    "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:" + std::to_string(live.seconds) +
                    "\n#EXT-X-MEDIA-SEQUENCE:" + std::to_string(first) + "\n";
                for (std::size_t i = first; i <= newest; ++i)
                    playlist += live.segments[i].first + "\n" + live.segments[i].second + "\n";
                server.route("/" + live.folder + "/index.m3u8", 200, playlist, "application/vnd.apple.mpegurl");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    const auto direct = [&](const char* path) { return QString::fromStdString(server.url(path)); };

    struct Stream {
        const char* name;
        QString url;
        bool video;
        bool far = false;  // through the relay that stands for a far server
    };
    // Every stream on plain loopback and through a relay that makes a 40 ms round trip.
    bench::LatencyProxy link(server.port(), std::chrono::milliseconds(20));
    const auto via = [&](const QString& path) {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(link.port()).arg(path);
    };
    const std::vector<Stream> streams = {
        {"MPEG-TS, MPEG-2", direct("/zap.ts"), true},
        {"MPEG-TS, H.264 + AAC", direct("/zap264.ts"), true},
        {"HLS VOD, MPEG-2", direct("/hls/index.m3u8"), true},
        {"HLS live, H.264 + AAC, 2 s segments", direct("/live/index.m3u8"), true},
        {"HLS live, H.264 + AAC, 6 s segments", direct("/live6/index.m3u8"), true},
        {"MP3 radio, ICY titles", direct("/zap.mp3"), false},
        {"AAC radio, ICY titles", direct("/zap.aac"), false},
        {"MPEG-TS, MPEG-2, over 40 ms RTT", via(QStringLiteral("/zap.ts")), true, true},
        {"MPEG-TS, H.264 + AAC, over 40 ms RTT", via(QStringLiteral("/zap264.ts")), true, true},
        {"HLS VOD, MPEG-2, over 40 ms RTT", via(QStringLiteral("/hls/index.m3u8")), true, true},
        {"HLS live, H.264 + AAC, 2 s segments, over 40 ms RTT", via(QStringLiteral("/live/index.m3u8")), true, true},
        {"HLS live, H.264 + AAC, 6 s segments, over 40 ms RTT", via(QStringLiteral("/live6/index.m3u8")), true, true},
        {"MP3 radio, ICY titles, over 40 ms RTT", via(QStringLiteral("/zap.mp3")), false, true},
        {"AAC radio, ICY titles, over 40 ms RTT", via(QStringLiteral("/zap.aac")), false, true}};

    // The main window, its list a row per stream, as a user sees it (nothing kept for going back:
    // every zap here is a first one).
    modPrivateLabel::LoadPrivateLabel();
    ScopedProgramFolder program;
    ScopedConfigHome home;
    std::string catalogue;
    for (const Stream& s : streams)
        catalogue::AppendEncodedLine(catalogue, s.name, s.url.toStdString(), "TV", "English");
    program.folder().write("Data.txt", catalogue);
    Form1 form;
    form.Form_Load();
    form.resize(1024, 640);
    form.show();
    PlayerPane& pane = *form.WindowsMediaPlayer1;
    pane.setKeepLastChannel(false);
    const auto rowOf = [&](const char* name) {
        for (int i = 0; i < form.ListView1->rowCount(); ++i)
            if (form.ListView1->row(i).name == name) return i;
        return -1;
    };

    // The command-line player's own start and exit, on a source that needs no network.
    std::vector<double> floor_ms;
    for (int i = 0; i < repeats; ++i)
        floor_ms.push_back(CliZap(QStringLiteral("av://lavfi:testsrc=size=1280x720"), true));
    const Stats floor = Summarise(floor_ms);

    bench::Row("mpv command line, start and exit on a local source", floor, "", {}, "", true);
    PeerProcess warm("warm-mpv", pane.size()), vlc("warm-vlc", pane.size()), ffmpeg("ffmpeg", pane.size());
    PeerProcess drawingMpv("mpv", pane.size()), tunedMpv("mpv-tuned", pane.size());
    PeerProcess drawingVlc("vlc", pane.size()), tunedVlc("vlc-tuned", pane.size());
    // ZAP_BENCH_ONLY=<part of a stream's name> measures only those streams.
    const QString only = qEnvironmentVariable("ZAP_BENCH_ONLY");
    std::map<std::string, double> nearLimit;  // a loopback stream's limit, by its name
    const std::string farSuffix = ", over 40 ms RTT";
    constexpr double kRtt = 40;
    double steadyDraw = 0;
    double farFloor = -1;  // the cold limit of H.264 in MPEG-TS over the link, this round
    for (const Stream& s : streams) {
        if (!only.isEmpty() && !QString::fromLatin1(s.name).contains(only)) continue;
        const int64_t probe = ffmpeg.smallestProbe(s.url, s.video);
        // The pane prepares no server on this machine (its connection costs less than the
        // relay's hop), but the link's relay on 127.0.0.1 stands for a server 40 ms away.
        PlayerPane::SetPrepareNearServersForTests(s.far);
        const int row = rowOf(s.name);
        int prepared = 0, keyPrepared = 0;  // zaps that went through their preparation
        std::vector<double> press_ms, touch_ms, key_ms, handed_ms, playing_ms, warm_ms, vlc_ms, dmpv_ms, dvlc_ms,
            tmpv_ms, tvlc_ms, floor_ms, cli_ms, ffplay_ms, steady_ms;
        std::map<const std::vector<double>*, int> failed;  // zaps that brought no picture, by row
        const auto keep = [&](std::vector<double>& into, double ms) {
            if (ms >= 0)
                into.push_back(ms);
            else
                ++failed[&into];
        };
        if (s.video && !s.far) drawingMpv.zap(s.url, true, &steady_ms);  // a steady frame's draw
        // The four kinds of zap take turns at coming first in a round: the first after the
        // other players of the round meets the process's memory as they left it, which no kind
        // alone is to pay for.
        const std::function<void()> kinds[] = {[&] {
                                                   keep(press_ms, PressZap(form, row, s.video, kRestMs));
                                                   prepared += pane.openedPrepared() ? 1 : 0;
                                               },
                                               [&] { keep(touch_ms, PressZap(form, row, s.video, 0)); },
                                               [&] {
                                                   keep(key_ms, KeyZap(form, row, s.video));
                                                   keyPrepared += pane.openedPrepared() ? 1 : 0;
                                               },
                                               [&] { keep(handed_ms, HandedOverZap(form, s.url, s.video)); }};
        constexpr int kKinds = static_cast<int>(std::size(kinds));
        for (int i = 0; i < repeats; ++i) {
            for (int k = 0; k < kKinds; ++k) kinds[(i + k) % kKinds]();
            keep(playing_ms, PaneToPlaying(pane, s.url));
            pane.stop();
            keep(dmpv_ms, drawingMpv.zap(s.url, s.video));
            keep(dvlc_ms, drawingVlc.zap(s.url, s.video));
            keep(tmpv_ms, tunedMpv.zap(s.url, s.video));
            keep(tvlc_ms, tunedVlc.zap(s.url, s.video));
            keep(warm_ms, warm.zap(s.url, s.video));
            keep(vlc_ms, vlc.zap(s.url, s.video));
            keep(floor_ms, ffmpeg.floor(s.url, s.video, probe));
            keep(cli_ms, CliZap(s.url, s.video));
            keep(ffplay_ms, FfplayStart(s.url));
        }
        const Stats touch = Summarise(touch_ms), key = Summarise(key_ms), playing = Summarise(playing_ms),
                    w = Summarise(warm_ms), v = Summarise(vlc_ms), dm = Summarise(dmpv_ms), dv = Summarise(dvlc_ms),
                    tm = Summarise(tmpv_ms), tv = Summarise(tvlc_ms), f = Summarise(floor_ms), c = Summarise(cli_ms),
                    ff = Summarise(ffplay_ms);
        if (!steady_ms.empty()) steadyDraw = Summarise(steady_ms).median;
        const std::string name = s.name;
        const std::string first = s.video ? "first frame" : "first audio";
        // The limit by the connection state a zap really had. Cold: FFmpeg's open, smallest probe
        // and first frame on this machine (over the link, measured in the same round), plus one
        // steady draw of a frame at the pane's size. An open connection to a warm server (the
        // pane keeps the server of what it played warm) saves the connect: one round trip less.
        // Prepared (the pointer at rest, or the keys): the loopback limit and one round trip.
        const double draw = s.video ? steadyDraw : 0;
        double limitPrepared = -1, limitWarm = -1, limitCold = -1;
        if (!s.far && f.valid()) {
            limitPrepared = limitWarm = limitCold = f.median + draw;
            nearLimit[name] = limitCold;
        } else if (s.far && f.valid() && nearLimit.count(name.substr(0, name.size() - farSuffix.size()))) {
            const double nearOne = nearLimit[name.substr(0, name.size() - farSuffix.size())];
            limitCold = f.median + draw;
            limitWarm = std::max(nearOne, limitCold - kRtt);
            limitPrepared = std::min(limitWarm, nearOne + kRtt);
        }
        if (s.far && name.find("H.264") != std::string::npos && name.rfind("MPEG-TS", 0) == 0) farFloor = limitCold;
        // The fastest peer that draws, stock or tuned.
        const std::pair<const Stats*, const char*> peers[] = {{&dm, "libmpv drawing, stock"},
                                                              {&dv, "libVLC drawing, stock"},
                                                              {&tm, "libmpv drawing, tuned"},
                                                              {&tv, "libVLC drawing, tuned"}};
        const Stats* fastest = nullptr;
        std::string peerName = "no peer drew";
        for (const auto& [stats, label] : peers)
            if (stats->valid() && (!fastest || stats->median < fastest->median)) {
                fastest = stats;
                peerName = std::string(label) + " (the fastest drawing peer)";
            }
        const Stats peer = fastest ? *fastest : Stats{};
        const double peerGoal = s.far ? 0.7 : 1.0, limitGoal = s.far ? 1.25 : 1.6;
        const auto counted = [&](const std::vector<double>& zaps) {
            return " [" + std::to_string(zaps.size()) + " counted, " + std::to_string(failed[&zaps]) + " failed]";
        };
        const auto goalRow = [&](const std::string& what, const std::vector<double>& zaps, double limit,
                                 const char* state) {
            const Stats ours = Summarise(zaps);
            char budget[200];
            const double toLimit = ours.valid() && limit > 0 ? ours.median / limit : 0;
            std::snprintf(budget, sizeof budget, "<= %.1fx peer; %.2fx the %s limit %.1f ms (<= %.2fx)", peerGoal,
                          toLimit, state, limit, limitGoal);
            bench::Row("Zap, " + name + ": " + what + counted(zaps), ours, peerName, peer, budget,
                       ours.valid() && peer.valid() && limit > 0 && ours.median <= peerGoal * peer.median &&
                           toLimit <= limitGoal && failed[&zaps] == 0);
        };
        goalRow("press to " + first + ", pointer at rest " + std::to_string(kRestMs) + " ms before (" +
                    std::to_string(prepared) + " of " + std::to_string(repeats) + " prepared)",
                press_ms, prepared == repeats ? limitPrepared : limitWarm, prepared == repeats ? "prepared" : "warm");
        goalRow("press to " + first + ", a touch (no rest before)", touch_ms, limitWarm, "warm-server");
        goalRow("Down to " + first + " from the channel playing above it, from the key press, keys at rest (" +
                    std::to_string(keyPrepared) + " of " + std::to_string(repeats) + " prepared)",
                key_ms, keyPrepared == repeats ? limitPrepared : limitWarm,
                keyPrepared == repeats ? "prepared" : "warm");
        goalRow("an address handed over (command line, media controls, a second start) to " + first, handed_ms,
                limitWarm, "warm-server");
        if (touch.valid() && key.valid())
            bench::Row("  Down from the key press against the touch, " + name, key, "the touch", touch,
                       "<= touch + 20 ms", key.median <= touch.median + 20);
        bench::Row("  limit, " + name + ": FFmpeg open+probe (" + std::to_string(probe / 1024) + " KiB)+" + first +
                       (s.video ? " + one steady draw " + bench::Format(steadyDraw, "ms") : std::string()) +
                       (s.far ? " + round trips, prepared / cold (" + bench::Format(limitCold, "ms") + ")" : ""),
                   Stats{limitPrepared, limitPrepared, limitPrepared}, "", {}, "", true);
        bench::Row("  peer: libmpv drawing (render API, OpenGL), stock options, load to " + first + ", " + name, dm, "",
                   {}, "", true);
        bench::Row("  peer: libVLC drawing (X11 window), stock options, play to " + first + ", " + name, dv, "", {}, "",
                   true);
        bench::Row(
            "  peer: libmpv drawing, low-latency profile, no cache, first draw at once, " + name + counted(tmpv_ms), tm,
            "", {}, "", true);
        bench::Row("  peer: libVLC drawing, network and live caching 50 ms, " + name + counted(tvlc_ms), tv, "", {}, "",
                   true);
        bench::Row("  floor: FFmpeg open+probe+" + first + ", " + name, f, "", {}, "", true);
        bench::Row("  ours: URL to playing (like for like with the warm libmpv handle), " + name, playing, "", {}, "",
                   true);
        bench::Row("  context: warm libmpv, no picture, load to playback start, " + name, w, "", {}, "", true);
        bench::Row("  context: warm libVLC, pictures to callbacks, play to " + first + ", " + name, v, "", {}, "",
                   true);
        bench::Row("  context: mpv command line, " + name, c, "", {}, "", true);
        bench::Row("  context: ffplay -nodisp, first 40 ms, " + name, ff, "", {}, "", true);
    }

    // A server never used before: every zap through a relay of its own, made for it (a new port:
    // no connection, preparation or warmth of it is held anywhere), for the pane and each peer.
    // Its limit is the cold one: FFmpeg's own open over the link, measured this round.
    if (farFloor > 0) {
        PlayerPane::SetPrepareNearServersForTests(true);
        std::vector<double> ours, peerMs[4];
        int oursFailed = 0, peerFailed[4] = {};
        const auto fresh = [&] {
            return std::make_unique<bench::LatencyProxy>(server.port(), std::chrono::milliseconds(20));
        };
        const auto address = [](const bench::LatencyProxy& relay) {
            return QStringLiteral("http://127.0.0.1:%1/zap264.ts").arg(relay.port());
        };
        // The pane and the four peers take turns at coming first in a round (see the zaps above).
        for (int i = 0; i < repeats; ++i) {
            for (int k = 0; k < 5; ++k) {
                const int p = (i + k) % 5 - 1;  // -1: the pane
                const auto relay = fresh();
                const QString url = address(*relay);
                if (p < 0) {
                    const double ms = HandedOverZap(form, url, true);
                    pane.stop();
                    WaitFor([&] { return false; }, 200);
                    ms >= 0 ? ours.push_back(ms) : void(++oursFailed);
                    continue;
                }
                const double ms = p == 0   ? drawingMpv.zap(url, true)
                                  : p == 1 ? drawingVlc.zap(url, true)
                                  : p == 2 ? tunedMpv.zap(url, true)
                                           : tunedVlc.zap(url, true);
                ms >= 0 ? peerMs[p].push_back(ms) : void(++peerFailed[p]);
            }
        }
        const char* names[] = {"libmpv drawing, stock", "libVLC drawing, stock", "libmpv drawing, tuned",
                               "libVLC drawing, tuned"};
        int best = -1;
        for (int p = 0; p < 4; ++p)
            if (!peerMs[p].empty() && (best < 0 || Summarise(peerMs[p]).median < Summarise(peerMs[best]).median))
                best = p;
        const Stats o = Summarise(ours);
        const Stats peer = best >= 0 ? Summarise(peerMs[best]) : Stats{};
        char budget[200];
        std::snprintf(budget, sizeof budget, "<= 1.0x peer; %.2fx the cold limit %.1f ms (<= 1.25x)",
                      o.valid() ? o.median / farFloor : 0, farFloor);
        bench::Row(
            "Zap to a server never used before (H.264 in MPEG-TS, 40 ms RTT), handed over [" +
                std::to_string(ours.size()) + " counted, " + std::to_string(oursFailed) + " failed]",
            o, best >= 0 ? std::string(names[best]) + " (the fastest drawing peer)" : "no peer drew", peer, budget,
            o.valid() && peer.valid() && oursFailed == 0 && o.median <= peer.median && o.median <= 1.25 * farFloor);
        for (int p = 0; p < 4; ++p)
            bench::Row(std::string("  peer: ") + names[p] + ", a server never used before [" +
                           std::to_string(peerMs[p].size()) + " counted, " + std::to_string(peerFailed[p]) + " failed]",
                       Summarise(peerMs[p]), "", {}, "", true);
    }

    // No stutter after a fast start: frames dropped in the first 10 s of a live channel, the
    // pane against the stock and the tuned libmpv drawing the same channel.
    if (const char* live = "HLS live, H.264 + AAC, 2 s segments";
        only.isEmpty() || QString::fromLatin1(live).contains(only)) {
        const auto it =
            std::find_if(streams.begin(), streams.end(), [&](const Stream& s) { return std::string(s.name) == live; });
        std::vector<double> paneDrops, stockDrops, tunedDrops;
        const auto keep = [](std::vector<double>& into, double n) {
            if (n >= 0) into.push_back(n);  // a channel that did not play counts nothing
        };
        for (int i = 0; it != streams.end() && i < std::min(repeats, 3); ++i) {
            keep(paneDrops, PaneDropsOver(form, rowOf(live), 10));
            pane.stop();
            keep(stockDrops, drawingMpv.dropsOver(it->url, 10));
            keep(tunedDrops, tunedMpv.dropsOver(it->url, 10));
        }
        const Stats p = Summarise(paneDrops), stock = Summarise(stockDrops);
        bench::Row(std::string("Frames dropped in the first 10 s of a live channel, ") + live, p,
                   "libmpv drawing, stock", stock, "<= the stock player's",
                   p.valid() && stock.valid() && p.max <= stock.max, "frames");
        bench::Row(std::string("  peer: libmpv drawing, low-latency profile, no cache, frames dropped, ") + live,
                   Summarise(tunedDrops), "", {}, "", true, "frames");
    }

    // The last channel: back to the channel played before (kept paused) until its picture is on
    // screen, zapping between the two MPEG-TS streams.
    pane.setKeepLastChannel(true);
    {
        std::vector<double> back;
        pane.setUrl(streams[1].url);
        WaitFor([&] { return ShowsPicture(pane); }, 20000);
        for (int i = 0; i < repeats * 2; ++i) {
            const QString& to = streams[i % 2].url;
            QElapsedTimer t;
            t.start();
            pane.setUrl(to);
            double ms = -1;
            if (WaitFor(
                    [&] {
                        const double now = t.nsecsElapsed() / 1e6;
                        if (pane.playState() == QLatin1String("playing") && ShowsPicture(pane)) ms = now;
                        return ms >= 0;
                    },
                    20000) &&
                i > 0)
                back.push_back(ms);
            WaitFor([] { return false; }, 300);  // it plays a moment
        }
        const Stats b = Summarise(back);
        bench::Row("Last channel (Backspace): to its picture", b, "one steady draw",
                   Stats{steadyDraw, steadyDraw, steadyDraw}, "<= 50 ms", b.valid() && b.median <= 50);
    }

    // Zap after zap: channels in a row in the same pane, the first ten against the last ten
    // (single zaps vary with where the stream's first picture falls; medians of ten do not).
    std::vector<double> run;
    for (int i = 0; i < 40; ++i) run.push_back(PaneZap(pane, streams[i % 2].url, true));
    const Stats early = Summarise(std::vector<double>(run.begin() + 1, run.begin() + 11));
    const Stats late = Summarise(std::vector<double>(run.end() - 10, run.end()));
    bench::Row("Zap after zap, 40 in a row: the last ten", late, "zaps 2 to 11", early, "no growth (<= 1.25x + 5 ms)",
               late.median <= 1.25 * early.median + 5);
    pane.close();
    liveEnds = true;
    liveWindow.join();
    return 0;
}
