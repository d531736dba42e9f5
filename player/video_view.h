#pragma once
// Where the player's picture is drawn: through mpv's OpenGL render API into a native window of
// its own inside the pane on real displays, or through its software render API into an image on
// the offscreen and minimal platforms (where there is no OpenGL window), so that tests see real
// frames too. The native window keeps the picture out of the rest of the window's drawing: the
// list, the buttons and the status are drawn as before, and a change to them never makes the
// picture be composed again (with a QOpenGLWidget, every repaint of the window was composed
// through OpenGL, which costs 10 ms a repaint on a software renderer).
//
// The view shows mpv's picture only while the pane says so. Otherwise it shows a backdrop:
// black, with a heading and a line under it when the pane has something to say ("Connecting
// to …"), or a quiet gradient behind the channel's name while a stream without a picture plays.
//
// It draws for up to two player handles: the current one, and the previous channel's, kept
// paused. While a new channel opens in one handle, the old picture can stay on screen from the
// other; a handle whose picture is not on screen still has its frames drawn (off screen), since
// mpv waits for each frame to be drawn before it goes on.
#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>

#include "player/on_screen.h"

class QWindow;
struct mpv_handle;
struct mpv_render_context;
class QPainter;

class VideoView {
public:
    enum class Backdrop { Black, Audio };
    // The channel, the last one kept, and two spares (idle, or closing what they played).
    static constexpr int kMaxSources = 4;

    virtual ~VideoView() = default;
    virtual QWidget* widget() = 0;
    virtual QImage grabFrame() = 0;  // the view as shown now

    // Draws for this handle from now on (at most kMaxSources); the first one attached is the
    // current one. Detach a handle before it is destroyed.
    bool attach(mpv_handle* mpv);
    void detach(mpv_handle* mpv);
    // The handle whose frames count and show from now on. A held picture stays (from the handle
    // that drew it) until the new one's first frame.
    void setCurrent(mpv_handle* mpv);
    // Shows the current handle's picture at once, from the frame it holds (a paused handle
    // sends no new frame).
    void showPictureNow();

    // Whether a frame has been drawn since the picture was last shown.
    bool hasFrame() const { return m_pictureShown && m_frameSeen; }
    bool pictureShown() const { return m_pictureShown; }
    quint64 framesShown() const { return m_frames; }  // new frames drawn while the picture shows
    // Shows mpv's picture from its next frame on; until then the backdrop (or a held picture).
    // `drawnSinceFileStart`: a frame that mpv drew since markFileStart() counts as the first
    // (mpv may draw a new file's first frame just before it says that playback started).
    void showPicture(bool drawnSinceFileStart = false);
    void markFileStart() {
        if (Source* source = currentSource()) {
            source->updatesSinceFileStart = 0;
            source->fileStarted = true;
        }
    }
    // A new stream opens in the current handle: its first frame goes on screen as it comes (it
    // is the picture the user waits for), without waiting for the pane to hear that playback
    // started. Until then the backdrop or a held picture stays. Showing or hiding the picture
    // ends the wait.
    void awaitPicture();
    // Keeps the picture on screen, as it is, until a new frame replaces it, it is dropped or
    // hidden. Frames count as new only once the picture is shown again.
    void holdPicture();
    void dropHeldPicture();
    // Shows the backdrop instead of the picture.
    void hidePicture();
    // What the backdrop says; empty texts leave it plain black.
    void setBackdrop(Backdrop kind, const QString& heading, const QString& detail);
    // A picture above the heading of the sound backdrop (the channel's logo); null for none.
    void setBackdropPicture(const QImage& picture);
    const QImage& backdropPicture() const { return m_picture; }
    // What stands on the picture (or the backdrop) for a moment: drawn over either.
    void setOnScreen(const OnScreen& onScreen);
    const OnScreen& onScreen() const { return m_onScreen; }

    // The software renderer on platforms without a real display, OpenGL elsewhere.
    static VideoView* Create(QWidget* parent);

protected:
    struct Source {
        VideoView* view = nullptr;
        int index = 0;
        mpv_handle* mpv = nullptr;
        mpv_render_context* render = nullptr;
        quint64 updatesSinceFileStart = 0;
        bool fileStarted = false;  // mpv began a new file since the picture was awaited
    };
    void paintBackdrop(QPainter& painter, const QRect& area) const;
    quint64 backdropVersion() const { return m_backdropVersion; }  // a new one with every change
    // Whether mpv's picture is what the view paints now (a new frame, or one held).
    bool paintsPicture() const { return m_held >= 0 || (m_pictureShown && m_frameSeen); }
    // The handle whose picture is painted: the held one while a picture is held.
    Source* paintedSource();
    Source* currentSource() { return m_current < 0 ? nullptr : &m_sources[m_current]; }
    Source* sources() { return m_sources; }
    // Called on the GUI thread when mpv has something new for a handle's renderer.
    void sourceUpdated(int index);

