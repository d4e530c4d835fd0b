#pragma once

#include "model/Model.h"

#include <QObject>
#include <QPointer>

#include <optional>

class QKeyEvent;

// Feeds the keyboard of the desktop to a model's shortcut recording: an event filter on the
// application object, so that it sees every key press before any window or widget does and can
// keep the recorded combination from also acting on the focused widget.
//
// Ownership: the model creates it as its own child (startInputHandling), so it goes with the
// model; it holds the model weakly all the same and removes its filter when destroyed. Without
// an application object it filters nothing.
// Thread: main thread only, like the model and the application's events.
class ShortcutRecorder : public QObject {
    Q_OBJECT

public:
    explicit ShortcutRecorder(Model& model);
    ~ShortcutRecorder() override;

    ShortcutRecorder(const ShortcutRecorder&) = delete;
    ShortcutRecorder& operator=(const ShortcutRecorder&) = delete;

    // The key-down event a Qt key press stands for; none for a press of a modifier key alone,
    // which only changes what the next key means.
    static std::optional<Model::KeyDownEvent> keyDownEvent(const QKeyEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<Model> model_;
};
