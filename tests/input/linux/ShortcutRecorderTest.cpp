#include "../InputTestSupport.h"

#include "model/ShortcutRecorder.h"

#include <QCoreApplication>
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

const Binding& key3(const SavedConfiguration& configuration) {
    return configuration.scenes.first().keys[2];
}

}  // namespace

TEST(ShortcutRecorder, EscapeCancelsAndStoresNothing) {
    InputTestBed bed;
    auto model = bed.model(DeviceKind::mountain);
    model->setRecording(3);
    QKeyEvent escape = keyPress(Qt::Key_Escape, KEY_ESC);
    EXPECT_TRUE(QCoreApplication::sendEvent(qApp, &escape));
    EXPECT_FALSE(model->recording());
    EXPECT_FALSE(key3(SavedConfiguration{model->scenes(), {}}).recordedShortcut);
    EXPECT_FALSE(bed.storedExists()) << "nothing was saved";
}

TEST(ShortcutRecorder, KeyStoresCodeMaskedFlagsAndLabelThenSaves) {
    InputTestBed bed;
    auto model = bed.model(DeviceKind::mountain);
    model->setRecording(3);
    EXPECT_TRUE(swallowed(keyPress(Qt::Key_K, KEY_K,
                                   Qt::ShiftModifier | Qt::ControlModifier | Qt::KeypadModifier,
                                   QStringLiteral("\x0b"))));
    EXPECT_FALSE(model->recording());

    const SavedConfiguration file = bed.stored();
    const Binding& stored = key3(file);
    EXPECT_EQ(stored.keyCode, 0x28);
    EXPECT_EQ(stored.modifiers, shift | control);
    EXPECT_EQ(stored.recordedShortcut, QStringLiteral("\u2303\u21e7K"));
    EXPECT_EQ(key3(SavedConfiguration{model->scenes(), {}}), stored);
}

TEST(ShortcutRecorder, OnlyTheActiveSceneOfTheRecordingModelChanges) {
    InputTestBed bed;
    SavedConfiguration configuration = keystrokeScenes(DeviceKind::mountain, 2);
    configuration.activeSceneID = configuration.scenes[1].id;
    auto recording = bed.model(DeviceKind::mountain, configuration);
    auto other = bed.model(DeviceKind::mountain, configuration, QStringLiteral("pad-2"));
    recording->setRecording(3);
    QKeyEvent press = keyPress(Qt::Key_1, KEY_1, Qt::AltModifier | Qt::MetaModifier);
    EXPECT_TRUE(QCoreApplication::sendEvent(qApp, &press));

    const Binding& recorded = recording->scenes()[1].keys[2];
    EXPECT_EQ(recorded.recordedShortcut, QStringLiteral("\u2325\u23181"));
    EXPECT_EQ(recorded.keyCode, 0x12);
    EXPECT_EQ(recorded.modifiers, option | command);
    EXPECT_EQ(recording->scenes()[0].keys[2].recordedShortcut, QStringLiteral("Key 3"));
    EXPECT_EQ(other->scenes()[1].keys[2].recordedShortcut, QStringLiteral("Key 3"));
    EXPECT_EQ(bed.stored().scenes[1].keys[2], recorded);
}

TEST(ShortcutRecorder, RecordedShortcutIsWhatThePadKeyThenTypes) {
    InputTestBed bed;
    SavedConfiguration configuration = keystrokeScenes(DeviceKind::mountain);
    auto model = bed.model(DeviceKind::mountain, configuration);
    model->setRecording(3);
    QKeyEvent press = keyPress(Qt::Key_K, KEY_K, Qt::ControlModifier);
    QCoreApplication::sendEvent(qApp, &press);
    model->receive(displayPadKeyReport({3}));
    EXPECT_EQ(bed.input->posted,
              (QList<SyntheticKeyEvent>{SyntheticKeyEvent::key(0x28, control, true),
                                        SyntheticKeyEvent::key(0x28, control, false)}));
}

