#include "widgets/logo_icons.h"

#include <QBuffer>
#include <QFutureWatcher>
#include <QImage>
#include <QImageReader>
#include <QPixmap>

#include "services/logo_cache.h"
#include "widgets/background.h"

namespace {

struct Decoded {
    QString key;
    std::string address;
    QImage image;  // null when the logo cannot be had
};

// The logo's picture, scaled down to an icon; the picture's size is read before any pixel, so a
// huge picture costs nothing.
QImage Decode(const std::string& bytes, int pixels = LogoIcons::kIconPixels) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > LogoIcons::kMaxPixels || size.height() > LogoIcons::kMaxPixels) return {};
    if (size.width() > pixels || size.height() > pixels)
        reader.setScaledSize(size.scaled(pixels, pixels, Qt::KeepAspectRatio));
    return reader.read();
}

// The icons' own threads: as many as fetches run at once.
QThreadPool* LogoPool() {
    static QThreadPool* const pool = [] {
        auto* made = new QThreadPool;  // for the program's life
        made->setMaxThreadCount(LogoIcons::kParallel);
        return made;
    }();
    return pool;
}

}  // namespace

QString LogoIcons::keyOf(const std::string& address, logo_cache::Origin origin) {
    // A logo refused to a far list may still be had for the user's own.
    return (origin == logo_cache::Origin::Far ? QStringLiteral("far ") : QString()) + QString::fromStdString(address);
}

LogoIcons::LogoIcons(QObject* parent)
    : QObject(parent), m_icons(kMaxKeptBytes), m_cancel(std::make_shared<std::atomic<bool>>(false)) {}

LogoIcons::~LogoIcons() { *m_cancel = true; }  // fetches under way end; their results go nowhere

QIcon LogoIcons::icon(const std::string& address, logo_cache::Origin origin) {
    if (!logo_cache::Fetchable(address)) return {};
    const QString key = keyOf(address, origin);
    if (const QIcon* kept = m_icons.object(key)) return *kept;
    if (m_failed.contains(key)) return {};
    if (!m_pending.contains(key)) {
        m_pending.insert(key);
        m_queue.emplace_back(address, origin);
        while (m_queue.size() > kMaxQueued) {
            m_pending.remove(keyOf(m_queue.front().first, m_queue.front().second));
            m_queue.pop_front();
        }
        startNext();
    }
    return {};
}

void LogoIcons::startNext() {
    while (m_running < kParallel && !m_queue.empty()) {
        auto [address, origin] = std::move(m_queue.back());  // the newest: rows on screen now
        m_queue.pop_back();
        ++m_running;
        auto* watcher = new QFutureWatcher<Decoded>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
            watcher->deleteLater();
            --m_running;
            const Decoded done = watcher->result();
            const QString& key = done.key;
            m_pending.remove(key);
            if (done.image.isNull()) {
                m_failed.insert(key);
            } else {
                const qsizetype bytes = done.image.sizeInBytes();
                m_icons.insert(key, new QIcon(QPixmap::fromImage(done.image)),
                               static_cast<qsizetype>(std::max<qsizetype>(bytes, 1)));
                emit ready();
            }
            startNext();
        });
        watcher->setFuture(RunInPool<Decoded>(
            LogoPool(), [key = keyOf(address, origin), address = address, origin = origin, cancel = m_cancel]() {
                Decoded out{key, address, {}};
                if (const auto bytes = logo_cache::Get(address, cancel.get(), origin)) out.image = Decode(*bytes);
                return out;
            }));
    }
}

void LogoIcons::picture(const std::string& address, int pixels, logo_cache::Origin origin) {
    if (!logo_cache::Fetchable(address)) {
        emit pictureReady(QString::fromStdString(address), {});
        return;
    }
    auto* watcher = new QFutureWatcher<Decoded>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        const Decoded done = watcher->result();
        emit pictureReady(QString::fromStdString(done.address), done.image);
    });
    watcher->setFuture(RunInBackground<Decoded>([address, pixels, origin, cancel = m_cancel]() {
        Decoded out{{}, address, {}};
        if (const auto bytes = logo_cache::Get(address, cancel.get(), origin)) out.image = Decode(*bytes, pixels);
        return out;
    }));
}
