#include "widgets/coarse_timer.h"

CoarseTimer::CoarseTimer(int intervalMs, std::function<void()> onTick, QObject* parent)
    : QObject(parent), m_onTick(std::move(onTick)) {
    // The interval rounded up to whole ticks of the system timer.
    const long long us = static_cast<long long>(intervalMs) * 1000;
    const long long ticks = (us + kResolutionUs - 1) / kResolutionUs;
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(static_cast<int>((std::max<long long>(1, ticks) * kResolutionUs + 500) / 1000));
    connect(&m_timer, &QTimer::timeout, this, [this] { m_onTick(); });
}

void CoarseTimer::setEnabled(bool enabled) {
    if (enabled && !m_timer.isActive()) m_timer.start();
    if (!enabled) m_timer.stop();
}
