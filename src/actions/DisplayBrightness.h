#pragma once

// The brightness of the computer's own display, and its automatic (ambient light) brightness,
// for the display-brightness actions and for pads that follow the display.
//
// Thread: the main thread. Calls are short and synchronous (a few small file reads, one call to
// a system service with a short timeout).
// Levels run from 0 (darkest) to 1 (brightest).
// Failures: members throw ActionError carrying the message the user sees:
//   "Mac display brightness control is unavailable"   no display whose brightness can be set;
//   "This Mac display does not expose native brightness control"
//                                                     the current level cannot be read;
//   "Could not change Mac display brightness"         the new level was refused;
//   "This Mac display does not support automatic brightness"
//                                                     the desktop offers no switch for it;
//   "Could not read Mac automatic brightness"         the switch cannot be read;
//   "Could not toggle Mac automatic brightness"       the switch refused, or did not move.
class DisplayBrightness {
public:
    virtual ~DisplayBrightness() = default;

    virtual double level() = 0;
    // Sets the level, clamped to 0...1. A change too small for the display's own steps still
    // moves it by one step towards the new level, so that repeated presses are never lost.
    virtual void setLevel(double level) = 0;
    virtual bool automatic() = 0;
    virtual void setAutomatic(bool on) = 0;

    // Moves the level by `change` (a signed fraction of the full range) from the current level,
    // within 0...1; returns the level asked for.
    double change(double change);

    // Switches automatic brightness and checks that the switch really moved.
    void toggleAutomatic();
};
