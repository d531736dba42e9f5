// The picture's context menu, its captions for the language engine, and the Stream Information
// window it opens.
#include "player/player_pane.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QToolButton>

#include "player/mpv_player.h"
#include "player/stream_information.h"
#include "widgets/design.h"

void PlayerPane::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void PlayerPane::buildMenuCaptions() {
    const std::array<std::pair<const char*, const char*>, 16> captions{{
        {"menuPlay", "&Play"},
        {"menuPause", "&Pause"},
        {"menuStop", "&Stop"},
        {"menuAudio", "&Audio Track"},
        {"menuSubtitles", "S&ubtitles"},
        {"menuSubtitlesOff", "Off"},
        {"menuAspect", "Aspect &Ratio"},
        {"menuAspectFromStream", "As the Stream Says"},
        {"menuFullScreen", "&Full Screen"},
        {"menuMute", "&Mute"},
        {"menuHardwareDecoding", "&Hardware Decoding"},
        {"menuKeepLastChannel", "&Keep Last Channel Ready"},
        {"menuCopyAddress", "&Copy Stream Address"},
        {"menuStreamInformation", "Stream &Information"},
        {"menuRecord", "&Record"},
        {"menuStopRecording", "Stop &Recording"},
    }};
    for (const auto& [name, text] : captions) {
        auto* caption = new QAction(QString::fromUtf8(text), this);
        caption->setObjectName(QString::fromLatin1(name));
        caption->setProperty(design::kMenuEntry, true);
        caption->setVisible(false);
        m_menuCaptions.insert(caption->objectName(), caption);
    }
}

StreamFacts PlayerPane::streamFacts() const { return m_player->facts(); }

StreamInformation* PlayerPane::showStreamInformation() {
    if (!m_streamInformation) {
        // The window reads what plays through this; it never reaches into the pane.
        const QPointer<PlayerPane> self(this);
        m_streamInformation = new StreamInformation(window(), [self] {
            if (!self) return StreamInformation::Playing{};
            // Read only while something plays: while a stream opens, a read would wait for the player.
            const QString state = self->playState();
            const bool open = state == QLatin1String("playing") || state == QLatin1String("paused");
            return StreamInformation::Playing{self->url(), open, open ? self->streamFacts() : StreamFacts{}};
        });
        connect(this, &PlayerPane::playStateChanged, m_streamInformation, &StreamInformation::refresh);
        connect(this, &QObject::destroyed, m_streamInformation, &QWidget::close);
        placeBeside(m_streamInformation);
    }
    m_streamInformation->show();
    m_streamInformation->raise();
    m_streamInformation->activateWindow();
    return m_streamInformation;
}

// A window of the pane's goes beside the main window where the screen has room, else over the
// pane's top corner: never over the control bar and its volume slider.
void PlayerPane::placeBeside(QWidget* tool) const {
    tool->adjustSize();
    const QSize size = tool->frameGeometry().size().expandedTo(tool->sizeHint());
    const QRect main = window()->frameGeometry();
    const QScreen* screen = window()->screen();
    const QRect room = screen ? screen->availableGeometry() : main;
    const int gap = 8;
    QPoint at(main.right() + gap, main.top());
    if (at.x() + size.width() > room.right()) at.setX(main.left() - gap - size.width());
    if (at.x() < room.left()) at = mapToGlobal(QPoint(width() - size.width(), 0));
    at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - size.height())));
    tool->move(at);
}

QString PlayerPane::menuCaption(const char* name) const {
    const QAction* caption = m_menuCaptions.value(QString::fromLatin1(name));
    return caption ? caption->text() : QString();
}

