#pragma once

#include "support/QuickTiming.h"

#include "actions/DisplayBrightness.h"
#include "config/SavedConfiguration.h"
#include "device/virtual/SimulatedHidManager.h"
#include "device/virtual/VirtualDisplayPad.h"
#include "device/virtual/VirtualMsdTwo.h"
#include "model/DeviceStore.h"
#include "model/Model.h"
#include "support/TestSupport.h"

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

// A real device store over the simulated HID manager, with its settings root in a temporary
// folder and shortened session waits.
class PipelineHarness {
public:
    PipelineHarness();
    ~PipelineHarness();

    DeviceStore& store() { return *store_; }
    SimulatedHidManager& hid() { return *hid_; }
    FakeMacBrightness& mac() { return *mac_; }
    QString root() const { return root_.path(); }

    static std::shared_ptr<VirtualDisplayPad> displayPad(uint32_t location = 0x01230000,
                                                         const QString& serial = "VDP-1");
    static std::shared_ptr<VirtualMsdTwo> msdTwo(uint32_t location = 0x01240000,
                                                 const QString& serial = "MSD-1");
    static QString idOf(const VirtualPad& pad);

    // Starts the store on first use, plugs the pad in and waits until its model is ready.
    Model* attach(const std::shared_ptr<VirtualPad>& pad);
    // Lays down a device's bindings file before its pad first attaches.
    void putScenes(const QString& deviceID, const SavedConfiguration& configuration);
    QByteArray readFile(const QString& deviceID, const char* name) const;
    // A PNG of one colour in the temporary folder; returns its path.
    QString solidImage(const QString& name, const QColor& color) const;

private:
    QTemporaryDir root_;
    std::shared_ptr<FakeMacBrightness> mac_ = std::make_shared<FakeMacBrightness>();
    SimulatedHidManager* hid_ = nullptr;  // owned by the store
    std::unique_ptr<DeviceStore> store_;
    bool started_ = false;
};

// Colours equal within `tolerance` per channel (JPEG and RGB565 are lossy).
bool near(const QColor& actual, const QColor& expected, int tolerance = 3);
// The centre pixel of a DisplayPad key / MSD-TWO screen button as the pad shows it.
QColor keyColor(const VirtualDisplayPad& pad, int key);
QColor buttonColor(const VirtualMsdTwo& pad, int key);

// One scene per colour; key 1 of each shows an image of that colour.
SavedConfiguration coloredScenes(const PipelineHarness& harness, DeviceKind kind,
                                 const QList<QColor>& colors);
