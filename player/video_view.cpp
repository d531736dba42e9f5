#include "player/video_view.h"

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMetaObject>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QOpenGLTexture>
#include <QOpenGLTextureBlitter>
#include <QPainter>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

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
        redraw();
    }
}

void VideoView::setCurrent(mpv_handle* mpv) {
    for (int i = 0; i < kMaxSources; ++i) {
        if (!mpv || m_sources[i].mpv != mpv || i == m_current) continue;
        m_current = i;
        m_sources[i].updatesSinceFileStart = 0;
        m_sources[i].fileStarted = false;
        // What showed before stays only as a held picture.
        m_pictureShown = false;
        m_frameSeen = false;
        redraw();
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
        if (m_awaiting && source.fileStarted) {
            m_awaiting = false;
            m_pictureShown = true;
        }
        frameArrived();
    }
    if (&source == paintedSource() && paintsPicture())
        refreshPicture(true);
    else
        renderOffScreen(source);  // not on screen: drawn all the same, so that mpv never waits
}

void VideoView::showPicture(bool drawnSinceFileStart) {
    m_awaiting = false;
    m_pictureShown = true;
    m_frameSeen = false;
    const Source* current = currentSource();
    if (drawnSinceFileStart && current && current->updatesSinceFileStart > 0) frameArrived();
    // A frame mpv has already drawn goes on screen now, not on the next turn of the event loop.
    refreshPicture(m_frameSeen);
}

void VideoView::showPictureNow() {
    m_awaiting = false;
    m_pictureShown = true;
    m_frameSeen = false;
    frameArrived();
    refreshPicture(true);
}

void VideoView::awaitPicture() {
    m_awaiting = true;
    if (Source* current = currentSource()) current->fileStarted = false;
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
    redraw();
}

void VideoView::hidePicture() {
    m_awaiting = false;
    m_pictureShown = false;
    m_frameSeen = false;
    m_held = -1;
    redraw();
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
    ++m_backdropVersion;
    if (!paintsPicture()) redraw();  // unseen behind a picture, held or shown
}

void VideoView::setBackdropPicture(const QImage& picture) {
    if (picture.isNull() && m_picture.isNull()) return;
    m_picture = picture;
    ++m_backdropVersion;
    if (!paintsPicture()) redraw();
}

void VideoView::setOnScreen(const OnScreen& onScreen) {
    if (onScreen.version() == m_onScreen.version() && onScreen.kind() == m_onScreen.kind()) return;
    m_onScreen = onScreen;
    redraw();
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
    if (m_kind == Backdrop::Audio && !m_picture.isNull()) {
        // The logo above the name, as large as the room there allows and never enlarged.
        const int textHeight =
            painter.fontMetrics().boundingRect(upper, Qt::AlignHCenter | Qt::TextWordWrap, m_heading).height();
        const int room = std::min(upper.height() - textHeight - 12, upper.width());
        if (room >= 16) {
            QSize size = m_picture.size();
            if (size.width() > room || size.height() > room) size.scale(room, room, Qt::KeepAspectRatio);
            const QRect place(upper.center().x() - size.width() / 2, upper.bottom() - textHeight - 8 - size.height(),
                              size.width(), size.height());
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(place, m_picture);
        }
    }
    QFont detail = painter.font();
    detail.setBold(false);
    detail.setPointSizeF(heading.pointSizeF() / (m_kind == Backdrop::Audio ? 1.5 : 1.2));
    painter.setFont(detail);
    painter.setPen(QColor(160, 160, 160));
    painter.drawText(lower, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_detail);
}

// ---- OpenGL ------------------------------------------------------------------------------

// The native window the picture is drawn in. It takes no keyboard focus (the pane keeps the
// keys), and hands what the mouse does on it to the view, as if it had happened there, so the
// pane's double-click, context menu and pointer handling stay as they are.
class GlVideoView::Surface : public QWindow {
public:
    explicit Surface(GlVideoView* view) : m_view(view) {
        setSurfaceType(QSurface::OpenGLSurface);
        setFlag(Qt::WindowDoesNotAcceptFocus);
    }

protected:
    void exposeEvent(QExposeEvent*) override {
        if (m_view) m_view->surfaceExposed();
    }
    void resizeEvent(QResizeEvent*) override {
        if (m_view) m_view->redraw();  // once with the expose that usually comes with it
    }
    bool event(QEvent* event) override {
        if (!m_view) return QWindow::event(event);
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel: {
                // The event itself, not a copy: a copy would count as another press of the
                // pointer and spoil the next double-click. Its positions hold in the view too,
                // which the window fills.
                QCoreApplication::sendEvent(m_view, event);
#ifdef Q_OS_WIN
                const QEvent::Type menuOn = QEvent::MouseButtonRelease;
#else
                const QEvent::Type menuOn = QEvent::MouseButtonPress;
#endif
                const auto* mouse = static_cast<QMouseEvent*>(event);
                if (event->type() == menuOn && mouse->button() == Qt::RightButton) {
                    QContextMenuEvent menu(QContextMenuEvent::Mouse, mouse->position().toPoint(),
                                           mouse->globalPosition().toPoint(), mouse->modifiers());
                    QCoreApplication::sendEvent(m_view, &menu);
                }
                return true;
            }
            default: return QWindow::event(event);
        }
    }

