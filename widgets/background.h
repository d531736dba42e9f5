#pragma once
// Work that may take long, run off the GUI thread: `work` runs on the thread pool and the
// future carries its result. Hand the future to a QFutureWatcher owned by the widget that wants
// the result, so a widget gone first (or one that started newer work) hears nothing.
#include <QFuture>
#include <QPromise>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <memory>
#include <utility>

// The pool that work runs on: one of our own, not Qt's global pool, which the raster paint
// engine waits on while it draws — a fetch holding a global pool's thread could hold up the
// window's painting for as long as the network takes.
inline QThreadPool* BackgroundPool() {
    static QThreadPool* const pool = [] {
        auto* made = new QThreadPool;  // for the program's life: its threads end with it
        made->setMaxThreadCount(std::max(4, QThread::idealThreadCount()));
        return made;
    }();
    return pool;
}

// `work` on `pool`: for work that may wait long on others (a logo server's trickle) and so must
// not hold the shared pool's threads, which the user's own work needs.
template <typename T, typename F>
QFuture<T> RunInPool(QThreadPool* pool, F work) {
    // The promise is shared so the task stays copyable for the pool.
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    pool->start([promise, work = std::move(work)]() mutable {
        promise->addResult(work());
        promise->finish();
    });
    return future;
}

template <typename T, typename F>
QFuture<T> RunInBackground(F work) {
    return RunInPool<T>(BackgroundPool(), std::move(work));
}
