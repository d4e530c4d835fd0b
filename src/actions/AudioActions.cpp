#include "actions/AudioActions.h"

#include "actions/ActionContext.h"
#include "actions/AudioOutput.h"
#include "actions/PlatformServices.h"
#include "core/ActionError.h"

namespace {
const QString noOutput = QStringLiteral("No default audio output");
}

QString VolumeAdjustment::subject() const {
    return QStringLiteral("Volume");
}

std::optional<QString> VolumeAdjustment::symbol() const {
    return direction_ == AdjustmentDirection::up ? QStringLiteral("volume-2")
                                                 : QStringLiteral("volume-1");
}

std::optional<QString> VolumeAdjustment::summary(const ActionContext&) const {
    return QStringLiteral("Adjusts the current audio output volume.");
}

void VolumeAdjustment::perform(const Binding& binding, ActionContext& context) const {
    const double change = signedStep(binding) / 100.0;
    std::shared_ptr<AudioOutput> audio = context.services().audio;
    runInBackground(context, [audio, change] {
        // Runs on the action queue.
        if (!audio) {
            throw ActionError::failed(noOutput);
        }
        audio->changeVolume(change);
    });
}

QString MuteAction::name() const {
    return QStringLiteral("Mute");
}

std::optional<QString> MuteAction::symbol() const {
    return QStringLiteral("volume-x");
}

void MuteAction::perform(const Binding&, ActionContext& context) const {
    std::shared_ptr<AudioOutput> audio = context.services().audio;
    runInBackground(context, [audio] {
        // Runs on the action queue.
        if (!audio) {
            throw ActionError::failed(noOutput);
        }
        audio->toggleMute();
    });
}
