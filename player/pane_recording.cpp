// The player pane's recording: what plays, written as it comes to the user's video folder.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>
#include <filesystem>

#include "player/mpv_player.h"
#include "player/player_pane.h"
#include "services/recording.h"
#include "widgets/message_box.h"
#include "widgets/texts.h"

namespace {

QString Size(std::uint64_t bytes) {
    if (bytes < std::uint64_t{1} << 20) return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 MB").arg(static_cast<double>(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

// A recording that has written nothing after this long will not (the player could not write
// the stream's container): it ends with that said.
constexpr qint64 kNothingWrittenMs = 10000;

}  // namespace

QString PlayerPane::RecordingFolder() {
    const QByteArray own = qgetenv("XDG_VIDEOS_DIR");
    if (!own.isEmpty()) return QString::fromLocal8Bit(own);
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return videos.isEmpty() ? QDir::homePath() + QStringLiteral("/Videos") : videos;
}

QString PlayerPane::recordingPath() const {
    return m_recording ? QString::fromStdString(m_recording->target().string()) : QString();
}

std::uint64_t PlayerPane::recordedBytes() const { return m_recording ? m_recording->bytes() : 0; }

QString PlayerPane::recordingText() const {
    return QStringLiteral("REC %1 · %2").arg(ClockText(m_recordClock.elapsed() / 1000.0), Size(recordedBytes()));
}

bool PlayerPane::startRecording() {
    if (m_recording) return true;
    if (m_state != PlayState::Playing && m_state != PlayState::Paused) {
        showNote(Msg("MSG_RECORDWHENPLAYING"), 4000);
        return false;
    }
    const QString folder = RecordingFolder();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(folder.toStdString()), ec);
    const QString name = m_name.isEmpty() ? m_title : m_name;
    const std::string stem = recording::SafeFileName(name.toStdString()) + " " +
                             QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")).toStdString();
    const std::filesystem::path target = recording::FreePath(
        folder.toStdString(), stem, recording::ExtensionFor(m_player->fileFormat().toStdString(), hasVideo()));
    std::string error;
    m_recording = recording::Sink::Open(target, error);
    if (!m_recording || !m_player->setStreamRecord(QString::fromStdString(m_recording->pipePath()))) {
        m_recording.reset();
        showNote(Msg("MSG_RECORDNOTSTARTED")
                     .arg(folder, error.empty() ? Msg("MSG_RECORDPLAYERREFUSED") : QString::fromStdString(error)),
                 10000);
        return false;
    }
    m_recordClock.start();
    m_recordTimer.start();
    refreshStatus();
    emit recordingChanged(true, recordingPath(), QString());
    return true;
}

void PlayerPane::stopRecording() { endRecording(QString()); }

void PlayerPane::watchRecording() {
    if (!m_recording) return;
    if (m_recording->failed())
        endRecording(QString::fromStdString(m_recording->failure()));
    else if (m_recording->bytes() == 0 && m_recordClock.elapsed() > kNothingWrittenMs)
        endRecording(Msg("MSG_RECORDNOTHING"));
    else
        refreshStatus();
}

void PlayerPane::endRecording(const QString& failure) {
    if (!m_recording) return;
    m_recordTimer.stop();
    m_player->setStreamRecord(QString());  // the player lets go of the pipe first
    m_recording->finish();
    const QString path = recordingPath();
    const std::uint64_t bytes = m_recording->bytes();
    const QString took = ClockText(m_recordClock.elapsed() / 1000.0);
    m_recording.reset();
    if (failure.isEmpty() && bytes == 0) {
        showNote(Msg("MSG_RECORDNOTHING"));  // and no empty file is left
    } else if (failure.isEmpty()) {
        showNote(Msg("MSG_RECORDED").arg(took, Size(bytes), path));
    } else {
        const QString text = Msg("MSG_RECORDSTOPPED").arg(failure, took, Size(bytes), path);
        showNote(text, 15000);
        // Said in a message too (not modal: playing goes on), one at a time.
        if (!m_recordBox) {
            m_recordBox = new QMessageBox(QMessageBox::Warning, Msg("MSG_RECORDING"), text, QMessageBox::Ok, this);
            m_recordBox->setObjectName(QStringLiteral("recordingError"));
            SayButtons(m_recordBox);
            m_recordBox->setAttribute(Qt::WA_DeleteOnClose);
            m_recordBox->setWindowModality(Qt::NonModal);
            m_recordBox->setAttribute(Qt::WA_ShowWithoutActivating);
        }
        m_recordBox->setText(text);
        m_recordBox->show();
    }
    refreshStatus();
    emit recordingChanged(false, path, failure);
}
