#include "support/ModelHarness.h"

#include "app/VirtualPadWindow.h"
#include "app/VirtualPads.h"

#include "ui/ConfigurationWindow.h"
#include "ui/ControlEditor.h"
#include "ui/CropWindow.h"
#include "ui/PadLayout.h"
#include "ui/PadViews.h"
#include "ui/SettingsView.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

// The window over a store with one virtual pad, shown and in front.
struct Window {
    explicit Window(const std::shared_ptr<VirtualPad>& virtualPad)
        : pad(virtualPad), model(harness.attach(virtualPad)), window(harness.store()) {
        window.bringToFront();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    SettingsView& settings() { return *window.rootView()->settingsView(); }
    PadView& padView() { return *settings().padView(); }
    Binding binding(int64_t id) const {
        for (const Binding& binding : model->activeScene().keys) {
            if (binding.id == id) {
                return binding;
            }
        }
        return {};
    }
    void set(const Binding& binding) { model->updateBinding(model->activeSceneID(), binding); }
    void select(int control) {
        QTest::mouseClick(&padView(), Qt::LeftButton, {}, padView().controlCentre(control));
    }
    // Drops `data` onto `control` the way a drag from another program ends.
    bool drop(QMimeData& data, int control) {
        const QPointF at = padView().controlCentre(control);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                              {});
        QApplication::sendEvent(&padView(), &enter);
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&padView(), &drop);
        return drop.isAccepted();
    }

    ModelHarness harness;
    std::shared_ptr<VirtualPad> pad;
    Model* model;
    ConfigurationWindow window;
};

QAction* menuAction(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == text) {
            return action;
        }
        if (action->menu()) {
            if (QAction* found = menuAction(*action->menu(), text)) {
                return found;
            }
        }
    }
    return nullptr;
}

}  // namespace

TEST(ControlEditor, ActionMenuSetsTheActionAndOnlyAnotherActionDropsTheStep) {
    Window ui(ModelHarness::displayPad());
    Binding volume = ui.binding(4);
    volume.action = QStringLiteral("Volume up");
    volume.adjustmentStep = 10;
    volume.argument = QStringLiteral("kept");
    ui.set(volume);
    ui.select(4);
    ControlEditor* editor = ui.settings().editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->control(), 4);
    EXPECT_TRUE(menuAction(*editor->actionMenu(), QStringLiteral("Volume up"))->isChecked());
    EXPECT_EQ(
        QAccessible::queryAccessibleInterface(&ui.padView())->focusChild()->text(QAccessible::Name),
        QStringLiteral("LCD key 4, Volume up"));

    struct Row {
        QString choice;
        std::optional<int64_t> step;
    };
    for (const Row& row :
         {Row{QStringLiteral("Volume up"), 10}, Row{QStringLiteral("Volume down"), std::nullopt}}) {
        menuAction(*ui.settings().editor()->actionMenu(), row.choice)->trigger();
        const Binding stored = ui.harness.stored(ui.model->id()).scenes[0].keys[3];
        EXPECT_EQ(stored.action, row.choice);
        EXPECT_EQ(stored.adjustmentStep, row.step) << row.choice;
        EXPECT_EQ(stored.argument, QStringLiteral("kept"));
    }
}

TEST(ControlEditor, EditorsSaveIntoTheBinding) {
    Window ui(ModelHarness::msdTwo());
    Binding url = ui.binding(2);
    url.action = QStringLiteral("Open URL");
    ui.set(url);
    ui.select(2);
    QLineEdit* address = nullptr;
    for (auto* field : ui.settings().editor()->findChildren<QLineEdit*>()) {
        address = field->accessibleName() == QStringLiteral("Web address") ? field : address;
    }
    ASSERT_NE(address, nullptr);
    address->setFocus();
    QTest::keyClicks(address, QStringLiteral("example.org"));
    QTest::keyClick(address, Qt::Key_Return);
    EXPECT_EQ(ui.binding(2).argument, QStringLiteral("example.org"));

    // The dial preset menu of a dial target rewrites the whole dial.
    ui.select(0x51);
    auto* presets = ui.settings().editor()->findChild<DialPresetMenu*>();
    ASSERT_NE(presets, nullptr);
    menuAction(*presets->menu(), QStringLiteral("Volume"))->trigger();
    EXPECT_EQ(ui.binding(0x50).action, QStringLiteral("Volume down"));
    EXPECT_EQ(ui.binding(0x35).action, QStringLiteral("Mute"));
}

