#include "DbusDaemon.h"
#include "FakeMprisPlayer.h"
#include "actions/linux/MprisNowPlaying.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

std::optional<bool> send(NowPlaying& nowPlaying, MediaCommand command) {
    std::optional<bool> answer;
    nowPlaying.sendCommand(command, [&](bool accepted) { answer = accepted; });
    waitUntil([&] { return answer.has_value(); });
    return answer;
}

std::optional<bool> isPlaying(NowPlaying& nowPlaying) {
    std::optional<bool> answer;
    nowPlaying.requestIsPlaying([&](bool playing) { answer = playing; });
    waitUntil([&] { return answer.has_value(); });
    return answer;
}

}  // namespace

class MprisNowPlayingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(bus.address().isEmpty()) << bus.log().toStdString(); }

    DbusDaemon bus;
};

TEST_F(MprisNowPlayingTest, CommandGoesToThePlayingPlayer) {
    FakeMprisPlayer paused(bus.address(), "alpha", "Paused");
    FakeMprisPlayer playing(bus.address(), "beta", "Playing");
    ASSERT_TRUE(paused.isRegistered() && playing.isRegistered());
    MprisNowPlaying nowPlaying(bus.address());
    EXPECT_TRUE(nowPlaying.isAvailable());
    EXPECT_EQ(send(nowPlaying, MediaCommand::nextTrack), true);
    EXPECT_EQ(send(nowPlaying, MediaCommand::previousTrack), true);
    EXPECT_EQ(playing.next, 1);
    EXPECT_EQ(playing.previous, 1);
    EXPECT_EQ(paused.next + paused.previous, 0);
}

TEST_F(MprisNowPlayingTest, WithoutAPlayingPlayerTheFirstPlayerGetsTheCommand) {
    FakeMprisPlayer second(bus.address(), "zeta", "Stopped");
    FakeMprisPlayer first(bus.address(), "alpha", "Paused");
    ASSERT_TRUE(first.isRegistered() && second.isRegistered());
    MprisNowPlaying nowPlaying(bus.address());
    EXPECT_EQ(send(nowPlaying, MediaCommand::playPause), true);
    EXPECT_EQ(first.playPause, 1);
    EXPECT_EQ(second.playPause, 0);
}

TEST_F(MprisNowPlayingTest, NoPlayerOrARefusingOneMeansTheCommandIsNotAccepted) {
    MprisNowPlaying nowPlaying(bus.address());
    EXPECT_TRUE(nowPlaying.isAvailable());
    EXPECT_EQ(send(nowPlaying, MediaCommand::playPause), false);
    EXPECT_EQ(isPlaying(nowPlaying), false);
    FakeMprisPlayer player(bus.address(), "stubborn", "Playing");
    ASSERT_TRUE(player.isRegistered());
    player.refuse = true;
    EXPECT_EQ(send(nowPlaying, MediaCommand::nextTrack), false);
}

TEST_F(MprisNowPlayingTest, PlayingStateFollowsThePlayers) {
    FakeMprisPlayer player(bus.address(), "alpha", "Paused");
    ASSERT_TRUE(player.isRegistered());
    MprisNowPlaying nowPlaying(bus.address());
    EXPECT_EQ(isPlaying(nowPlaying), false);
    FakeMprisPlayer other(bus.address(), "beta", "Playing");
    ASSERT_TRUE(other.isRegistered());
    EXPECT_EQ(isPlaying(nowPlaying), true);
    other.setStatus("Stopped");
    EXPECT_EQ(isPlaying(nowPlaying), false);
}

TEST(MprisNowPlaying, WithoutABusNothingIsAccepted) {
    MprisNowPlaying nowPlaying("unix:path=/nonexistent/quorvel-bus");
    EXPECT_FALSE(nowPlaying.isAvailable());
    EXPECT_EQ(isPlaying(nowPlaying), false);
    EXPECT_EQ(send(nowPlaying, MediaCommand::nextTrack), false);
}

TEST(MediaKeyEvents, EachCommandIsADownAndUpOfItsKeyType) {
    EXPECT_EQ(mediaKeyEvents(MediaCommand::previousTrack),
              (QList<SyntheticKeyEvent>{SyntheticKeyEvent::mediaKey(18, true),
                                        SyntheticKeyEvent::mediaKey(18, false)}));
    EXPECT_EQ(mediaKeyEvents(MediaCommand::playPause).first().mediaKeyType, 16);
    EXPECT_EQ(mediaKeyEvents(MediaCommand::nextTrack).last(),
              SyntheticKeyEvent::mediaKey(17, false));
}
