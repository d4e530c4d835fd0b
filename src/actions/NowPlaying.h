#pragma once

#include "actions/InputPoster.h"

#include <QList>

#include <functional>

enum class MediaCommand { previousTrack, playPause, nextTrack };

// The desktop's media players, for the media-key actions and the play/pause icon.
// Commands go to the current player: the first one that is playing, else the first one.
//
// Thread: call from the main thread. Nothing blocks the caller: the question goes to the
// players in the background and the answer comes back on the main thread, so a player that
// hangs never freezes the window. `done` may run after the call returns, or never if the object
// is destroyed first; it must hold what it touches weakly.
class NowPlaying {
public:
    virtual ~NowPlaying() = default;

    // False when the service that reaches the players is missing altogether (no session bus);
    // the play/pause key then shows "play" for good.
    virtual bool isAvailable() = 0;

    // `done(true)` when a player accepted the command; `done(false)` when there is no service,
    // no player, or the player refused. The caller then falls back to posting
    // `mediaKeyEvents(command)`.
    virtual void sendCommand(MediaCommand command, std::function<void(bool accepted)> done) = 0;

    // `done(true)` when the current player is playing; false when it is not, or when there is no
    // player or no service.
    virtual void requestIsPlaying(std::function<void(bool playing)> done) = 0;
};

// The key-down and key-up of the media key that stands in for `command` when no player takes it.
QList<SyntheticKeyEvent> mediaKeyEvents(MediaCommand command);
