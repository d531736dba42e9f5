#include "player/video_view.h"

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <QGuiApplication>
#include <QMetaObject>
#include <QOpenGLContext>
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

// ---- OpenGL ------------------------------------------------------------------------------

GlVideoView::GlVideoView(mpv_handle* mpv, QWidget* parent) : QOpenGLWidget(parent), m_mpv(mpv) {}

GlVideoView::~GlVideoView() {
    if (!m_render) return;
    makeCurrent();
    mpv_render_context_free(m_render);
    doneCurrent();
}

void GlVideoView::initializeGL() {
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
    if (!m_render) return;
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
        m_hasFrame = true;
        update();
    }
}

void GlVideoView::clearFrame() {
    m_hasFrame = false;
    update();
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
    if (mpv_render_context_render(m_render, params) >= 0) m_hasFrame = true;
}

void SwVideoView::onMpvUpdate() {
    if (!m_render) return;
    if (mpv_render_context_update(m_render) & MPV_RENDER_UPDATE_FRAME) {
        renderFrame();
        update();
    }
}

void SwVideoView::resizeEvent(QResizeEvent*) {
    if (m_hasFrame) renderFrame();
}

void SwVideoView::clearFrame() {
    m_hasFrame = false;
    m_image = QImage();
    update();
}

void SwVideoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_hasFrame && !m_image.isNull())
        painter.drawImage(rect(), m_image);
    else
        painter.fillRect(rect(), Qt::black);
}