TEST(SettingsView, DeleteClearsTheSelectionOnlyWhenNothingElseTakesTheKey) {
    Window ui(ModelHarness::displayPad());
    struct Row {
        const char* name;
        std::function<void(Window&)> arrange;
        bool cleared;
    };
    const QList<Row> rows = {
        {"focus in a text field",
         [](Window& w) { w.settings().editor()->findChild<QLineEdit*>()->setFocus(); }, false},
        {"recording a shortcut", [](Window& w) { w.model->setRecording(1); }, false},
        {"with shift held", nullptr, false},
        {"plain press", [](Window& w) { w.padView().setFocus(); }, true},
    };
    for (const Row& row : rows) {
        Binding binding = ui.binding(3);
        binding.action = QStringLiteral("Mute");
        ui.set(binding);
        ui.select(3);
        if (row.arrange) {
            row.arrange(ui);
        }
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &ui.window;
        QTest::keyClick(target, Qt::Key_Delete, row.arrange ? Qt::NoModifier : Qt::ShiftModifier);
        ui.model->setRecording(std::nullopt);
        EXPECT_EQ(ui.binding(3).action == QStringLiteral("None"), row.cleared) << row.name;
    }
}

TEST(PadView, DraggedScreenButtonSwapsAndDroppedImageLandsOnThePad) {
    Window ui(ModelHarness::displayPad());
    Binding mute = ui.binding(2);
    mute.action = QStringLiteral("Mute");
    ui.set(mute);
    const std::optional<ScreenButtonDrag> drag = ui.model->buttonDragPayload(2);
    ASSERT_TRUE(drag);
    QMimeData swap;
    swap.setData(PadView::dragMimeType(), drag->encoded());
    EXPECT_FALSE(ui.drop(swap, 2));  // onto itself
    EXPECT_TRUE(ui.drop(swap, 9));
    EXPECT_EQ(ui.binding(9).action, QStringLiteral("Mute"));
    EXPECT_EQ(ui.binding(9).name, QStringLiteral("LCD key 9"));
    EXPECT_EQ(ui.binding(2).action, QStringLiteral("None"));

    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(ui.harness.solidImage("red", Qt::red))});
    EXPECT_TRUE(ui.drop(file, 5));
    auto& displayPad = static_cast<VirtualDisplayPad&>(*ui.pad);
    EXPECT_TRUE(waitUntil([&] { return near(keyColor(displayPad, 5), Qt::red); }));

    // A wide picture opens the crop window; what it shows (the centre) lands once accepted.
    QImage wide(300, 100, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    for (int x = 100; x < 200; ++x) {
        for (int y = 0; y < 100; ++y) {
            wide.setPixelColor(x, y, Qt::green);
        }
    }
    const QString path = ui.harness.root() + QStringLiteral("/wide.png");
    ASSERT_TRUE(wide.save(path));
    file.setUrls({QUrl::fromLocalFile(path)});
    EXPECT_TRUE(ui.drop(file, 6));
    CropWindow* crop = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (crop = ui.window.findChild<CropWindow*>()); }));
    QTest::mouseClick(crop->useButton(), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return near(keyColor(displayPad, 6), Qt::green, 12); }));
    EXPECT_TRUE(waitUntil([&] { return !ui.model->imagePicker(); }));
}

