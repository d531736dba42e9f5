#pragma once
// The banner pane: a light HTML view whose page, and the pictures on it, are fetched on a worker
// thread (the window never waits for a banner server); a click on a link opens it in the
// system's browser. Pictures are bounded in number and size.
#include <QFutureWatcher>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QTextBrowser>
#include <QUrl>

#include "services/fetch.h"

class BannerPane : public QTextBrowser {
    Q_OBJECT
public:
    static constexpr int kMaxImages = 32;
    static constexpr std::size_t kMaxImageBytes = std::size_t{2} * 1024 * 1024;
    // A picture is decoded on the pool, and only up to this many pixels (a small file may
    // unpack to gigabytes); all the page's pictures together hold at most kMaxDecodedBytes.
    static constexpr qint64 kMaxImagePixels = qint64{4096} * 4096;
    static constexpr qint64 kMaxDecodedBytes = qint64{128} << 20;

    // A picture from the bytes of its file, within the pixel limit; a null image otherwise.
    static QImage Decode(const std::string& bytes);

    explicit BannerPane(QWidget* parent = nullptr);
    ~BannerPane() override;
    // Starts loading the page; returns at once.
    void Navigate(const QString& address);
    QString address() const { return m_address; }
    bool loading() const { return m_loading; }
    int imageCount() const { return static_cast<int>(m_images.size()); }

signals:
    void loaded();  // the page is shown (its pictures may still be on their way)

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void fetchImage(const QUrl& url);

    QString m_address;
    bool m_loading = false;
    QFutureWatcher<FetchResult> m_page;
    QHash<QUrl, QImage> m_images;
    qint64 m_decodedBytes = 0;
    QSet<QUrl> m_requested;
};
