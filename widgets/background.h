#pragma once
// Work that may take long, run off the GUI thread: `work` runs on the thread pool and the
// future carries its result. Hand the future to a QFutureWatcher owned by the widget that wants
// the result, so a widget gone first (or one that started newer work) hears nothing.
#include <QFuture>
#include <QPromise>
#include <QThreadPool>
#include <memory>
#include <utility>

template <typename T, typename F>
QFuture<T> RunInBackground(F work) {
    // The promise is shared so the task stays copyable for the pool.
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, work = std::move(work)]() mutable {
        promise->addResult(work());
        promise->finish();
    });
    return future;
}
