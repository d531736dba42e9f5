#include "windows/background_jobs.h"

#include <QDateTime>
#include <system_error>

#include "base/file_io.h"
#include "catalogue/playlist.h"
#include "catalogue/xtream.h"
#include "guide/guide_merge.h"
#include "services/secret_store.h"
#include "widgets/texts.h"

namespace {

// The channels of these playlists join the wanted ones: by name, and by tvg-id where given.
void AddPlaylistChannels(guide::Wanted& wanted, const std::vector<std::filesystem::path>& playlists,
                         const std::atomic<bool>& cancel) {
    for (const auto& path : playlists) {
        if (cancel) return;
        const auto text = base::ReadFileCapped(path, playlist::kMaxBytes);
        if (!text) continue;
        for (const playlist::Entry& entry : playlist::Read(*text, {}).entries) {
            if (!entry.tvgId.empty()) wanted.ids.insert(entry.tvgId);
            if (std::string name = guide::NormaliseName(entry.name); !name.empty())
                wanted.names.insert(std::move(name));
        }
    }
}

// Brings every guide of `request` up to date: one as it is; several each in turn, merged under
// their tags, a guide that fails keeping what it gave `before` and saying so.
// A guide's address as it is asked for: an account's with its password, from the secret store.
std::string Filled(const std::string& address) {
    return xtream::FillSecret(address,
                              [](const std::string& id) { return secrets::Lookup(id).value_or(std::string()); });
}

guide::UpdateResult UpdateAll(guide::UpdateRequest& request, const guide::Cache& before) {
    const std::vector<std::string> addresses = guide::SplitAddresses(request.address);
    if (addresses.size() <= 1 && !xtream::HasSecretMark(request.address)) return guide::Update(request);
    if (addresses.size() <= 1) {
        // The address with its password goes only to the fetch, never into the cache or a message.
        const std::string marked = std::move(request.address);
        request.address = Filled(marked);
        guide::UpdateResult got = guide::Update(request);
        request.address = marked;
        return got;
    }
    guide::UpdateResult all;
    int updated = 0;
    for (const std::string& address : addresses) {
        guide::UpdateRequest one;
        one.address = Filled(address);
        one.wanted = std::move(request.wanted);
        one.cancel = request.cancel;
        one.maxBytes = request.maxBytes;
        one.stallSeconds = request.stallSeconds;
        guide::UpdateResult got = guide::Update(one);
        request.wanted = std::move(one.wanted);
        if (got.outcome == guide::UpdateResult::Outcome::Cancelled) return got;
        const std::string tag = guide::TagOf(address);
        if (got.outcome == guide::UpdateResult::Outcome::Updated) {
            guide::Merge(all.data, std::move(got.data), tag);
            ++updated;
        } else if (got.outcome == guide::UpdateResult::Outcome::Unchanged) {
            guide::KeepTagged(all.data, before.data, tag);
        } else {
            guide::KeepTagged(all.data, before.data, tag);
            if (!all.message.empty()) all.message += "; ";
            all.message += address + ": " + got.message;
        }
    }
    // The cache keeps the merged guides; each is asked for whole the next time.
    all.outcome = updated > 0 ? guide::UpdateResult::Outcome::Updated : guide::UpdateResult::Outcome::Failed;
    return all;
}

}  // namespace

unsigned Worker::start(std::function<void(const std::atomic<bool>&, unsigned)> work) {
    stop();
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    const unsigned run = ++m_run;
    try {
        m_thread = std::thread([work = std::move(work), cancel = m_cancel, run] { work(*cancel, run); });
    } catch (const std::system_error&) {
        return 0;  // the system gives no thread now (its limit reached): nothing runs
    }
    return run;
}

GuideUpdates::GuideUpdates(QObject* parent) : QObject(parent) {}

// The worker is stopped before the object goes: its thread reports to `this`.
GuideUpdates::~GuideUpdates() { m_worker.stop(); }

void GuideUpdates::loadCache(guide::Wanted wanted) {
    if (m_cacheRead || m_running) return;
    run({}, std::move(wanted), true, false);
}

void GuideUpdates::cancel() {
    m_worker.requestStop();
    m_running = false;
}

void GuideUpdates::start(const std::string& address, guide::Wanted wanted, bool fresh) {
    m_running = true;
    guide::UpdateRequest request;
    request.address = address;
    if (!fresh && m_cache->source == address) request.ifModifiedSince = m_cache->lastModified;
    run(std::move(request), std::move(wanted), !m_cacheRead, fresh);
}