QMenu* PlayerPane::createContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("playerMenu"));
    auto add = [menu](QMenu* into, const QString& text, const char* name, auto handler) {
        QAction* action = into->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcutContext(Qt::WidgetShortcut);  // the keys are shown here, taken by the pane
        QObject::connect(action, &QAction::triggered, menu, handler);
        return action;
    };
    QAction* playOrPause = add(menu, menuCaption(m_state == PlayState::Playing ? "menuPause" : "menuPlay"),
                               "menuPlayPause", [this] { playPause(); });
    playOrPause->setShortcut(Qt::Key_Space);
    playOrPause->setEnabled(!m_url.isEmpty());
    add(menu, menuCaption("menuStop"), "menuStop", [this] { stop(); })->setEnabled(m_stop->isEnabled());
    QAction* record = add(menu, menuCaption(isRecording() ? "menuStopRecording" : "menuRecord"), "menuRecord", [this] {
        if (isRecording())
            stopRecording();
        else
            startRecording();
    });
    record->setShortcut(Qt::Key_R);
    record->setEnabled(isRecording() || m_state == PlayState::Playing || m_state == PlayState::Paused);
    menu->addSeparator();

    const QList<MpvPlayer::Track> tracks = m_player->tracks();
    QMenu* audio = menu->addMenu(menuCaption("menuAudio"));
    audio->setObjectName(QStringLiteral("menuAudio"));
    QMenu* subtitles = menu->addMenu(menuCaption("menuSubtitles"));
    subtitles->setObjectName(QStringLiteral("menuSubtitles"));
    auto* audioGroup = new QActionGroup(audio);
    auto* subtitleGroup = new QActionGroup(subtitles);
    bool anySubtitle = false;
    QAction* off = add(subtitles, menuCaption("menuSubtitlesOff"), "menuSubtitlesOff",
                       [this] { m_player->selectTrack(QStringLiteral("sub"), 0); });
    off->setCheckable(true);
    off->setChecked(true);
    subtitleGroup->addAction(off);
    for (const MpvPlayer::Track& track : tracks) {
        if (track.type != QLatin1String("audio") && track.type != QLatin1String("sub")) continue;
        const bool isAudio = track.type == QLatin1String("audio");
        const QString type = track.type;
        const qint64 id = track.id;
        QAction* a = add(isAudio ? audio : subtitles, track.label, isAudio ? "menuAudioTrack" : "menuSubtitleTrack",
                         [this, type, id] { m_player->selectTrack(type, id); });
        a->setCheckable(true);
        a->setChecked(track.selected);
        (isAudio ? audioGroup : subtitleGroup)->addAction(a);
        if (!isAudio && track.selected) off->setChecked(false);
        anySubtitle = anySubtitle || !isAudio;
    }
    audio->setEnabled(!audio->actions().isEmpty());
    subtitles->setEnabled(anySubtitle);

    QMenu* aspect = menu->addMenu(menuCaption("menuAspect"));
    aspect->setObjectName(QStringLiteral("menuAspect"));
    auto* aspectGroup = new QActionGroup(aspect);
    const std::array<std::pair<QString, QString>, 4> ratios{{{menuCaption("menuAspectFromStream"), QString()},
                                                             {QStringLiteral("16:9"), QStringLiteral("16:9")},
                                                             {QStringLiteral("4:3"), QStringLiteral("4:3")},
                                                             {QStringLiteral("2.35:1"), QStringLiteral("2.35:1")}}};
    for (const auto& [text, ratio] : ratios) {
        QAction* a = add(aspect, text, "menuAspectRatio", [this, r = ratio] { m_player->setAspect(r); });
        a->setCheckable(true);
        a->setChecked(m_player->aspect() == ratio);
        aspectGroup->addAction(a);
    }
    menu->addSeparator();
    QAction* full = add(menu, menuCaption("menuFullScreen"), "menuFullScreen", [this] { toggleFullScreen(); });
    full->setCheckable(true);
    full->setChecked(m_fullScreen);
    full->setShortcut(Qt::Key_F);
    QAction* mute = add(menu, menuCaption("menuMute"), "menuMute", [this] { m_mute->toggle(); });
    mute->setCheckable(true);
    mute->setChecked(isMuted());
    mute->setShortcut(Qt::Key_M);
    QAction* hw = add(menu, menuCaption("menuHardwareDecoding"), "menuHardwareDecoding", [this] {
        setHardwareDecoding(!hardwareDecoding());
        emit hardwareDecodingToggled(hardwareDecoding());
    });
    hw->setCheckable(true);
    hw->setChecked(hardwareDecoding());
    QAction* keep = add(menu, menuCaption("menuKeepLastChannel"), "menuKeepLastChannel", [this] {
        setKeepLastChannel(!keepsLastChannel());
        emit keepLastChannelToggled(keepsLastChannel());
    });
    keep->setCheckable(true);
    keep->setChecked(keepsLastChannel());
    menu->addSeparator();
    add(menu, menuCaption("menuStreamInformation"), "menuStreamInformation", [this] {
        showStreamInformation();
    })->setShortcut(Qt::CTRL | Qt::Key_I);
    add(menu, menuCaption("menuCopyAddress"), "menuCopyAddress", [this] {
        QApplication::clipboard()->setText(m_url);
    })->setEnabled(!m_url.isEmpty());
    return menu;
}
