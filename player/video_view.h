#pragma once
// Where the player's picture is drawn: through mpv's OpenGL render API into a QOpenGLWidget on
// real displays, or through its software render API into an image on the offscreen and
// minimal platforms (where QOpenGLWidget cannot run), so that tests see real frames too.
#include <QImage>
#include <QOpenGLWidget>
#include <QWidget>

struct mpv_handle;
struct mpv_render_context;

class VideoView {
public:
    virtual ~VideoView() = default;
    virtual QWidget* widget() = 0;
    virtual QImage grabFrame() = 0;  // the picture as shown now
    virtual bool hasFrame() const = 0;
    virtual void clearFrame() = 0;

    // The software renderer on platforms without a real display, OpenGL elsewhere.
    static VideoView* Create(mpv_handle* mpv, QWidget* parent);
};

class GlVideoView : public QOpenGLWidget, public VideoView {
    Q_OBJECT
public:
    GlVideoView(mpv_handle* mpv, QWidget* parent);
    ~GlVideoView() override;
    QWidget* widget() override { return this; }
    QImage grabFrame() override { return grabFramebuffer(); }
    bool hasFrame() const override { return m_hasFrame; }
    void clearFrame() override;

protected:
    void initializeGL() override;
    void paintGL() override;

private slots:
    void onMpvUpdate();

private:
    mpv_handle* m_mpv;
    mpv_render_context* m_render = nullptr;
    bool m_hasFrame = false;
};

class SwVideoView : public QWidget, public VideoView {
    Q_OBJECT
public:
    SwVideoView(mpv_handle* mpv, QWidget* parent);
    ~SwVideoView() override;
    QWidget* widget() override { return this; }
    QImage grabFrame() override { return m_image; }
    bool hasFrame() const override { return m_hasFrame; }
    void clearFrame() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void onMpvUpdate();

private:
    void renderFrame();

    mpv_render_context* m_render = nullptr;
    QImage m_image;
    bool m_hasFrame = false;
};
