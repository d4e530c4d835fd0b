#pragma once

#include "actions/InputPoster.h"

#include <QList>
#include <QString>

// Keeps what the keystroke actions post instead of typing it, so a test can tell which binding
// ran from its key code. A non-empty `problem` refuses posting the way a missing /dev/uinput
// permission does.
class RecordingInputPoster : public InputPoster {
public:
    QString postingProblem() override { return problem; }
    bool canPost(const SyntheticKeyEvent&) const override { return true; }
    void post(const QList<SyntheticKeyEvent>& events) override { posted += events; }

    // Key codes of the key-down events posted so far, in order.
    QList<int> pressedKeyCodes() const;

    QString problem;
    QList<SyntheticKeyEvent> posted;
};
