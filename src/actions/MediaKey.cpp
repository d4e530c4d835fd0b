#include "actions/MediaKey.h"

#include "actions/ActionContext.h"
#include "actions/MediaPlayback.h"
#include "actions/PlatformServices.h"

#include <QPointer>

QList<MediaKey> MediaKey::allCases() {
    return {MediaKey(previousTrack), MediaKey(playPause), MediaKey(nextTrack)};
}

std::optional<MediaKey> MediaKey::fromRawValue(const QString& rawValue) {
    for (const MediaKey& key : allCases()) {
        if (key.rawValue() == rawValue) {
            return key;
        }
    }
    return std::nullopt;
}

QString MediaKey::rawValue() const {
    switch (case_) {
        case previousTrack:
            return QStringLiteral("Previous track");
        case playPause:
            return QStringLiteral("Play/pause");
        case nextTrack:
            return QStringLiteral("Next track");
    }
    return {};
}

MediaCommand MediaKey::command() const {
    switch (case_) {
        case previousTrack:
            return MediaCommand::previousTrack;
        case playPause:
            return MediaCommand::playPause;
        case nextTrack:
            return MediaCommand::nextTrack;
    }
    return MediaCommand::playPause;
}

QString MediaKey::name() const {
    return rawValue();
}

std::optional<QString> MediaKey::symbol() const {
    switch (case_) {
        case previousTrack:
            return QStringLiteral("skip-back");
        case playPause:
            return MediaPlayback::shared().isPlaying() ? QStringLiteral("pause")
                                                       : QStringLiteral("play");
        case nextTrack:
            return QStringLiteral("skip-forward");
    }
    return std::nullopt;
}

QString MediaKey::artworkKey(const Binding&) const {
    return symbol().value_or(QString());
}

std::optional<QString> MediaKey::summary(const ActionContext&) const {
    return QStringLiteral(
        "Controls whichever app is currently playing media, like the Control Center player.");
}

void MediaKey::perform(const Binding&, ActionContext& context) const {
    const std::shared_ptr<NowPlaying> nowPlaying = context.services().nowPlaying;
    if (!nowPlaying || !nowPlaying->isAvailable()) {
        pressKey(context);
        return;
    }
    // The players answer later, on the main thread; the pad may be gone by then.
    QPointer<ActionContext> guard(&context);
    const MediaKey key = *this;
    nowPlaying->sendCommand(command(), [guard, key](bool accepted) {
        if (!guard) {
            return;
        }
        if (accepted) {
            guard->report(QString());
        } else {
            key.pressKey(*guard);
        }
    });
}

void MediaKey::pressKey(ActionContext& context) const {
    const QList<SyntheticKeyEvent> events = mediaKeyEvents(command());
    const std::shared_ptr<InputPoster> input = context.services().input;
    if (!input || !input->canPost(events[0]) || !input->canPost(events[1])) {
        context.report(QStringLiteral("Could not create a media-key event"));
        return;
    }
    post(*input, events, context);
}
