#pragma once

#include "actions/EventPostingAction.h"
#include "actions/NowPlaying.h"

#include <QList>

#include <optional>

// Previous track, play/pause and next track for whichever player is playing. The command goes
// to the desktop's media players first; when there is no player service, no player, or the
// player refuses, the matching media key is pressed instead.
class MediaKey final : public EventPostingAction {
public:
    enum Case { previousTrack, playPause, nextTrack };

    explicit MediaKey(Case which) : case_(which) {}

    // The three cases in order.
    static QList<MediaKey> allCases();
    // The case whose name is exactly `rawValue` ("Play/pause", ...); none for any other text.
    static std::optional<MediaKey> fromRawValue(const QString& rawValue);

    Case which() const { return case_; }
    QString rawValue() const;
    MediaCommand command() const;

    QString name() const override;
    // "pause" for play/pause while media plays (MediaPlayback::shared(): main thread only).
    std::optional<QString> symbol() const override;
    // The symbol, so the play/pause key is drawn anew when playback starts or stops.
    QString artworkKey(const Binding& binding) const override;
    std::optional<QString> summary(const ActionContext& context) const override;
    void perform(const Binding& binding, ActionContext& context) const override;

    bool operator==(const MediaKey& other) const { return case_ == other.case_; }

private:
    // The key press that stands in when no player takes the command.
    void pressKey(ActionContext& context) const;

    Case case_;
};
