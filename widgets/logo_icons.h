#pragma once
// Channel logos as row icons. A logo is asked for only when a row that shows it is drawn (the
// list's model asks for the icons of the rows on screen), fetched or read from the disk cache
// and decoded on the thread pool (1024 x 1024 pixels at most), and kept in memory small, as
// the row draws it, within a bound. Newer requests go first: rows scrolled past while logos
// load are not fetched for.
#include <QCache>
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QSet>
#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "services/logo_cache.h"

class LogoIcons : public QObject {
    Q_OBJECT
public:
    explicit LogoIcons(QObject* parent = nullptr);
    ~LogoIcons() override;

    // The logo at `address` as an icon, when it is ready; a null icon while it loads (ready()
    // follows) or when it cannot be had. `origin` says whose list names it (logo_cache::Origin).
    // Icons are fetched on a small pool of their own, so slow logo servers never hold up the
    // rest of the program's background work.
    QIcon icon(const std::string& address, logo_cache::Origin origin = logo_cache::Origin::Own);

    // The logo at `address` as a picture at most `pixels` high and wide, for the radio's backdrop:
    // pictureReady() follows (with a null image when it cannot be had).
    void picture(const std::string& address, int pixels, logo_cache::Origin origin = logo_cache::Origin::Own);

    qsizetype keptBytes() const { return m_icons.totalCost(); }  // the icons in memory
    static constexpr qsizetype kMaxKeptBytes = qsizetype{8} * 1024 * 1024;

    static constexpr int kMaxPixels = 1024;        // a larger picture is no logo
    static constexpr int kIconPixels = 32;         // kept at most this high and wide
    static constexpr int kParallel = 4;            // fetches at once
    static constexpr std::size_t kMaxQueued = 64;  // waiting requests; the oldest go

signals:
    void ready();  // one or more logos became icons
    void pictureReady(const QString& address, const QImage& image);

private:
    void startNext();
    static QString keyOf(const std::string& address, logo_cache::Origin origin);

    QCache<QString, QIcon> m_icons;  // cost: bytes; by keyOf
    QSet<QString> m_failed, m_pending;
    std::deque<std::pair<std::string, logo_cache::Origin>> m_queue;
    int m_running = 0;
    std::shared_ptr<std::atomic<bool>> m_cancel;
};
