#include "SessionTestSupport.h"

#include "core/MainThread.h"
#include "device/LCDSession.h"
#include "device/virtual/VirtualMsdTwo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;

namespace {
const QList<QColor> buttonColors = {Qt::red,    Qt::green, Qt::blue,
                                    Qt::yellow, Qt::cyan,  Qt::magenta};

QList<QByteArray> buttons(int seed = 0) {
    QList<QByteArray> images;
    for (int index = 0; index < 6; ++index) {
        images << jpegButton(buttonColors[(index + seed) % 6]);
    }
    return images;
}

QByteArray zeros(int count) {
    return QByteArray(count, '\0');
}

QByteArray report(const QByteArray& start) {
    return start + zeros(1024 - static_cast<int>(start.size()));
}
}  // namespace

namespace sessions_test {
class LCDSession : public ::testing::Test {
protected:
    void SetUp() override {
        harness.startWith(pad);
        ASSERT_TRUE(harness.device);
    }

    void TearDown() override {
        if (session) {
            session->stop();
            EXPECT_TRUE(waitUntilIdle(session));
            session.reset();
        }
    }

    // The keep-alive is far off unless a test asks for it, so command sequences stay exact.
    static SessionTiming fastTiming() {
        SessionTiming timing;
        timing.backgroundSettle = 1ms;
        timing.keepAliveInterval = 3600s;
        timing.borderRepairDelay = 20ms;
        return timing;
    }

    void makeSession(SessionTiming timing = fastTiming()) {
        session = ::LCDSession::create(harness.device, failures.callback(), timing);
        session->setReady([this] { ++readyCalls; });
    }

    void startAndWaitReady(const QList<QByteArray>& images, const QByteArray& background,
                           int brightness = 70) {
        makeSession();
        session->start(images, background, brightness);
        ASSERT_TRUE(waitUntil([this] { return readyCalls == 1 || failures.count() > 0; }));
        ASSERT_EQ(failures.messages(), QStringList());
    }

    // Reports after the first `from` in the pad's log.
    QList<QByteArray> reportsFrom(int from) const { return pad->reports().mid(from); }

