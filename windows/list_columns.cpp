// What the lists show beyond the design's columns: a playlist's own channel numbers (a column,
// shown first, sorted as numbers) and, under each row's name, what is on now on its channel
// with a thin bar for how far it has run, from the programme guide, drawn only for the rows on
// screen.
#include <QDateTime>

#include "guide/xmltv.h"
#include "widgets/list_view.h"
#include "widgets/texts.h"
#include "windows/background_jobs.h"
#include "windows/main_window.h"

namespace {
constexpr int kNumberTwips = 600;
}  // namespace

const guide::Programme* Form1::onNow(const ListView* list, const ListRow& row) const {
    if (!m_guide) return nullptr;
    const guide::Schedule* schedule = m_guide->data().find(tvgIdOf(list, row), row.name);
    return schedule ? guide::Find(*schedule, QDateTime::currentSecsSinceEpoch()).now : nullptr;
}

void Form1::showListColumns() {
    std::vector<ExtraColumn> numbers;
    if (m_shown.channels) {
        ExtraColumn number;
        number.header = Msg("MSG_COLUMNNUMBER");
        number.sort = ExtraColumn::Sort::Number;
        number.widthTwips = kNumberTwips;
        number.leading = true;
        number.text = [this](const ListRow& row) {
            const catalogue::ChannelExtras* extras = extrasOf(ListView1, row);
            return extras ? QString::fromStdString(extras->number) : QString();
        };
        numbers.push_back(std::move(number));
    }
    ListView1->setExtraColumns(std::move(numbers));

    const bool guide = m_guide && !m_guide->data().schedules.empty();
    for (ListView* list : {ListView1, ListView2}) {
        if (!guide) {
            list->setSecondLine({});
            continue;
        }
        list->setSecondLine([this, list](const ListRow& row) {
            const guide::Programme* on = onNow(list, row);
            if (!on) return SecondLine{};
            const std::int64_t now = QDateTime::currentSecsSinceEpoch();
            const double run = on->stop > on->start
                                   ? static_cast<double>(now - on->start) / static_cast<double>(on->stop - on->start)
                                   : -1.0;
            return SecondLine{QString::fromStdString(on->title), run};
        });
    }
}

void Form1::refreshListColumns() {
    ListView1->refreshExtraColumns();
    ListView2->refreshExtraColumns();
}
