#include "SessionTestSupport.h"

#include "core/MainThread.h"
#include "device/DisplayPadProtocol.h"
#include "device/DisplayPadSession.h"
#include "device/virtual/VirtualDisplayPad.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;

namespace {
constexpr uint32_t location = 0x01230000;
constexpr int chunksPerKey = 31;

}  // namespace

// The fixture carries the name of the class under test, which lives in the global namespace.
namespace sessions_test {
class DisplayPadSession : public ::testing::Test {
protected:
    void SetUp() override {
        // Replies reach the session as long as it exists, held by its owner or by its queue.
        harness.onInput = [this](const QByteArray& report) {
            if (auto target = route.lock()) {
                target->receive(report);
            }
        };
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

    // Waits are short so that failure paths run quickly; image steps keep room for a slow
    // (sanitizer) build, since only failing paths ever wait them out.
    static SessionTiming fastTiming() {
        SessionTiming timing;
        timing.activationTimeout = 40ms;
        timing.imageTimeout = 5s;
        timing.retryPause = 2ms;
        timing.settlePause = 2ms;
        return timing;
    }

    void makeSession(SessionTiming timing = fastTiming()) {
        session = ::DisplayPadSession::create(harness.device, harness.manager.usb(),
                                              failures.callback(), timing);
        session->setReady([this] { ++readyCalls; });
        route = session;
    }

    void startAndWaitReady(const QList<QByteArray>& frame, int brightness = 60) {
        makeSession();
        session->start(frame, {}, brightness);
        ASSERT_TRUE(waitUntil([this] { return readyCalls == 1 || failures.count() > 0; }));
        ASSERT_EQ(failures.messages(), QStringList());
        ASSERT_EQ(readyCalls, 1);
    }

    void expectPadShows(const QList<QByteArray>& frame) {
        for (int key = 1; key <= 12; ++key) {
            const QImage image = pad->keyImage(key);
            ASSERT_FALSE(image.isNull()) << "key " << key;
            const auto* bgr = reinterpret_cast<const uint8_t*>(frame[key - 1].constData());
            EXPECT_EQ(image.pixel(0, 0), qRgb(bgr[2], bgr[1], bgr[0])) << "key " << key;
        }
    }

    std::shared_ptr<VirtualDisplayPad> pad = VirtualDisplayPad::create(location);
    SimulatedPadHarness harness;
    std::shared_ptr<::DisplayPadSession> session;
    std::weak_ptr<::DisplayPadSession> route;
    Failures failures;
    int readyCalls = 0;
    LogCapture log;
};

TEST_F(DisplayPadSession, FirstStartActivatesSetsBrightnessAndShowsEveryKey) {
    const auto frame = displayPadFrame(1);
    startAndWaitReady(frame, 55);

    EXPECT_TRUE(pad->isActivated());
    EXPECT_TRUE(pad->isKeyEventModeEnabled());
    EXPECT_TRUE(pad->isImageInterfaceOpen());
    EXPECT_EQ(pad->brightness(), 55);
    expectPadShows(frame);
    EXPECT_EQ(pad->counters().transfers, 12 * chunksPerKey);
    EXPECT_EQ(pad->counters().transferBytes, 12 * DisplayPadProtocol::payloadSize);
    EXPECT_EQ(pad->protocolErrors(), 0);
    EXPECT_TRUE(log.contains("DisplayPad key-event mode enabled through " + pad->info().path +
                             " (HID output report 3)"));
    EXPECT_TRUE(log.contains("DisplayPad activation attempt 1"));
    EXPECT_TRUE(log.contains("DisplayPad activation acknowledged"));
    EXPECT_TRUE(log.contains("DisplayPad key 12 artwork acknowledged"));
    EXPECT_TRUE(log.contains("DisplayPad initial artwork uploaded"));
}

TEST_F(DisplayPadSession, PixelsArriveInRowOrderWithBlueGreenRedBytes) {
    auto frame = displayPadFrame(2);
    frame[4] = gradientKey(77);
    startAndWaitReady(frame);

    const QImage key5 = pad->keyImage(5);
    EXPECT_EQ(key5.pixel(0, 0), qRgb(0, 0, 77));
    EXPECT_EQ(key5.pixel(10, 0), qRgb(20, 0, 77));
    EXPECT_EQ(key5.pixel(0, 30), qRgb(0, 60, 77));
    EXPECT_EQ(key5.pixel(101, 101), qRgb(202, 202, 77));
    // In the pad's face key 5 is the fifth of the top row.
    EXPECT_EQ(pad->picture().pixel(4 * 102 + 10, 30), qRgb(20, 60, 77));
}

TEST_F(DisplayPadSession, EveryCommandIsOneZeroPaddedSixtyFourByteReport) {
    startAndWaitReady(displayPadFrame(1), 150);

    const auto reports = pad->reports();
    ASSERT_EQ(reports.size(), 1 + 1 + 12);
    for (const QByteArray& report : reports) {
        EXPECT_EQ(report.size(), 64);
    }
    EXPECT_EQ(reports[0], DisplayPadProtocol::outputReport(hexBytes("11 80 00 00 01")));
    EXPECT_EQ(reports[1], DisplayPadProtocol::outputReport(hexBytes("31 20 64")));
    EXPECT_EQ(reports[13],
              DisplayPadProtocol::outputReport(hexBytes("21 00 00 00 0b 3d 00 00 65 65")));
}

TEST_F(DisplayPadSession, ThreeUpdatesDuringActivationGiveOneUploadOfTheThird) {
    makeSession();
    session->start(displayPadFrame(1), {}, 50);
    session->update(displayPadFrame(2), {});
    session->update(displayPadFrame(3), {});
    session->update(displayPadFrame(4), {});
    ASSERT_TRUE(waitUntil([this] { return readyCalls == 1; }));
    ASSERT_TRUE(waitUntilIdle(session));

    EXPECT_EQ(pad->imagesReceived(), 24);
    for (int key = 1; key <= 12; ++key) {
        EXPECT_EQ(pad->imagesReceived(key), 2) << "key " << key;
    }
    expectPadShows(displayPadFrame(4));
    EXPECT_EQ(failures.count(), 0);
}

TEST_F(DisplayPadSession, UnchangedFrameSendsNothingAndLogsNothing) {
    const auto frame = displayPadFrame(1);
    startAndWaitReady(frame);
    pad->resetCounters();
    const int linesBefore = static_cast<int>(log.lines().size());

    session->update(frame, {});
    ASSERT_TRUE(waitUntilIdle(session));

    EXPECT_EQ(pad->counters().reports, 0);
    EXPECT_EQ(pad->counters().transfers, 0);
    EXPECT_EQ(log.lines().size(), linesBefore);
}

TEST_F(DisplayPadSession, OnlyKeysWhoseBytesChangedAreSent) {
    auto frame = displayPadFrame(1);
    startAndWaitReady(frame);
    pad->resetCounters();

    frame[4] = solidKey(Qt::white);
    frame[11] = gradientKey(3);
    session->update(frame, {});
    ASSERT_TRUE(waitUntilIdle(session));

    EXPECT_EQ(pad->counters().transfers, 2 * chunksPerKey);
    EXPECT_EQ(pad->imagesReceived(5), 2);
    EXPECT_EQ(pad->imagesReceived(12), 2);
    EXPECT_EQ(pad->imagesReceived(1), 1);
    expectPadShows(frame);
}

TEST_F(DisplayPadSession, WrongImageCountOrSizeIsRefusedBeforeAnythingIsSent) {
    startAndWaitReady(displayPadFrame(1));
    pad->resetCounters();

    auto shortFrame = displayPadFrame(2);
    shortFrame.removeLast();
    session->update(shortFrame, {});
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1; }));
    auto truncated = displayPadFrame(2);
    truncated[3].chop(1);
    session->update(truncated, {});
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 2; }));
    ASSERT_TRUE(waitUntilIdle(session));

    EXPECT_EQ(failures.messages(), QStringList(2, "Could not render all twelve LCD images"));
    EXPECT_EQ(pad->counters().reports, 0);
}