private:
    friend class GlVideoView;
    GlVideoView* m_view;
};

GlVideoView::GlVideoView(QWidget* parent) : QWidget(parent), m_surface(new Surface(this)) {
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    m_container = QWidget::createWindowContainer(m_surface, this);
    m_container->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_container);
}

GlVideoView::~GlVideoView() {
    if (m_context && makeCurrent()) {
        for (int i = 0; i < kMaxSources; ++i) freeRenderer(sources()[i]);
        delete m_scratch;
        m_scratch = nullptr;
        m_backdrop.reset();
        m_onScreenTexture.reset();
        m_blitter.reset();
        m_context->doneCurrent();
    }
    // The window goes now, while this view is whole: it may still hear of its own hiding.
    m_surface->m_view = nullptr;
    delete m_container;
}

QWindow* GlVideoView::surface() const { return m_surface; }

bool GlVideoView::makeCurrent() {
    if (!m_context) return false;
    if (m_surface->handle()) return m_context->makeCurrent(m_surface);
    // The native window is gone (its window was closed before this view goes): the renderers
    // are freed in the context all the same, on a surface of its own.
    if (!m_fallback) {
        m_fallback = std::make_unique<QOffscreenSurface>();
        m_fallback->setFormat(m_context->format());
        m_fallback->create();
    }
    return m_context->makeCurrent(m_fallback.get());
}

void GlVideoView::surfaceExposed() {
    if (!m_surface->isExposed()) return;
    if (!m_context) {
        // Made at the first showing: a native window exists only from then.
        auto context = std::make_unique<QOpenGLContext>();
        context->setFormat(m_surface->requestedFormat());
        if (!context->create()) return;
        m_context = std::move(context);
        for (int i = 0; i < kMaxSources; ++i) {
            Source& source = sources()[i];
            if (source.mpv && !source.render) createRenderer(source);
        }
    }
    drawNow();
}

bool GlVideoView::event(QEvent* event) {
    // The pointer's shape is the native window's to show (hidden in full screen).
    if (event->type() == QEvent::CursorChange) {
        if (testAttribute(Qt::WA_SetCursor))
            m_surface->setCursor(cursor());
        else
            m_surface->unsetCursor();
    }
    return QWidget::event(event);
}

bool GlVideoView::createRenderer(Source& source) {
    // Made in the view's context, so only once the view has one (its first showing).
    if (source.render || !makeCurrent()) return source.render != nullptr;
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
    return source.render != nullptr;
}

void GlVideoView::freeRenderer(Source& source) {
    if (!source.render) return;
    makeCurrent();
    mpv_render_context_free(source.render);
    source.render = nullptr;
}

void GlVideoView::renderOffScreen(Source& source) {
    // Only to let mpv go on: a small target, never shown.
    if (!source.render || !makeCurrent()) return;
    if (!m_scratch) m_scratch = new QOpenGLFramebufferObject(64, 36);
    mpv_opengl_fbo fbo{static_cast<int>(m_scratch->handle()), m_scratch->width(), m_scratch->height(), 0};
    int block = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(source.render, params);
}

void GlVideoView::refreshPicture(bool newFrame) {
    if (!newFrame) {
        redraw();
        return;
    }
    // A new frame goes on screen at once; with the window not on screen (hidden, minimised) it
    // is drawn off screen, so that mpv goes on.
    if (m_surface->isExposed())
        drawNow();
    else if (Source* source = paintedSource())
        renderOffScreen(*source);
}

void GlVideoView::redraw() {
    // Once for everything that changed in one turn of the event loop.
    if (m_drawQueued) return;
    m_drawQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_drawQueued = false;
            drawNow();
        },
        Qt::QueuedConnection);
}