    std::shared_ptr<VirtualMsdTwo> pad = VirtualMsdTwo::create(0x02100000);
    SimulatedPadHarness harness;
    std::shared_ptr<::LCDSession> session;
    Failures failures;
    int readyCalls = 0;
};

TEST_F(LCDSession, StartSendsTheOpeningSequenceTheFrameAndAKeepAlive) {
    startAndWaitReady(buttons(), solidBackground(Qt::darkBlue), 70);

    const QStringList expected = {"DIS", "LIG", "LIG", "LOG", "STP", "BAT",
                                  "STP", "BAT", "STP", "BAT", "STP", "BAT",
                                  "STP", "BAT", "STP", "BAT", "STP", "CONNECT"};
    EXPECT_EQ(pad->commands(), expected);
    EXPECT_EQ(pad->reports()[1], report(hexBytes("43 52 54 00 00 4c 49 47 00 00 00")));
    EXPECT_EQ(pad->brightness(), 70);
    EXPECT_EQ(pad->protocolErrors(), 0);
    EXPECT_EQ(readyCalls, 1);
}

TEST_F(LCDSession, ThePadShowsTheBackgroundWithEachButtonAtItsPlace) {
    startAndWaitReady(buttons(), solidBackground(QColor(0, 0, 255)));

    const QImage screen = pad->picture();
    EXPECT_TRUE(near(screen.pixel(2, 2), QColor(0, 0, 255), 8));
    for (int key = 1; key <= 6; ++key) {
        const QPoint centre = VirtualMsdTwo::buttonRect(key).center();
        EXPECT_TRUE(near(screen.pixel(centre), buttonColors[key - 1], 24)) << "button " << key;
    }
    // Button 1 sits in the upper left, button 6 in the lower right.
    EXPECT_EQ(VirtualMsdTwo::buttonRect(1).topLeft(), QPoint(21, 28));
    EXPECT_EQ(VirtualMsdTwo::buttonRect(6).topLeft(), QPoint(235, 148));
}

TEST_F(LCDSession, TheBackgroundIsTurnedBackToLandscapeWithItsCornersInPlace) {
    QImage landscape(320, 240, QImage::Format_RGB32);
    landscape.fill(Qt::black);
    landscape.setPixel(0, 0, qRgb(255, 0, 0));    // top left
    landscape.setPixel(319, 0, qRgb(0, 255, 0));  // top right
    landscape.setPixel(0, 239, qRgb(0, 0, 255));  // bottom left
    startAndWaitReady(buttons(), background565(landscape));

    const QImage decoded = pad->background();
    EXPECT_EQ(decoded.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(decoded.pixel(319, 0), qRgb(0, 255, 0));
    EXPECT_EQ(decoded.pixel(0, 239), qRgb(0, 0, 255));
    EXPECT_EQ(decoded.pixel(319, 239), qRgb(0, 0, 0));
}

TEST_F(LCDSession, TheStoredBufferIsTheScreenAQuarterTurnClockwise) {
    // Built by hand: the first stored row, right-most pixel, is the screen's top-left corner.
    QByteArray stored(153600, '\0');
    stored[239 * 2] = static_cast<char>(0x00);
    stored[239 * 2 + 1] = static_cast<char>(0xf8);  // pure red, RGB565 little-endian
    startAndWaitReady(buttons(), stored);

    EXPECT_EQ(pad->background().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(pad->background().pixel(0, 1), qRgb(0, 0, 0));
}

TEST_F(LCDSession, TheKeepAliveReportIsConnectWithZeroPadding) {
    startAndWaitReady(buttons(), solidBackground(Qt::black));

    EXPECT_EQ(pad->reports().last(), hexBytes("43 52 54 00 00 43 4F 4E 4E 45 43 54") + zeros(1012));
}

TEST_F(LCDSession, ABackgroundIsAnnouncedWithItsLengthAndSentAs150Reports) {
    const QByteArray background = solidBackground(Qt::gray);
    startAndWaitReady(buttons(), background);

    const auto reports = pad->reports();
    EXPECT_EQ(reports[3], report(hexBytes("43 52 54 00 00 4c 4f 47 00 02 58 00 01")));
    for (int slice = 0; slice < 150; ++slice) {
        ASSERT_EQ(reports[4 + slice], background.mid(slice * 1024, 1024)) << "slice " << slice;
    }
    EXPECT_EQ(reports[154], report(QByteArray("CRT\0\0STP", 8)));
}

TEST_F(LCDSession, AShortImageIsPaddedTo8192BytesInEightReports) {
    auto images = buttons();
    images[2] = QByteArray(5000, '\x5a');
    startAndWaitReady(images, solidBackground(Qt::black));
    const int from = static_cast<int>(pad->reports().size());

    auto changed = images;
    changed[2] = QByteArray(5000, '\x6b');
    session->update(changed, solidBackground(Qt::black));
    ASSERT_TRUE(waitUntilIdle(session));

    const auto sent = reportsFrom(from);
    ASSERT_EQ(sent.size(), 1 + 8 + 1);
    EXPECT_EQ(sent[0], report(hexBytes("43 52 54 00 00 42 41 54 00 00 13 88 03")));
    EXPECT_EQ(sent[4], QByteArray(1024, '\x6b'));
    EXPECT_EQ(sent[5], QByteArray(904, '\x6b') + zeros(120));
    EXPECT_EQ(sent[8], zeros(1024));
    EXPECT_EQ(
        (sent[1] + sent[2] + sent[3] + sent[4] + sent[5] + sent[6] + sent[7] + sent[8]).right(3192),
        zeros(3192));
    EXPECT_EQ(pad->buttonBytes(3), changed[2]);
}

TEST_F(LCDSession, ALongImageGetsNoPaddingButItsLastReportIsFilled) {
    auto images = buttons();
    startAndWaitReady(images, solidBackground(Qt::black));
    const int from = static_cast<int>(pad->reports().size());

    images[5] = QByteArray(9000, '\x11');
    session->update(images, solidBackground(Qt::black));
    ASSERT_TRUE(waitUntilIdle(session));

    const auto sent = reportsFrom(from);
    ASSERT_EQ(sent.size(), 1 + 9 + 1);
    EXPECT_EQ(sent[0], report(hexBytes("43 52 54 00 00 42 41 54 00 00 23 28 06")));
    EXPECT_EQ(sent[9], QByteArray(808, '\x11') + zeros(216));
    EXPECT_EQ(pad->buttonBytes(6), images[5]);
    EXPECT_EQ(pad->protocolErrors(), 0);
}

TEST_F(LCDSession, AnImageOf65536BytesIsTooLargeButOneByteLessIsSent) {
    auto images = buttons();
    startAndWaitReady(images, solidBackground(Qt::black));

    images[0] = QByteArray(65535, '\x01');
    session->update(images, solidBackground(Qt::black));
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(failures.count(), 0);
    EXPECT_EQ(pad->buttonBytes(1), images[0]);

    images[0] = QByteArray(65536, '\x02');
    session->update(images, solidBackground(Qt::black));
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1; }));
    EXPECT_EQ(failures.messages(), QStringList{"LCD image too large"});
}

