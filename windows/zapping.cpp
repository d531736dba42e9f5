// Playing from the lists: the player wired to the window, a press that plays at once, the keys'
// rest before a zap, and the channel played before.
#include "windows/main_window.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QScopeGuard>

#include "catalogue/xtream.h"
#include "player/player_pane.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "widgets/file_browser.h"
#include "widgets/list_view.h"
#include "widgets/qt_text.h"
#include "windows/radio_directory.h"

void Form1::connectPlayer() {
    PlayerPane* pane = WindowsMediaPlayer1;
    // Enter and a double-click play the row; the arrows play it once the keys rest.
    connect(ListView1, &QAbstractItemView::activated, this, [this] { activateRow(ListView1); });
    connect(ListView2, &QAbstractItemView::activated, this, [this] { activateRow(ListView2); });
    connect(ListView1, &ListView::rowPressed, this, [this] { playOnPress(ListView1); });
    connect(ListView2, &ListView::rowPressed, this, [this] { playOnPress(ListView2); });
    connect(ListView1, &ListView::pressAbandoned, this, &Form1::undoPress);
    connect(ListView2, &ListView::pressAbandoned, this, &Form1::undoPress);
    connect(ListView1, &ListView::movedByKey, this, [this](int step) {
        m_keyStep = step;
        // The editor follows the highlight at once, unless its fields hold typed text: that is
        // kept, and "OK" asks before it goes into another row.
        const int index = ListView1->selectedIndex();
        if (EditMode && index >= 0 && !editFieldsChanged()) fillEditFields(index);
        prepareRow(ListView1, index);
        zapSoon(ListView1);
    });
    connect(ListView2, &ListView::movedByKey, this, [this](int step) {
        m_keyStep = step;
        prepareRow(ListView2, ListView2->selectedIndex());
        zapSoon(ListView2);
    });
    // The row under the pointer is made ready to open, should it be pressed.
    connect(ListView1, &QAbstractItemView::entered, this,
            [this](const QModelIndex& at) { prepareRow(ListView1, ListView1->rowAt(at)); });
    connect(ListView2, &QAbstractItemView::entered, this,
            [this](const QModelIndex& at) { prepareRow(ListView2, ListView2->rowAt(at)); });
    connect(File1, &QListWidget::itemActivated, this, [this] { File1_Click(); });
    m_zapTimer.setSingleShot(true);
    m_zapTimer.setInterval(kZapPauseMs);
    connect(&m_zapTimer, &QTimer::timeout, this, &Form1::zapNow);
    m_settingsRetry.setInterval(1000);
    connect(&m_settingsRetry, &QTimer::timeout, this, [this] { retryKeptSettings(kSettingsLockWait); });
    m_prepareTimer.setSingleShot(true);
    m_prepareTimer.setInterval(kPrepareRestMs);
    connect(&m_prepareTimer, &QTimer::timeout, this, [this] {
        if (!m_prepareList || chkLoad->isChecked() || m_prepareRow >= m_prepareList->rowCount()) return;
        const ListRow& row = m_prepareList->row(m_prepareRow);
        if (xtream::IsSeriesAddress(row.address)) return;  // no stream: the panel's list of episodes
        tellStreamOptions(m_prepareList, row);
        WindowsMediaPlayer1->prepare(Utf8ToQt(row.address));
    });
    // The pane's keys that are no typing (Page Up/Down, Backspace, Ctrl+Up…) also work in the lists.
    for (QWidget* list :
         {static_cast<QWidget*>(ListView1), static_cast<QWidget*>(ListView2), static_cast<QWidget*>(File1)})
        list->addActions(pane->listKeyActions());
    // Digits over a list zap to a channel number only where the list has numbers (a playlist's
    // tvg-chno); elsewhere they find rows, as letters do.
    for (ListView* list : {ListView1, ListView2})
        list->setDigitHandler([this, list](int digit) {
            if (!listHasNumbers(list)) return false;
            typeDigit(digit);
            return true;
        });
    connect(pane, &PlayerPane::nextRequested, this, [this] { zapBy(1); });
    connect(pane, &PlayerPane::previousRequested, this, [this] { zapBy(-1); });
    connect(pane, &PlayerPane::lastChannelRequested, this, &Form1::playLastChannel);
    connect(pane, &PlayerPane::restartRequested, this, &Form1::restartProgramme);
    connect(pane, &PlayerPane::volumeSettled, this, [this](int volume, bool muted) {
        saveSetting(settings_keys::kVolume, std::to_string(volume));
        saveSetting(settings_keys::kMute, muted ? "1" : "0");
    });
    connect(pane, &PlayerPane::hardwareDecodingToggled, this,
            [this](bool on) { saveSetting(settings_keys::kHardwareDecoding, on ? "1" : "0"); });
    connect(pane, &PlayerPane::keepLastChannelToggled, this,
            [this](bool on) { saveSetting(settings_keys::kKeepLastChannel, on ? "1" : "0"); });
    connect(pane, &PlayerPane::fullScreenChanged, this, [this](bool on) {
        // The panel's native window would lie over the full-screen picture: it is hidden until
        // full screen ends, then laid over the player again.
        if (on) {
            m_editorHiddenForFullScreen = Frame2->isVisible();
            if (m_editorHiddenForFullScreen) Frame2->hide();
            return;
        }
        ResizeControls();  // back in its place, at the window's present size
        if (m_editorHiddenForFullScreen) Frame2->show();
        m_editorHiddenForFullScreen = false;
        keepEditorOverPlayer();
    });
}

