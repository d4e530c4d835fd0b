#include "support/ModelHarness.h"

#include "model/ShortcutRecorder.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>

#include <linux/input-event-codes.h>

#include <gtest/gtest.h>

namespace {
constexpr uint64_t shift = 0x20000;
constexpr uint64_t control = 0x40000;
constexpr uint64_t option = 0x80000;
constexpr uint64_t command = 0x100000;

// A key press as the desktop delivers it: X11 key code = kernel input code + 8.
QKeyEvent keyPress(int key, int linuxCode, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                   const QString& text = {}) {
    const quint32 scanCode = linuxCode > 0 ? static_cast<quint32>(linuxCode + 8) : 0;
    return QKeyEvent(QEvent::KeyPress, key, modifiers, scanCode, 0, 0, text);
}

// True when the event went no further than the application's filters.
bool swallowed(QKeyEvent event) {
    QLineEdit field;
    QCoreApplication::sendEvent(&field, &event);
    return field.text().isEmpty() && event.isAccepted();
}
}  // namespace

// Escape cancels; keys that type nothing visible are labelled by their code; the signs come in
// control, option, shift, command order, other flags masked; what was recorded is saved (typing it
// is the model input's to check).
TEST(ShortcutRecorder, KeysBecomeLabelsOrCancel) {
    ModelHarness bed;
    auto model = bed.model(DeviceKind::mountain);
    model->setRecording(3);
    QKeyEvent escape = keyPress(Qt::Key_Escape, KEY_ESC);
    EXPECT_TRUE(QCoreApplication::sendEvent(qApp, &escape));
    EXPECT_FALSE(model->recording() || model->scenes()[0].keys[2].recordedShortcut);
    const Qt::KeyboardModifiers all =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const struct {
        QKeyEvent event;
        const char* label;
        uint64_t modifiers;
    } cases[] = {
        {keyPress(Qt::Key_F5, KEY_F5), "Key 96", 0},
        {keyPress(Qt::Key_Space, KEY_SPACE, Qt::ShiftModifier, " "), "\u21e7Key 49", shift},
        {keyPress(Qt::Key_1, KEY_1, Qt::AltModifier | Qt::MetaModifier), "\u2325\u23181",
         option | command},
        {keyPress(Qt::Key_K, KEY_K, all | Qt::KeypadModifier, "k"), "\u2303\u2325\u21e7\u2318K",
         shift | control | option | command},
    };
    for (int key = 1; key <= 4; ++key) {
        const auto& c = cases[key - 1];
        model->setRecording(key);
        const std::unique_ptr<QKeyEvent> press(c.event.clone());
        EXPECT_TRUE(QCoreApplication::sendEvent(qApp, press.get()));
        EXPECT_EQ(model->scenes()[0].keys[key - 1].recordedShortcut, QString::fromUtf8(c.label));
        EXPECT_EQ(model->scenes()[0].keys[key - 1].modifiers, c.modifiers);
    }
    EXPECT_EQ(model->scenes()[0].keys[3].keyCode, 0x28);
    EXPECT_EQ(bed.stored().scenes[0].keys, model->scenes()[0].keys);
}

// Modifiers alone and keys without a code keep recording and save nothing; window shortcuts do
// not take the key.
TEST(ShortcutRecorder, ModifiersAloneAndUnknownKeysKeepRecording) {
    ModelHarness bed;
    auto model = bed.model(DeviceKind::mountain);
    model->setRecording(3);
    EXPECT_FALSE(swallowed(keyPress(Qt::Key_Shift, KEY_LEFTSHIFT, Qt::ShiftModifier)));
    QKeyEvent shortcut(QEvent::ShortcutOverride, Qt::Key_Q, Qt::ControlModifier);
    shortcut.ignore();
    EXPECT_TRUE(QCoreApplication::sendEvent(qApp, &shortcut) && shortcut.isAccepted());
    EXPECT_TRUE(swallowed(keyPress(Qt::Key_LaunchB, 0)));
    EXPECT_EQ(model->recording(), 3);
    EXPECT_TRUE(model->message().contains(QStringLiteral("cannot be recorded")));
    EXPECT_FALSE(QFile::exists(bed.root() + "/pad-1/bindings.json"));
}

// Keys pass on when no model records, when the recording model is gone, and when the control
// being recorded vanished (which ends the recording with a message).
TEST(ShortcutRecorder, KeysPassOnUnlessAModelRecordsAnExistingControl) {
    ModelHarness bed;
    auto model = bed.model(DeviceKind::mountain);
    const auto a = [] { return keyPress(Qt::Key_A, KEY_A, Qt::NoModifier, QStringLiteral("a")); };
    EXPECT_FALSE(swallowed(a()));
    model->setRecording(40);
    EXPECT_FALSE(swallowed(a()) || model->recording());
    EXPECT_EQ(model->message(), QStringLiteral("The control being recorded no longer exists"));
    model->setRecording(3);
    model.reset();
    EXPECT_FALSE(swallowed(a()));
}
