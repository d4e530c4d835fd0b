#include "InputTestSupport.h"

#include "device/virtual/SimulatedHidManager.h"
#include "device/virtual/VirtualMsdTwo.h"
#include "model/DeviceStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A real store over one virtual MSD-TWO whose controls are all bound to keystrokes.
class MsdTwoOnStore {
public:
    MsdTwoOnStore() {
        auto manager = std::make_unique<SimulatedHidManager>();
        hid_ = manager.get();
        const QString id =
            pad->kind().identity(pad->info().serialNumber, pad->info().locationID.value_or(0));
        bed.put(keystrokeScenes(DeviceKind::msdTwo), id);
        store_ = std::make_unique<DeviceStore>(std::move(manager), bed.environment());
        store_->start();
        hid_->add(pad);
        ready = waitUntil([&] {
            model = store_->model(id);
            return model && model->message() == QStringLiteral("MSD-TWO ready");
        });
    }
    ~MsdTwoOnStore() { store_->stop(); }

    // Images the pad received per screen button, button 1 first.
    QList<int> uploads() const {
        QList<int> counts;
        for (int key = 1; key <= VirtualMsdTwo::buttonCount; ++key) {
            counts << pad->imagesReceived(key);
        }
        return counts;
    }

    InputTestBed bed;
    std::shared_ptr<VirtualMsdTwo> pad = VirtualMsdTwo::create(0x01240000);
    Model* model = nullptr;
    bool ready = false;

private:
    SimulatedHidManager* hid_ = nullptr;  // owned by the store
    std::unique_ptr<DeviceStore> store_;
};

}  // namespace

TEST(Model, ScreenButtonPressRunsItsBindingThenResendsOnlyThatButton) {
    MsdTwoOnStore rig;
    ASSERT_TRUE(rig.ready) << (rig.model ? rig.model->message().toStdString() : "no model");
    QList<int> expected = rig.uploads();

    // Dials have no border to repair.
    rig.pad->sendControl(0x50);
    rig.pad->pressScreenButton(4);
    ++expected[3];
    EXPECT_TRUE(waitUntil([&] { return rig.uploads() == expected; }));
    EXPECT_EQ(rig.bed.input->pressedKeyCodes(), (QList<int>{0x50, 4}));
    EXPECT_EQ(rig.pad->buttonBytes(4), rig.model->keyImages()->at(3));

    rig.pad->pressScreenButton(6);
    ++expected[5];
    EXPECT_TRUE(waitUntil([&] { return rig.uploads() == expected; }));
    EXPECT_EQ(rig.pad->protocolErrors(), 0);
}