void Form1::restorePlayerSettings() {
    using namespace settings_keys;
    const auto read = [](const char* key, const char* fallback) {
        return GetSetting(AppName(), kSection, key, fallback);
    };
    // A number the user may have edited into nonsense reads as its default.
    const auto number = [&](const char* key, const char* fallback) {
        try {
            return std::stoi(read(key, fallback));
        } catch (const std::exception&) {
            return std::stoi(fallback);
        }
    };
    WindowsMediaPlayer1->setVolume(number(kVolume, kVolumeDefault));
    WindowsMediaPlayer1->setMuted(read(kMute, kMuteDefault) == "1");
    WindowsMediaPlayer1->setHardwareDecoding(read(kHardwareDecoding, kHardwareDecodingDefault) != "0");
    WindowsMediaPlayer1->setKeepLastChannel(read(kKeepLastChannel, kKeepLastChannelDefault) != "0");
    WindowsMediaPlayer1->setPauseBuffer({}, number(kPauseBufferMinutes, kPauseBufferMinutesDefault),
                                        number(kPauseBufferMegabytes, kPauseBufferMegabytesDefault));
}

void Form1::ListView1_Click() {
    const int index = ListView1->selectedIndex();
    if (index < 0) return;
    const ListRow& row = ListView1->row(index);
    if (EditMode) fillEditFields(index);
    if (!chkLoad->isChecked() && !pressPlayed(Utf8ToQt(row.address)))
        play(Utf8ToQt(row.address), Utf8ToQt(row.name), false, ListView1);
}

void Form1::PlayAddress(const QString& address) {
    play(address, QString(), true);
    followPlaying();  // a handed-over address: its row, where a list shows one
}

void Form1::ListView2_Click() {
    if (chkLoad->isChecked()) return;
    const int index = ListView2->selectedIndex();
    if (index < 0) return;
    const ListRow& row = ListView2->row(index);
    if (!pressPlayed(Utf8ToQt(row.address))) play(Utf8ToQt(row.address), Utf8ToQt(row.name), false, ListView2);
}

void Form1::playOnPress(ListView* list) {
    m_press = Press{};
    const int index = list->selectedIndex();
    if (chkLoad->isChecked() || index < 0) return;
    const ListRow& row = list->row(index);
    const QString address = Utf8ToQt(row.address);
    m_press = Press{address, m_playing, m_previous, WindowsMediaPlayer1->isActive()};
    // A press on the channel that plays leaves it playing (the click does not start it again);
    // one that is paused, stuck opening or reconnecting is opened again.
    if (WindowsMediaPlayer1->isPlayingOrStarting(address)) return;
    play(address, Utf8ToQt(row.name), false, list);
}

void Form1::prepareRow(ListView* list, int index) {
    if (chkLoad->isChecked() || index < 0 || index >= list->rowCount()) return;
    // The channel on now needs nothing; what was made ready beside it stays.
    if (WindowsMediaPlayer1->isPlayingOrStarting(Utf8ToQt(list->row(index).address))) return;
    m_prepareList = list;
    m_prepareRow = index;
    m_prepareTimer.start();
}