void GuideUpdates::run(guide::UpdateRequest request, guide::Wanted wanted, bool loadFirst, bool fresh) {
    const bool update = !request.address.empty();
    const unsigned started = m_worker.start([this, request = std::move(request), wanted = std::move(wanted), loadFirst,
                                             fresh, playlists = m_playlists,
                                             before = m_cache](const std::atomic<bool>& cancel, unsigned run) mutable {
        AddPlaylistChannels(wanted, playlists, cancel);
        // The destructor joins this thread before the object goes, so `this` is alive here;
        // a queued call is dropped if the object is deleted before it runs.
        if (loadFirst) {
            // Read here, off the window's thread: a cache runs to hundreds of megabytes.
            auto loaded = std::make_shared<std::optional<guide::Cache>>(guide::LoadCache(&wanted, &cancel));
            if (cancel) return;
            if (!fresh && *loaded && (*loaded)->source == request.address)
                request.ifModifiedSince = (*loaded)->lastModified;
            QMetaObject::invokeMethod(
                this,
                [this, run, loaded] {
                    if (run != m_worker.run()) return;
                    m_cacheRead = true;
                    if (*loaded) m_cache = std::make_shared<const guide::Cache>(std::move(**loaded));
                    emit cacheLoaded();
                },
                Qt::QueuedConnection);
        }
        if (request.address.empty()) return;
        request.wanted = std::move(wanted);
        request.cancel = &cancel;
        guide::UpdateResult result = UpdateAll(request, *before);
        auto cache = std::make_shared<guide::Cache>();
        if (result.outcome == guide::UpdateResult::Outcome::Updated) {
            cache->source = request.address;
            cache->lastModified = result.lastModified;
            cache->data = std::move(result.data);
            // Written here, off the window's thread: a guide's cache runs to megabytes.
            guide::SaveCache(*cache);
        }
        QMetaObject::invokeMethod(
            this,
            [this, run, outcome = result.outcome, message = result.message, cache] {
                if (run != m_worker.run()) return;  // a newer update took over
                m_running = false;
                if (outcome == guide::UpdateResult::Outcome::Updated) m_cache = cache;
                if (outcome == guide::UpdateResult::Outcome::Cancelled) return;
                emit finished(outcome == guide::UpdateResult::Outcome::Updated, QString::fromStdString(message));
            },
            Qt::QueuedConnection);
    });
    if (started == 0 && update) {
        m_running = false;
        QMetaObject::invokeMethod(
            this, [this] { emit finished(false, Msg("MSG_NOTHREAD")); }, Qt::QueuedConnection);
    }
}

QString GuideUpdates::NowNextText(const guide::NowNext& found) {
    const auto clock = [](std::int64_t t) {
        return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("HH:mm"));
    };
    QString text;
    if (found.now) {
        text = Msg("MSG_GUIDENOWTEXT").arg(QString::fromStdString(found.now->title));
        if (found.now->stop > 0) text += QLatin1Char(' ') + Msg("MSG_GUIDEUNTIL").arg(clock(found.now->stop));
    }
    if (found.next) {
        if (!text.isEmpty()) text += QStringLiteral(" · ");
        text += Msg("MSG_GUIDENEXTTEXT").arg(QString::fromStdString(found.next->title));
        if (!found.now) text += QLatin1Char(' ') + Msg("MSG_GUIDEFROM").arg(clock(found.next->start));
    }
    return text;
}

QString GuideUpdates::nowNext(const std::string& tvgId, const std::string& name, std::int64_t now) const {
    const guide::Schedule* schedule = m_cache->data.find(tvgId, name);
    if (!schedule) return {};
    return NowNextText(guide::Find(*schedule, now));
}

// ---- The stream check ----------------------------------------------------------------------

StreamChecker::StreamChecker(QObject* parent) : QObject(parent) {}

StreamChecker::~StreamChecker() { m_worker.stop(); }

void StreamChecker::cancel() {
    m_worker.requestStop();
    if (m_running) {
        m_running = false;
        emit finished(true);
    }
}

void StreamChecker::start(std::vector<std::string> addresses, std::vector<std::vector<std::string>> headers) {
    m_running = false;
    m_worker.stop();
    m_running = true;
    m_done = 0;
    m_total = static_cast<int>(addresses.size());
    emit progress(0, m_total);
    stream_check::Options asked = options;
    asked.headers = std::move(headers);
    const unsigned started = m_worker.start([this, addresses = std::move(addresses), options = std::move(asked)](
                                                const std::atomic<bool>& cancel, unsigned run) {
        stream_check::Check(
            addresses, options,
            [&](std::size_t index, const stream_check::Result& result) {
                QMetaObject::invokeMethod(
                    this,
                    [this, run, address = addresses[index], result] {
                        if (run != m_worker.run() || !m_running) return;
                        ++m_done;
                        emit checked(QString::fromStdString(address), static_cast<int>(result.verdict),
                                     QString::fromStdString(result.reason));
                        emit progress(m_done, m_total);
                    },
                    Qt::QueuedConnection);
            },
            cancel);
        QMetaObject::invokeMethod(
            this,
            [this, run] {
                if (run != m_worker.run() || !m_running) return;
                m_running = false;
                emit finished(false);
            },
            Qt::QueuedConnection);
    });
    if (started == 0) {
        m_running = false;
        QMetaObject::invokeMethod(
            this, [this] { emit finished(true); }, Qt::QueuedConnection);
    }
}
