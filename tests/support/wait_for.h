#pragma once
// Waits, with the event loop running, until a condition holds or the time is up.
#include <QElapsedTimer>
#include <QTest>
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

}  // namespace test_support
