#include "app/VirtualPads.h"
#include "device/virtual/VirtualMsdTwo.h"
#include "model/DeviceStore.h"
#include "model/Model.h"
#include "support/ModelHarness.h"

#include <QDir>

#include <gtest/gtest.h>

// The fixture carries the name of the class under test, which lives in the global namespace.
namespace app_test {

using Reason = VirtualPadError::Reason;

// The standard virtual pads in front of a real store. Listing, pictures and plugging are driven
// through the program's D-Bus service elsewhere, and a model outlives unplugging its pad in the
// store's own tests.
class VirtualPads : public ::testing::Test {
protected:
    Model* model(const QString& name) { return harness.modelOf(name); }
    // The controls `name` reported to its model while `act` ran.
    QList<int> controlsDuring(const QString& name, const std::function<void()>& act, qsizetype n) {
        QList<int> controls;
        const auto connection = QObject::connect(model(name), &Model::controlEvent,
                                                 [&](int control) { controls.append(control); });
        act();
        waitUntil([&] { return controls.size() >= n; });
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

    ModelHarness harness;
    ::VirtualPads& pads = harness.standardPads();
};

TEST_F(VirtualPads, ControlsReachThePadsModelAsTheyWouldFromAPad) {
    EXPECT_EQ(model("msd-two")->deviceName(), "MSD-TWO · USB 00200000");
    EXPECT_EQ(controlsDuring(
                  "displaypad", [&] { pads.pressKey("displaypad", 12); }, 1),
              QList<int>{12});
    ASSERT_TRUE(waitUntil([&] { return model("displaypad")->heldKeys() == std::set<int>{12}; }));
    pads.releaseKey("displaypad", 12);
    EXPECT_TRUE(waitUntil([&] { return model("displaypad")->heldKeys().empty(); }));
    // A button press on the DisplayPad is a key going down and up again.
    EXPECT_EQ(controlsDuring(
                  "displaypad", [&] { pads.pressButton("displaypad", 3); }, 1),
              QList<int>{3});
    EXPECT_TRUE(waitUntil([&] { return model("displaypad")->heldKeys().empty(); }));
    const std::pair<std::function<void()>, QList<int>> msdTwo[] = {
        {[&] { pads.pressButton("msd-two", 6); }, {6}},
        {[&] { pads.turnDial("msd-two", "large", 3); }, {81, 81, 81}},
        {[&] { pads.turnDial("msd-two", "left", -2); }, {144, 144}},
        {[&] { pads.pressDial("msd-two", "right"); }, {52}},
        {[&] {
             for (const char* button : {"left", "middle", "right"}) {
                 pads.pressRoundButton("msd-two", button);
             }
         },
         {37, 48, 49}}};
    for (const auto& [act, controls] : msdTwo) {
        EXPECT_EQ(controlsDuring("msd-two", act, controls.size()), controls);
    }
}

TEST_F(VirtualPads, RefusesControlsThePadDoesNotHaveNamingWhatWouldBeRight) {
    const std::pair<std::function<void()>, Reason> invalid[] = {
        {[&] { pads.pressButton("displaypad", 13); }, Reason::invalidArgument},
        {[&] { pads.pressButton("msd-two", 7); }, Reason::invalidArgument},
        {[&] { pads.pressKey("msd-two", 1); }, Reason::invalidArgument},
        {[&] { pads.turnDial("displaypad", "large", 1); }, Reason::invalidArgument},
        {[&] { pads.turnDial("msd-two", "middle", 1); }, Reason::invalidArgument},
        {[&] { pads.turnDial("msd-two", "large", 0); }, Reason::invalidArgument},
        {[&] { pads.pressDial("msd-two", "Large"); }, Reason::invalidArgument},
        {[&] { pads.pressRoundButton("msd-two", "centre"); }, Reason::invalidArgument},
        {[&] { pads.add("msd-two", VirtualMsdTwo::create(0x00300000)); }, Reason::invalidArgument},
        {[&] { pads.savePicture("displaypad", "relative.png"); }, Reason::invalidArgument},
        {[&] { pads.unplug(""); }, Reason::unknownPad},
        {[&] { pads.savePicture("displaypad", harness.root()); }, Reason::writeFailed}};
    for (size_t i = 0; i < std::size(invalid); ++i) {
        EXPECT_EQ(errorOf(invalid[i].first).first, invalid[i].second) << "row " << i;
    }
    EXPECT_EQ(errorOf([&] { pads.pressKey("displaypad", 13); }).second,
              "Key 13 is out of range: the Mountain DisplayPad has keys 1 to 12");
    EXPECT_EQ(errorOf([&] { pads.pressKey("keyboard", 1); }).second,
              "No virtual pad is named \"keyboard\"; the virtual pads are: displaypad, msd-two");
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("relative.png")));
}

}  // namespace app_test
