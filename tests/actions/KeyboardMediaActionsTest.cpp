#include "actions/KeystrokeAction.h"
#include "actions/MediaKey.h"
#include "actions/MediaPlayback.h"

#include "FakeActionContext.h"

#include <QTimer>

namespace {

using Event = SyntheticKeyEvent;

struct InputActions : ::testing::Test {
    void SetUp() override {
        context.platform.input = input;
        context.platform.nowPlaying = nowPlaying;
    }
    void TearDown() override { MediaPlayback::shared().update(false); }

    static Binding recorded(quint16 keyCode, quint64 modifiers, bool isRecorded = true) {
        return Binding(2, "LCD key 2", "Keystroke", {}, keyCode, modifiers,
                       isRecorded ? std::optional<QString>("⇧⌘K") : std::nullopt);
    }
    static QList<Event> media(int type) {
        return {Event::mediaKey(type, true), Event::mediaKey(type, false)};
    }

    std::shared_ptr<FakeInputPoster> input = std::make_shared<FakeInputPoster>();
    std::shared_ptr<FakeNowPlaying> nowPlaying = std::make_shared<FakeNowPlaying>();
    FakeActionContext context;
    const Binding key1{1, "LCD key 1"};
};

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

// Unmakeable events are reported before the permission is asked for.
TEST_F(InputActions, KeystrokePostsDownThenUpWithItsModifiersOnceRecordedOrReportsWhyNot) {
    const quint64 flags = Event::shiftFlag | Event::commandFlag;
    const auto press = [&](const Binding& binding) { KeystrokeAction().perform(binding, context); };
    press(recorded(40, flags));
    press(recorded(0, 0));  // key code 0 is the A key
    EXPECT_FALSE(KeystrokeAction().isReady(recorded(40, 0, false), context));
    press(recorded(40, 0, false));
    context.accessibilityAllowed = false;
    press(recorded(40, 0));
    EXPECT_EQ(context.message, FakeActionContext::accessibilityHint);  // the hint alone shows
    input->unknownKeys = {0x7f};
    press(recorded(0x7f, 0));
    context.platform.input.reset();
    press(recorded(40, 0));
    context.accessibilityAllowed = true;
    context.platform.input = input;
    input->problem = "Cannot open /dev/uinput for writing";
    press(recorded(40, 0));
    EXPECT_EQ(input->posted,
              (QList<Event>{Event::key(40, flags, true), Event::key(40, flags, false),
                            Event::key(0, 0, true), Event::key(0, 0, false)}));
    const QString ask = "requestAccessibilityAccess",
                  failed = "report: Could not create keystroke events";
    EXPECT_EQ(context.calls,
              (QStringList{ask, "report: ", ask,
                           "report: ", "report: Record a keystroke for LCD key 2 first", ask,
                           failed, failed, ask, "report: Cannot open /dev/uinput for writing"}));
}

// Refused by the player or without one, the command is posted as a media key (the posting
// itself is the keystroke's).
TEST_F(InputActions, MediaKeyGoesToThePlayerElseIsPostedAndFailuresAreReported) {
    MediaKey(MediaKey::nextTrack).perform(key1, context);
    nowPlaying->accepts = false;
    MediaKey(MediaKey::previousTrack).perform(key1, context);
    context.platform.nowPlaying.reset();
    MediaKey(MediaKey::playPause).perform(key1, context);
    input->unknownMediaKeys = {Event::nextMediaKey};
    MediaKey(MediaKey::nextTrack).perform(key1, context);
    EXPECT_EQ(nowPlaying->commands,
              (QList<MediaCommand>{MediaCommand::nextTrack, MediaCommand::previousTrack}));
    EXPECT_EQ(input->posted, media(Event::previousMediaKey) + media(Event::playMediaKey));
    const QString ask = "requestAccessibilityAccess";
    EXPECT_EQ(context.calls, (QStringList{"report: ", ask, "report: ", ask, "report: ",
                                          "report: Could not create a media-key event"}));
    // A late answer for a pad that has gone is dropped.
    context.platform.nowPlaying = nowPlaying;
    nowPlaying->answerAtOnce = false;
    auto gone = std::make_unique<FakeActionContext>();
    gone->platform = context.platform;
    MediaKey(MediaKey::playPause).perform(key1, *gone);
    gone.reset();
    ASSERT_EQ(nowPlaying->pending.size(), 1);
    nowPlaying->pending.takeFirst()(false);
    EXPECT_EQ(input->posted.size(), 4);
}

// Asks at once, then on every tick but never before the last answer came, until stopped (the
// pads' redraw on a change is the display tests').
TEST(MediaPlayback, FollowsThePlayerUntilStoppedWithoutAskingASlowPlayerTwice) {
    MediaPlayback playback;
    auto nowPlaying = std::make_shared<FakeNowPlaying>();
    nowPlaying->playing = true;
    playback.start(nowPlaying, std::chrono::milliseconds(5));
    EXPECT_EQ(std::tuple(nowPlaying->questions, playback.isPlaying()), std::tuple(1, true));
    waitForTicks(std::chrono::milliseconds(5));
    nowPlaying->playing = false;
    EXPECT_TRUE(waitUntil([&] { return !playback.isPlaying(); }));
    playback.stop();
    int asked = nowPlaying->questions;
    waitForTicks(std::chrono::milliseconds(5));
    EXPECT_EQ(nowPlaying->questions, asked);

    nowPlaying->answerAtOnce = false;
    playback.start(nowPlaying, std::chrono::milliseconds(1));
    waitForTicks(std::chrono::milliseconds(1));
    ASSERT_EQ(nowPlaying->questions, ++asked);
    nowPlaying->pending.takeFirst()(true);
    EXPECT_TRUE(playback.isPlaying());
    EXPECT_TRUE(waitUntil([&] { return nowPlaying->questions > asked; }));
    playback.stop();  // an answer that arrives after stop() changes nothing
    nowPlaying->pending.takeFirst()(false);
    EXPECT_TRUE(playback.isPlaying());

    LogCapture log;
    nowPlaying->available = false;
    MediaPlayback without;
    without.start(nowPlaying);
    without.start(nullptr);
    EXPECT_FALSE(without.isWatching());
    EXPECT_TRUE(log.contains("Now Playing state is unavailable; the media button will show Play"));
}
