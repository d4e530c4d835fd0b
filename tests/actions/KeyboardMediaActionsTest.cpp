#include "actions/KeystrokeAction.h"
#include "actions/MediaKey.h"
#include "actions/MediaPlayback.h"

#include "FakeActionContext.h"
#include "support/TestSupport.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace {

using Event = SyntheticKeyEvent;

struct InputFixture : ::testing::Test {
    void SetUp() override {
        context.platform.input = input;
        context.platform.nowPlaying = nowPlaying;
    }
    void TearDown() override { MediaPlayback::shared().update(false); }

    static Binding recorded(quint16 keyCode, quint64 modifiers) {
        Binding binding(2, "LCD key 2", "Keystroke");
        binding.keyCode = keyCode;
        binding.modifiers = modifiers;
        binding.recordedShortcut = "⇧⌘K";
        return binding;
    }
    static QList<Event> media(int type) {
        return {Event::mediaKey(type, true), Event::mediaKey(type, false)};
    }

    std::shared_ptr<FakeInputPoster> input = std::make_shared<FakeInputPoster>();
    std::shared_ptr<FakeNowPlaying> nowPlaying = std::make_shared<FakeNowPlaying>();
    FakeActionContext context;
    const Binding key1{1, "LCD key 1"};
};

using KeystrokeActionTest = InputFixture;
using MediaKeyTest = InputFixture;

// Lets a timer of `interval` fire a few times, so that a poll timer of the same interval has had
// its chances as well.
void waitForTicks(std::chrono::milliseconds interval) {
    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(interval);
    ASSERT_TRUE(waitUntil([&] { return ticks >= 5; }));
}

}  // namespace

TEST_F(KeystrokeActionTest, PostsDownThenUpWithTheModifiersOnBothOnlyOnceRecorded) {
    const quint64 flags = Event::shiftFlag | Event::commandFlag;
    KeystrokeAction().perform(recorded(40, flags), context);
    KeystrokeAction().perform(recorded(0, 0), context);  // key code 0 is the A key
    Binding unrecorded = recorded(40, 0);
    unrecorded.recordedShortcut.reset();
    EXPECT_FALSE(KeystrokeAction().isReady(unrecorded, context));
    KeystrokeAction().perform(unrecorded, context);
    EXPECT_EQ(input->posted,
              (QList<Event>{Event::key(40, flags, true), Event::key(40, flags, false),
                            Event::key(0, 0, true), Event::key(0, 0, false)}));
    EXPECT_EQ(context.reports, (QStringList{"", "", "Record a keystroke for LCD key 2 first"}));
}

TEST_F(KeystrokeActionTest, FailuresAreReportedUnmakeableEventsBeforePermission) {
    context.accessibilityAllowed = false;
    KeystrokeAction().perform(recorded(40, 0), context);
    EXPECT_EQ(context.message, FakeActionContext::accessibilityHint);  // the hint alone shows
    input->unknownKeys = {0x7f};
    KeystrokeAction().perform(recorded(0x7f, 0), context);
    context.platform.input.reset();
    KeystrokeAction().perform(recorded(40, 0), context);
    context.accessibilityAllowed = true;
    context.platform.input = input;
    input->problem = "Cannot open /dev/uinput for writing";
    KeystrokeAction().perform(recorded(40, 0), context);
    EXPECT_TRUE(input->posted.isEmpty());
    EXPECT_EQ(
        context.calls,
        (QStringList{"requestAccessibilityAccess", "report: Could not create keystroke events",
                     "report: Could not create keystroke events", "requestAccessibilityAccess",
                     "report: Cannot open /dev/uinput for writing"}));
}

TEST_F(MediaKeyTest, PlayerTakesTheCommandElseTheMediaKeyIsPosted) {
    EXPECT_EQ(MediaKey::fromRawValue("Play/pause"), MediaKey(MediaKey::playPause));
    EXPECT_EQ(MediaKey::fromRawValue("play/pause"), std::nullopt);
    MediaKey(MediaKey::nextTrack).perform(key1, context);
    EXPECT_TRUE(input->posted.isEmpty());
    nowPlaying->accepts = false;
    MediaKey(MediaKey::previousTrack).perform(key1, context);
    nowPlaying->available = false;
    MediaKey(MediaKey::playPause).perform(key1, context);
    context.platform.nowPlaying.reset();
    MediaKey(MediaKey::nextTrack).perform(key1, context);
    EXPECT_EQ(nowPlaying->commands,
              (QList<MediaCommand>{MediaCommand::nextTrack, MediaCommand::previousTrack}));
    EXPECT_EQ(input->posted, media(Event::previousMediaKey) + media(Event::playMediaKey) +
                                 media(Event::nextMediaKey));
    EXPECT_EQ(context.calls, (QStringList{"report: ", "requestAccessibilityAccess",
                                          "report: ", "requestAccessibilityAccess",
                                          "report: ", "requestAccessibilityAccess", "report: "}));
}