void GlVideoView::drawNow() {
    if (!m_surface->isExposed() || !makeCurrent()) return;
    const qreal ratio = m_surface->devicePixelRatio();
    draw(m_context->defaultFramebufferObject(), m_surface->size() * ratio);
    // (No report of the swap to mpv: it would pace its frames by it, and a display without
    // vertical sync, as Xvfb is, made it hold the first frame of a stream for 200 ms.)
    m_context->swapBuffers(m_surface);
}

void GlVideoView::draw(unsigned fbo, const QSize& pixels) {
    QOpenGLFunctions* gl = m_context->functions();
    Source* source = paintedSource();
    if (!paintsPicture() || !source || !source->render) {
        // The backdrop, never what the framebuffer held before (the last channel's picture).
        gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        gl->glViewport(0, 0, pixels.width(), pixels.height());
        drawBackdrop(pixels);
        drawOnScreen(pixels);
        return;
    }
    mpv_opengl_fbo target{static_cast<int>(fbo), pixels.width(), pixels.height(), 0};
    int flip = 1;
    int block = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(source->render, params);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    gl->glViewport(0, 0, pixels.width(), pixels.height());
    drawOnScreen(pixels);
}

void GlVideoView::drawOnScreen(const QSize& pixels) {
    if (onScreen().isEmpty()) return;
    const qreal ratio = m_surface->devicePixelRatio();
    const QRect area(QPoint(), m_surface->size());
    const QRect place = onScreen().place(area);
    if (place.isEmpty()) return;
    const QRect placePixels(QPoint(qRound(place.left() * ratio), qRound(place.top() * ratio)),
                            (QSizeF(place.size()) * ratio).toSize());
    if (!m_onScreenTexture || m_onScreenDrawn != onScreen().version() || m_onScreenPlace != placePixels) {
        // Only the display's own rectangle is painted and uploaded, not the whole view.
        QImage image(placePixels.size(), QImage::Format_RGBA8888_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.translate(-place.topLeft());
            onScreen().paint(painter, area);
        }
        m_onScreenTexture = std::make_unique<QOpenGLTexture>(image, QOpenGLTexture::DontGenerateMipMaps);
        m_onScreenTexture->setMinMagFilters(QOpenGLTexture::Nearest, QOpenGLTexture::Nearest);
        m_onScreenDrawn = onScreen().version();
        m_onScreenPlace = placePixels;
    }
    if (!m_blitter) {
        m_blitter = std::make_unique<QOpenGLTextureBlitter>();
        m_blitter->create();
    }
    QOpenGLFunctions* gl = m_context->functions();
    gl->glEnable(GL_BLEND);
    gl->glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);  // the image is premultiplied
    m_blitter->bind();
    m_blitter->blit(m_onScreenTexture->textureId(),
                    QOpenGLTextureBlitter::targetTransform(placePixels, QRect(QPoint(), pixels)),
                    QOpenGLTextureBlitter::OriginTopLeft);
    m_blitter->release();
    gl->glDisable(GL_BLEND);
}

void GlVideoView::drawBackdrop(const QSize& pixels) {
    if (!m_backdrop || m_backdrop->width() != pixels.width() || m_backdrop->height() != pixels.height() ||
        m_backdropDrawn != backdropVersion()) {
        QImage image(pixels, QImage::Format_RGBA8888_Premultiplied);
        image.setDevicePixelRatio(m_surface->devicePixelRatio());
        {
            QPainter painter(&image);
            paintBackdrop(painter, QRect(QPoint(), m_surface->size()));
        }
        m_backdrop = std::make_unique<QOpenGLTexture>(image, QOpenGLTexture::DontGenerateMipMaps);
        m_backdrop->setMinMagFilters(QOpenGLTexture::Nearest, QOpenGLTexture::Nearest);
        m_backdropDrawn = backdropVersion();
    }
    if (!m_blitter) {
        m_blitter = std::make_unique<QOpenGLTextureBlitter>();
        m_blitter->create();
    }
    m_context->functions()->glDisable(GL_BLEND);
    const QRect area(QPoint(), pixels);
    m_blitter->bind();
    m_blitter->blit(m_backdrop->textureId(), QOpenGLTextureBlitter::targetTransform(area, area),
                    QOpenGLTextureBlitter::OriginTopLeft);
    m_blitter->release();
}

QImage GlVideoView::grabFrame() {
    // What the window shows, drawn once more into an image.
    if (!m_surface->isExposed() || !makeCurrent()) return {};
    const qreal ratio = m_surface->devicePixelRatio();
    QOpenGLFramebufferObject target(m_surface->size() * ratio);
    target.bind();
    draw(target.handle(), target.size());
    QImage image = target.toImage();
    target.release();
    return image;
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
    onScreen().paint(painter, rect());
}