    // The renderer's part: make and free a handle's render context, draw a frame that is not on
    // screen (so that mpv goes on), and show the painted handle's frame: a new one, or the one it
    // holds (drawn again only where the view does not have it already).
    virtual bool createRenderer(Source& source) = 0;
    virtual void freeRenderer(Source& source) = 0;
    virtual void renderOffScreen(Source& source) = 0;
    virtual void refreshPicture(bool newFrame) = 0;
    // Draws the view again as it stands (the backdrop or the picture).
    virtual void redraw() { widget()->update(); }
    // Tells mpv that a handle has something to draw: its update callback.
    static void QueueUpdate(void* context);

private:
    void frameArrived();

    Source m_sources[kMaxSources];
    int m_current = -1;
    int m_held = -1;  // the handle whose picture is held, while one is
    bool m_pictureShown = false;
    bool m_frameSeen = false;
    bool m_awaiting = false;  // the next file's first frame shows the picture
    quint64 m_frames = 0;
    Backdrop m_kind = Backdrop::Black;
    QString m_heading, m_detail;
    QImage m_picture;
    quint64 m_backdropVersion = 0;
    OnScreen m_onScreen;
};

class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;
class QOpenGLTexture;
class QOpenGLTextureBlitter;

class GlVideoView : public QWidget, public VideoView {
    Q_OBJECT
public:
    explicit GlVideoView(QWidget* parent);
    ~GlVideoView() override;
    QWidget* widget() override { return this; }
    QImage grabFrame() override;
    QWindow* surface() const;  // the native window the picture is drawn in

protected:
    bool event(QEvent* event) override;
    bool createRenderer(Source& source) override;
    void freeRenderer(Source& source) override;
    void renderOffScreen(Source& source) override;
    void refreshPicture(bool newFrame) override;
    void redraw() override;

private:
    class Surface;
    bool makeCurrent();
    void surfaceExposed();
    void drawNow();
    // Draws what the view shows into the framebuffer `fbo` of `pixels`.
    void draw(unsigned fbo, const QSize& pixels);
    // The backdrop, painted (by the CPU, where text is cheap) only when it changed, then copied.
    void drawBackdrop(const QSize& pixels);
    // What stands on the picture, blended over what draw() drew; painted only when it changed.
    void drawOnScreen(const QSize& pixels);

    Surface* m_surface = nullptr;  // owned by its container
    QWidget* m_container = nullptr;
    std::unique_ptr<QOpenGLContext> m_context;
    std::unique_ptr<QOffscreenSurface> m_fallback;  // current while the native window is gone
    QOpenGLFramebufferObject* m_scratch = nullptr;  // where frames not on screen are drawn
    std::unique_ptr<QOpenGLTexture> m_backdrop;
    std::unique_ptr<QOpenGLTextureBlitter> m_blitter;
    quint64 m_backdropDrawn = 0;  // the version of the backdrop in m_backdrop
    std::unique_ptr<QOpenGLTexture> m_onScreenTexture;
    QRect m_onScreenPlace;            // where m_onScreenTexture goes, in pixels
    quint64 m_onScreenDrawn = ~0ULL;  // the version of the display in it
    bool m_drawQueued = false;
};

class SwVideoView : public QWidget, public VideoView {
    Q_OBJECT
public:
    explicit SwVideoView(QWidget* parent);
    ~SwVideoView() override;
    QWidget* widget() override { return this; }
    QImage grabFrame() override { return grab().toImage(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool createRenderer(Source& source) override;
    void freeRenderer(Source& source) override;
    void renderOffScreen(Source& source) override;
    void refreshPicture(bool newFrame) override;

private:
    static void Render(mpv_render_context* render, QImage& image);
    void drawPicture(const Source& source);  // into m_image, at the view's size

    QImage m_image;
    int m_imageFrom = -1;  // the handle whose newest frame m_image holds
    QImage m_scratch;
};
