#include "player/video_view.h"

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <QGuiApplication>
#include <QLinearGradient>
#include <QMetaObject>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QPainter>

namespace {

void* GetProcAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(QByteArray(name))) : nullptr;
}

}  // namespace

VideoView* VideoView::Create(QWidget* parent) {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return new SwVideoView(parent);
    return new GlVideoView(parent);
}

void VideoView::QueueUpdate(void* context) {
    // Called on one of mpv's threads: only queue the drawing on the GUI thread. A call still
    // queued when the view goes is dropped with it.
    auto* source = static_cast<Source*>(context);
    VideoView* view = source->view;
    const int index = source->index;
    QMetaObject::invokeMethod(
        view->widget(), [view, index] { view->sourceUpdated(index); }, Qt::QueuedConnection);
}

bool VideoView::attach(mpv_handle* mpv) {
    if (!mpv) return false;
    for (int i = 0; i < kMaxSources; ++i) {
        if (m_sources[i].mpv) continue;
        m_sources[i] = Source{this, i, mpv, nullptr, 0};
        createRenderer(m_sources[i]);  // may wait for the view's first showing (OpenGL)
        if (m_current < 0) m_current = i;
        return true;
    }
    return false;
}

void VideoView::detach(mpv_handle* mpv) {
    for (int i = 0; i < kMaxSources; ++i) {
        if (!mpv || m_sources[i].mpv != mpv) continue;
        freeRenderer(m_sources[i]);
        m_sources[i] = Source{};
        if (m_held == i) m_held = -1;
        if (m_current == i) m_current = -1;
        widget()->update();
    }
}

void VideoView::setCurrent(mpv_handle* mpv) {
    for (int i = 0; i < kMaxSources; ++i) {
        if (!mpv || m_sources[i].mpv != mpv || i == m_current) continue;
        m_current = i;
        m_sources[i].updatesSinceFileStart = 0;
        // What showed before stays only as a held picture.
        m_pictureShown = false;
        m_frameSeen = false;
        widget()->update();
    }
}

VideoView::Source* VideoView::paintedSource() {
    if (m_held >= 0) return &m_sources[m_held];
    return currentSource();
}

void VideoView::sourceUpdated(int index) {
    Source& source = m_sources[index];
    if (!source.render || !(mpv_render_context_update(source.render) & MPV_RENDER_UPDATE_FRAME)) return;
    if (index == m_current) {
        ++source.updatesSinceFileStart;
        frameArrived();
    }
    if (&source == paintedSource() && paintsPicture())
        refreshPicture(true);
    else
        renderOffScreen(source);  // not on screen: drawn all the same, so that mpv never waits
}

void VideoView::showPicture(bool drawnSinceFileStart) {
    m_pictureShown = true;
    m_frameSeen = false;
    const Source* current = currentSource();
    if (drawnSinceFileStart && current && current->updatesSinceFileStart > 0) frameArrived();
    refreshPicture(false);
}

void VideoView::showPictureNow() {
    m_pictureShown = true;
    m_frameSeen = false;
    frameArrived();
    refreshPicture(false);
}

void VideoView::holdPicture() {
    const Source* painted = paintsPicture() ? paintedSource() : nullptr;
    m_held = painted ? painted->index : -1;
    m_pictureShown = false;
    m_frameSeen = false;
}

void VideoView::dropHeldPicture() {
    if (m_held < 0) return;
    m_held = -1;
    widget()->update();
}

void VideoView::hidePicture() {
    m_pictureShown = false;
    m_frameSeen = false;
    m_held = -1;
    widget()->update();
}

void VideoView::frameArrived() {
    if (!m_pictureShown) return;
    ++m_frames;
    m_frameSeen = true;
    m_held = -1;
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

GlVideoView::GlVideoView(QWidget* parent) : QOpenGLWidget(parent) {}

GlVideoView::~GlVideoView() {
    // The base class destroys the context after this: this object must not hear of it then.
    if (context()) disconnect(context(), nullptr, this, nullptr);
    releaseRenderers();
}

void GlVideoView::releaseRenderers() {
    if (!context()) return;
    for (int i = 0; i < kMaxSources; ++i) freeRenderer(sources()[i]);
    makeCurrent();
    delete m_scratch;
    m_scratch = nullptr;
    doneCurrent();
}

void GlVideoView::initializeGL() {
    // Should the context go (the view moved to another window), the renderers go with it
    // and are made again here. (Full screen keeps the view in its window for this reason:
    // mpv ends its video output with the renderer.)
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &GlVideoView::releaseRenderers, Qt::UniqueConnection);
    for (int i = 0; i < kMaxSources; ++i) {
        Source& source = sources()[i];
        if (source.mpv && !source.render) createRenderer(source);
    }
}

