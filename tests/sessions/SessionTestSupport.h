#pragma once

#include "core/MainThread.h"
#include "device/DeviceKind.h"
#include "device/PadDisplaySession.h"
#include "device/virtual/SimulatedHidManager.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QColor>
#include <QImage>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

// Lets the session's queue run empty: queued work holds its session, so it is idle once nothing
// but the caller holds it.
template <typename Session>
bool waitUntilIdle(const std::shared_ptr<Session>& session) {
    return waitUntil([&] { return session.use_count() == 1; });
}

// A session of type `Session` on a virtual pad of type `Pad` under the simulated HID manager,
// stopped at the end of the test. The pad's input reports go to `onInput`: by default to the
// session's `receive` for as long as it exists, held by its owner or by its queue.
template <typename Session, typename Pad>
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        onInput = [this](const QByteArray& report) {
            if constexpr (requires(Session & s) { s.receive(report); }) {
                if (auto target = route.lock()) {
                    target->receive(report);
                }
            }
        };
        manager.add(pad);
        std::vector<HidManager::Matching> matching;
        for (DeviceKind kind : DeviceKind::allCases) {
            matching.push_back({kind.vendorID(), kind.productID(), kind.usagePage()});
        }
        HidManager::Handlers handlers;
        handlers.attached = [this](const std::shared_ptr<HidDevice>& added) { device = added; };
        handlers.removed = [this](const std::shared_ptr<HidDevice>& gone) {
            removed.push_back(gone);
            device = device == gone ? nullptr : device;
        };
        handlers.input = [this](uint32_t, const std::shared_ptr<HidDevice>& from,
                                const QByteArray& report) {
            from == device ? onInput(report) : void();
        };
        manager.start(std::move(matching), std::move(handlers));
        ASSERT_TRUE(waitUntil([this] { return device != nullptr; }));
    }
    void TearDown() override {
        if (session) {
            session->stop();
            EXPECT_TRUE(waitUntilIdle(session));
        }
    }
    // Failures reported by the session, collected from its queue.
    PadDisplaySession::Failure failureCallback() {
        return [s = failed](const ActionError& error) {
            std::lock_guard(s->first), s->second << error.message();
        };
    }
    QStringList failures() const { return std::lock_guard(failed->first), failed->second; }

    virtual std::shared_ptr<Session> create(const SessionTiming& timing) = 0;
    virtual SessionTiming timing() const = 0;

    void makeSession(std::optional<SessionTiming> custom = {}) {
        session = create(custom.value_or(timing()));
        session->setReady([this] { ++readyCalls; });
        route = session;
    }
    // Stops the session and forgets its failures and the pad's faults, for the next case.
    void reset() {
        session->stop();
        ASSERT_TRUE(waitUntilIdle(session));
        pad->clearFaults();
        pad->resetCounters();
        failed = std::make_shared<std::pair<std::mutex, QStringList>>();
    }
    // Starts and waits for the start to end; true when it became ready without a failure.
    bool start(const PadDisplaySession::Images& images, const QByteArray& background = {},
               int brightness = 70) {
        if (!session) {
            makeSession();
        }
        session->start(images, background, brightness);
        return waitUntil([this] { return readyCalls == 1 || !failures().isEmpty(); }) &&
               failures().isEmpty();
    }
    // Runs `update` and lets the queue finish it.
    bool update(const PadDisplaySession::Images& images, const QByteArray& background = {}) {
        session->update(images, background);
        return waitUntilIdle(session);
    }
    // What `finish` answered.
    std::optional<PadDisplaySession::Result> finish(const PadDisplaySession::Images& images,
                                                    const QByteArray& background = {}) {
        std::optional<PadDisplaySession::Result> outcome;
        session->finish(images, background, [&](PadDisplaySession::Result result) {
            EXPECT_TRUE(isMainThread());
            outcome = result;
        });
        EXPECT_TRUE(waitUntil([&] { return outcome.has_value(); }));
        return outcome;
    }
    // Clamped levels, completion on the session's queue rather than the main thread.
    void expectBrightnessClamped() {
        std::atomic<int> completions = 0;
        std::atomic<bool> onMain = false;
        for (const auto& [level, clamped] : {std::pair{150, 100}, std::pair{-5, 0}}) {
            const int expected = completions + 1;
            session->setBrightness(level,
                                   [&] { onMain = onMain || isMainThread(), ++completions; });
            ASSERT_TRUE(waitUntil([&] { return completions == expected; }));
            EXPECT_EQ(pad->brightness(), clamped);
        }
        EXPECT_FALSE(onMain);
    }

    std::shared_ptr<Pad> pad = Pad::create(0x01230000);
    SimulatedHidManager manager;
    std::shared_ptr<HidDevice> device;
    std::vector<std::shared_ptr<HidDevice>> removed;
    std::function<void(const QByteArray&)> onInput;
    std::shared_ptr<Session> session;
    std::weak_ptr<Session> route;
    std::shared_ptr<std::pair<std::mutex, QStringList>> failed =
        std::make_shared<std::pair<std::mutex, QStringList>>();
    int readyCalls = 0;
    LogCapture log;
};

// A DisplayPad key image (BGR bytes) of one colour.
inline QByteArray solidKey(const QColor& color) {
    const char bgr[] = {char(color.blue()), char(color.green()), char(color.red())};
    return QByteArray(bgr, 3).repeated(102 * 102);
}

// A DisplayPad key image whose pixel (x, y) is red 2x, green 2y, blue `blue`.
inline QByteArray gradientKey(int blue) {
    QByteArray bytes;
    for (int i = 0; i < 102 * 102; ++i) {
        bytes.append(char(blue)).append(char(2 * (i / 102))).append(char(2 * (i % 102)));
    }
    return bytes;
}

// Twelve keys of distinct colours, shifted by `seed` so that frames differ in every key.
inline QList<QByteArray> displayPadFrame(int seed) {
    QList<QByteArray> frame;
    for (int key = 0; key < 12; ++key) {
        frame << solidKey(QColor::fromHsv((key * 30 + seed * 7) % 360, 255, 100 + seed * 10 % 150));
    }
    return frame;
}

// A 64 x 64 JPEG of one colour, as the artwork code would hand it over.
inline QByteArray jpegButton(const QColor& color) {
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    image.save(&buffer, "JPEG", 95);  // opens the buffer for writing
    return bytes;
}

// The 153600-byte RGB565 background of one colour, stored a quarter turn clockwise.
inline QByteArray solidBackground(const QColor& color) {
    const int value = (color.red() * 31 / 255) << 11 | (color.green() * 63 / 255) << 5 |
                      (color.blue() * 31 / 255);
    return QByteArray(1, char(value & 0xff)).append(char(value >> 8)).repeated(320 * 240);
}
