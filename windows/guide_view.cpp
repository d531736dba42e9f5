// The main window's programme guide grid: which channels it shows, and playing from it.
#include <QAction>
#include <QDateTime>
#include <QGroupBox>
#include <QMenu>

#include "catalogue/catchup.h"
#include "player/player_pane.h"
#include "widgets/list_view.h"
#include "widgets/qt_text.h"
#include "widgets/texts.h"
#include "windows/background_jobs.h"
#include "windows/main_window.h"

void Form1::connectGuideWindow() {
    mnuGuideGrid->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    mnuGuideGrid->setShortcutContext(Qt::WindowShortcut);
    connect(mnuGuideGrid, &QAction::triggered, this, &Form1::ShowGuideWindow);
    // The grid points into the guide's data: a new guide (read from the cache or updated) is
    // given to it at once.
    const auto refresh = [this] {
        if (m_guideWindow && m_guideWindow->isVisible())
            m_guideWindow->setChannels(guideChannels(), QDateTime::currentSecsSinceEpoch());
    };
    connect(m_guide, &GuideUpdates::cacheLoaded, this, refresh);
    connect(m_guide, &GuideUpdates::finished, this, refresh);
}

std::vector<GuideWindow::Channel> Form1::guideChannels() const {
    std::vector<GuideWindow::Channel> channels;
    const ListView* list = Frame3->isVisible() ? ListView2 : ListView1;
    for (const ListRow& row : list->rows()) {
        if (const guide::Schedule* schedule = m_guide->data().find(tvgIdOf(list, row), row.name);
            schedule && !schedule->empty())
            channels.push_back({Utf8ToQt(row.name), Utf8ToQt(row.address), schedule});
    }
    return channels;
}

void Form1::showInGuide(const QString& name, const QString& address, const guide::Schedule* schedule,
                        const guide::Programme* programme) {
    if (!m_guideWindow || !schedule || !programme) return;
    const auto rowOf = [&]() -> int {
        const std::vector<GuideWindow::Channel>& shown = m_guideWindow->channels();
        for (std::size_t i = 0; i < shown.size(); ++i)
            if (shown[i].schedule == schedule) return static_cast<int>(i);
        return -1;
    };
    int at = rowOf();
    if (at < 0) {
        // A channel of another list: shown first in the grid, before the list's own.
        std::vector<GuideWindow::Channel> channels = m_guideWindow->channels();
        channels.insert(channels.begin(), {name, address, schedule});
        m_guideWindow->setChannels(std::move(channels), QDateTime::currentSecsSinceEpoch());
        at = rowOf();
    }
    m_guideWindow->grid()->scrollToTime(programme->start - 1800);
    m_guideWindow->grid()->choose(at, static_cast<int>(programme - schedule->data()));
}

void Form1::restartProgramme() {
    const auto* list = qobject_cast<const ListView*>(m_playing.list.data());
    if (!list || m_playing.address.isEmpty()) return;  // an archive's own recording, or nothing
    const ListRow row{ToUtf8(m_playing.name), ToUtf8(m_playing.address), {}, {}, {}};
    const guide::Programme* on = onNow(list, row);
    if (!on || !playFromArchive(m_playing.address, m_playing.name, *on, list, true))
        WindowsMediaPlayer1->showNote(Msg("MSG_NORESTART"));
}

bool Form1::playFromArchive(const QString& address, const QString& name, const guide::Programme& programme,
                            const ListView* list, bool onNow) {
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    if (!onNow && (programme.stop == 0 || programme.stop > now)) return false;  // on now or to come: live
    const ListRow row{ToUtf8(name), ToUtf8(address), {}, {}, {}};
    const catalogue::ChannelExtras* extras = extrasOf(list, row);
    if (!extras) return false;
    const auto archived =
        catchup::AddressFor(catchup::Read(extras->catchup), row.address, programme.start, programme.stop, now);
    if (!archived) return false;
    // The recording plays as the channel does (its headers), under a name that says what it is.
    const QString at = QDateTime::fromSecsSinceEpoch(programme.start).toString(QStringLiteral("ddd HH:mm"));
    const QString label = Msg("MSG_CATCHUPOF").arg(name, QString::fromStdString(programme.title), at);
    WindowsMediaPlayer1->setStreamOptions(Utf8ToQt(*archived), extras->options);
    play(Utf8ToQt(*archived), label, false, nullptr);
    return true;
}

void Form1::ShowGuideWindow() {
    if (!m_guideWindow) {
        m_guideWindow = new GuideWindow(this);
        connect(m_guideWindow, &GuideWindow::playRequested, this,
                [this](const QString& address, const QString& name, const guide::Programme* programme) {
                    QWidget* list = Frame3->isVisible() ? static_cast<QWidget*>(ListView2) : ListView1;
                    if (programme && playFromArchive(address, name, *programme, qobject_cast<ListView*>(list))) return;
                    play(address, name, false, list);
                    followPlaying();
                });
    }
    m_guideWindow->setChannels(guideChannels(), QDateTime::currentSecsSinceEpoch());
    m_guideWindow->show();
    m_guideWindow->raise();
    m_guideWindow->activateWindow();
    m_guideWindow->grid()->setFocus();
}