TEST_F(DisplayPadSession, BrightnessIsClampedAndCompletesOnTheSessionQueue) {
    startAndWaitReady(displayPadFrame(1));
    std::atomic<int> completions = 0;
    std::atomic<bool> onMain = false;
    auto completion = [&] {
        onMain = onMain || isMainThread();
        ++completions;
    };

    session->setBrightness(150, completion);
    ASSERT_TRUE(waitUntil([&] { return completions == 1; }));
    EXPECT_EQ(pad->brightness(), 100);
    session->setBrightness(-5, completion);
    ASSERT_TRUE(waitUntil([&] { return completions == 2; }));
    EXPECT_EQ(pad->brightness(), 0);
    EXPECT_FALSE(onMain);
}

TEST_F(DisplayPadSession, ActivationThatIsNeverAnsweredFailsAfterSixAttempts) {
    pad->setAnswering(false);
    makeSession();
    session->start(displayPadFrame(1), {}, 50);
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1; }));

    EXPECT_EQ(failures.messages(),
              QStringList{"DisplayPad did not acknowledge command [11 80 00 00 01]"});
    EXPECT_TRUE(log.contains("DisplayPad activation attempt 6"));
    EXPECT_FALSE(log.contains("DisplayPad activation attempt 7"));
    EXPECT_EQ(pad->counters().reports, 6);
    EXPECT_EQ(readyCalls, 0);
}

