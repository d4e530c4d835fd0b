#include "app/VirtualPads.h"
#include "device/virtual/SimulatedHidManager.h"
#include "device/virtual/VirtualDisplayPad.h"
#include "device/virtual/VirtualMsdTwo.h"
#include "model/DeviceStore.h"
#include "model/Model.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
QColor centre(const QImage& picture, const QRect& area) {
    return picture.pixelColor(area.center());
}
}  // namespace

// The fixture carries the name of the class under test, which lives in the global namespace.
namespace app_test {
// The standard virtual pads in front of a real store whose files live in a temporary folder.
class VirtualPads : public ::testing::Test {
protected:
    VirtualPads() {
        auto manager = std::make_unique<SimulatedHidManager>();
        hid = manager.get();
        ModelEnvironment environment;
        environment.settingsRoot = root.path();
        environment.padUsb = hid->usb();
        store = std::make_unique<DeviceStore>(std::move(manager), std::move(environment));
        pads = std::make_unique<::VirtualPads>(*hid);
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
        Model* found = model(name);
        return found && found->message().endsWith(QStringLiteral(" ready"));
    }
    // The controls `name` reported to its model while `act` ran.
    QList<int> controlsDuring(const QString& name, const std::function<void()>& act,
                              qsizetype expected) {
        QList<int> controls;
        Model* target = model(name);
        const auto connection = QObject::connect(target, &Model::controlEvent,
                                                 [&](int control) { controls.append(control); });
        act();
        waitUntil([&] { return controls.size() >= expected; });
        QObject::disconnect(connection);
        return controls;
    }
    static VirtualPadError::Reason reasonOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const VirtualPadError& error) {
            return error.reason();
        }
        ADD_FAILURE() << "no VirtualPadError";
        return VirtualPadError::Reason::writeFailed;
    }

    QTemporaryDir root;
    SimulatedHidManager* hid = nullptr;
    std::unique_ptr<DeviceStore> store;
    std::unique_ptr<::VirtualPads> pads;
};

using Reason = VirtualPadError::Reason;

TEST_F(VirtualPads, ListsOnePadOfEachKindOnBusZero) {
    const QList<::VirtualPads::Listing> listing = pads->list();
    ASSERT_EQ(listing.size(), 2);
    EXPECT_EQ(listing[0].name, "displaypad");
    EXPECT_EQ(listing[0].kind, "mountain");
    EXPECT_EQ(listing[1].name, "msd-two");
    EXPECT_EQ(listing[1].kind, "msdTwo");
    for (const ::VirtualPads::Listing& pad : listing) {
        EXPECT_TRUE(pad.plugged);
        EXPECT_TRUE(waitUntil([&] { return store->model(pad.deviceID) != nullptr; }))
            << pad.deviceID.toStdString();
    }
    ASSERT_TRUE(waitUntil([&] { return ready("displaypad") && ready("msd-two"); }));
    EXPECT_EQ(model("displaypad")->deviceName(), "Mountain DisplayPad · USB 00100000");
    EXPECT_EQ(model("msd-two")->deviceName(), "MSD-TWO · USB 00200000");
}

TEST_F(VirtualPads, KeyPressesReachTheDisplayPadsModelAsTheyWouldFromAPad) {
    ASSERT_TRUE(waitUntil([&] { return ready("displaypad"); }));
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
}

TEST_F(VirtualPads, MsdTwoControlsSendTheirControlNumbers) {
    ASSERT_TRUE(waitUntil([&] { return ready("msd-two"); }));
    EXPECT_EQ(controlsDuring(
                  "msd-two", [&] { pads->pressButton("msd-two", 6); }, 1),
              QList<int>{6});
    EXPECT_EQ(controlsDuring(
                  "msd-two", [&] { pads->turnDial("msd-two", "large", 3); }, 3),
              (QList<int>{81, 81, 81}));
    EXPECT_EQ(controlsDuring(
                  "msd-two", [&] { pads->turnDial("msd-two", "left", -2); }, 2),
              (QList<int>{144, 144}));
    EXPECT_EQ(controlsDuring(
                  "msd-two", [&] { pads->pressDial("msd-two", "right"); }, 1),
              QList<int>{52});
    EXPECT_EQ(controlsDuring(
                  "msd-two",
                  [&] {
                      pads->pressRoundButton("msd-two", "left");
                      pads->pressRoundButton("msd-two", "middle");
                      pads->pressRoundButton("msd-two", "right");
                  },
                  3),
              (QList<int>{37, 48, 49}));
}

TEST_F(VirtualPads, RefusesControlsThePadDoesNotHave) {
    EXPECT_EQ(reasonOf([&] { pads->pressKey("displaypad", 0); }), Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->pressKey("displaypad", 13); }), Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->releaseKey("displaypad", -1); }), Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->pressButton("displaypad", 13); }), Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->pressButton("msd-two", 7); }), Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->pressKey("msd-two", 1); }), Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->turnDial("displaypad", "large", 1); }), Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->turnDial("msd-two", "middle", 1); }), Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->turnDial("msd-two", "large", 0); }), Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->turnDial("msd-two", "large", 101); }), Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->turnDial("msd-two", "large", -101); }), Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->pressDial("msd-two", "Large"); }), Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->pressRoundButton("msd-two", "centre"); }),
              Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->pressKey("keyboard", 1); }), Reason::unknownPad);
    EXPECT_EQ(reasonOf([&] { pads->unplug(""); }), Reason::unknownPad);
    EXPECT_EQ(reasonOf([&] { pads->add("msd-two", VirtualMsdTwo::create(0x00300000)); }),
              Reason::invalidArgument);
}

TEST_F(VirtualPads, MessagesNameWhatWouldHaveBeenRight) {
    try {
        pads->pressKey("keyboard", 1);
        FAIL();
    } catch (const VirtualPadError& error) {
        EXPECT_EQ(error.message(),
                  "No virtual pad is named \"keyboard\"; the virtual pads are: displaypad, "
                  "msd-two");
    }
    try {
        pads->pressKey("displaypad", 13);
        FAIL();
    } catch (const VirtualPadError& error) {
        EXPECT_EQ(error.message(),
                  "Key 13 is out of range: the Mountain DisplayPad has keys 1 to 12");
    }
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
    const QString path = root.filePath("displaypad.png");
    pads->savePicture("displaypad", path);
    QImage saved(path, "PNG");
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(612, 204));
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB888), pads->picture("displaypad"));
    // Keys without artwork are black.
    EXPECT_EQ(centre(saved, QRect(0, 0, 102, 102)), QColor(Qt::black));

    pads->savePicture("msd-two", root.filePath("msd-two.png"));
    EXPECT_EQ(QImage(root.filePath("msd-two.png")).size(), QSize(320, 240));
}

TEST_F(VirtualPads, PictureThatCannotBeWrittenLeavesNoFileBehind) {
    EXPECT_EQ(reasonOf([&] { pads->savePicture("displaypad", "relative.png"); }),
              Reason::invalidArgument);
    EXPECT_EQ(reasonOf([&] { pads->savePicture("displaypad", root.filePath("none/x.png")); }),
              Reason::writeFailed);
    EXPECT_EQ(reasonOf([&] { pads->savePicture("displaypad", root.path()); }), Reason::writeFailed);
    EXPECT_EQ(reasonOf([&] { pads->savePicture("nothing", root.filePath("x.png")); }),
              Reason::unknownPad);
    EXPECT_FALSE(QFile::exists(root.filePath("x.png")));
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("relative.png")));
}

}  // namespace app_test
