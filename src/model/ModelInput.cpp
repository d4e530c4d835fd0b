#include "model/Model.h"

#include "actions/ActionCatalog.h"
#include "actions/InputPoster.h"
#include "device/LCDSession.h"
#include "model/ShortcutRecorder.h"

#include <algorithm>

namespace {

constexpr uint16_t escapeKeyCode = 53;
constexpr uint64_t shiftFlag = SyntheticKeyEvent::shiftFlag;
constexpr uint64_t controlFlag = SyntheticKeyEvent::controlFlag;
constexpr uint64_t optionFlag = SyntheticKeyEvent::optionFlag;
constexpr uint64_t commandFlag = SyntheticKeyEvent::commandFlag;
// Only the four modifiers are stored (0x1E0000); other bits of the event's flags are dropped.
constexpr uint64_t recordedModifierMask = shiftFlag | controlFlag | optionFlag | commandFlag;

}  // namespace

void Model::startInputHandling() {
    QObject::connect(this, &Model::controlEvent, this, &Model::handle);
    // Owned by this model as its child.
    new ShortcutRecorder(*this);
}

void Model::handle(int code) {
    if (shuttingDown_ || recording_) {
        return;
    }
    const QuorvelScene& scene = activeScene();
    const auto found = std::find_if(scene.keys.cbegin(), scene.keys.cend(),
                                    [code](const Binding& binding) { return binding.id == code; });
    if (found == scene.keys.cend()) {
        return;
    }
    // The action may change the scenes (a scene step, a script), so it gets its own copy.
    const Binding binding = *found;
    setMessage(binding.name + QStringLiteral(" \u2192 ") + binding.action);
    execute(binding);

    // Screen buttons are the controls 1...keyCount; dials and round buttons have no border.
    if (kind_ == DeviceKind::msdTwo && code >= 1 && code <= kind_.keyCount()) {
        // The pad draws its own press highlight over the button and leaves a ragged border;
        // sending the image again shortly after the press clears it.
        if (auto session = std::dynamic_pointer_cast<LCDSession>(display_)) {
            session->repairBorderAfterKeypress(code);
        }
    }
}

void Model::execute(const Binding& binding) {
    ActionCatalog::action(binding.action).perform(binding, *this);
}

QString Model::shortcutLabel(const KeyDownEvent& event) {
    QString label;
    if (event.modifierFlags & controlFlag) {
        label += QChar(0x2303);
    }
    if (event.modifierFlags & optionFlag) {
        label += QChar(0x2325);
    }
    if (event.modifierFlags & shiftFlag) {
        label += QChar(0x21E7);
    }
    if (event.modifierFlags & commandFlag) {
        label += QChar(0x2318);
    }
    if (!event.characters.isEmpty()) {
        return label + event.characters.toUpper();
    }
    return label + QStringLiteral("Key %1").arg(event.keyCode.value_or(0));
}

bool Model::recordShortcut(const KeyDownEvent& event) {
    if (!recording_) {
        return false;
    }
    const int64_t control = *recording_;
    if (event.keyCode == escapeKeyCode) {
        setRecording(std::nullopt);
        return true;
    }

    QList<QuorvelScene> scenes = scenes_;
    QList<Binding>& keys = scenes[activeSceneIndex()].keys;
    const auto found = std::find_if(keys.begin(), keys.end(), [control](const Binding& binding) {
        return binding.id == control;
    });
    if (found == keys.end()) {
        setRecording(std::nullopt);
        setMessage(QStringLiteral("The control being recorded no longer exists"));
        return false;
    }
    if (!event.keyCode) {
        // Storing it would give a shortcut that replays as some other key; wait for another.
        setMessage(QStringLiteral("This key cannot be recorded; press another key or Esc"));
        return true;
    }

    found->keyCode = *event.keyCode;
    found->modifiers = event.modifierFlags & recordedModifierMask;
    found->recordedShortcut = shortcutLabel(event);
    setScenes(std::move(scenes));
    setRecording(std::nullopt);
    save();
    return true;
}
