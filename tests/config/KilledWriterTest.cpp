// A writer killed at any moment must leave configuration files that load. The writer is this
// same test program started again with QUORVEL_KILLED_WRITER_ROOT set: it then saves in a loop
// before gtest ever runs, and the test kills it with SIGKILL at varying moments.

#include "config/DeviceConfigurationStore.h"

#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <cstdio>
#include <cstdlib>

namespace {

const char* const writerRootVariable = "QUORVEL_KILLED_WRITER_ROOT";
const QString deviceID = "mountain-73657269616c2d414243";

// Two states of different sizes, so that a torn write of one over the other could not pass for
// either. Fixed ids, so that parent and child agree on them.
std::pair<SavedConfiguration, DeviceAppearance> writerState(int which) {
    SavedConfiguration configuration = sampleConfiguration(which == 0 ? 24 : 40);
    for (qsizetype s = 0; s < configuration.scenes.size(); ++s) {
        configuration.scenes[s].id = QUuid::fromString(
            QString("00000000-0000-4000-8000-%1").arg(s + 1000 * which, 12, 10, QChar('0')));
    }
    configuration.activeSceneID = configuration.scenes.first().id;
    return {configuration, {QString("Pad %1").arg(which), 10 + which, which == 1}};
}

// Runs before main() in the child: saves for ever (or until a generous limit, should the parent
// be gone), telling the parent after every completed save.
[[maybe_unused]] const bool writerRan = [] {
    const QByteArray root = qgetenv(writerRootVariable);
    if (root.isEmpty()) {
        return false;
    }
    DeviceConfigurationStore store(QString::fromLocal8Bit(root), deviceID, DeviceKind::msdTwo);
    const std::pair<SavedConfiguration, DeviceAppearance> states[] = {writerState(0),
                                                                      writerState(1)};
    QElapsedTimer limit;
    limit.start();
    for (int save = 0; limit.elapsed() < 60000; ++save) {
        if (!store.save(states[save % 2].first, states[save % 2].second).ok()) {
            std::_Exit(2);  // the parent sees the writer end before it is killed
        }
        std::fputs("saved\n", stdout), std::fflush(stdout);
    }
    std::_Exit(0);
}();

}  // namespace

TEST(DeviceConfigurationStore, WriterKilledAtRandomMomentsAlwaysLeavesLoadableFiles) {
    QTemporaryDir root;
    const std::pair<SavedConfiguration, DeviceAppearance> states[] = {writerState(0),
                                                                      writerState(1)};
    QRandomGenerator random(20261205);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(writerRootVariable, root.path());
    for (int kill = 0; kill < 100; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill));
        QProcess writer;
        writer.setProcessEnvironment(environment);
        writer.start(QCoreApplication::applicationFilePath(), {});
        // Let it complete a few saves, then strike somewhere inside the next one (up to 4 ms).
        const int saves = 1 + static_cast<int>(random.bounded(3));
        const qint64 jitter = static_cast<qint64>(random.bounded(4000)) * 1000;
        QByteArray output;
        ASSERT_TRUE(waitUntil([&] {
            output += writer.readAllStandardOutput();
            return output.count("saved") >= saves || writer.state() == QProcess::NotRunning;
        }));
        ASSERT_EQ(writer.state(), QProcess::Running)
            << output.toStdString() << writer.readAllStandardError().toStdString();
        QElapsedTimer spin;
        for (spin.start(); spin.nsecsElapsed() < jitter;) {
        }
        writer.kill();
        ASSERT_TRUE(writer.waitForFinished());
        EXPECT_EQ(writer.exitStatus(), QProcess::CrashExit);  // not a save that failed

        DeviceConfigurationStore store(root.path(), deviceID, DeviceKind::msdTwo);
        const DeviceConfigurationState state = store.load(DeviceAppearance{});
        ASSERT_TRUE(store.configurationRecoveries().isEmpty())
            << store.configurationRecoveries().first().problem.toStdString();
        ASSERT_TRUE(state.configuration == states[0].first ||
                    state.configuration == states[1].first);
        ASSERT_TRUE(state.appearance == states[0].second || state.appearance == states[1].second);
        // Loading swept away whatever temporary file the kill left behind.
        ASSERT_EQ(folderEntries(store.folderPath()),
                  (QStringList{"appearance.json", "bindings.json"}));
    }
}