TEST_F(DisplayPadSession, ALateButTimelyEchoIsAccepted) {
    pad->setReplyDelay(15ms);
    SessionTiming timing = fastTiming();
    timing.activationTimeout = 5s;
    makeSession(timing);
    session->start(displayPadFrame(1), {}, 50);
    ASSERT_TRUE(waitUntil([this] { return readyCalls == 1 || failures.count() > 0; }));

    EXPECT_EQ(failures.count(), 0);
    EXPECT_FALSE(log.contains("DisplayPad activation attempt 2"));
}

TEST_F(DisplayPadSession, ARejectedCommandReportNamesTheCommandAndTheCode) {
    pad->rejectReports(UsbStatus::noDevice);
    makeSession();
    session->start(displayPadFrame(1), {}, 50);
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1; }));

    EXPECT_EQ(failures.messages(), QStringList{"HID command [11 80] failed: 0xe00002c0"});
    EXPECT_TRUE(log.contains("DisplayPad activation attempt 6"));
}

TEST_F(DisplayPadSession, StopDuringAWaitEndsItAtOnce) {
    pad->setAnswering(false);
    SessionTiming timing = fastTiming();
    timing.activationTimeout = 600s;  // only a stop can end this wait within the test's deadline
    makeSession(timing);
    session->start(displayPadFrame(1), {}, 50);
    ASSERT_TRUE(waitUntil([this] { return pad->counters().reports == 1; }));

    session->stop();
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1; }));
    EXPECT_EQ(failures.messages(), QStringList{"DisplayPad disconnected"});
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(pad->counters().reports, 1);
    // The stop closes the image interface in a task of its own, after the running one.
    EXPECT_TRUE(waitUntil([this] { return !pad->isImageInterfaceOpen(); }));
}

TEST_F(DisplayPadSession, StopDuringOpenRetriesEndsSilently) {
    pad->failImageInterfaceOpen(UsbStatus::exclusiveAccess);
    SessionTiming timing = fastTiming();
    timing.retryPause = 600s;
    makeSession(timing);
    session->start(displayPadFrame(1), {}, 50);
    ASSERT_TRUE(waitUntil([this] { return pad->openAttempts() == 1; }));

    session->stop();
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(pad->openAttempts(), 1);
    EXPECT_EQ(failures.count(), 0);
    EXPECT_EQ(pad->counters().reports, 0);
}

TEST_F(DisplayPadSession, StopDuringTheSettlePauseEndsTheStartSilently) {
    SessionTiming timing = fastTiming();
    timing.settlePause = 600s;
    makeSession(timing);
    session->start(displayPadFrame(1), {}, 50);
    ASSERT_TRUE(waitUntil([this] { return log.contains("DisplayPad activation acknowledged"); }));

    session->stop();
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(failures.count(), 0);
    EXPECT_EQ(pad->brightness(), -1);  // never set
    EXPECT_EQ(pad->imagesReceived(), 0);
    EXPECT_EQ(readyCalls, 0);
}

TEST_F(DisplayPadSession, ImageInterfaceThatNeverOpensFailsAfterTwentyTries) {
    pad->failImageInterfaceOpen(0);
    makeSession();
    session->start(displayPadFrame(1), {}, 50);
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1; }));

    EXPECT_EQ(failures.messages(), QStringList{"Open image interface failed: 0xe00002f0"});
    EXPECT_EQ(pad->openAttempts(), 20);
    EXPECT_EQ(pad->counters().reports, 0);
}

TEST_F(DisplayPadSession, AnOpenFailureKeepsItsOwnCode) {
    pad->failImageInterfaceOpen(UsbStatus::notPermitted);
    makeSession();
    session->start(displayPadFrame(1), {}, 50);
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1; }));

    EXPECT_EQ(failures.messages(), QStringList{"Open image interface failed: 0xe00002e2"});
}

