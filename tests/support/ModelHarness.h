#pragma once

#include "support/TestSupport.h"

#include "actions/DisplayBrightness.h"
#include "actions/InputPoster.h"
#include "config/SavedConfiguration.h"
#include "device/PadDisplaySession.h"
#include "device/virtual/SimulatedHidManager.h"
#include "device/virtual/VirtualDisplayPad.h"
#include "device/virtual/VirtualMsdTwo.h"
#include "model/DeviceStore.h"
#include "model/Model.h"

#include <QColor>
#include <QImage>
#include <QTemporaryDir>

#include <memory>
#include <mutex>
#include <optional>

// The computer display's brightness as the test sets it; no level means it cannot be read.
class FakeMacBrightness : public DisplayBrightness {
public:
    void set(std::optional<double> level) {
        std::lock_guard lock(mutex_);
        level_ = level;
    }
    double level() override;
    void setLevel(double level) override { set(level); }
    bool automatic() override { return false; }
    void setAutomatic(bool) override {}

private:
    std::mutex mutex_;
    std::optional<double> level_ = 0.5;
};

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

// A real device store over the simulated HID manager, with its settings root in a temporary
// folder, shortened session waits, a fake display brightness and recorded keystrokes. Models
// without a pad can be made from the same environment.
class VirtualPads;

// Session waits short enough for tests that drive whole pads through the store: failure paths
// finish quickly, while image steps keep room for a slow (sanitizer) build, since only failing
// paths ever wait them out.
SessionTiming quickSessionTiming();

class ModelHarness {
public:
    ModelHarness();
    ~ModelHarness();

    DeviceStore& store() { return *store_; }
    SimulatedHidManager& hid() { return *hid_; }
    FakeMacBrightness& mac() { return *mac_; }
    QString root() const { return root_.path(); }
    ModelEnvironment environment() const;

    static std::shared_ptr<VirtualDisplayPad> displayPad(uint32_t location = 0x01230000,
                                                         const QString& serial = "VDP-1") {
        return VirtualDisplayPad::create(location, serial);
    }
    static std::shared_ptr<VirtualMsdTwo> msdTwo(uint32_t location = 0x01240000,
                                                 const QString& serial = "MSD-1") {
        return VirtualMsdTwo::create(location, serial);
    }
    static QString idOf(const VirtualPad& pad);

    // Starts the store on first use, plugs the pad in and waits until its model is ready.
    Model* attach(const std::shared_ptr<VirtualPad>& pad);
    // The virtual pads of --simulate ("displaypad", "msd-two") in this store, once both are
    // ready; `modelOf` finds their models by pad name.
    VirtualPads& standardPads();
    Model* modelOf(const QString& padName) const;
    // A model of `kind` without a pad, starting from `configuration` when one is given.
    std::unique_ptr<Model> model(DeviceKind kind, const SavedConfiguration& configuration = {},
                                 const QString& id = QStringLiteral("pad-1"));
    // Lays down a device's bindings file before its model starts.
    void putScenes(const QString& deviceID, const SavedConfiguration& configuration);
    QByteArray readFile(const QString& deviceID, const char* name) const;
    // The bindings file as stored now.
    SavedConfiguration stored(const QString& deviceID = QStringLiteral("pad-1")) const;
    // A PNG of one colour in the temporary folder; returns its path.
    QString solidImage(const QString& name, const QColor& color) const;

    std::shared_ptr<RecordingInputPoster> input = std::make_shared<RecordingInputPoster>();

private:
    QTemporaryDir root_;
    std::shared_ptr<FakeMacBrightness> mac_ = std::make_shared<FakeMacBrightness>();
    std::shared_ptr<PlatformServices> services_;
    SimulatedHidManager* hid_ = nullptr;  // owned by the store
    std::unique_ptr<DeviceStore> store_;
    std::unique_ptr<VirtualPads> pads_;  // before the store's manager goes
    bool started_ = false;
};

// The centre pixel of a DisplayPad key / MSD-TWO screen button as the pad shows it.
QColor keyColor(const VirtualDisplayPad& pad, int key);
QColor buttonColor(const VirtualMsdTwo& pad, int key);

// One scene per colour; key 1 of each shows an image of that colour.
SavedConfiguration coloredScenes(const ModelHarness& harness, DeviceKind kind,
                                 const QList<QColor>& colors);
// The kind's default scenes with every control bound to a keystroke whose key code equals the
// control number, so the posted codes show which controls ran.
SavedConfiguration keystrokeScenes(DeviceKind kind, int sceneCount = 1);
