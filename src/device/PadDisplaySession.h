#pragma once

#include "core/ActionError.h"

#include <QByteArray>
#include <QList>

#include <chrono>
#include <functional>
#include <optional>

// Every wait and pause of the display sessions. The defaults are the values the pads are driven
// with; only tests shorten them, so that failure paths with multi-second waits run quickly.
struct SessionTiming {
    using Duration = std::chrono::milliseconds;

    // DisplayPad
    Duration activationTimeout{750};  // echo of the activation command
    Duration imageTimeout{2000};      // "ready" and "complete" replies of an image upload
    Duration retryPause{100};         // between image-interface opens and activation attempts
    Duration settlePause{250};        // after activation, before the first brightness command
    // MSD-TWO
    Duration backgroundSettle{500};    // after a background upload
    Duration keepAliveInterval{5000};  // "CONNECT"
    Duration borderRepairDelay{350};   // re-send of a pressed screen button
};

// The output side of one connected pad: activation, key images, backlight and the quit frame.
// Implemented by DisplayPadSession (Mountain DisplayPad) and LCDSession (MSD-TWO).
//
// Ownership: sessions are shared objects (std::shared_ptr); work already queued keeps its session
// alive until it has run, callbacks delivered on the main thread hold it weakly.
// Threads: every operation is called on the main thread (`stop` from any thread), returns at once
// and queues its work on the session's own serial queue, where all blocking device I/O runs.
//
// A frame is one encoded image per key, key 1 first, plus a background (empty for the
// DisplayPad, which ignores it).
class PadDisplaySession {
public:
    using Images = QList<QByteArray>;
    // No value for success, otherwise the reason the frame could not be drawn.
    using Result = std::optional<ActionError>;
    // Device work failed. Called on the session's queue; the owner hops to the main thread.
    using Failure = std::function<void(const ActionError&)>;

    virtual ~PadDisplaySession() = default;

    // Activates the pad, sets its backlight (0...100) and uploads the first frame; `ready` follows
    // on the main thread once the frame is on the pad, failures go to the failure callback.
    virtual void start(const Images& images, const QByteArray& background, int brightness) = 0;

    // Shows a new frame. Rapid updates collapse into one upload of the newest frame, and only
    // keys whose bytes changed are sent. Accepted in any state; dropped once stopped.
    virtual void update(const Images& images, const QByteArray& background) = 0;

    // Sets the backlight (clamped to 0...100). `completion` runs on the session's queue after the
    // command was accepted; on failure the failure callback runs instead. Nothing runs once
    // stopped.
    virtual void setBrightness(int level, std::function<void()> completion) = 0;

    // Draws the quit frame and stops the session. `completion` is always called, on the main
    // thread, with the outcome (also when the session was stopped or has been released since).
    virtual void finish(const Images& images, const QByteArray& background,
                        std::function<void(Result)> completion) = 0;

    // Ends the session for good; waits in progress end at once. Any thread.
    virtual void stop() = 0;

    // Called once on the main thread after the first frame is on the pad, while the session still
    // exists. Set on the main thread right after creation.
    void setReady(std::function<void()> ready) { ready_ = std::move(ready); }

protected:
    // Main thread only.
    void callReady() const {
        if (ready_) {
            ready_();
        }
    }

private:
    std::function<void()> ready_;
};