bool Form1::pressPlayed(const QString& address) {
    const bool played = !m_press.address.isEmpty() && m_press.address == address;
    m_press = Press{};
    return played;
}

void Form1::undoPress() {
    const Press press = m_press;
    m_press = Press{};
    if (press.address.isEmpty() || WindowsMediaPlayer1->url() != press.address) return;
    if (press.playing.address == press.address) return;  // it played before the press
    if (press.wasActive && !press.playing.address.isEmpty())
        play(press.playing.address, press.playing.name, press.playing.fromUser, press.playing.list);  // at once
    else
        WindowsMediaPlayer1->close();
    m_playing = press.playing;
    m_previous = press.previous;
    refreshGuideText();
}

void Form1::play(const QString& address, const QString& name, bool fromUser, QWidget* from) {
    if (xtream::IsSeriesAddress(ToUtf8(address))) {
        // A series plays nothing itself: opened, it offers its episodes; zapping keys pass it by.
        if (!m_zapping) openSeries(address, name, from);
        return;
    }
    m_zapTimer.stop();
    m_keyMoved.start();  // a key right after a play (Enter, a click) is no key at rest
    if (address != m_playing.address || name != m_playing.name) {
        if (!m_playing.address.isEmpty()) m_previous = m_playing;
        m_playing = Played{address, name, fromUser, from};
    } else if (from) {
        m_playing.list = from;
    }
    if (from == ListView1 && m_directory) m_directory->played(ToUtf8(address));  // the directory counts plays
    if (const auto* list = qobject_cast<const ListView*>(from))
        tellStreamOptions(list, ListRow{ToUtf8(name), ToUtf8(address), {}, {}, {}});
    if (fromUser)
        WindowsMediaPlayer1->setUrlFromUser(address);
    else
        WindowsMediaPlayer1->setUrl(address, name);
    showPlayingExtras();  // also for a row of the same address as the one before
    refreshGuideText();
    // The row the keys go to next (the way they last moved, down at first) is made ready, so
    // that zapping on opens a prepared row; the pane prepares it once this one plays.
    if (auto* list = qobject_cast<ListView*>(from)) {
        const int index = list->selectedIndex();
        if (index >= 0 && list->row(index).address == ToUtf8(address))
            prepareRow(list, list->rowBeside(index, m_keyStep));
    }
}

void Form1::activateRow(ListView* list) {
    m_zapTimer.stop();
    const int index = list->selectedIndex();
    if (index < 0) return;
    if (WindowsMediaPlayer1->isPlayingOrStarting(Utf8ToQt(list->row(index).address))) return;
    if (list == ListView1)
        ListView1_Click();
    else
        ListView2_Click();
}

void Form1::zapSoon(QWidget* list) {
    // A key pressed with the keys at rest before it zaps at once: a single Down answers without
    // a wait. Keys that follow within the rest (a held key, fast presses) restart the wait, so
    // that only the row they come to rest on opens.
    const bool atRest = !m_zapTimer.isActive() && (!m_keyMoved.isValid() || m_keyMoved.elapsed() >= kZapPauseMs);
    m_keyMoved.start();
    m_zapList = list;
    if (atRest) {
        zapNow();
        return;
    }
    m_zapTimer.start();
}

void Form1::zapNow() {
    m_zapping = true;
    const auto done = qScopeGuard([this] { m_zapping = false; });
    if (m_zapList == ListView1 && EditMode) {
        // The editor's fields were seen to when the keys moved; only the playing is left.
        const int index = ListView1->selectedIndex();
        if (index >= 0 && !chkLoad->isChecked()) {
            const ListRow& row = ListView1->row(index);
            play(Utf8ToQt(row.address), Utf8ToQt(row.name), false, ListView1);
        }
    } else if (m_zapList == ListView1)
        ListView1_Click();
    else if (m_zapList == ListView2)
        ListView2_Click();
    else if (m_zapList == File1)
        File1_Click();
}

// The headers the row's server asks for go to the pane before its address does.
void Form1::tellStreamOptions(const ListView* list, const ListRow& row) {
    const catalogue::ChannelExtras* extras = extrasOf(list, row);
    WindowsMediaPlayer1->setStreamOptions(Utf8ToQt(row.address), extras ? extras->options : std::string());
}
