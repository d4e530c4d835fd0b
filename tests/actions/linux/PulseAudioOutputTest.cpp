#include "PulseServer.h"
#include "actions/linux/PulseAudioOutput.h"

#include "core/ActionError.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

class PulseAudioOutputTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.isRunning()) << server.log().toStdString(); }

    // The raw channel volumes pactl reports for the test sink, such as "32768 16384".
    QString channelVolumes() const {
        const QString text = server.pactl({"get-sink-volume", "quorvel_test"});
        QStringList raw;
        for (const QString& part : text.split('/')) {
            const QString trimmed = part.trimmed();
            const QString last = trimmed.section(' ', -1);
            bool number = false;
            last.toLong(&number);
            if (number && !trimmed.endsWith('%') && !trimmed.endsWith("dB")) {
                raw << last;
            }
        }
        return raw.join(' ');
    }

    PulseServer server;
};

TEST_F(PulseAudioOutputTest, SetsAndReadsTheDefaultSinkVolume) {
    PulseAudioOutput output(server.address());
    output.setVolume(0.5);
    EXPECT_DOUBLE_EQ(output.volume(), 0.5);
    EXPECT_EQ(channelVolumes(), "32768 32768");
}

TEST_F(PulseAudioOutputTest, StepsClampAtFullScaleAndSilence) {
    PulseAudioOutput output(server.address());
    output.setVolume(0.99);
    EXPECT_DOUBLE_EQ(output.changeVolume(0.02), 1.0);
    EXPECT_EQ(channelVolumes(), "65536 65536");
    output.setVolume(0.01);
    EXPECT_DOUBLE_EQ(output.changeVolume(-0.05), 0.0);
    EXPECT_EQ(channelVolumes(), "0 0");
}

TEST_F(PulseAudioOutputTest, VolumeAsAWholeKeepsTheChannelBalance) {
    server.pactl({"set-sink-volume", "quorvel_test", "32768", "16384"});
    ASSERT_EQ(channelVolumes(), "32768 16384");
    PulseAudioOutput output(server.address());
    EXPECT_DOUBLE_EQ(output.volume(), 0.5);
    output.setVolume(1.0);
    EXPECT_EQ(channelVolumes(), "65536 32768");
}

TEST_F(PulseAudioOutputTest, ToggleMuteSwitchesTheSinkBothWays) {
    PulseAudioOutput output(server.address());
    EXPECT_TRUE(output.toggleMute());
    EXPECT_EQ(server.pactl({"get-sink-mute", "quorvel_test"}).trimmed(), "Mute: yes");
    EXPECT_FALSE(output.toggleMute());
    EXPECT_EQ(server.pactl({"get-sink-mute", "quorvel_test"}).trimmed(), "Mute: no");
}

TEST(PulseAudioOutput, NoServerReportsNoDefaultOutput) {
    PulseAudioOutput output("unix:/nonexistent/quorvel/native");
    EXPECT_EQ(actionErrorOf([&] { output.changeVolume(0.02); }), "No default audio output");
    EXPECT_EQ(actionErrorOf([&] { output.toggleMute(); }), "No default audio output");
}

TEST(PulseAudioOutput, ServerWithoutAnyOutputReportsNoDefaultOutput) {
    PulseServer server(false);
    ASSERT_TRUE(server.isRunning()) << server.log().toStdString();
    PulseAudioOutput output(server.address());
    EXPECT_EQ(actionErrorOf([&] { output.volume(); }), "No default audio output");
    EXPECT_EQ(actionErrorOf([&] { output.setMuted(true); }), "No default audio output");
}
