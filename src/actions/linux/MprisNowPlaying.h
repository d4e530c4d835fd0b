#pragma once

#include "actions/NowPlaying.h"

#include "core/SerialQueue.h"

#include <QString>

#include <chrono>

// NowPlaying over MPRIS (org.mpris.MediaPlayer2.* names on the session bus). Players are taken
// in the order of their bus names so that "the first player" is the same every time.
//
// The bus calls run on the object's own queue ("Quorvel.mpris") with `callTimeout` per call,
// and the answers hop to the main thread.
class MprisNowPlaying final : public NowPlaying {
public:
    // `busAddress` empty means the user's session bus; otherwise a D-Bus address to connect to.
    explicit MprisNowPlaying(QString busAddress = {},
                             std::chrono::milliseconds callTimeout = std::chrono::seconds(1));
    ~MprisNowPlaying() override;

    bool isAvailable() override;
    void sendCommand(MediaCommand command, std::function<void(bool accepted)> done) override;
    void requestIsPlaying(std::function<void(bool playing)> done) override;

private:
    QString connectionName_;
    int timeoutMs_;
    SerialQueue queue_{QStringLiteral("Quorvel.mpris")};
};
