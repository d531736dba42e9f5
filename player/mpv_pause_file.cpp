// Live TV paused: the player's demuxer cache, written to a file on disk while the picture waits,
// so that play resumes where it paused and the user can seek within what arrived.
#include <QDir>

#include "player/mpv_player.h"

#include <mpv/client.h>

namespace {

// The player's own read-ahead, as it was before a pause asked for more.
constexpr const char* kOrdinaryBytes = "150MiB";
constexpr const char* kOrdinaryBackBytes = "50MiB";
constexpr const char* kOrdinarySeconds = "3600000";

}  // namespace

bool MpvPlayer::keepWhilePaused(const QString& folder, qint64 bytes, int seconds) {
    if (!m_mpv) return false;
    if (m_keepingPaused) return true;
    if (!QDir().mkpath(folder)) {
        emit pauseFileFailed(QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    const QByteArray amount = QByteArray::number(bytes);
    const QByteArray secs = QByteArray::number(seconds);
    // The folder first: the file is made in it the moment the cache goes to disk.
    mpv_set_property_string(m_mpv, "cache-dir", QDir::toNativeSeparators(folder).toUtf8().constData());
    mpv_set_property_string(m_mpv, "demuxer-max-bytes", amount.constData());
    mpv_set_property_string(m_mpv, "demuxer-max-back-bytes", amount.constData());
    mpv_set_property_string(m_mpv, "cache-secs", secs.constData());
    mpv_set_property_string(m_mpv, "force-seekable", "yes");
    mpv_set_property_string(m_mpv, "cache-on-disk", "yes");
    m_keepingPaused = true;
    return true;
}

void MpvPlayer::stopKeepingWhilePaused() {
    if (!m_mpv || !m_keepingPaused) return;
    m_keepingPaused = false;
    // Set before the next load, so its demuxer starts without a file (the old one goes with
    // the old demuxer).
    mpv_set_property_string(m_mpv, "cache-on-disk", "no");
    mpv_set_property_string(m_mpv, "force-seekable", "no");
    mpv_set_property_string(m_mpv, "demuxer-max-bytes", kOrdinaryBytes);
    mpv_set_property_string(m_mpv, "demuxer-max-back-bytes", kOrdinaryBackBytes);
    mpv_set_property_string(m_mpv, "cache-secs", kOrdinarySeconds);
}

void MpvPlayer::seekBy(double seconds) {
    const QByteArray by = QByteArray::number(seconds, 'f', 3);
    command({"seek", by.constData(), "relative"});
}

double MpvPlayer::behindNewest() const {
    if (!m_mpv) return 0;
    double newest = 0, at = 0;
    if (mpv_get_property(m_mpv, "demuxer-cache-time", MPV_FORMAT_DOUBLE, &newest) < 0 ||
        mpv_get_property(m_mpv, "time-pos", MPV_FORMAT_DOUBLE, &at) < 0)
        return 0;
    return newest > at ? newest - at : 0;
}

qint64 MpvPlayer::pauseFileBytes() const {
    if (!m_mpv || !m_keepingPaused) return 0;
    mpv_node state;
    if (mpv_get_property(m_mpv, "demuxer-cache-state", MPV_FORMAT_NODE, &state) < 0) return 0;
    qint64 bytes = 0;
    if (state.format == MPV_FORMAT_NODE_MAP)
        for (int i = 0; i < state.u.list->num; ++i)
            if (qstrcmp(state.u.list->keys[i], "file-cache-bytes") == 0 &&
                state.u.list->values[i].format == MPV_FORMAT_INT64)
                bytes = state.u.list->values[i].u.int64;
    mpv_free_node_contents(&state);
    return bytes;
}
