#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// One synthetic key event, described in the terms a configuration stores so that bindings move
// between machines unchanged: `keyCode` is a virtual key code as recorded (0 is the A key,
// 0x31 the space bar, ...), `modifiers` holds the flag bits shift 0x20000, control 0x40000,
// option 0x80000 and command 0x100000 (other bits are ignored), and a media key is named by its
// auxiliary-control type (16 play/pause, 17 next track, 18 previous track).
struct SyntheticKeyEvent {
    enum class Kind { keyboard, mediaKey };

    static constexpr quint64 shiftFlag = 0x20000;
    static constexpr quint64 controlFlag = 0x40000;
    static constexpr quint64 optionFlag = 0x80000;
    static constexpr quint64 commandFlag = 0x100000;

    static constexpr int playMediaKey = 16;
    static constexpr int nextMediaKey = 17;
    static constexpr int previousMediaKey = 18;

    static SyntheticKeyEvent key(quint16 keyCode, quint64 modifiers, bool down) {
        return {Kind::keyboard, keyCode, modifiers, 0, down};
    }
    static SyntheticKeyEvent mediaKey(int type, bool down) {
        return {Kind::mediaKey, 0, 0, type, down};
    }

    Kind kind = Kind::keyboard;
    quint16 keyCode = 0;
    quint64 modifiers = 0;
    int mediaKeyType = 0;
    bool down = true;

    bool operator==(const SyntheticKeyEvent&) const = default;
};

// Posts synthetic key events as if typed on a keyboard, for the keystroke and media-key actions.
//
// Thread: the main thread (where actions run). Nothing here waits on other programs.
// Checks come in the order the actions need them: `canPost` (can this event be expressed at
// all: the event creation step), then `postingProblem` (may we post input now: the permission
// step), then `post`.
class InputPoster {
public:
    virtual ~InputPoster() = default;

    // Empty when input may be posted now; otherwise a message for the status line saying what
    // is missing and how to grant it. May set up the virtual device as a side effect.
    virtual QString postingProblem() = 0;

    // False when the event names a key that has no equivalent on this system.
    virtual bool canPost(const SyntheticKeyEvent& event) const = 0;

    // Posts the events in order. Throws ActionError with `postingProblem()`'s message when
    // input may not be posted; with "Could not create keystroke events" (or, for media keys,
    // "Could not create a media-key event") when an event cannot be expressed, posting none.
    // Delivery continues after the call returns; a later write failure is logged and the
    // device is set up anew at the next post.
    virtual void post(const QList<SyntheticKeyEvent>& events) = 0;
};