// The web search is a program of its own; stand-ins for it end in each way it can.
TEST(PickerProcess, SearchResultsFailuresAndClosingReachTheModel) {
    Window ui(ModelHarness::displayPad());
    const QString pidFile = ui.harness.root() + QStringLiteral("/picker.pid");
    qputenv("PIDFILE", pidFile.toUtf8());
    qputenv("FOUND", ui.harness.solidImage(QStringLiteral("found"), Qt::red).toUtf8());
    struct Row {
        const char* name;
        const char* script;  // run once $out and $ratio are read; none: no program there
        const char* failure;
    };
    const QList<Row> rows = {
        {"closed without a crop", "exit 0", ""},
        {"waits for its input", "echo $$ > $PIDFILE; exec cat >/dev/null", ""},
        {"crashed", "kill -SEGV $$", "The image search closed unexpectedly"},
        {"bad arguments", "exit 2", "The image search closed unexpectedly"},
        {"unreadable output", "echo x > $out", "The image search returned an unreadable image"},
        {"not installed", nullptr, "The image search is not installed"},
        {"accepted", "[ $ratio = 1 ] && cp $FOUND $out", nullptr},  // last: it sets the key
    };
    for (const Row& row : rows) {
        const QString program = ui.harness.root() + QStringLiteral("/") + row.name;
        QFile file(program);
        if (row.script && file.open(QIODevice::WriteOnly)) {
            file.write(QByteArray("#!/bin/sh\nwhile [ $# -gt 0 ]; do case $1 in --output) out=$2;; "
                                  "--aspect-ratio) ratio=$2;; esac; shift; done\n") +
                       row.script);
            file.close();
            file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        }
        qputenv("QUORVEL_PICKER", program.toUtf8());
        ui.model->chooseArtwork(5, true);
        if (QString(row.script).contains(QStringLiteral("cat"))) {
            ASSERT_TRUE(waitUntil([&] { return !readFile(pidFile).isEmpty(); }));
            ui.model->imagePicker()->close();
            EXPECT_TRUE(
                waitUntil([&] { return processGone(readFile(pidFile).trimmed().toInt()); }));
        }
        EXPECT_TRUE(waitUntil([&] { return !ui.model->imagePicker(); })) << row.name;
        if (row.failure) {  // with no failure text, no trouble with the search is reported
            const QString message = ui.model->message();
            EXPECT_EQ(message.contains(QStringLiteral("image search")) ? message : QString(),
                      QString(row.failure));
        }
        EXPECT_EQ(ui.binding(5).imagePath.has_value(), !row.failure) << row.name;
    }
    auto& displayPad = static_cast<VirtualDisplayPad&>(*ui.pad);
    EXPECT_TRUE(waitUntil([&] { return near(keyColor(displayPad, 5), Qt::red); }));
}

TEST(SettingsView, SceneBarAddsSelectsAndDeletesScenes) {
    Window ui(ModelHarness::displayPad());
    QComboBox* picker = ui.settings().scenePicker();
    const auto button = [&](const QString& name) {
        for (auto* candidate : ui.settings().findChildren<QToolButton*>()) {
            if (candidate->accessibleName() == name) {
                return candidate;
            }
        }
        return static_cast<QToolButton*>(nullptr);
    };
    QTest::mouseClick(button(QStringLiteral("Add scene")), Qt::LeftButton);
    QTest::mouseClick(button(QStringLiteral("Duplicate current scene")), Qt::LeftButton);
    ASSERT_EQ(ui.model->scenes().size(), 3);
    EXPECT_EQ(picker->itemText(2), QStringLiteral("Scene 3"));
    EXPECT_EQ(picker->currentIndex(), 2);
    picker->activated(0);
    EXPECT_EQ(ui.model->activeSceneIndex(), 0);
    QTest::mouseClick(button(QStringLiteral("Remove scene")), Qt::LeftButton);
    EXPECT_EQ(ui.model->scenes().size(), 2);
    EXPECT_EQ(picker->count(), 2);
}

// A normal start shows the window; a start at login or with --background keeps it hidden.
TEST(ConfigurationWindow, LaunchShowsItUnlessInTheBackground) {
    ModelHarness harness;
    for (const bool background : {false, true}) {
        LogCapture log;
        const auto window = ConfigurationWindow::launch(harness.store(), background);
        EXPECT_EQ(window && window->isVisible(), !background);
        EXPECT_TRUE(
            log.contains(QStringLiteral("Quorvel Zodovuvur startup: configuration window ") +
                         (background ? "hidden" : "visible")));
    }
}

TEST(VirtualPadWindow, ClicksAndTheWheelReachThePadsControls) {
    ModelHarness harness;
    VirtualPads& pads = harness.standardPads();
    QList<int> controls;
    for (Model* model : harness.store().devices()) {
        QObject::connect(model, &Model::controlEvent, [&](int control) { controls << control; });
    }
    const auto windows = VirtualPadWindow::showAll(pads);
    for (const auto& window : windows) {
        window->resize(window->sizeHint());
    }
    // The DisplayPad's key 3 (its picture starts 16 pixels in), then the MSD-TWO's large dial.
    QTest::mouseClick(windows[0].get(), Qt::LeftButton, {}, QPoint(16 + 2 * 102 + 51, 16 + 51));
    const QPoint dial = PadLayout::shape(DeviceKind::msdTwo, 0x35)->rect.center().toPoint();
    QTest::mouseClick(windows[1].get(), Qt::LeftButton, {}, dial);
    QWheelEvent wheel(dial, windows[1]->mapToGlobal(dial), {}, QPoint(0, 240), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(windows[1].get(), &wheel);
    EXPECT_TRUE(waitUntil([&] { return controls.size() >= 4; }));
    EXPECT_EQ(controls, (QList<int>{3, 0x35, 0x51, 0x51}));
}
