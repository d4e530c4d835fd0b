#pragma once

#include <QObject>
#include <QString>

struct PlatformServices;

// What an action may ask of the pad it runs for. The device model implements it.
//
// Thread: every member is called on the main thread only.
// Lifetime: a context is a QObject so that work that finishes later (on the action queue, or a
// media player's answer) can hold it weakly with QPointer and drop its report when the pad's
// model is gone. Actions never keep a context beyond the call they were given it in.
class ActionContext : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~ActionContext() override = default;

    // The pad's display brightness in percent.
    virtual int displayBrightness() const = 0;

    // Whether the pad's brightness follows the computer's display.
    virtual bool padFollowMac() const = 0;

    // Shows `message` in the pad's status line; the empty string clears it.
    virtual void report(const QString& message) = 0;

    // True when input events may be posted now. When not, the context shows its own hint (what
    // permission is missing and how to grant it) and answers false; the caller adds nothing.
    // On Linux the hint is services().input->postingProblem(), which names the device node and
    // how to be allowed to write to it.
    virtual bool requestAccessibilityAccess() = 0;

    // Moves the active scene by `steps` (+1 next, -1 previous); wrapping at either end is the
    // context's business.
    virtual void changeScene(int steps) = 0;

    // Changes the pad brightness by `percentPoints` (signed); clamping and leaving follow mode
    // are the context's business.
    virtual void changePadBrightness(int percentPoints) = 0;

    // Switches following the computer's display on or off. Throws ActionError with the message
    // to show when that cannot be done.
    virtual void togglePadFollowMac() = 0;

    // Brings the pad brightness into line with the computer's display now (after that display
    // changed while the pad follows it).
    virtual void syncPadBrightness() = 0;

    // The desktop services chosen at start-up. Valid for the life of the context.
    virtual const PlatformServices& services() const = 0;
};
