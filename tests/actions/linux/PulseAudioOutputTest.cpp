#include "actions/AudioActions.h"
#include "actions/linux/PulseAudioOutput.h"

#include "../FakeActionContext.h"
#include "support/LocalServers.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

// The raw channel volumes pactl reports for the test sink, such as "32768 16384".
QString channelVolumes(const PulseServer& server) {
    QStringList raw;
    const QRegularExpression volume(R"(:\s*(\d+)\s*/)");
    for (const auto& match :
         volume.globalMatch(server.pactl({"get-sink-volume", "quorvel_test"}))) {
        raw << match.captured(1);
    }
    return raw.join(' ');
}

}  // namespace

TEST(PulseAudioOutput, NoServerOrNoOutputIsNoDefaultOutput) {
    PulseServer server(false);
    ASSERT_TRUE(server.isRunning()) << server.log().toStdString();
    for (const QString& address : {QString("unix:/nonexistent/quorvel/native"), server.address()}) {
        PulseAudioOutput output(address);
        EXPECT_EQ(actionErrorOf([&] { output.changeVolume(0.02); }), "No default audio output");
        EXPECT_EQ(actionErrorOf([&] { output.toggleMute(); }), "No default audio output");
    }
}

// Steps clamp at silence and full scale, keep the channels' balance and never lower a level
// pushed above full scale elsewhere. The actions step the sink on the action queue, each from
// the level the last one left, and report the outcome on the main thread (an output's own
// failure is reported as any other).
TEST(PulseAudioOutput, StepsMutesAndActionsKeepTheChannelBalanceAndReportFailures) {
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.log().toStdString();
    auto output = std::make_shared<PulseAudioOutput>(server.address());
    output->setVolume(0.99);
    EXPECT_DOUBLE_EQ(output->changeVolume(0.02), 1.0);
    EXPECT_EQ(channelVolumes(server), "65536 65536");
    output->setVolume(0.01);
    EXPECT_DOUBLE_EQ(output->changeVolume(-0.05), 0.0);
    server.pactl({"set-sink-volume", "quorvel_test", "32768", "16384"});
    EXPECT_DOUBLE_EQ(output->volume(), 0.5);  // the loudest channel
    output->setVolume(1.0);
    EXPECT_EQ(channelVolumes(server), "65536 32768");
    server.pactl({"set-sink-volume", "quorvel_test", "98304"});
    EXPECT_DOUBLE_EQ(output->changeVolume(0.02), 1.5);
    EXPECT_DOUBLE_EQ(output->changeVolume(-0.1), 1.4);
    EXPECT_TRUE(output->toggleMute());
    EXPECT_EQ(server.pactl({"get-sink-mute", "quorvel_test"}).trimmed(), "Mute: yes");
    EXPECT_FALSE(output->toggleMute());

    output->setVolume(0.5);
    FakeActionContext context;
    context.platform.audio = output;
    context.message = "No default audio output";
    Binding dial(0x50, "Large dial counterclockwise");
    dial.adjustmentStep = 3;
    const auto run = [&](const MacroAction& action, qsizetype reports) {
        action.perform(dial, context);
        EXPECT_TRUE(waitUntil([&] { return context.reports.size() == reports; }));
        return context.message;
    };
    for (int i = 1; i <= 10; ++i) {
        VolumeAdjustment(AdjustmentDirection::down).perform(dial, context);
    }
    dial.adjustmentStep.reset();
    EXPECT_EQ(run(VolumeAdjustment(AdjustmentDirection::up), 11), "");
    EXPECT_NEAR(output->volume(), 0.22, 0.0001);  // 2 points: the volume's own default step
    EXPECT_EQ(run(MuteAction(), 12), "");
    EXPECT_TRUE(output->isMuted());
    context.platform.audio.reset();
    EXPECT_EQ(run(VolumeAdjustment(AdjustmentDirection::up), 13), "No default audio output");
    EXPECT_EQ(run(MuteAction(), 14), "No default audio output");
    EXPECT_EQ(context.reportsOffMain, 0);
}