TEST_F(MediaKeyTest, FallbackFailuresAreReportedAndLateAnswersForAGonePadDropped) {
    nowPlaying->available = false;
    context.accessibilityAllowed = false;
    MediaKey(MediaKey::playPause).perform(key1, context);
    EXPECT_TRUE(context.reports.isEmpty());
    EXPECT_EQ(context.message, FakeActionContext::accessibilityHint);
    context.accessibilityAllowed = true;
    input->unknownMediaKeys = {Event::nextMediaKey};
    MediaKey(MediaKey::nextTrack).perform(key1, context);
    EXPECT_EQ(context.reports, QStringList{"Could not create a media-key event"});

    nowPlaying->available = true;
    nowPlaying->answerAtOnce = false;
    auto gone = std::make_unique<FakeActionContext>();
    gone->platform = context.platform;
    MediaKey(MediaKey::playPause).perform(key1, *gone);
    gone.reset();
    ASSERT_EQ(nowPlaying->pending.size(), 1);
    nowPlaying->pending.takeFirst()(false);
    EXPECT_TRUE(input->posted.isEmpty());
}

TEST_F(MediaKeyTest, PlayPauseSymbolAndArtworkFollowPlayback) {
    const MediaKey playPause(MediaKey::playPause);
    EXPECT_EQ(playPause.artworkKey(key1), "play");
    MediaPlayback::shared().update(true);
    EXPECT_EQ(playPause.symbol(), "pause");
    EXPECT_EQ(playPause.artworkKey(key1), "pause");
    EXPECT_EQ(MediaKey(MediaKey::nextTrack).artworkKey(key1), "skip-forward");
}

TEST(MediaPlayback, AsksAtOnceThenOnEveryTickAndNotifiesOnlyRealChangesUntilStopped) {
    MediaPlayback playback;
    QList<bool> changes;
    QObject::connect(&playback, &MediaPlayback::isPlayingChanged, [&](bool on) { changes << on; });
    auto nowPlaying = std::make_shared<FakeNowPlaying>();
    nowPlaying->playing = true;
    playback.start(nowPlaying, std::chrono::milliseconds(5));
    EXPECT_EQ(nowPlaying->questions, 1);
    EXPECT_TRUE(playback.isPlaying());
    waitForTicks(std::chrono::milliseconds(5));
    nowPlaying->playing = false;
    EXPECT_TRUE(waitUntil([&] { return !playback.isPlaying(); }));
    EXPECT_EQ(changes, (QList<bool>{true, false}));

    playback.stop();
    EXPECT_FALSE(playback.isWatching());
    const int asked = nowPlaying->questions;
    waitForTicks(std::chrono::milliseconds(5));
    EXPECT_EQ(nowPlaying->questions, asked);
}

TEST(MediaPlayback, SlowPlayerIsNotAskedAgainBeforeItAnswers) {
    MediaPlayback playback;
    auto nowPlaying = std::make_shared<FakeNowPlaying>();
    nowPlaying->answerAtOnce = false;
    playback.start(nowPlaying, std::chrono::milliseconds(1));
    waitForTicks(std::chrono::milliseconds(1));
    ASSERT_EQ(nowPlaying->questions, 1);
    nowPlaying->pending.takeFirst()(true);
    EXPECT_TRUE(playback.isPlaying());
    EXPECT_TRUE(waitUntil([&] { return nowPlaying->questions >= 2; }));
    playback.stop();  // an answer that arrives after stop() changes nothing
    nowPlaying->pending.takeFirst()(false);
    EXPECT_TRUE(playback.isPlaying());
}

TEST(MediaPlayback, WithoutPlayerServiceItLogsAndShowsPlayForGood) {
    LogCapture log;
    MediaPlayback playback;
    auto nowPlaying = std::make_shared<FakeNowPlaying>();
    nowPlaying->available = false;
    playback.start(nowPlaying);
    playback.start(nullptr);
    EXPECT_FALSE(playback.isWatching());
    EXPECT_EQ(nowPlaying->questions, 0);
    EXPECT_TRUE(log.contains("Now Playing state is unavailable; the media button will show Play"));
}
