#pragma once

// The default audio output's volume and mute, for the volume and mute actions.
//
// Thread: every member blocks on the sound server and is meant for the shared action queue,
// never the main thread. Calls are independent of each other and safe from any thread.
// Volume is the output as a whole: 0 is silent, 1 is full scale; a level that the user pushed
// above full scale elsewhere (amplification) reads as more than 1.
// Failures: members throw ActionError carrying the message the user sees:
//   "No default audio output"            no sound server can be reached, or it has no default
//                                        output;
//   "This audio output does not expose software volume control"
//                                        the output refused a new volume;
//   "This audio output does not expose mute control"
//                                        the output has no mute switch;
//   "Cannot read mute state"             the mute state could not be read;
//   "Cannot set mute"                    the output refused a new mute state.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    virtual double volume() = 0;
    virtual void setVolume(double level) = 0;
    virtual bool isMuted() = 0;
    virtual void setMuted(bool muted) = 0;

    // Moves the volume by `change` (a signed fraction of full scale) from its current level and
    // returns the new level. Lowering stops at 0; raising stops at full scale, and a level
    // already above full scale is never lowered by a step up.
    double changeVolume(double change);

    // Switches mute and returns the new state.
    bool toggleMute();
};
