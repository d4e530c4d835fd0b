#include "app/VirtualPads.h"
#include "device/virtual/SimulatedHidManager.h"
#include "device/virtual/VirtualMsdTwo.h"
#include "model/DeviceStore.h"
#include "model/Model.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The fixture carries the name of the class under test, which lives in the global namespace.
namespace app_test {

using Reason = VirtualPadError::Reason;

// The standard virtual pads in front of a real store whose files live in a temporary folder.
class VirtualPads : public ::testing::Test {
protected:
    VirtualPads() {
        auto manager = std::make_unique<SimulatedHidManager>();
        ModelEnvironment environment;
        environment.settingsRoot = root.path();
        environment.padUsb = manager->usb();
        pads = std::make_unique<::VirtualPads>(*manager);
        store = std::make_unique<DeviceStore>(std::move(manager), std::move(environment));
        pads->addStandardPads();
        store->start();
    }
    ~VirtualPads() override { store->stop(); }

    Model* model(const QString& name) {
        for (const ::VirtualPads::Listing& listing : pads->list()) {
            if (listing.name == name) {
                return store->model(listing.deviceID);
            }
        }
        return nullptr;
    }
    bool ready(const QString& name) {
        return model(name) && model(name)->message().endsWith(" ready");
    }
    // The controls `name` reported to its model while `act` ran.
    QList<int> controlsDuring(const QString& name, const std::function<void()>& act,
                              qsizetype expected) {
        QList<int> controls;
        const auto connection = QObject::connect(model(name), &Model::controlEvent,
                                                 [&](int control) { controls.append(control); });
        act();
        waitUntil([&] { return controls.size() >= expected; });
        QObject::disconnect(connection);
        return controls;
    }
    static std::pair<Reason, QString> errorOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const VirtualPadError& error) {
            return {error.reason(), error.message()};
        }
        return {Reason::writeFailed, "no VirtualPadError"};
    }
    static Reason reasonOf(const std::function<void()>& call) { return errorOf(call).first; }

    QTemporaryDir root;
    std::unique_ptr<DeviceStore> store;
    std::unique_ptr<::VirtualPads> pads;
};

TEST_F(VirtualPads, ListsOnePadOfEachKindOnBusZero) {
    const QList<::VirtualPads::Listing> listing = pads->list();
    ASSERT_EQ(listing.size(), 2);
    EXPECT_EQ(QStringList({listing[0].name, listing[0].kind, listing[1].name, listing[1].kind}),
              QStringList({"displaypad", "mountain", "msd-two", "msdTwo"}));
    EXPECT_TRUE(listing[0].plugged && listing[1].plugged);
    ASSERT_TRUE(waitUntil([&] { return ready("displaypad") && ready("msd-two"); }));
    EXPECT_EQ(model("displaypad")->deviceName(), "Mountain DisplayPad · USB 00100000");
    EXPECT_EQ(model("msd-two")->deviceName(), "MSD-TWO · USB 00200000");
}

TEST_F(VirtualPads, ControlsReachThePadsModelAsTheyWouldFromAPad) {
    ASSERT_TRUE(waitUntil([&] { return ready("displaypad") && ready("msd-two"); }));
    EXPECT_EQ(controlsDuring(
                  "displaypad", [&] { pads->pressKey("displaypad", 12); }, 1),
              QList<int>{12});
    ASSERT_TRUE(waitUntil([&] { return model("displaypad")->heldKeys() == std::set<int>{12}; }));
    pads->releaseKey("displaypad", 12);
    EXPECT_TRUE(waitUntil([&] { return model("displaypad")->heldKeys().empty(); }));
    // A button press on the DisplayPad is a key going down and up again.
    EXPECT_EQ(controlsDuring(
                  "displaypad", [&] { pads->pressButton("displaypad", 3); }, 1),
              QList<int>{3});
    EXPECT_TRUE(waitUntil([&] { return model("displaypad")->heldKeys().empty(); }));

    const std::pair<std::function<void()>, QList<int>> msdTwo[] = {
        {[&] { pads->pressButton("msd-two", 6); }, {6}},
        {[&] { pads->turnDial("msd-two", "large", 3); }, {81, 81, 81}},
        {[&] { pads->turnDial("msd-two", "left", -2); }, {144, 144}},
        {[&] { pads->pressDial("msd-two", "right"); }, {52}},
        {[&] {
             for (const char* button : {"left", "middle", "right"}) {
                 pads->pressRoundButton("msd-two", button);
             }
         },
         {37, 48, 49}}};
    for (const auto& [act, controls] : msdTwo) {
        EXPECT_EQ(controlsDuring("msd-two", act, controls.size()), controls);
    }
}