bool GlVideoView::createRenderer(Source& source) {
    // Made in the view's context, so only once the view has one (its first showing).
    if (source.render || !context()) return source.render != nullptr;
    const bool wasCurrent = QOpenGLContext::currentContext() == context();
    if (!wasCurrent) makeCurrent();
    mpv_opengl_init_params gl{GetProcAddress, nullptr};
    int advanced = 1;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
                                 {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
                                 {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advanced},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&source.render, source.mpv, params) < 0)
        source.render = nullptr;
    else
        mpv_render_context_set_update_callback(source.render, QueueUpdate, &source);
    if (!wasCurrent) doneCurrent();
    return source.render != nullptr;
}

void GlVideoView::freeRenderer(Source& source) {
    if (!source.render) return;
    makeCurrent();
    mpv_render_context_free(source.render);
    source.render = nullptr;
    doneCurrent();
}

void GlVideoView::renderOffScreen(Source& source) {
    // Only to let mpv go on: a small target, never shown.
    if (!source.render || !context()) return;
    makeCurrent();
    if (!m_scratch) m_scratch = new QOpenGLFramebufferObject(64, 36);
    mpv_opengl_fbo fbo{static_cast<int>(m_scratch->handle()), m_scratch->width(), m_scratch->height(), 0};
    int block = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(source.render, params);
    doneCurrent();
}

void GlVideoView::paintGL() {
    Source* source = paintedSource();
    if (!paintsPicture() || !source || !source->render) {
        // The backdrop, never what the framebuffer held before (the last channel's picture).
        QOpenGLFunctions* gl = context()->functions();
        gl->glClearColor(0, 0, 0, 1);
        gl->glClear(GL_COLOR_BUFFER_BIT);
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
    mpv_render_context_render(source->render, params);
}

// ---- Software ----------------------------------------------------------------------------

SwVideoView::SwVideoView(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

SwVideoView::~SwVideoView() {
    for (int i = 0; i < kMaxSources; ++i) freeRenderer(sources()[i]);
}

bool SwVideoView::createRenderer(Source& source) {
    if (source.render) return true;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&source.render, source.mpv, params) < 0) {
        source.render = nullptr;
        return false;
    }
    mpv_render_context_set_update_callback(source.render, QueueUpdate, &source);
    return true;
}

void SwVideoView::freeRenderer(Source& source) {
    if (source.render) mpv_render_context_free(source.render);
    source.render = nullptr;
    if (m_imageFrom == source.index) m_imageFrom = -1;
}

void SwVideoView::Render(mpv_render_context* render, QImage& image) {
    int sizeWH[2] = {image.width(), image.height()};
    std::size_t stride = static_cast<std::size_t>(image.bytesPerLine());
    // Drawn now, never held until the frame's display time: this runs on the GUI thread.
    int block = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, sizeWH},
                                 {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("rgb0")},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, image.bits()},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(render, params);
}

void SwVideoView::renderOffScreen(Source& source) {
    if (!source.render) return;
    if (&source == currentSource() && width() > 0 && height() > 0) {
        drawPicture(source);  // the current handle's frames go to the picture, ready for when it shows
        return;
    }
    if (m_scratch.isNull()) m_scratch = QImage(64, 36, QImage::Format_RGBX8888);
    Render(source.render, m_scratch);
}

void SwVideoView::refreshPicture(bool newFrame) {
    // The painted handle's frame drawn into the picture, unless the picture holds it already.
    Source* source = paintedSource();
    if (source && source->render && width() > 0 && height() > 0 &&
        (newFrame || m_imageFrom != source->index || m_image.size() != size()))
        drawPicture(*source);
    update();
}

void SwVideoView::drawPicture(const Source& source) {
    if (m_image.size() != size()) m_image = QImage(size(), QImage::Format_RGBX8888);
    Render(source.render, m_image);
    m_imageFrom = source.index;
}

void SwVideoView::resizeEvent(QResizeEvent*) {
    if (paintsPicture()) refreshPicture(false);
}

void SwVideoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (paintsPicture() && !m_image.isNull())
        painter.drawImage(rect(), m_image);
    else
        paintBackdrop(painter, rect());
}
