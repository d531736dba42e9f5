// The columns the lists show after the design's: a playlist's own channel numbers, and what is
// on now on each row's channel (with a thin bar for how far it has run), from the programme
// guide, drawn only for the rows on screen.
#include <QDateTime>

#include "guide/xmltv.h"
#include "widgets/list_view.h"
#include "widgets/texts.h"
#include "windows/background_jobs.h"
#include "windows/main_window.h"

namespace {
constexpr int kNumberTwips = 600;
constexpr int kNowTwips = 2400;
}  // namespace

const guide::Programme* Form1::onNow(const ListView* list, const ListRow& row) const {
    if (!m_guide) return nullptr;
    const guide::Schedule* schedule = m_guide->data().find(tvgIdOf(list, row), row.name);
    return schedule ? guide::Find(*schedule, QDateTime::currentSecsSinceEpoch()).now : nullptr;
}

void Form1::showListColumns() {
    const bool guide = m_guide && !m_guide->data().schedules.empty();
    const auto now = [this](const ListView* list) {
        ExtraColumn column;
        column.header = Msg("MSG_COLUMNNOW");
        column.sort = ExtraColumn::Sort::None;  // it changes as the programmes do
        column.widthTwips = kNowTwips;
        column.text = [this, list](const ListRow& row) {
            const guide::Programme* on = onNow(list, row);
            return on ? QString::fromStdString(on->title) : QString();
        };
        column.progress = [this, list](const ListRow& row) {
            const guide::Programme* on = onNow(list, row);
            if (!on || on->stop <= on->start) return -1.0;
            return static_cast<double>(QDateTime::currentSecsSinceEpoch() - on->start) /
                   static_cast<double>(on->stop - on->start);
        };
        return column;
    };
    std::vector<ExtraColumn> first;
    if (m_shown.channels) {
        // A playlist's own numbers (tvg-chno), sorted as numbers.
        ExtraColumn number;
        number.header = Msg("MSG_COLUMNNUMBER");
        number.sort = ExtraColumn::Sort::Number;
        number.widthTwips = kNumberTwips;
        number.text = [this](const ListRow& row) {
            const catalogue::ChannelExtras* extras = extrasOf(ListView1, row);
            return extras ? QString::fromStdString(extras->number) : QString();
        };
        first.push_back(std::move(number));
    }
    if (guide) first.push_back(now(ListView1));
    ListView1->setExtraColumns(std::move(first));
    std::vector<ExtraColumn> second;
    if (guide) second.push_back(now(ListView2));
    ListView2->setExtraColumns(std::move(second));
}

void Form1::refreshListColumns() {
    ListView1->refreshExtraColumns();
    ListView2->refreshExtraColumns();
}
