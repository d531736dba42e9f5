// The programme guide's grid: 500 channels over a week of half-hour programmes (168,000, each
// with a description), opened as the window opens it (each channel looked up in the guide, the
// window made, shown and drawn) and then scrolled a screen at a time.
//
//   QT_QPA_PLATFORM=offscreen build/release/bin/guide_grid_bench [repeats]
#include <QApplication>
#include <QDateTime>
#include <QScrollBar>
#include <string>
#include <vector>

#include "bench_table.h"
#include "guide/xmltv.h"
#include "windows/guide_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    constexpr int kChannels = 500, kDays = 7, kPerDay = 48;
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    const std::int64_t first = (now - 86400) / 1800 * 1800;
    guide::GuideData data;
    for (int c = 0; c < kChannels; ++c) {
        const std::string id = "ch" + std::to_string(c);
        data.byName[id] = id;
        guide::Schedule& schedule = data.schedules[id];
        for (int p = 0; p < (kDays + 1) * kPerDay; ++p) {
            const std::int64_t start = first + std::int64_t{p} * 1800;
            schedule.push_back({start, start + 1800, "Programme " + std::to_string(p) + " on channel " + id,
                                "What happens in this half hour, told at the length a guide tells it."});
        }
    }

    double paintedRows = 0;
    const bench::Stats open = bench::Time(repeats, [&] {
        std::vector<GuideWindow::Channel> channels;
        for (int c = 0; c < kChannels; ++c) {
            const std::string id = "ch" + std::to_string(c);
            channels.push_back(
                {QString::fromStdString(id), QStringLiteral("http://s.example/%1").arg(c), data.find({}, id)});
        }
        GuideWindow window;
        window.setChannels(std::move(channels), now);
        window.show();
        window.grid()->viewport()->grab();  // drawn, not only asked for
        paintedRows = window.grid()->lastVisibleRow() - window.grid()->firstVisibleRow() + 1;
    });

    GuideWindow window;
    std::vector<GuideWindow::Channel> channels;
    for (int c = 0; c < kChannels; ++c)
        channels.push_back({QString::number(c), QString(), data.find({}, "ch" + std::to_string(c))});
    window.setChannels(std::move(channels), now);
    window.show();
    QScrollBar* down = window.grid()->verticalScrollBar();
    QScrollBar* across = window.grid()->horizontalScrollBar();
    const bench::Stats scroll = bench::Time(repeats * 4, [&] {
        down->setValue(down->value() + down->pageStep() > down->maximum() ? 0 : down->value() + down->pageStep());
        across->setValue(
            across->value() + across->pageStep() > across->maximum() ? 0 : across->value() + across->pageStep());
        window.grid()->viewport()->grab();
    });
    std::fprintf(stderr, "%d rows drawn of %d\n", static_cast<int>(paintedRows), kChannels);
    bench::Row("guide grid: 500 channels x 7 days (168,000 programmes) opened and drawn", open, "", {}, "<= 300 ms",
               open.median <= 300);
    bench::Row("guide grid: a screen scrolled down and across, drawn", scroll, "", {}, "<= 16 ms", scroll.median <= 16);
    return 0;
}
