#pragma once
// A window timer paced as the platform the program was designed for paces them: its ticks
// come at the system timer's resolution, about 15.6 ms, however short the interval. A 2 ms
// timer therefore ticks 64 times a second, not 500 (Qt's precise timers would run the splash
// window's 75 ticks out in 0.15 s instead of about 1.2 s).
#include <QObject>
#include <QTimer>
#include <functional>

class CoarseTimer : public QObject {
    Q_OBJECT
public:
    // The platform's timer resolution, in microseconds (1/64 s).
    static constexpr int kResolutionUs = 15625;

    CoarseTimer(int intervalMs, std::function<void()> onTick, QObject* parent = nullptr);
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_timer.isActive(); }
    int effectiveIntervalMs() const { return m_timer.interval(); }

private:
    QTimer m_timer;
    std::function<void()> m_onTick;
};
