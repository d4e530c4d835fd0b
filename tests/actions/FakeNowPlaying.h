#pragma once

#include "actions/NowPlaying.h"

#include <QList>

#include <functional>

// A NowPlaying whose answers the test gives: questions wait in `pendingCommands` and
// `pendingPlaying` until the test answers them (as players answer later, on the main thread),
// unless `answerAtOnce` is set, in which case commands get `accepts` and state questions get
// `playing` straight away.
class FakeNowPlaying : public NowPlaying {
public:
    bool isAvailable() override { return available; }
    void sendCommand(MediaCommand command, std::function<void(bool)> done) override {
        commands << command;
        if (answerAtOnce) {
            done(accepts);
        } else {
            pendingCommands << std::move(done);
        }
    }
    void requestIsPlaying(std::function<void(bool)> done) override {
        ++questions;
        if (answerAtOnce) {
            done(playing);
        } else {
            pendingPlaying << std::move(done);
        }
    }

    // Answers the oldest waiting state question; false when none waits.
    bool answerPlaying(bool value) {
        if (pendingPlaying.isEmpty()) {
            return false;
        }
        pendingPlaying.takeFirst()(value);
        return true;
    }

    bool available = true;
    bool answerAtOnce = true;
    bool accepts = true;
    bool playing = false;
    QList<MediaCommand> commands;
    int questions = 0;
    QList<std::function<void(bool)>> pendingCommands;
    QList<std::function<void(bool)>> pendingPlaying;
};