TEST_F(LCDSession, AnIncompleteFrameIsRefused) {
    makeSession();
    auto images = buttons();
    images[4].clear();
    session->start(images, solidBackground(Qt::black), 50);
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1; }));

    EXPECT_EQ(failures.messages(),
              QStringList{"Cannot render LCD images; the display was not updated"});
    EXPECT_EQ(pad->commands(), (QStringList{"DIS", "LIG", "LIG"}));
    EXPECT_EQ(readyCalls, 0);
}

TEST_F(LCDSession, UnchangedFrameSendsNothing) {
    startAndWaitReady(buttons(), solidBackground(Qt::black));
    pad->resetCounters();

    session->update(buttons(), solidBackground(Qt::black));
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(pad->counters().reports, 0);
}

TEST_F(LCDSession, ABackgroundChangeResendsTheBackgroundAndAllSixButtons) {
    startAndWaitReady(buttons(), solidBackground(Qt::black));
    pad->resetCounters();

    session->update(buttons(), solidBackground(Qt::white));
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(pad->counters().reports, 2 + 150 + 6 * (1 + 8 + 1));
    EXPECT_EQ(pad->backgroundsReceived(), 2);
    for (int key = 1; key <= 6; ++key) {
        EXPECT_EQ(pad->imagesReceived(key), 2);
    }
    EXPECT_TRUE(near(pad->picture().pixel(2, 2), Qt::white, 8));
}

TEST_F(LCDSession, OnlyChangedButtonsAreSent) {
    startAndWaitReady(buttons(), solidBackground(Qt::black));
    auto images = buttons();
    images[3] = jpegButton(Qt::white);

    session->update(images, solidBackground(Qt::black));
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(pad->imagesReceived(4), 2);
    EXPECT_EQ(pad->imagesReceived(3), 1);
    EXPECT_EQ(pad->backgroundsReceived(), 1);
    EXPECT_TRUE(near(pad->buttonImage(4).pixel(32, 32), Qt::white, 16));
}

TEST_F(LCDSession, ThreeRapidUpdatesCollapseIntoTheNewest) {
    const QByteArray background = solidBackground(Qt::black);
    const QList<QList<QByteArray>> frames = {buttons(0), buttons(1), buttons(2), buttons(3)};
    // The pause after the background keeps the start busy while the updates arrive.
    SessionTiming timing = fastTiming();
    timing.backgroundSettle = 300ms;
    makeSession(timing);
    session->start(frames[0], background, 50);
    session->update(frames[1], background);
    session->update(frames[2], background);
    session->update(frames[3], background);
    ASSERT_TRUE(waitUntil([this] { return readyCalls == 1; }));
    ASSERT_TRUE(waitUntilIdle(session));

    for (int key = 1; key <= 6; ++key) {
        EXPECT_EQ(pad->imagesReceived(key), 2) << "button " << key;
        EXPECT_EQ(pad->buttonBytes(key), buttons(3)[key - 1]);
    }
}

TEST_F(LCDSession, OnlyTheLastPressWithinTheRepairDelayIsRepaired) {
    startAndWaitReady(buttons(), solidBackground(Qt::black));
    // Presses arrive as the pad's own input reports; the model asks for the repair.
    harness.onInput = [this](const QByteArray& input) {
        session->repairBorderAfterKeypress(static_cast<uint8_t>(input[9]));
    };

    pad->pressScreenButton(2);
    pad->pressScreenButton(5);
    ASSERT_TRUE(waitUntil([this] { return pad->imagesReceived(5) == 2; }));
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(pad->imagesReceived(2), 1);
    EXPECT_EQ(pad->buttonBytes(5), buttons()[4]);
}

