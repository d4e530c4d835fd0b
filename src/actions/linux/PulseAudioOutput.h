#pragma once

#include "actions/AudioOutput.h"

#include <QString>

#include <chrono>

// AudioOutput on the default PulseAudio sink (PipeWire serves the same protocol through
// pipewire-pulse). Every call opens its own short connection, so a sound server that restarts
// or comes up after us is simply found at the next press; a server that stops answering fails
// the call after `timeout` instead of holding the action queue.
//
// `server` is a PulseAudio server string such as "unix:/run/user/1000/pulse/native"; empty
// means the usual lookup (PULSE_SERVER, the user's runtime folder). The server is never
// spawned on demand.
class PulseAudioOutput final : public AudioOutput {
public:
    explicit PulseAudioOutput(QString server = {},
                              std::chrono::milliseconds timeout = std::chrono::seconds(5));

    double volume() override;
    void setVolume(double level) override;
    bool isMuted() override;
    void setMuted(bool muted) override;

private:
    QString server_;
    std::chrono::milliseconds timeout_;
};