TEST_F(VirtualPads, RefusesControlsThePadDoesNotHaveNamingWhatWouldBeRight) {
    const std::function<void()> invalid[] = {
        [&] { pads->pressKey("displaypad", 0); },
        [&] { pads->releaseKey("displaypad", -1); },
        [&] { pads->pressButton("displaypad", 13); },
        [&] { pads->pressButton("msd-two", 7); },
        [&] { pads->pressKey("msd-two", 1); },
        [&] { pads->turnDial("displaypad", "large", 1); },
        [&] { pads->turnDial("msd-two", "middle", 1); },
        [&] { pads->turnDial("msd-two", "large", 0); },
        [&] { pads->turnDial("msd-two", "large", 101); },
        [&] { pads->turnDial("msd-two", "large", -101); },
        [&] { pads->pressDial("msd-two", "Large"); },
        [&] { pads->pressRoundButton("msd-two", "centre"); },
        [&] { pads->add("msd-two", VirtualMsdTwo::create(0x00300000)); },
        [&] { pads->savePicture("displaypad", "relative.png"); }};
    for (size_t i = 0; i < std::size(invalid); ++i) {
        EXPECT_EQ(reasonOf(invalid[i]), Reason::invalidArgument) << "row " << i;
    }
    EXPECT_EQ(
        errorOf([&] { pads->pressKey("displaypad", 13); }),
        std::pair(Reason::invalidArgument,
                  QString("Key 13 is out of range: the Mountain DisplayPad has keys 1 to 12")));
    EXPECT_EQ(errorOf([&] { pads->pressKey("keyboard", 1); }),
              std::pair(Reason::unknownPad, QString("No virtual pad is named \"keyboard\"; the "
                                                    "virtual pads are: displaypad, msd-two")));
    EXPECT_EQ(reasonOf([&] { pads->unplug(""); }), Reason::unknownPad);
    EXPECT_EQ(reasonOf([&] { pads->savePicture("nothing", root.filePath("x.png")); }),
              Reason::unknownPad);
    EXPECT_EQ(reasonOf([&] { pads->savePicture("displaypad", root.filePath("none/x.png")); }),
              Reason::writeFailed);
    EXPECT_EQ(reasonOf([&] { pads->savePicture("displaypad", root.path()); }), Reason::writeFailed);
    EXPECT_FALSE(QFile::exists(root.filePath("x.png")));
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("relative.png")));
}

TEST_F(VirtualPads, UnplugAndPlugDetachAndReattachTheSameModel) {
    ASSERT_TRUE(waitUntil([&] { return ready("msd-two"); }));
    Model* before = model("msd-two");
    pads->unplug("msd-two");
    pads->unplug("msd-two");
    EXPECT_FALSE(pads->list()[1].plugged);
    EXPECT_TRUE(waitUntil([&] { return !before->connected(); }));
    EXPECT_EQ(reasonOf([&] { pads->pressButton("msd-two", 1); }), Reason::unplugged);
    EXPECT_EQ(reasonOf([&] { pads->turnDial("msd-two", "large", 1); }), Reason::unplugged);
    pads->plug("msd-two");
    pads->plug("msd-two");
    EXPECT_TRUE(pads->list()[1].plugged);
    EXPECT_TRUE(waitUntil([&] { return before->connected() && ready("msd-two"); }));
    EXPECT_EQ(model("msd-two"), before);
    EXPECT_EQ(store->devices().size(), 2);
}

TEST_F(VirtualPads, SavedPictureIsThePadsPictureAsPng) {
    ASSERT_TRUE(waitUntil([&] { return ready("displaypad") && ready("msd-two"); }));
    pads->savePicture("displaypad", root.filePath("displaypad.png"));
    QImage saved(root.filePath("displaypad.png"), "PNG");
    EXPECT_EQ(saved.size(), QSize(612, 204));
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB888), pads->picture("displaypad"));
    EXPECT_EQ(saved.pixelColor(51, 51), QColor(Qt::black));  // keys without artwork are black
    pads->savePicture("msd-two", root.filePath("msd-two.png"));
    EXPECT_EQ(QImage(root.filePath("msd-two.png")).size(), QSize(320, 240));
}

}  // namespace app_test
