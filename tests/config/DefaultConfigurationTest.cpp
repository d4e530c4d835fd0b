#include "config/DefaultConfiguration.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

QList<int64_t> ids(const QList<Binding>& bindings) {
    QList<int64_t> result;
    for (const Binding& binding : bindings) {
        result.append(binding.id);
    }
    return result;
}

}  // namespace

TEST(DefaultConfiguration, DisplayPadHasTwelveKeyBindings) {
    const QList<Binding> bindings = DefaultConfiguration::bindings(DeviceKind::mountain);
    ASSERT_EQ(bindings.size(), 12);
    EXPECT_EQ(bindings[0], Binding(1, QStringLiteral("LCD key 1")));
    EXPECT_EQ(bindings[11], Binding(12, QStringLiteral("LCD key 12")));
    EXPECT_EQ(bindings[0].action, QStringLiteral("None"));
    EXPECT_TRUE(bindings[0].argument.isEmpty());
}

TEST(DefaultConfiguration, MsdTwoHasKeysThenDialsAndButtonsInTableOrder) {
    const QList<Binding> bindings = DefaultConfiguration::bindings(DeviceKind::msdTwo);
    EXPECT_EQ(ids(bindings),
              (QList<int64_t>{1, 2, 3, 4, 5, 6, 81, 80, 53, 145, 144, 51, 97, 96, 52, 37, 48, 49}));
    EXPECT_EQ(bindings[5].name, QStringLiteral("LCD key 6"));
    EXPECT_EQ(bindings[6].name, QStringLiteral("Large dial clockwise"));
    EXPECT_EQ(bindings[10].name, QStringLiteral("Left small dial counterclockwise"));
    EXPECT_EQ(bindings[17].name, QStringLiteral("Right circular button"));
}

TEST(DefaultConfiguration, DefaultConfigurationIsOneFreshActiveScene) {
    const SavedConfiguration first = DefaultConfiguration::configuration(DeviceKind::msdTwo);
    const SavedConfiguration second = DefaultConfiguration::configuration(DeviceKind::msdTwo);
    ASSERT_EQ(first.scenes.size(), 1);
    EXPECT_EQ(first.activeSceneID, first.scenes[0].id);
    EXPECT_FALSE(first.scenes[0].id.isNull());
    EXPECT_NE(first.scenes[0].id, second.scenes[0].id);
    EXPECT_FALSE(first.scenes[0].backgroundPath);
    EXPECT_EQ(first.scenes[0].keys.size(), 18);
}

TEST(DefaultConfiguration, MergingKeepsTheDefaultsLengthAndOrderTakingTheFirstOfEachId) {
    const QList<Binding> defaults = DefaultConfiguration::bindings(DeviceKind::mountain);
    const QList<Binding> saved{Binding(3, QStringLiteral("Three"), QStringLiteral("Mute")),
                               Binding(99, QStringLiteral("Stray")),
                               Binding(1, QStringLiteral("One"), QStringLiteral("Volume Up")),
                               Binding(2, QStringLiteral("Two")),
                               Binding(1, QStringLiteral("second one"))};
    const QList<Binding> merged = DefaultConfiguration::merging(saved, defaults);
    ASSERT_EQ(merged.size(), 12);
    EXPECT_EQ(ids(merged), ids(defaults));
    EXPECT_EQ(merged[0], saved[2]);
    EXPECT_EQ(merged[1], saved[3]);
    EXPECT_EQ(merged[2], saved[0]);
    EXPECT_EQ(merged[3], defaults[3]);
    EXPECT_EQ(merged[11], defaults[11]);
    EXPECT_EQ(DefaultConfiguration::merging({}, defaults), defaults);
}
