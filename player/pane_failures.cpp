// How the pane tells a channel that failed or ended: a reconnect for a live stream, else the
// reason in the status line and in a message that never takes the keys.
#include "player/player_pane.h"

#include <QApplication>
#include <QMessageBox>

#include "base/private_label.h"
#include "player/video_view.h"
#include "widgets/message_box.h"
#include "widgets/qt_text.h"
#include "widgets/texts.h"

void PlayerPane::onEnded(bool error, const QString& reason) {
    m_openWatch.stop();
    // A live stream (no duration) that had played and then ended or failed was dropped by its
    // server or the network: it is opened again. A file or a recording that ended did end.
    if (m_startedOnce && m_live && m_state != PlayState::Stopped && m_state != PlayState::Idle) {
        reconnectOrGiveUp(error ? reason : Msg("MSG_SERVERENDED"));
        return;
    }
    m_video->hidePicture();
    clearOnScreen();
    if (error)
        showError(reason);
    else
        setState(PlayState::Stopped);
}

void PlayerPane::showError(const QString& reason) {
    m_error = reason;
    clearOnScreen();  // the reason stands in its place
    cancelOpening();
    m_video->hidePicture();
    setState(PlayState::Error);
    const QString text = Msg("MSG_CANNOTPLAY") + QStringLiteral("\n%1\n\n%2").arg(m_url, reason);
    // Never modal and never taking the focus: the keys stay with the list, so zapping goes on
    // over a dead channel; a later failure replaces the text of the open message instead of
    // stacking another, and the next channel closes it.
    if (QWidget* focus = QApplication::focusWidget(); focus && focus->window() == window()) m_keysBeforeError = focus;
    if (!m_errorBox) {
        const std::string& name = modPrivateLabel::ProgramName;
        m_errorBox = new QMessageBox(QMessageBox::Warning, name.empty() ? Msg("MSG_MEDIAPLAYER") : ToQt(name), text,
                                     QMessageBox::Ok, this);
        m_errorBox->setObjectName(QStringLiteral("playerError"));
        SayButtons(m_errorBox);
        m_errorBox->setAttribute(Qt::WA_DeleteOnClose);
        m_errorBox->setAttribute(Qt::WA_ShowWithoutActivating);
        m_errorBox->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
        m_errorBox->setWindowModality(Qt::NonModal);
        for (QWidget* child : m_errorBox->findChildren<QWidget*>()) child->setFocusPolicy(Qt::NoFocus);
        // Where the platform activates a new window all the same, the activation goes back.
        m_errorBox->installEventFilter(this);
        qApp->installEventFilter(this);  // Esc closes it, as long as it shows
        connect(m_errorBox, &QObject::destroyed, this, [this] { qApp->removeEventFilter(this); });
        m_errorBox->show();
    } else {
        m_errorBox->setText(text);
    }
    emit failed(m_url, reason);
}

void PlayerPane::closeFailure() {
    if (m_errorBox) m_errorBox->close();
}
