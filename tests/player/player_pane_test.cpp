// The pane's state as an enum and as the text that tests and scripts read; the player's choice
// of sound drivers.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QMetaEnum>

#include "player/mpv_player.h"
#include "player/player_pane.h"

TEST(PlayerPaneState, TheEnumAndItsTextAgreeThroughARefusedAddressAndClose) {
    PlayerPane pane;
    QStringList seen;
    QObject::connect(&pane, &PlayerPane::playStateChanged, [&](const QString& s) { seen << s; });
    EXPECT_EQ(pane.state(), PlayerPane::PlayState::Idle);
    EXPECT_EQ(pane.playState(), QStringLiteral("idle"));
    EXPECT_EQ(pane.property("playState").toString(), QStringLiteral("idle"));

    pane.setUrl(QStringLiteral("ftp://127.0.0.1/refused"));  // a protocol the player does not open
    EXPECT_EQ(pane.state(), PlayerPane::PlayState::Error);
    EXPECT_EQ(pane.property("playState").toString(), QStringLiteral("error"));
    pane.stop();  // an error is not "stopped"
    EXPECT_EQ(pane.state(), PlayerPane::PlayState::Error);
    pane.close();
    EXPECT_EQ(pane.state(), PlayerPane::PlayState::Idle);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("error"), QStringLiteral("idle")}));
    if (auto* box = pane.findChild<QMessageBox*>(QStringLiteral("playerError"))) box->close();
}

TEST(PlayerPaneState, EveryStateHasItsOwnNameAndTheEnumIsKnownToQt) {
    const QMetaEnum meta = QMetaEnum::fromType<PlayerPane::PlayState>();
    ASSERT_EQ(meta.keyCount(), 7);
    QStringList names;
    for (int i = 0; i < meta.keyCount(); ++i) {
        const auto state = static_cast<PlayerPane::PlayState>(meta.value(i));
        names << PlayerPane::StateName(state);
        EXPECT_EQ(PlayerPane::StateName(state), QString::fromLatin1(meta.key(i)).toLower());
    }
    names.removeDuplicates();
    EXPECT_EQ(names.size(), 7);
}

TEST(SoundOutputs, TheDriverThatOpenedLastIsTriedFirstAndNoSoundIsTriedAgainAfterAWhile) {
    const std::string all = MpvPlayer::kSoundOutputs;
    EXPECT_EQ(MpvPlayer::SoundOutputs("", 0), all) << "none found yet: every driver, in the usual order";
    EXPECT_EQ(MpvPlayer::SoundOutputs("alsa", 0), "alsa,pipewire,pulse,null");
    EXPECT_EQ(MpvPlayer::SoundOutputs("pipewire", 0), all);
    EXPECT_EQ(MpvPlayer::SoundOutputs("pulse", MpvPlayer::kNoSoundRetryMs * 10), "pulse,pipewire,alsa,null");
    // No sound device: none is tried for a while, then all again.
    EXPECT_EQ(MpvPlayer::SoundOutputs("null", 0), "null");
    EXPECT_EQ(MpvPlayer::SoundOutputs("null", MpvPlayer::kNoSoundRetryMs - 1), "null");
    EXPECT_EQ(MpvPlayer::SoundOutputs("null", MpvPlayer::kNoSoundRetryMs), all);
    // A driver this list does not know still comes first, and the others stay after it.
    EXPECT_EQ(MpvPlayer::SoundOutputs("jack", 0), "jack," + all);
}
