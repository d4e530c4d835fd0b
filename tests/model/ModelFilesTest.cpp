#include "model/Model.h"

#include "ModelTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

const QString pad = QStringLiteral("mountain-73657269616c2d46");

}  // namespace

TEST(Model, StatusLinesSetAsideFilesAndUnknownActionsGoToTheLog) {
    SettingsRoot root;
    SavedConfiguration configuration = scenesOf(2, DeviceKind::mountain);
    configuration.scenes[1].keys[2].action = QStringLiteral("Shell Script");
    root.putScenes(pad, configuration);
    root.put(pad, "appearance.json", R"({"deviceName":7})");
    LogCapture log;
    Model model(pad, DeviceKind::mountain, QStringLiteral("Desk"), root.path());
    model.report(QStringLiteral("Could not save: disk full"));
    model.report(QString());

    ASSERT_EQ(model.configurationRecoveries().size(), 1);
    const ConfigurationRecovery& recovery = model.configurationRecoveries().first();
    EXPECT_EQ(log.lines(),
              (QStringList{QStringLiteral("Desk: could not read %1 (%2); it was copied to %3")
                               .arg(recovery.originalURL, recovery.problem,
                                    recovery.backupURL.value_or(QString())),
                           QStringLiteral("Desk: %1: binding 3 of scene 2 has the unknown action "
                                          "\"Shell Script\" and does nothing")
                               .arg(model.configURL()),
                           QStringLiteral("Desk: Could not save: disk full")}));
}
