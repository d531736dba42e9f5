#pragma once
// The start that every benchmark of the windows shares: the viewer's allocator settings, Qt's
// offscreen platform unless another was chosen, an application object, the C numeric locale
// the media player needs, and the number of runs a row from the first argument (at least 3).
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "base/process_memory.h"

namespace bench {

class GuiBench {
public:
    GuiBench(int& argc, char** argv, int defaultRepeats)
        : m_platform(), m_app(argc, argv), m_repeats(argc > 1 ? std::max(3, std::atoi(argv[1])) : defaultRepeats) {
        std::setlocale(LC_NUMERIC, "C");
    }
    int repeats() const { return m_repeats; }

private:
    struct Platform {
        Platform() {
            base::KeepFreedMemoryForReuse();  // as the viewer's main does, before any thread starts
            ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        }
    };
    Platform m_platform;  // before the application object exists
    QApplication m_app;
    int m_repeats;
};

// The window's longest stall from construction on: the longest its thread went without serving
// a 10 ms timer, the gap still open included.
class StallProbe {
public:
    StallProbe() {
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            m_worst = std::max(m_worst, sinceMs());
            m_since.restart();
        });
        m_since.start();
        m_tick.start(10);
    }
    double worstMs() const { return std::max(m_worst, sinceMs()); }

private:
    double sinceMs() const { return static_cast<double>(m_since.nsecsElapsed()) / 1e6; }
    QElapsedTimer m_since;
    QTimer m_tick;
    double m_worst = 0;
};

// The process's resident memory sampled beside the work, from construction to peakGrownMb():
// the most it grew over what it was at the start.
class PeakResident {
public:
    explicit PeakResident(std::chrono::microseconds every) : m_before(base::ResidentBytes()), m_peak(m_before) {
        m_sampler = std::thread([this, every] {
            while (m_sampling) {
                m_peak = std::max(m_peak.load(), base::ResidentBytes());
                std::this_thread::sleep_for(every);
            }
        });
    }
    ~PeakResident() { stop(); }
    double peakGrownMb() {
        stop();
        return static_cast<double>(m_peak - m_before) / (1024 * 1024);
    }

private:
    void stop() {
        m_sampling = false;
        if (m_sampler.joinable()) m_sampler.join();
    }
    const std::uint64_t m_before;
    std::atomic<std::uint64_t> m_peak;
    std::atomic<bool> m_sampling{true};
    std::thread m_sampler;
};

}  // namespace bench
