#pragma once

#include "device/PadDisplaySession.h"
#include "device/virtual/SimulatedHidManager.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QStringList>

#include <memory>
#include <mutex>

// Failures reported by a session, collected from its queue.
class Failures {
public:
    PadDisplaySession::Failure callback() {
        return [state = state_](const ActionError& error) {
            std::lock_guard lock(state->mutex);
            state->messages << error.message();
        };
    }
    QStringList messages() const {
        std::lock_guard lock(state_->mutex);
        return state_->messages;
    }
    int count() const { return static_cast<int>(messages().size()); }

private:
    struct State {
        mutable std::mutex mutex;
        QStringList messages;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// A pad under the simulated HID manager, with its attachment and input reports in view.
struct SimulatedPadHarness {
    SimulatedHidManager manager;
    std::shared_ptr<HidDevice> device;
    std::vector<std::shared_ptr<HidDevice>> attached;
    std::vector<std::shared_ptr<HidDevice>> removed;
    QList<QByteArray> inputs;
    // Where input reports go besides `inputs` (a session's `receive`).
    std::function<void(const QByteArray&)> onInput;

    void startWith(const std::shared_ptr<VirtualPad>& pad);
};

// A DisplayPad key image (BGR bytes) of one colour.
QByteArray solidKey(const QColor& color);
// A DisplayPad key image whose pixel (x, y) is red 2x, green 2y, blue `blue`.
QByteArray gradientKey(int blue);
// Twelve keys of distinct colours, shifted by `seed` so that frames differ in every key.
QList<QByteArray> displayPadFrame(int seed);

// A 64 x 64 JPEG of one colour, as the artwork code would hand it over.
QByteArray jpegButton(const QColor& color);
// The 153600-byte RGB565 background of a landscape picture, stored a quarter turn clockwise.
QByteArray background565(const QImage& landscape);
QByteArray solidBackground(const QColor& color);

// Colours equal within `tolerance` per channel (JPEG and RGB565 are lossy).
bool near(QRgb actual, const QColor& expected, int tolerance);

// Lets the session's queue run empty: true once nothing but the caller holds the session.
// Queued work holds its session, so this is how a test lets the queue finish.
template <typename Session>
bool waitUntilIdle(const std::shared_ptr<Session>& session) {
    return waitUntil([&] { return session.use_count() == 1; });
}
