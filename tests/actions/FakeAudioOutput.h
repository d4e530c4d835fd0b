#pragma once

#include "actions/AudioOutput.h"

#include "core/ActionError.h"

#include <QString>

#include <mutex>

// An AudioOutput held in memory. Fields are public so tests can arrange any state; a non-empty
// `failure` makes every call throw it, as a backend does when there is no output.
class FakeAudioOutput : public AudioOutput {
public:
    double volume() override {
        std::lock_guard lock(mutex);
        check();
        return level;
    }
    void setVolume(double value) override {
        std::lock_guard lock(mutex);
        check();
        if (!volumeWritable) {
            throw ActionError::failed("This audio output does not expose software volume control");
        }
        level = value;
    }
    bool isMuted() override {
        std::lock_guard lock(mutex);
        check();
        return muted;
    }
    void setMuted(bool value) override {
        std::lock_guard lock(mutex);
        check();
        muted = value;
    }

    std::mutex mutex;
    double level = 0.5;
    bool muted = false;
    bool volumeWritable = true;
    QString failure;

private:
    void check() const {
        if (!failure.isEmpty()) {
            throw ActionError::failed(failure);
        }
    }
};
