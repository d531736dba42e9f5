#include "windows/guide_window.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "widgets/texts.h"

GuideWindow::GuideWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("GuideWindow"));
    setWindowTitle(Msg("MSG_GUIDETITLE"));
    setModal(false);
    resize(900, 560);
    auto* column = new QVBoxLayout(this);
    m_empty = new QLabel(this);
    m_empty->setObjectName(QStringLiteral("guideEmpty"));
    m_empty->setWordWrap(true);
    m_empty->setText(Msg("MSG_GUIDEKNOWSNONE"));
    m_empty->hide();
    column->addWidget(m_empty);
    m_grid = new GuideGrid(this);
    m_grid->setObjectName(QStringLiteral("guideGrid"));
    column->addWidget(m_grid, 1);

    m_heading = new QLabel(this);
    m_heading->setObjectName(QStringLiteral("guideHeading"));
    QFont bold = m_heading->font();
    bold.setBold(true);
    m_heading->setFont(bold);
    m_heading->setTextFormat(Qt::PlainText);
    // However long a title, the heading wraps: the window never grows past the screen.
    m_heading->setWordWrap(true);
    m_heading->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_description = new QLabel(this);
    m_description->setObjectName(QStringLiteral("guideDescription"));
    m_description->setTextFormat(Qt::PlainText);
    m_description->setWordWrap(true);
    m_description->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_description->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(m_description);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFixedHeight(fontMetrics().lineSpacing() * 5 + 8);
    auto* row = new QHBoxLayout;
    row->addWidget(m_heading, 1);
    auto* now = new QPushButton(Msg("MSG_GUIDENOW"), this);
    now->setObjectName(QStringLiteral("guideNow"));
    row->addWidget(now);
    m_play = new QPushButton(Msg("MSG_GUIDEPLAY"), this);
    m_play->setObjectName(QStringLiteral("guidePlay"));
    m_play->setEnabled(false);
    m_play->setAutoDefault(false);
    now->setAutoDefault(false);
    row->addWidget(m_play);
    column->addLayout(row);
    column->addWidget(scroll);

    connect(m_grid, &GuideGrid::chosen, this, &GuideWindow::showDetails);
    const auto play = [this](int index) {
        if (index < 0 || index >= static_cast<int>(m_channels.size())) return;
        const Channel& channel = m_channels[static_cast<std::size_t>(index)];
        emit playRequested(channel.address, channel.name, index == m_grid->currentRow() ? m_grid->current() : nullptr);
    };
    connect(m_grid, &GuideGrid::playRequested, this, play);
    connect(m_play, &QPushButton::clicked, this, [this, play] { play(m_grid->currentRow()); });
    connect(now, &QPushButton::clicked, this, [this] { m_grid->scrollToNow(); });
}

void GuideWindow::setChannels(std::vector<Channel> channels, std::int64_t now) {
    m_channels = std::move(channels);
    std::vector<GuideGrid::Row> rows;
    rows.reserve(m_channels.size());
    for (const Channel& channel : m_channels) rows.push_back({channel.name, channel.schedule});
    m_grid->setRows(std::move(rows), now);
    m_empty->setVisible(m_channels.empty());
    showDetails(-1, -1);
}

void GuideWindow::showDetails(int row, int) {
    m_play->setEnabled(row >= 0);
    const guide::Programme* p = row >= 0 ? m_grid->current() : nullptr;
    if (!p) {
        m_heading->setText(row >= 0 ? m_channels[static_cast<std::size_t>(row)].name : QString());
        m_description->clear();
        return;
    }
    const QLocale locale;
    const QDateTime start = QDateTime::fromSecsSinceEpoch(p->start);
    QString when = locale.toString(start, QStringLiteral("ddd d MMM, HH:mm"));
    if (p->stop > p->start)
        when += QStringLiteral("–") + QDateTime::fromSecsSinceEpoch(p->stop).toString(QStringLiteral("HH:mm"));
    m_heading->setText(
        QStringLiteral("%1 · %2 · %3")
            .arg(m_channels[static_cast<std::size_t>(row)].name, when, QString::fromStdString(p->title)));
    m_description->setText(p->desc.empty() ? Msg("MSG_GUIDENODESCRIPTION") : QString::fromStdString(p->desc));
}

QString GuideWindow::details() const { return m_heading->text() + QLatin1Char('\n') + m_description->text(); }
