#include "widgets/banner_pane.h"

#include <QBuffer>
#include <QImageReader>
#include <QScrollBar>

#include "widgets/background.h"
#include "widgets/qt_text.h"
#include "widgets/shell.h"

namespace {

// A fetch on the pool: no event pump there.
QFuture<FetchResult> FetchInBackground(const std::string& address, FetchLimits limits) {
    limits.pumpEvents = false;
    return RunInBackground<FetchResult>([address, limits] { return FetchPageReport(address, limits); });
}

struct FetchedImage {
    bool fetched = false;
    QImage image;
};

}  // namespace

QImage BannerPane::Decode(const std::string& bytes) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The header's size is checked before a pixel is unpacked; the reader's own limit holds
    // for a format whose header does not say.
    reader.setAllocationLimit(static_cast<int>(kMaxImagePixels * 4 >> 20));
    const QSize size = reader.size();
    if (size.isValid() && qint64{size.width()} * size.height() > kMaxImagePixels) return {};
    QImage image = reader.read();
    if (qint64{image.width()} * image.height() > kMaxImagePixels) return {};
    return image;
}

BannerPane::BannerPane(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    setFrameShape(QFrame::NoFrame);
    connect(this, &QTextBrowser::anchorClicked, this, [](const QUrl& url) { shell::Open(url.toString()); });
    connect(&m_page, &QFutureWatcher<FetchResult>::finished, this, [this] {
        m_loading = false;
        const QFuture<FetchResult> done = m_page.future();
        if (done.resultCount() == 0 || done.result().cancelled) return;
        setHtml(ToQt(done.result().body));
        emit loaded();
    });
}

BannerPane::~BannerPane() {
    // A fetch still running on the pool ends with the program's cancel; its result goes nowhere.
    m_page.disconnect();
}

void BannerPane::Navigate(const QString& address) {
    m_address = address;
    m_images.clear();
    m_requested.clear();
    m_decodedBytes = 0;
    m_loading = true;
    m_page.setFuture(FetchInBackground(FromQt(address), FetchLimits{}));
}

QVariant BannerPane::loadResource(int type, const QUrl& name) {
    if (type != QTextDocument::ImageResource) return QTextBrowser::loadResource(type, name);
    const QUrl url = QUrl(m_address).resolved(name);
    if (const auto found = m_images.constFind(url); found != m_images.constEnd()) return *found;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) fetchImage(url);
    return {};  // drawn once it has come
}

void BannerPane::fetchImage(const QUrl& url) {
    if (m_requested.contains(url) || m_requested.size() >= kMaxImages) return;
    m_requested.insert(url);
    auto* watcher = new QFutureWatcher<FetchedImage>(this);
    connect(watcher, &QFutureWatcher<FetchedImage>::finished, this, [this, watcher, url] {
        watcher->deleteLater();
        const QFuture<FetchedImage> done = watcher->future();
        if (done.resultCount() == 0) return;
        const QImage image = done.result().image;
        if (image.isNull()) return;
        if (m_decodedBytes + image.sizeInBytes() > kMaxDecodedBytes) return;
        m_decodedBytes += image.sizeInBytes();
        m_images.insert(url, image);
        document()->addResource(QTextDocument::ImageResource, url, image);
        // Lay the page out again so the picture takes its place.
        const int scroll = verticalScrollBar()->value();
        setHtml(toHtml());
        verticalScrollBar()->setValue(scroll);
    });
    FetchLimits limits;
    limits.maxBytes = kMaxImageBytes;
    limits.pumpEvents = false;
    const std::string address = FromQt(url.toString());
    watcher->setFuture(RunInBackground<FetchedImage>([address, limits] {
        const FetchResult fetched = FetchPageReport(address, limits);
        if (!fetched.succeeded()) return FetchedImage{};
        return FetchedImage{true, Decode(fetched.body)};
    }));
}
