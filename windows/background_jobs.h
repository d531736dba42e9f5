#pragma once
// The main window's two jobs that run beside it on a worker thread: the programme guide's
// update and the operator's stream check. Each ends within a moment when cancelled, reports
// back on the window's thread, and never touches a widget from its worker.
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "guide/guide_store.h"
#include "guide/guide_update.h"
#include "services/stream_check.h"

// One worker thread at a time, with the flag that ends it and a number that tells the reports
// of the newest run from those of a run it replaced.
class Worker {
public:
    ~Worker() { stop(); }
    // Ends the run under way, then runs `work` with a fresh flag; gives the new run's number,
    // or 0 when the system would give no thread (then nothing runs).
    unsigned start(std::function<void(const std::atomic<bool>& cancel, unsigned run)> work);
    void requestStop() {
        if (m_cancel) m_cancel->store(true);
    }
    void stop() {
        requestStop();
        if (m_thread.joinable()) m_thread.join();
    }
    unsigned run() const { return m_run; }

private:
    std::thread m_thread;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    unsigned m_run = 0;
};

class GuideUpdates : public QObject {
    Q_OBJECT
public:
    explicit GuideUpdates(QObject* parent = nullptr);
    ~GuideUpdates() override;  // cancels a running update and waits for it

    // Reads the guide kept from an earlier run, if any, on the worker (only `wanted`'s
    // channels are kept); cacheLoaded() tells when it is there.
    void loadCache(guide::Wanted wanted);
    // Starts an update from `address` (several: guide::JoinAddresses; each read in turn and
    // merged, one that fails keeping what it gave before) (cancelling one under way); the cache is read first when
    // it has not been yet. `fresh` asks for the whole guide even when it did not change since
    // the cached copy (our channel list did).
    void start(const std::string& address, guide::Wanted wanted, bool fresh);
    void cancel();
    bool running() const { return m_running; }
    // Playlists whose channels the guide keeps too (the copies of the playlist sources), read
    // on the worker with each reading of the cache or the guide, so the window's thread never
    // reads them.
    void setPlaylists(std::vector<std::filesystem::path> playlists) { m_playlists = std::move(playlists); }

    const guide::GuideData& data() const { return m_cache->data; }
    std::shared_ptr<const guide::Cache> cache() const { return m_cache; }  // kept alive by who holds it
    // "Now: <title> (until 21:00) · Next: <title>" for a channel at `now` (seconds since
    // 1970); empty when the guide knows nothing of it.
    QString nowNext(const std::string& tvgId, const std::string& name, std::int64_t now) const;
    static QString NowNextText(const guide::NowNext& found);

signals:
    void cacheLoaded();
    // An update ended: `failure` says why it failed (the cached guide stays), empty otherwise.
    void finished(bool changed, const QString& failure);

private:
    // Runs on the worker: the cache first when `loadFirst`, then the update when `request` has
    // an address.
    void run(guide::UpdateRequest request, guide::Wanted wanted, bool loadFirst, bool fresh);

    Worker m_worker;
    bool m_running = false;
    bool m_cacheRead = false;  // the cache was read (or found missing or refused)
    std::vector<std::filesystem::path> m_playlists;
    // Replaced whole, never changed in place: an update reads the one it started with.
    std::shared_ptr<const guide::Cache> m_cache = std::make_shared<guide::Cache>();
};

class StreamChecker : public QObject {
    Q_OBJECT
public:
    explicit StreamChecker(QObject* parent = nullptr);
    ~StreamChecker() override;

    stream_check::Options options;
    // Checks the addresses (each once); a check under way is cancelled first.
    // `headers`: each address's own request headers ("Name: value"), by its place; may be shorter.
    void start(std::vector<std::string> addresses, std::vector<std::vector<std::string>> headers = {});
    void cancel();
    bool running() const { return m_running; }

signals:
    void checked(const QString& address, int verdict, const QString& reason);  // stream_check::Verdict
    void progress(int done, int total);
    void finished(bool cancelled);

private:
    Worker m_worker;
    bool m_running = false;
    int m_done = 0, m_total = 0;
};
