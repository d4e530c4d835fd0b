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
        return ::LCDSession::create(harness.device, failures.callback(), timing);
    }
    // The keep-alive is far off unless a test asks for it, so command sequences stay exact.
    SessionTiming timing() const override {
        SessionTiming timing;
        timing.backgroundSettle = 1ms;
        timing.keepAliveInterval = 3600s;
        timing.borderRepairDelay = 20ms;
        return timing;
    }
    const QByteArray black = solidBackground(Qt::black);
};

// The stored background is the screen a quarter turn clockwise: the first stored row's
// right-most pixel is the screen's top-left corner.
TEST_F(LCDSession, StartSendsTheOpeningSequenceTheFrameAndAKeepAlive) {
    QByteArray background = solidBackground(QColor(0, 0, 255));
    background[239 * 2] = 0;
    background[239 * 2 + 1] = static_cast<char>(0xf8);  // pure red, RGB565 little-endian
    ASSERT_TRUE(start(buttons(), background, 70));
    EXPECT_EQ(pad->commands().join(u' '),
              "DIS LIG LIG LOG STP BAT STP BAT STP BAT STP BAT STP BAT STP BAT STP CONNECT");
    const auto reports = pad->reports();
    EXPECT_EQ(reports[1], report(hexBytes("43 52 54 00 00 4c 49 47 00 00 00")));
    // The background is announced with its length and sent as 150 reports.
    EXPECT_EQ(reports[3], report(hexBytes("43 52 54 00 00 4c 4f 47 00 02 58 00 01")));
    EXPECT_EQ(reports.mid(4, 150).join(), background);
    EXPECT_EQ(reports[154], report(QByteArray("CRT\0\0STP", 8)));
    EXPECT_EQ(reports.last(), report(hexBytes("43 52 54 00 00 43 4F 4E 4E 45 43 54")));
    EXPECT_EQ(pad->brightness(), 70);
    EXPECT_EQ(pad->protocolErrors(), 0);

    // The pad shows the background with each button at its place.
    EXPECT_EQ(pad->background().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_TRUE(near(pad->background().pixel(0, 1), QColor(0, 0, 255), 8));
    EXPECT_TRUE(near(pad->picture().pixel(2, 2), QColor(0, 0, 255), 8));
    for (int key = 1; key <= 6; ++key) {
        const QPoint centre = VirtualMsdTwo::buttonRect(key).center();
        EXPECT_TRUE(near(pad->picture().pixel(centre), buttonColors[key - 1], 24)) << key;
    }
    expectBrightnessClamped();
    EXPECT_EQ(pad->reports().last(), report(hexBytes("43 52 54 00 00 4c 49 47 00 00 00")));
}

// Images are sent in 1024-byte reports after their announcement: a short one padded to 8192
// bytes, a long one only to its last full report.
TEST_F(LCDSession, ImagesAreSentInWholeReports) {
    auto images = buttons();
    ASSERT_TRUE(start(images, black));
    const struct {
        int button, size;
        char fill;
        const char* announcement;
        int reports;
        QByteArray lastData;  // of the image's last report with data
        int lastDataIndex;
    } cases[] = {
        {3, 5000, '\x6b', "43 52 54 00 00 42 41 54 00 00 13 88 03", 8,
         QByteArray(904, '\x6b') + QByteArray(120, '\0'), 5},
        {6, 9000, '\x11', "43 52 54 00 00 42 41 54 00 00 23 28 06", 9,
         QByteArray(808, '\x11') + QByteArray(216, '\0'), 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const qsizetype from = pad->reports().size();
        images[c.button - 1] = QByteArray(c.size, c.fill);
        ASSERT_TRUE(update(images, black));
        const auto sent = pad->reports().mid(from);
        ASSERT_EQ(sent.size(), 1 + c.reports + 1);
        EXPECT_EQ(sent[0], report(hexBytes(c.announcement)));
        EXPECT_EQ(sent[c.lastDataIndex], c.lastData);
        EXPECT_EQ(sent.mid(c.lastDataIndex + 1, c.reports - c.lastDataIndex),
                  QList<QByteArray>(c.reports - c.lastDataIndex, QByteArray(1024, '\0')));
        EXPECT_EQ(pad->buttonBytes(c.button), images[c.button - 1]);
    }
    EXPECT_EQ(pad->protocolErrors(), 0);

    // 65535 bytes is the most an announcement can carry.
    images[0] = QByteArray(65535, '\x01');
    ASSERT_TRUE(update(images, black));
    EXPECT_EQ(failures.count(), 0);
    EXPECT_EQ(pad->buttonBytes(1), images[0]);
    images[0] = QByteArray(65536, '\x02');
    ASSERT_TRUE(update(images, black));
    EXPECT_EQ(failures.messages(), QStringList{"LCD image too large"});
}

TEST_F(LCDSession, AnIncompleteFrameIsRefused) {
    auto images = buttons();
    images[4].clear();
    EXPECT_FALSE(start(images, black, 50));
    EXPECT_EQ(failures.messages(),
              QStringList{"Cannot render LCD images; the display was not updated"});
    EXPECT_EQ(pad->commands().join(u' '), "DIS LIG LIG");
    EXPECT_EQ(readyCalls, 0);
}

// Only what changed is sent; a new background goes with all six buttons.
TEST_F(LCDSession, OnlyWhatChangedIsSentAndFinishDrawsTheQuitFrame) {
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
    EXPECT_EQ(pad->counters().reports, 2 + 150 + 6 * (1 + 8 + 1));
    EXPECT_EQ(pad->backgroundsReceived(), 2);
    EXPECT_EQ(pad->imagesReceived(1), 2);
    EXPECT_TRUE(near(pad->picture().pixel(2, 2), Qt::white, 8));

    // The quit frame is drawn, then the session stops.
    const auto outcome = finish(buttons(4), black);
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->has_value());
    EXPECT_EQ(pad->buttonBytes(1), buttons(4)[0]);
    pad->resetCounters();
    ASSERT_TRUE(update(buttons(5), solidBackground(Qt::white)));
    EXPECT_EQ(pad->counters().reports, 0);
}

TEST_F(LCDSession, ThreeRapidUpdatesCollapseIntoTheNewest) {
    // The pause after the background keeps the start busy while the updates arrive.
    SessionTiming slow = timing();
    slow.backgroundSettle = 300ms;
    makeSession(slow);
    session->start(buttons(0), black, 50);
    for (int seed : {1, 2, 3}) {
        session->update(buttons(seed), black);
    }
    ASSERT_TRUE(waitUntil([this] { return readyCalls == 1; }));
    ASSERT_TRUE(waitUntilIdle(session));
    for (int key = 1; key <= 6; ++key) {
        EXPECT_EQ(pad->imagesReceived(key), 2) << "button " << key;
        EXPECT_EQ(pad->buttonBytes(key), buttons(3)[key - 1]);
    }
}

TEST_F(LCDSession, OnlyTheLastPressWithinTheRepairDelayIsRepaired) {
    ASSERT_TRUE(start(buttons(), black));
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
    SessionTiming often = timing();
    often.keepAliveInterval = 10ms;
    makeSession(often);
    session->start(buttons(), black, 50);
    ASSERT_TRUE(waitUntil([this] { return pad->keepAlives() >= 4; }));
    session->stop();
    ASSERT_TRUE(waitUntilIdle(session));
    const int afterStop = pad->keepAlives();
    pad->resetCounters();
    // A finish behind the stop sees the session stopped; nothing more reaches the pad.
    const auto outcome = finish(buttons(1), solidBackground(Qt::white));
    ASSERT_TRUE(outcome && outcome->has_value());
    EXPECT_EQ((*outcome)->message(), "LCD disconnected");
    EXPECT_EQ(pad->keepAlives(), afterStop);
    EXPECT_EQ(pad->counters().reports, 0);
}

TEST_F(LCDSession, FailedWritesFailWithTheirCode) {
    for (const bool vanish : {false, true}) {
        SCOPED_TRACE(vanish ? "the pad vanishes mid-upload" : "a report is rejected");
        vanish ? pad->vanishAfterReports(60) : pad->rejectReports(UsbStatus::noDevice, 3);
        makeSession();
        EXPECT_FALSE(start(buttons(), black, 50));
        EXPECT_EQ(failures.messages(), QStringList{"LCD write failed: 0xe00002c0"});
        EXPECT_EQ(readyCalls, 0);
        EXPECT_EQ(pad->backgroundsReceived(), 0);
        reset();
    }
    EXPECT_TRUE(waitUntil([this] { return !harness.removed.empty(); }));
}

}  // namespace sessions_test
