#include "actions/linux/MprisNowPlaying.h"

#include "FakeDbusServices.h"
#include "support/LocalServers.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// The answer to `ask`, once it came.
std::optional<bool> answer(const std::function<void(std::function<void(bool)>)>& ask) {
    std::optional<bool> result;
    ask([&](bool value) { result = value; });
    waitUntil([&] { return result.has_value(); });
    return result;
}
std::optional<bool> send(NowPlaying& nowPlaying, MediaCommand command) {
    return answer([&](auto done) { nowPlaying.sendCommand(command, done); });
}
std::optional<bool> isPlaying(NowPlaying& nowPlaying) {
    return answer([&](auto done) { nowPlaying.requestIsPlaying(done); });
}

}  // namespace

// Without a bus nothing is accepted.
TEST(MprisNowPlaying, CommandGoesToThePlayingPlayerElseTheFirstAndItsStateFollowsThePlayers) {
    DbusDaemon bus;
    ASSERT_FALSE(bus.address().isEmpty()) << bus.log().toStdString();
    MprisNowPlaying nowPlaying(bus.address());
    EXPECT_TRUE(nowPlaying.isAvailable());
    EXPECT_EQ(send(nowPlaying, MediaCommand::playPause), false);  // no player at all
    EXPECT_EQ(isPlaying(nowPlaying), false);
    FakeMprisPlayer second(bus.address(), "zeta", "Stopped");
    FakeMprisPlayer first(bus.address(), "alpha", "Paused");
    ASSERT_TRUE(first.registered && second.registered);
    EXPECT_EQ(send(nowPlaying, MediaCommand::playPause), true);
    EXPECT_EQ(isPlaying(nowPlaying), false);
    EXPECT_EQ(first.playPause + second.playPause * 10, 1);

    FakeMprisPlayer playing(bus.address(), "beta", "Playing");
    ASSERT_TRUE(playing.registered);
    EXPECT_EQ(isPlaying(nowPlaying), true);
    EXPECT_EQ(send(nowPlaying, MediaCommand::nextTrack), true);
    EXPECT_EQ(send(nowPlaying, MediaCommand::previousTrack), true);
    EXPECT_EQ(playing.next + playing.previous * 10, 11);
    EXPECT_EQ(first.next + first.previous, 0);
    playing.refuse = true;
    EXPECT_EQ(send(nowPlaying, MediaCommand::nextTrack), false);
    playing.status = "Stopped";
    EXPECT_EQ(isPlaying(nowPlaying), false);

    MprisNowPlaying without("unix:path=/nonexistent/quorvel-bus");
    EXPECT_FALSE(without.isAvailable());
    EXPECT_EQ(std::tuple(isPlaying(without), send(without, MediaCommand::nextTrack)),
              std::tuple(std::optional(false), std::optional(false)));
}
