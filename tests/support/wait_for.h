#pragma once
// Waits, with the event loop running, until a condition holds or the time is up.
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

namespace test_support {

inline bool WaitFor(const std::function<bool()>& done, int ms, int stepMs = 10) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QTest::qWait(stepMs);
    }
    return true;
}

// The longest the event loop went without serving a 10 ms timer, from construction on: how
// long the window's thread was held up.
class LongestGap {
public:
    LongestGap() {
        QObject::connect(&m_tick, &QTimer::timeout, [this] { m_longest = std::max(m_longest, m_since.restart()); });
        m_since.start();
        m_tick.start(10);
    }
    void stop() { m_tick.stop(); }
    qint64 ms() const { return m_longest; }

private:
    QElapsedTimer m_since;
    QTimer m_tick;
    qint64 m_longest = 0;
};

}  // namespace test_support