TEST_F(DisplayPadSession, AFailedKeyEventModeRequestFailsTheStart) {
    // Neither the HID report (a kernel without the request) nor the USB request gets through.
    pad->failKeyEventReport(UsbStatus::unsupported);
    pad->failPrepare(UsbStatus::pipeStalled);
    makeSession();
    session->start(displayPadFrame(1), {}, 50);
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1; }));

    EXPECT_EQ(failures.messages(), QStringList{"Enable key-event mode failed: 0xe000404f"});
    EXPECT_FALSE(pad->isActivated());
}

TEST_F(DisplayPadSession, AFailingChunkFailsItsKeyAndTheNextUploadResendsFromTheLastGoodFrame) {
    auto frame = displayPadFrame(1);
    startAndWaitReady(frame);
    pad->resetCounters();
    pad->rejectTransfers(UsbStatus::ioError, chunksPerKey + 5);

    frame[0] = solidKey(Qt::red);
    frame[1] = solidKey(Qt::green);
    session->update(frame, {});
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1; }));
    EXPECT_EQ(failures.messages(),
              QStringList{"DisplayPad key 2: Image transfer failed: 0xe00002ca"});
    EXPECT_TRUE(log.contains("DisplayPad key 2 upload failed: Image transfer failed: 0xe00002ca"));
    EXPECT_EQ(pad->imagesReceived(1), 2);
    EXPECT_EQ(pad->imagesReceived(2), 1);
    EXPECT_EQ(pad->imagesReceived(3), 1);  // keys after the failing one are not attempted
    ASSERT_TRUE(waitUntilIdle(session));

    pad->clearFaults();
    pad->resetCounters();
    session->update(frame, {});
    ASSERT_TRUE(waitUntilIdle(session));
    // The last complete upload is still the reference, so key 1 goes again with key 2.
    EXPECT_EQ(pad->counters().transfers, 2 * chunksPerKey);
    expectPadShows(frame);
}

TEST_F(DisplayPadSession, APadThatVanishesMidUploadFailsTheStartAndIsRemoved) {
    pad->vanishAfterTransfers(chunksPerKey + 10);
    makeSession();
    session->start(displayPadFrame(1), {}, 50);
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1 && !harness.removed.empty(); }));

    EXPECT_EQ(failures.messages(),
              QStringList{"DisplayPad key 2: Image transfer failed: 0xe00002c0"});
    EXPECT_EQ(readyCalls, 0);
}

TEST_F(DisplayPadSession, FinishDrawsTheQuitFrameThenStops) {
    startAndWaitReady(displayPadFrame(1));
    std::optional<PadDisplaySession::Result> outcome;
    const auto quitFrame = displayPadFrame(5);

    session->finish(quitFrame, {}, [&](PadDisplaySession::Result result) {
        EXPECT_TRUE(isMainThread());
        outcome = result;
    });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    EXPECT_FALSE(outcome->has_value());
    expectPadShows(quitFrame);
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_TRUE(waitUntil([this] { return !pad->isImageInterfaceOpen(); }));

    pad->resetCounters();
    session->update(displayPadFrame(6), {});
    ASSERT_TRUE(waitUntilIdle(session));
    EXPECT_EQ(pad->counters().transfers, 0);
}

TEST_F(DisplayPadSession, FinishOnAStoppedSessionReportsDisconnectedAndSendsNothing) {
    startAndWaitReady(displayPadFrame(1));
    session->stop();
    pad->resetCounters();
    std::optional<PadDisplaySession::Result> outcome;

    session->finish(displayPadFrame(2), {},
                    [&](PadDisplaySession::Result result) { outcome = result; });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    ASSERT_TRUE(outcome->has_value());
    EXPECT_EQ((*outcome)->message(), "DisplayPad disconnected");
    EXPECT_EQ(pad->counters().reports, 0);
}

TEST_F(DisplayPadSession, FinishAnswersEvenWhenTheOwnerReleasedTheSession) {
    startAndWaitReady(displayPadFrame(1));
    bool answered = false;
    session->finish(displayPadFrame(2), {}, [&](PadDisplaySession::Result) { answered = true; });
    session.reset();

    EXPECT_TRUE(waitUntil([&] { return answered; }));
}

TEST_F(DisplayPadSession, RepliesThatArrivedBeforeTheCommandAreDiscarded) {
    pad->setAnswering(false);
    makeSession();
    // An echo left over from before must not count for the activation written afterwards.
    session->receive(hexBytes("11 80 00 00 01"));
    session->start(displayPadFrame(1), {}, 50);
    ASSERT_TRUE(waitUntil([this] { return failures.count() == 1; }));
    EXPECT_EQ(pad->counters().reports, 6);
}

}  // namespace sessions_test
