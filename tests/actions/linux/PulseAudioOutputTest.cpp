#include "actions/AudioActions.h"
#include "actions/linux/PulseAudioOutput.h"

#include "../FakeActionContext.h"
#include "support/LocalServers.h"

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

// Steps clamp at silence and full scale, keep the channels' balance and never lower a level
// pushed above full scale elsewhere. The actions step the sink on the action queue, each from
// the level the last one left, and report the outcome on the main thread (an output's own
// failure is reported as any other).
// Without a server, or with one that has no output, there is no default output.
TEST(PulseAudioOutput, StepsMutesAndActionsKeepTheChannelBalanceAndReportFailures) {
    PulseServer server, silent(false);
    ASSERT_TRUE(server.isRunning() && silent.isRunning()) << server.log().toStdString();
    for (const QString& address : {QString("unix:/nonexistent/quorvel/native"), silent.address()}) {
        PulseAudioOutput output(address);
        EXPECT_EQ(actionErrorOf([&] { output.changeVolume(0.02); }), "No default audio output");
        EXPECT_EQ(actionErrorOf([&] { output.toggleMute(); }), "No default audio output");
    }
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
    for (int i = 1; i <= 10; ++i) {
        VolumeAdjustment(AdjustmentDirection::down).perform(dial(3), context);
    }
    ASSERT_TRUE(waitUntil([&] { return context.reports.size() == 10; }));
    const VolumeAdjustment up(AdjustmentDirection::up);
    EXPECT_EQ(context.performAndWait(up, dial()), "");
    EXPECT_NEAR(output->volume(), 0.22, 0.0001);  // 2 points: the volume's own default step
    EXPECT_EQ(context.performAndWait(MuteAction(), dial()), "");
    EXPECT_TRUE(output->isMuted());
    context.platform.audio.reset();
    EXPECT_EQ(context.performAndWait(up, dial()), "No default audio output");
    EXPECT_EQ(context.performAndWait(MuteAction(), dial()), "No default audio output");
    EXPECT_EQ(context.reportsOffMain, 0);
}