TEST_F(LCDSession, KeepAliveRepeatsConnectUntilStopped) {
    SessionTiming timing = fastTiming();
    timing.keepAliveInterval = 10ms;
    makeSession(timing);
    session->start(buttons(), solidBackground(Qt::black), 50);

    ASSERT_TRUE(waitUntil([this] { return pad->keepAlives() >= 4; }));
    session->stop();
    ASSERT_TRUE(waitUntilIdle(session));
    const int afterStop = pad->keepAlives();
    // A finish behind the stop sees the session stopped; nothing more reaches the pad.
    std::optional<PadDisplaySession::Result> outcome;
    session->finish(buttons(), solidBackground(Qt::black),
                    [&](PadDisplaySession::Result result) { outcome = result; });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    EXPECT_EQ(pad->keepAlives(), afterStop);
}

TEST_F(LCDSession, BrightnessIsClampedAndCompletesOnTheSessionQueue) {
    startAndWaitReady(buttons(), solidBackground(Qt::black));
    std::atomic<int> completions = 0;
    std::atomic<bool> onMain = false;
    auto completion = [&] {
        onMain = onMain || isMainThread();
        ++completions;
    };

    session->setBrightness(150, completion);
    ASSERT_TRUE(waitUntil([&] { return completions == 1; }));
    EXPECT_EQ(pad->brightness(), 100);
    EXPECT_EQ(pad->reports().last(), report(hexBytes("43 52 54 00 00 4c 49 47 00 00 64")));
    session->setBrightness(-5, completion);
    ASSERT_TRUE(waitUntil([&] { return completions == 2; }));
    EXPECT_EQ(pad->brightness(), 0);
    EXPECT_FALSE(onMain);
}

TEST_F(LCDSession, ARejectedReportFailsWithItsCode) {
    pad->rejectReports(UsbStatus::noDevice, 3);
    makeSession();
    session->start(buttons(), solidBackground(Qt::black), 50);
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1; }));

    EXPECT_EQ(failures.messages(), QStringList{"LCD write failed: 0xe00002c0"});
    EXPECT_EQ(readyCalls, 0);
    EXPECT_EQ(pad->backgroundsReceived(), 0);
}

TEST_F(LCDSession, APadThatVanishesMidUploadFailsAndIsRemoved) {
    pad->vanishAfterReports(60);
    makeSession();
    session->start(buttons(), solidBackground(Qt::black), 50);
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1 && !harness.removed.empty(); }));

    EXPECT_EQ(failures.messages(), QStringList{"LCD write failed: 0xe00002c0"});
}

TEST_F(LCDSession, FinishDrawsTheQuitFrameAndAnswersOnTheMainThread) {
    startAndWaitReady(buttons(), solidBackground(Qt::black));
    std::optional<PadDisplaySession::Result> outcome;

    session->finish(buttons(4), solidBackground(Qt::black), [&](PadDisplaySession::Result result) {
        EXPECT_TRUE(isMainThread());
        outcome = result;
    });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    EXPECT_FALSE(outcome->has_value());
    EXPECT_EQ(pad->buttonBytes(1), buttons(4)[0]);

    pad->resetCounters();
    session->update(buttons(5), solidBackground(Qt::white));
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(pad->counters().reports, 0);
}

TEST_F(LCDSession, FinishAfterStopReportsDisconnectedAndSendsNothing) {
    startAndWaitReady(buttons(), solidBackground(Qt::black));
    session->stop();
    pad->resetCounters();
    std::optional<PadDisplaySession::Result> outcome;

    session->finish(buttons(1), solidBackground(Qt::white),
                    [&](PadDisplaySession::Result result) { outcome = result; });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    ASSERT_TRUE(outcome->has_value());
    EXPECT_EQ((*outcome)->message(), "LCD disconnected");
    EXPECT_EQ(pad->counters().reports, 0);
}

}  // namespace sessions_test
