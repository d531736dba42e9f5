#pragma once
// The start that every benchmark of the windows shares: Qt's offscreen platform unless another
// was chosen, an application object, the C numeric locale the media player needs, and the
// number of runs a row from the first argument (at least 3).
#include <QApplication>
#include <algorithm>
#include <clocale>
#include <cstdlib>

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
        Platform() { ::setenv("QT_QPA_PLATFORM", "offscreen", 0); }
    };
    Platform m_platform;  // before the application object exists
    QApplication m_app;
    int m_repeats;
};

}  // namespace bench
