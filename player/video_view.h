#pragma once
// Where the player's picture is drawn: through mpv's OpenGL render API into a QOpenGLWidget on
// real displays, or through its software render API into an image on the offscreen and
// minimal platforms (where QOpenGLWidget cannot run), so that tests see real frames too.
//
// The view shows mpv's picture only while the pane says so. Otherwise it shows a backdrop:
// black, with a heading and a line under it when the pane has something to say ("Connecting
// to …"), or a quiet gradient behind the channel's name while a stream without a picture plays.
#include <QImage>
#include <QOpenGLWidget>
#include <QString>
#include <QWidget>

struct mpv_handle;
struct mpv_render_context;
class QPainter;

class VideoView {
public:
    enum class Backdrop { Black, Audio };

    virtual ~VideoView() = default;
    virtual QWidget* widget() = 0;
    virtual QImage grabFrame() = 0;  // the view as shown now

    // Whether a frame has been drawn since the picture was last shown.
    bool hasFrame() const { return m_pictureShown && m_frameSeen; }
    bool pictureShown() const { return m_pictureShown; }
    quint64 framesShown() const { return m_frames; }  // new frames drawn while the picture shows
    // Shows mpv's picture from its next frame on; until then the backdrop (or a held picture).
    // `drawnSinceFileStart`: a frame that mpv drew since markFileStart() counts as the first
    // (mpv may draw a new file's first frame just before it says that playback started).
    void showPicture(bool drawnSinceFileStart = false);
    void markFileStart() { m_updatesSinceFileStart = 0; }
    // Keeps the picture on screen, as it is, until a new frame replaces it, it is dropped or
    // hidden. Frames count as new only once the picture is shown again.
    void holdPicture();
    void dropHeldPicture();
    // Shows the backdrop instead of the picture.
    void hidePicture();
    // What the backdrop says; empty texts leave it plain black.
    void setBackdrop(Backdrop kind, const QString& heading, const QString& detail);

    // The software renderer on platforms without a real display, OpenGL elsewhere.
    static VideoView* Create(mpv_handle* mpv, QWidget* parent);

protected:
    void paintBackdrop(QPainter& painter, const QRect& area) const;
    void frameArrived();
    // Whether mpv's picture is what the view paints now (a new frame, or one held).
    bool paintsPicture() const { return m_holding || (m_pictureShown && m_frameSeen); }

private:
    bool m_pictureShown = false;
    bool m_frameSeen = false;
    bool m_holding = false;
    quint64 m_frames = 0;
    quint64 m_updatesSinceFileStart = 0;
    Backdrop m_kind = Backdrop::Black;
    QString m_heading, m_detail;
};

class GlVideoView : public QOpenGLWidget, public VideoView {
    Q_OBJECT
public:
    GlVideoView(mpv_handle* mpv, QWidget* parent);
    ~GlVideoView() override;
    QWidget* widget() override { return this; }
    QImage grabFrame() override { return grabFramebuffer(); }

protected:
    void initializeGL() override;
    void paintGL() override;

private slots:
    void onMpvUpdate();

private:
    void releaseRenderer();

    mpv_handle* m_mpv;
    mpv_render_context* m_render = nullptr;
};

class SwVideoView : public QWidget, public VideoView {
    Q_OBJECT
public:
    SwVideoView(mpv_handle* mpv, QWidget* parent);
    ~SwVideoView() override;
    QWidget* widget() override { return this; }
    QImage grabFrame() override { return grab().toImage(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void onMpvUpdate();

private:
    void renderFrame();

    mpv_render_context* m_render = nullptr;
    QImage m_image;
};
