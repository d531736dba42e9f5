#include "player/video_view.h"

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <QGuiApplication>
#include <QLinearGradient>
#include <QMetaObject>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>

namespace {

void QueueUpdate(void* context) {
    // Called on one of mpv's threads.
    QMetaObject::invokeMethod(static_cast<QObject*>(context), "onMpvUpdate", Qt::QueuedConnection);
}

void* GetProcAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(QByteArray(name))) : nullptr;
}

}  // namespace

VideoView* VideoView::Create(mpv_handle* mpv, QWidget* parent) {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return new SwVideoView(mpv, parent);
    return new GlVideoView(mpv, parent);
}

void VideoView::showPicture(bool drawnSinceFileStart) {
    m_pictureShown = true;
    m_frameSeen = false;
    if (drawnSinceFileStart && m_updatesSinceFileStart > 0) frameArrived();
    widget()->update();
}

void VideoView::holdPicture() {
    m_holding = paintsPicture();
    m_pictureShown = false;
    m_frameSeen = false;
}

void VideoView::dropHeldPicture() {
    if (!m_holding) return;
    m_holding = false;
    widget()->update();
}

void VideoView::hidePicture() {
    m_pictureShown = false;
    m_frameSeen = false;
    m_holding = false;
    widget()->update();
}

void VideoView::frameArrived() {
    ++m_updatesSinceFileStart;
    if (!m_pictureShown) return;
    ++m_frames;
    m_frameSeen = true;
    m_holding = false;
}

void VideoView::setBackdrop(Backdrop kind, const QString& heading, const QString& detail) {
    if (kind == m_kind && heading == m_heading && detail == m_detail) return;
    m_kind = kind;
    m_heading = heading;
    m_detail = detail;
    if (!m_pictureShown) widget()->update();
}

void VideoView::paintBackdrop(QPainter& painter, const QRect& area) const {
    if (m_kind == Backdrop::Audio) {
        // A quiet field for sound without a picture: a dark gradient, nothing that moves.
        QLinearGradient fade(area.topLeft(), area.bottomLeft());
        fade.setColorAt(0, QColor(28, 32, 40));
        fade.setColorAt(1, QColor(6, 8, 12));
        painter.fillRect(area, fade);
    } else {
        painter.fillRect(area, Qt::black);
    }
    if (m_heading.isEmpty() && m_detail.isEmpty()) return;
    QFont heading = painter.font();
    heading.setPointSizeF(heading.pointSizeF() * (m_kind == Backdrop::Audio ? 1.8 : 1.3));
    heading.setBold(m_kind == Backdrop::Audio);
    const QRect upper(area.left() + 12, area.top(), area.width() - 24, area.height() / 2 - 4);
    const QRect lower(area.left() + 12, area.top() + area.height() / 2 + 4, area.width() - 24, area.height() / 2 - 4);
    painter.setFont(heading);
    painter.setPen(QColor(225, 225, 225));
    painter.drawText(upper, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap, m_heading);
    QFont detail = painter.font();
    detail.setBold(false);
    detail.setPointSizeF(heading.pointSizeF() / (m_kind == Backdrop::Audio ? 1.5 : 1.2));
    painter.setFont(detail);
    painter.setPen(QColor(160, 160, 160));
    painter.drawText(lower, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_detail);
}

// ---- OpenGL ------------------------------------------------------------------------------

GlVideoView::GlVideoView(mpv_handle* mpv, QWidget* parent) : QOpenGLWidget(parent), m_mpv(mpv) {}

GlVideoView::~GlVideoView() {
    // The base class destroys the context after this: this object must not hear of it then.
    if (context()) disconnect(context(), nullptr, this, nullptr);
    releaseRenderer();
}

void GlVideoView::releaseRenderer() {
    if (!m_render) return;
    makeCurrent();
    mpv_render_context_free(m_render);
    m_render = nullptr;
    doneCurrent();
}

void GlVideoView::initializeGL() {
    // Should the context go (the view moved to another window), the renderer goes with it
    // and is made again here. (Full screen keeps the view in its window for this reason:
    // mpv ends its video output with the renderer.)
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &GlVideoView::releaseRenderer, Qt::UniqueConnection);
    if (!m_mpv || m_render) return;
    mpv_opengl_init_params gl{GetProcAddress, nullptr};
    int advanced = 1;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
                                 {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
                                 {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&m_render, m_mpv, params) < 0) {
        m_render = nullptr;
        return;
    }
    mpv_render_context_set_update_callback(m_render, QueueUpdate, this);
}

void GlVideoView::paintGL() {
    if (!paintsPicture() || !m_render) {
        // The backdrop, never what the framebuffer held before (the last channel's picture).
        QOpenGLFunctions* gl = context()->functions();
        gl->glClearColor(0, 0, 0, 1);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        if (getenv("NOBACKDROP")) return;
        QPainter painter(this);
        paintBackdrop(painter, rect());
        return;
    }
    const qreal ratio = devicePixelRatioF();
    mpv_opengl_fbo fbo{static_cast<int>(defaultFramebufferObject()), static_cast<int>(width() * ratio),
                       static_cast<int>(height() * ratio), 0};
    int flip = 1;
    int block = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(m_render, params);
}

void GlVideoView::onMpvUpdate() {
    if (!m_render) return;
    if (mpv_render_context_update(m_render) & MPV_RENDER_UPDATE_FRAME) {
        frameArrived();
        update();
    }
}

// ---- Software ----------------------------------------------------------------------------

SwVideoView::SwVideoView(mpv_handle* mpv, QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (!mpv) return;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&m_render, mpv, params) < 0) {
        m_render = nullptr;
        return;
    }
    mpv_render_context_set_update_callback(m_render, QueueUpdate, this);
}

SwVideoView::~SwVideoView() {
    if (m_render) mpv_render_context_free(m_render);
}

void SwVideoView::renderFrame() {
    if (!m_render || width() <= 0 || height() <= 0) return;
    if (m_image.size() != size()) m_image = QImage(size(), QImage::Format_RGBX8888);
    int sizeWH[2] = {m_image.width(), m_image.height()};
    std::size_t stride = static_cast<std::size_t>(m_image.bytesPerLine());
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, sizeWH},
                                 {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("rgb0")},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, m_image.bits()},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(m_render, params);
}

void SwVideoView::onMpvUpdate() {
    if (!m_render) return;
    if (mpv_render_context_update(m_render) & MPV_RENDER_UPDATE_FRAME) {
        // Rendered even while the backdrop shows, so that mpv never waits for its frame.
        renderFrame();
        frameArrived();
        update();
    }
}

void SwVideoView::resizeEvent(QResizeEvent*) {
    if (paintsPicture()) renderFrame();
}

void SwVideoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (paintsPicture() && !m_image.isNull())
        painter.drawImage(rect(), m_image);
    else
        paintBackdrop(painter, rect());
}
