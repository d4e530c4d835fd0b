#include "SessionTestSupport.h"

#include "device/DisplayPadProtocol.h"
#include "device/DisplayPadSession.h"
#include "device/virtual/VirtualDisplayPad.h"

using namespace std::chrono_literals;

namespace sessions_test {
constexpr int chunksPerKey = 31;

class DisplayPadSession : public SessionTest<::DisplayPadSession, VirtualDisplayPad> {
protected:
    std::shared_ptr<::DisplayPadSession> create(const SessionTiming& timing) override {
        return ::DisplayPadSession::create(device, manager.usb(), failureCallback(), timing);
    }
    // Waits are short so that failure paths run quickly; image steps keep room for a slow
    // (sanitizer) build, since only failing paths ever wait them out.
    SessionTiming timing() const override {
        return {
            .activationTimeout = 40ms, .imageTimeout = 5s, .retryPause = 2ms, .settlePause = 2ms};
    }

    void expectPadShows(const QList<QByteArray>& frame) {
        for (int key = 1; key <= 12; ++key) {
            const auto* bgr = reinterpret_cast<const uint8_t*>(frame[key - 1].constData());
            EXPECT_EQ(pad->keyImage(key).pixel(0, 0), qRgb(bgr[2], bgr[1], bgr[0])) << key;
        }
    }
};

TEST_F(DisplayPadSession, FirstStartActivatesSetsBrightnessAndShowsEveryKey) {
    auto frame = displayPadFrame(1);
    frame[4] = gradientKey(77);
    ASSERT_TRUE(start(frame, {}, 150)) << failures().join(", ").toStdString();
    EXPECT_TRUE(pad->isActivated() && pad->isKeyEventModeEnabled() && pad->isImageInterfaceOpen());
    EXPECT_EQ(pad->brightness(), 100);
    expectPadShows(frame);
    // Pixels arrive in row order with blue, green, red bytes; key 5 is fifth in the top row.
    EXPECT_EQ(std::tuple(pad->keyImage(5).pixel(10, 0), pad->keyImage(5).pixel(101, 101)),
              std::tuple(qRgb(20, 0, 77), qRgb(202, 202, 77)));
    // The pad checks every command (activation, brightness, one image command per key).
    EXPECT_EQ(std::tuple(pad->counters().transfers, pad->protocolErrors(), pad->reports().size()),
              std::tuple(12 * chunksPerKey, 0, qsizetype(1 + 1 + 12)));
    EXPECT_TRUE(log.contains("DisplayPad initial artwork uploaded"));
    EXPECT_TRUE(log.contains("DisplayPad key-event mode enabled through " + pad->info().path +
                             " (HID output report 3)"));
    expectBrightnessClamped();
}

// The pad's own check, on which the other tests rely when they find no protocol errors: images
// before the activation are ignored and counted. Three updates during it give one upload.
TEST_F(DisplayPadSession, UpdatesCollapseDuringTheActivationAndAfterwardsOnlyChangedKeysGo) {
    const QByteArray image = DisplayPadProtocol::outputReport(DisplayPadProtocol::imageCommand(0));
    EXPECT_EQ(
        std::tuple(device->setOutputReport(image), device->setOutputReport(hexBytes("11 80"))),
        std::tuple(UsbStatus::success, UsbStatus::badArgument));
    EXPECT_EQ(std::tuple(pad->protocolErrors(), pad->isActivated()), std::tuple(2, false));
    // Without the HID report (a kernel before 5.11) key-event mode takes the USB request.
    pad->failKeyEventReport(UsbStatus::unsupported);
    makeSession();
    session->start(displayPadFrame(1), {}, 50);
    for (int seed : {2, 3, 4}) {
        session->update(displayPadFrame(seed), {});
    }
    ASSERT_TRUE(waitUntil([this] { return readyCalls == 1; }) && waitUntilIdle(session));
    for (int key = 1; key <= 12; ++key) {
        EXPECT_EQ(pad->imagesReceived(key), 2) << "key " << key;
    }
    EXPECT_EQ(std::tuple(failures().size(), pad->isKeyEventModeEnabled()), std::tuple(0, true));
    expectPadShows(displayPadFrame(4));
    EXPECT_TRUE(log.contains("DisplayPad key-event mode enabled through the USB control request"));
    // Only keys whose bytes changed are sent; a frame of the wrong count or size is refused before
    // anything is sent.
    auto frame = displayPadFrame(4);
    pad->resetCounters();
    const qsizetype linesBefore = log.lines().size();
    ASSERT_TRUE(update(frame));
    EXPECT_EQ(pad->counters().reports + pad->counters().transfers, 0);
    EXPECT_EQ(log.lines().size(), linesBefore) << "an unchanged frame logs nothing";

    frame[4] = solidKey(Qt::white);
    frame[11] = gradientKey(3);
    ASSERT_TRUE(update(frame));
    EXPECT_EQ(std::tuple(pad->counters().transfers, pad->imagesReceived(5), pad->imagesReceived(12),
                         pad->imagesReceived(1)),
              std::tuple(2 * chunksPerKey, 3, 3, 2));
    expectPadShows(frame);

    pad->resetCounters();
    auto shortFrame = displayPadFrame(2), truncated = displayPadFrame(2);
    shortFrame.removeLast();
    truncated[3].chop(1);
    ASSERT_TRUE(update(shortFrame) && update(truncated));
    EXPECT_EQ(failures(), QStringList(2, "Could not render all twelve LCD images"));
    EXPECT_EQ(pad->counters().reports, 0);
}

// An echo left over from before must not count for the activation written afterwards, so every
// failure below is met with one already waiting.
TEST_F(DisplayPadSession, FailedStartsNameTheirCause) {
    const struct {
        std::function<void(VirtualDisplayPad&)> fault;
        const char* message;
        int reports, openAttempts;  // -1: not checked
    } cases[] = {
        {[](auto& p) { p.setAnswering(false); },
         "DisplayPad did not acknowledge command [11 80 00 00 01]", 6, -1},
        {[](auto& p) { p.rejectReports(UsbStatus::noDevice); },
         "HID command [11 80] failed: 0xe00002c0", -1, -1},
        {[](auto& p) { p.failImageInterfaceOpen(0); }, "Open image interface failed: 0xe00002f0", 0,
         20},
        // Neither the HID report (a kernel without the request) nor the USB request gets through.
        {[](auto& p) {
             p.failKeyEventReport(UsbStatus::unsupported), p.failPrepare(UsbStatus::pipeStalled);
         },
         "Enable key-event mode failed: 0xe000404f", -1, -1},
        // The HID report failed for another reason: its code is the one that counts.
        {[](auto& p) {
             p.failKeyEventReport(UsbStatus::ioError), p.failPrepare(UsbStatus::pipeStalled);
         },
         "Enable key-event mode failed: 0xe00002ca", -1, -1},
        // A pad that vanishes mid-upload is removed (last: there is no pad afterwards).
        {[](auto& p) { p.vanishAfterTransfers(chunksPerKey + 10); },
         "DisplayPad key 2: Image transfer failed: 0xe00002c0", -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        c.fault(*pad);
        makeSession();
        session->receive(hexBytes("11 80 00 00 01"));
        const int opensBefore = pad->openAttempts();
        session->start(displayPadFrame(1), {}, 50);
        ASSERT_TRUE(waitUntil([this] { return failures().size() == 1; }));
        EXPECT_EQ(std::tuple(failures().constLast(), readyCalls),
                  std::tuple(QString(c.message), 0));
        EXPECT_TRUE(c.reports < 0 || pad->counters().reports == c.reports);
        EXPECT_TRUE(c.openAttempts < 0 || pad->openAttempts() - opensBefore == c.openAttempts);
        reset();
    }
    EXPECT_TRUE(log.contains("DisplayPad activation attempt 6"));
    EXPECT_FALSE(log.contains("DisplayPad activation attempt 7"));
    EXPECT_TRUE(waitUntil([this] { return removed.size() == 1; }));
}

// Each wait is far longer than the test's deadline: only the stop can end it, and nothing more
// reaches the pad afterwards. The session waits between open attempts for an image interface
// held elsewhere (0), for the echo of a silent pad (1), and in the settle pause (2).
TEST_F(DisplayPadSession, StopEndsAnyWaitAtOnce) {
    for (const int wait : {0, 1, 2}) {
        SCOPED_TRACE(wait);
        SessionTiming custom = timing();
        (wait == 0   ? custom.retryPause
         : wait == 1 ? custom.activationTimeout
                     : custom.settlePause) = 600s;
        wait == 0 ? pad->failImageInterfaceOpen(UsbStatus::exclusiveAccess)
                  : pad->setAnswering(wait != 1);
        makeSession(custom);
        session->start(displayPadFrame(1), {}, 50);
        // The pad counts its first opening.
        ASSERT_TRUE(waitUntil([&] {
            return wait == 2 ? log.contains("DisplayPad activation acknowledged")
                             : (wait == 0 ? pad->openAttempts() : pad->counters().reports) == 1;
        }));
        const auto seen = [this] {
            return std::tuple(pad->counters().reports, pad->openAttempts(), pad->imagesReceived(),
                              pad->brightness());
        };
        const auto before = seen();
        session->stop();
        ASSERT_TRUE(waitUntilIdle(session));
        EXPECT_EQ(failures(), QStringList(wait == 1, "DisplayPad disconnected"));
        EXPECT_EQ(std::tuple(seen(), readyCalls), std::tuple(before, 0));
        // The stop closes the image interface in a task of its own, after the running one.
        EXPECT_TRUE(waitUntil([this] { return !pad->isImageInterfaceOpen(); }));
        reset();
    }
}

TEST_F(DisplayPadSession,
       AFailingChunkFailsItsKeyTheNextUploadResendsItAndFinishDrawsTheQuitFrame) {
    auto frame = displayPadFrame(1);
    ASSERT_TRUE(start(frame));
    pad->rejectTransfers(UsbStatus::ioError, chunksPerKey + 5);
    frame[0] = solidKey(Qt::red);
    frame[1] = solidKey(Qt::green);
    ASSERT_TRUE(update(frame));
    EXPECT_EQ(failures(), QStringList{"DisplayPad key 2: Image transfer failed: 0xe00002ca"});
    EXPECT_TRUE(log.contains("DisplayPad key 2 upload failed: Image transfer failed: 0xe00002ca"));
    // Keys after the failing one are not attempted.
    EXPECT_EQ(std::tuple(pad->imagesReceived(1), pad->imagesReceived(2), pad->imagesReceived(3)),
              std::tuple(2, 1, 1));

    pad->clearFaults();
    pad->resetCounters();
    ASSERT_TRUE(update(frame));
    // The last complete upload is still the reference, so key 1 goes again with key 2.
    EXPECT_EQ(pad->counters().transfers, 2 * chunksPerKey);
    expectPadShows(frame);
    // The quit frame is drawn, then the session stops; a finish answers even when the owner has
    // released the session meanwhile.
    const auto outcome = finish(displayPadFrame(5));
    ASSERT_TRUE(outcome && !outcome->has_value());
    expectPadShows(displayPadFrame(5));
    EXPECT_TRUE(
        waitUntil([this] { return session.use_count() == 1 && !pad->isImageInterfaceOpen(); }));

    pad->resetCounters();
    ASSERT_TRUE(update(displayPadFrame(6)));
    const auto stopped = finish(displayPadFrame(2));
    ASSERT_TRUE(stopped && stopped->has_value());
    EXPECT_EQ((*stopped)->message(), "DisplayPad disconnected");
    EXPECT_EQ(pad->counters().reports + pad->counters().transfers, 0);

    reset();
    readyCalls = 0;
    makeSession();
    ASSERT_TRUE(start(displayPadFrame(1)));
    bool answered = false;
    session->finish(displayPadFrame(2), {}, [&](PadDisplaySession::Result) { answered = true; });
    session.reset();
    EXPECT_TRUE(waitUntil([&] { return answered; }));
}

}  // namespace sessions_test