TEST(ShortcutRecorder, KeysThatTypeNothingVisibleAreLabelledByTheirCode) {
    InputTestBed bed;
    auto model = bed.model(DeviceKind::mountain);
    model->setRecording(1);
    QKeyEvent f5 = keyPress(Qt::Key_F5, KEY_F5);
    QCoreApplication::sendEvent(qApp, &f5);
    model->setRecording(2);
    QKeyEvent space = keyPress(Qt::Key_Space, KEY_SPACE, Qt::ShiftModifier, QStringLiteral(" "));
    QCoreApplication::sendEvent(qApp, &space);
    EXPECT_EQ(model->scenes()[0].keys[0].recordedShortcut, QStringLiteral("Key 96"));
    EXPECT_EQ(model->scenes()[0].keys[1].recordedShortcut, QStringLiteral("\u21e7Key 49"));
}

TEST(ShortcutRecorder, VanishedControlEndsRecordingWithAMessageAndPassesTheKeyOn) {
    InputTestBed bed;
    auto model = bed.model(DeviceKind::mountain);
    model->setRecording(40);
    QLineEdit field;
    QKeyEvent press = keyPress(Qt::Key_A, KEY_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(&field, &press);
    EXPECT_EQ(field.text(), QStringLiteral("a"));
    EXPECT_FALSE(model->recording());
    EXPECT_EQ(model->message(), QStringLiteral("The control being recorded no longer exists"));
}

TEST(ShortcutRecorder, ModifiersAloneAndUnknownKeysKeepRecording) {
    InputTestBed bed;
    auto model = bed.model(DeviceKind::mountain);
    model->setRecording(3);
    EXPECT_FALSE(swallowed(keyPress(Qt::Key_Shift, KEY_LEFTSHIFT, Qt::ShiftModifier)));
    EXPECT_EQ(model->recording(), 3);
    QKeyEvent shortcut(QEvent::ShortcutOverride, Qt::Key_Q, Qt::ControlModifier);
    shortcut.ignore();
    EXPECT_TRUE(QCoreApplication::sendEvent(qApp, &shortcut));
    EXPECT_TRUE(shortcut.isAccepted()) << "window shortcuts must not take the key";
    EXPECT_TRUE(swallowed(keyPress(Qt::Key_LaunchB, 0)));
    EXPECT_EQ(model->recording(), 3);
    EXPECT_TRUE(model->message().contains(QStringLiteral("cannot be recorded")));
    EXPECT_FALSE(bed.storedExists());
}

TEST(ShortcutRecorder, IdleOrDestroyedModelsLeaveKeysAlone) {
    InputTestBed bed;
    auto model = bed.model(DeviceKind::mountain);
    EXPECT_FALSE(swallowed(keyPress(Qt::Key_A, KEY_A, Qt::NoModifier, QStringLiteral("a"))));
    model->setRecording(3);
    model.reset();
    EXPECT_FALSE(swallowed(keyPress(Qt::Key_A, KEY_A, Qt::NoModifier, QStringLiteral("a"))));
    QKeyEvent escape = keyPress(Qt::Key_Escape, KEY_ESC);
    EXPECT_FALSE(QCoreApplication::sendEvent(qApp, &escape));
}

TEST(ShortcutRecorder, LabelSignsComeInControlOptionShiftCommandOrder) {
    Model::KeyDownEvent event{0x28, shift | command | option | control | 0x1, QStringLiteral("k")};
    EXPECT_EQ(Model::shortcutLabel(event), QStringLiteral("\u2303\u2325\u21e7\u2318K"));
    event.modifierFlags = shift | command;
    EXPECT_EQ(Model::shortcutLabel(event), QStringLiteral("\u21e7\u2318K"));
    EXPECT_EQ(Model::shortcutLabel({0x7A, 0, {}}), QStringLiteral("Key 122"));
}
