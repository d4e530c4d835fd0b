#include "SessionTestSupport.h"

#include "device/LCDSession.h"
#include "device/virtual/VirtualMsdTwo.h"

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

// A command report: its start, zero-padded to 1024 bytes.
QByteArray report(const QByteArray& start) {
    return start + QByteArray(1024 - start.size(), '\0');
}
}  // namespace

namespace sessions_test {
class LCDSession : public SessionTest<::LCDSession, VirtualMsdTwo> {
protected:
    std::shared_ptr<::LCDSession> create(const SessionTiming& timing) override {
        return ::LCDSession::create(device, failureCallback(), timing);
    }
    // The keep-alive is far off unless a test asks for it, so command sequences stay exact.
    SessionTiming timing() const override {
        return {.backgroundSettle = 1ms, .keepAliveInterval = 3600s, .borderRepairDelay = 20ms};
    }
    const QByteArray black = solidBackground(Qt::black);
};

// The stored background is the screen a quarter turn clockwise: the first stored row's
// right-most pixel is the screen's top-left corner. Button images follow in whole reports.
TEST_F(LCDSession, StartSendsTheOpeningSequenceAndTheFrameImagesGoInWholeReports) {
    const QByteArray background =  // pure red (RGB565, little-endian) in the corner, blue elsewhere
        solidBackground(QColor(0, 0, 255)).replace(239 * 2, 2, QByteArray("\x00\xf8", 2));
    ASSERT_TRUE(start(buttons(), background, 70));
    EXPECT_EQ(pad->commands().join(u' '),
              "DIS LIG LIG LOG STP BAT STP BAT STP BAT STP BAT STP BAT STP BAT STP CONNECT");
    // The pad checks the background's announcement (its length); it is sent as 150 reports.
    const auto opening = pad->reports();
    EXPECT_EQ(opening.mid(4, 150).join(), background);
    EXPECT_EQ(opening.last(), report(hexBytes("43 52 54 00 00 43 4F 4E 4E 45 43 54")));
    EXPECT_EQ(std::tuple(pad->brightness(), pad->protocolErrors()), std::tuple(70, 0));
    // The pad shows the background the right way round (each button's bytes go to their place
    // below).
    EXPECT_EQ(pad->background().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_TRUE(near(pad->background().pixel(0, 1), QColor(0, 0, 255), 8));
    expectBrightnessClamped();
    EXPECT_EQ(pad->reports().last(), report(hexBytes("43 52 54 00 00 4c 49 47 00 00 00")));
    // Images are sent in 1024-byte reports after their announcement (length big-endian, button): a
    // short one padded to 8192 bytes, a long one only to its last full report. The pad checks the
    // sequence and keeps the bytes; 65535 is the most an announcement can carry.
    auto images = buttons();
    for (const auto& [button, size, announcement, reports] :
         {std::tuple{3, 5000, "43 52 54 00 00 42 41 54 00 00 13 88 03", 8},
          std::tuple{6, 9000, "43 52 54 00 00 42 41 54 00 00 23 28 06", 9},
          std::tuple{1, 65535, "43 52 54 00 00 42 41 54 00 00 ff ff 01", 64}}) {
        SCOPED_TRACE(size);
        const qsizetype from = pad->reports().size();
        images[button - 1] = QByteArray(size, char(button));
        ASSERT_TRUE(update(images, background));
        const auto sent = pad->reports().mid(from);
        ASSERT_EQ(sent.size(), 1 + reports + 1);
        EXPECT_EQ(sent[0], report(hexBytes(announcement)));
        EXPECT_EQ(pad->buttonBytes(button), images[button - 1]);
    }
    EXPECT_EQ(pad->protocolErrors(), 0);
    images[0] = QByteArray(65536, '\x02');
    ASSERT_TRUE(update(images, background));
    EXPECT_EQ(failures(), QStringList{"LCD image too large"});
}

// An incomplete frame is refused; a pad that vanishes mid-upload fails the start with the
// write's code and is removed.
TEST_F(LCDSession, FailedStartsNameTheirCause) {
    auto images = buttons();
    images[4].clear();
    EXPECT_FALSE(start(images, black, 50));
    EXPECT_EQ(failures(), QStringList{"Cannot render LCD images; the display was not updated"});
    EXPECT_EQ(pad->commands().join(u' '), "DIS LIG LIG");
    reset();
    makeSession();
    pad->vanishAfterReports(60);
    EXPECT_FALSE(start(buttons(), black, 50));
    EXPECT_EQ(failures(), QStringList{"LCD write failed: 0xe00002c0"});
    EXPECT_EQ(std::tuple(readyCalls, pad->backgroundsReceived()), std::tuple(0, 0));
    EXPECT_TRUE(waitUntil([this] { return !removed.empty(); }));
}

// Only what changed is sent; a new background goes with all six buttons. The quit frame goes
// through the store in tests/pipeline.
TEST_F(LCDSession, OnlyWhatChangedIsSentAndOnlyTheLastPressIsRepaired) {
    ASSERT_TRUE(start(buttons(), black));
    pad->resetCounters();
    ASSERT_TRUE(update(buttons(), black));
    EXPECT_EQ(pad->counters().reports, 0);

    auto images = buttons();
    images[3] = jpegButton(Qt::white);
    ASSERT_TRUE(update(images, black));
    EXPECT_EQ(
        std::tuple(pad->imagesReceived(4), pad->imagesReceived(3), pad->backgroundsReceived()),
        std::tuple(2, 1, 1));
    EXPECT_TRUE(near(pad->buttonImage(4).pixel(32, 32), Qt::white, 16));

    pad->resetCounters();
    ASSERT_TRUE(update(images, solidBackground(Qt::white)));
    EXPECT_EQ(
        std::tuple(pad->counters().reports, pad->backgroundsReceived(), pad->imagesReceived(1)),
        std::tuple(2 + 150 + 6 * (1 + 8 + 1), 2, 2));
    EXPECT_TRUE(near(pad->picture().pixel(2, 2), Qt::white, 8));
    // Only the last press within the repair delay is repaired.
    const int two = pad->imagesReceived(2), five = pad->imagesReceived(5);
    // Presses arrive as the pad's own input reports; the model asks for the repair.
    onInput = [this](const QByteArray& input) {
        session->repairBorderAfterKeypress(static_cast<uint8_t>(input[9]));
    };
    pad->pressScreenButton(2);
    pad->pressScreenButton(5);
    ASSERT_TRUE(waitUntil([&] { return pad->imagesReceived(5) == five + 1; }) &&
                waitUntilIdle(session));
    EXPECT_EQ(pad->imagesReceived(2), two);
    EXPECT_EQ(pad->buttonBytes(5), buttons()[4]);
}

// The pad's own check, on which the other tests rely when they find no protocol errors.
TEST_F(LCDSession, DataNeedsItsClosingStopAndTheKeepAliveRepeatsConnectUntilStopped) {
    const auto command = [](const QByteArray& body) {
        return report(QByteArray("CRT\0\0", 5) + body);
    };
    device->setOutputReport(command("DIS"));
    device->setOutputReport(command(QByteArray("BAT\0\0\0\x10\x01", 8)));
    for (int slice = 0; slice < 8; ++slice) {
        device->setOutputReport(QByteArray(1024, 'x'));
    }
    device->setOutputReport(command("CONNECT"));
    EXPECT_EQ(std::tuple(pad->protocolErrors(), pad->imagesReceived(1)), std::tuple(1, 0));
    // The keep-alive repeats CONNECT until the session stops.
    SessionTiming often = timing();
    often.keepAliveInterval = 10ms;
    makeSession(often);
    const int before = pad->keepAlives();
    session->start(buttons(), black, 50);
    ASSERT_TRUE(waitUntil([&] { return pad->keepAlives() >= before + 4; }));
    session->stop();
    ASSERT_TRUE(waitUntilIdle(session));
    const int afterStop = pad->keepAlives();
    pad->resetCounters();
    // A finish behind the stop sees the session stopped; nothing more reaches the pad.
    const auto outcome = finish(buttons(1), solidBackground(Qt::white));
    ASSERT_TRUE(outcome && outcome->has_value());
    EXPECT_EQ(std::tuple((*outcome)->message(), pad->keepAlives(), pad->counters().reports),
              std::tuple("LCD disconnected", afterStop, 0));
}

}  // namespace sessions_test
