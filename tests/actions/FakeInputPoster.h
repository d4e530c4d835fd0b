#pragma once

#include "actions/InputPoster.h"

#include "core/ActionError.h"

#include <QList>
#include <QSet>
#include <QString>

// An InputPoster that records what was posted. `problem` non-empty refuses posting with that
// message; key codes in `unknownKeys` (and media types in `unknownMediaKeys`) cannot be
// expressed, as keys without an equivalent on the real keyboard.
class FakeInputPoster : public InputPoster {
public:
    QString postingProblem() override {
        ++permissionChecks;
        return problem;
    }
    bool canPost(const SyntheticKeyEvent& event) const override {
        return event.kind == SyntheticKeyEvent::Kind::mediaKey
                   ? !unknownMediaKeys.contains(event.mediaKeyType)
                   : !unknownKeys.contains(event.keyCode);
    }
    void post(const QList<SyntheticKeyEvent>& events) override {
        for (const SyntheticKeyEvent& event : events) {
            if (!canPost(event)) {
                throw ActionError::failed(event.kind == SyntheticKeyEvent::Kind::mediaKey
                                              ? "Could not create a media-key event"
                                              : "Could not create keystroke events");
            }
        }
        if (!problem.isEmpty()) {
            throw ActionError::failed(problem);
        }
        posted += events;
    }

    QString problem;
    QSet<quint16> unknownKeys;
    QSet<int> unknownMediaKeys;
    QList<SyntheticKeyEvent> posted;
    int permissionChecks = 0;
};
