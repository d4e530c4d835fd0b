#include "actions/AudioOutput.h"

#include <algorithm>

double AudioOutput::changeVolume(double change) {
    const double current = volume();
    const double ceiling = std::max(1.0, current);
    const double level = std::clamp(current + change, 0.0, ceiling);
    setVolume(level);
    return level;
}

bool AudioOutput::toggleMute() {
    const bool muted = !isMuted();
    setMuted(muted);
    return muted;
}
