#include "actions/NowPlaying.h"

QList<SyntheticKeyEvent> mediaKeyEvents(MediaCommand command) {
    int type = SyntheticKeyEvent::playMediaKey;
    switch (command) {
        case MediaCommand::previousTrack:
            type = SyntheticKeyEvent::previousMediaKey;
            break;
        case MediaCommand::playPause:
            type = SyntheticKeyEvent::playMediaKey;
            break;
        case MediaCommand::nextTrack:
            type = SyntheticKeyEvent::nextMediaKey;
            break;
    }
    return {SyntheticKeyEvent::mediaKey(type, true), SyntheticKeyEvent::mediaKey(type, false)};
}
