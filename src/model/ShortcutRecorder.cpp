#include "model/ShortcutRecorder.h"

#include "actions/InputPoster.h"
#include "model/ShortcutKeyCodes.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace {

constexpr uint16_t escapeKeyCode = 53;

bool isModifierKey(int key) {
    switch (key) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Meta:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_ScrollLock:
        case Qt::Key_Mode_switch:
            return true;
        default:
            return false;
    }
}

uint64_t modifierFlags(Qt::KeyboardModifiers modifiers) {
    // On Linux Qt's Meta is the Super ("Windows") key, which stands in for command.
    uint64_t flags = 0;
    if (modifiers & Qt::ShiftModifier) {
        flags |= SyntheticKeyEvent::shiftFlag;
    }
    if (modifiers & Qt::ControlModifier) {
        flags |= SyntheticKeyEvent::controlFlag;
    }
    if (modifiers & Qt::AltModifier) {
        flags |= SyntheticKeyEvent::optionFlag;
    }
    if (modifiers & Qt::MetaModifier) {
        flags |= SyntheticKeyEvent::commandFlag;
    }
    return flags;
}

// What the key types with no modifier applied: Qt's key() already ignores control, alt and
// super (and gives letters in upper case). Blanks and control characters would make an
// invisible label, so those keys are named by their code instead.
QString characters(int key) {
    if (key <= 0 || key >= Qt::Key_Escape) {
        return {};
    }
    const char32_t codePoint = static_cast<char32_t>(key);
    if (!QChar::isPrint(codePoint) || QChar::isSpace(codePoint)) {
        return {};
    }
    return QString::fromUcs4(&codePoint, 1);
}

}  // namespace

ShortcutRecorder::ShortcutRecorder(Model& model) : QObject(&model), model_(&model) {
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->installEventFilter(this);
    }
}

ShortcutRecorder::~ShortcutRecorder() {
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->removeEventFilter(this);
    }
}

std::optional<Model::KeyDownEvent> ShortcutRecorder::keyDownEvent(const QKeyEvent& event) {
    if (isModifierKey(event.key())) {
        return std::nullopt;
    }
    Model::KeyDownEvent keyDown;
    keyDown.keyCode = ShortcutKeyCodes::virtualKeyCode(event.nativeScanCode());
    if (!keyDown.keyCode && event.key() == Qt::Key_Escape) {
        // Synthetic events and some platforms carry no scan code; Escape must still cancel.
        keyDown.keyCode = escapeKeyCode;
    }
    keyDown.modifierFlags = modifierFlags(event.modifiers());
    keyDown.characters = characters(event.key());
    return keyDown;
}

bool ShortcutRecorder::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) {
        return QObject::eventFilter(watched, event);
    }
    if (!model_ || !model_->recording()) {
        return false;
    }
    const auto* keyEvent = static_cast<const QKeyEvent*>(event);
    const std::optional<Model::KeyDownEvent> keyDown = keyDownEvent(*keyEvent);
    if (!keyDown) {
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        // Claiming the override keeps menu and window shortcuts from taking the combination
        // being recorded; the key press that follows is what gets recorded.
        event->accept();
        return true;
    }
    return model_->recordShortcut(*keyDown);
}
