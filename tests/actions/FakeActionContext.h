#pragma once

#include "actions/ActionContext.h"
#include "actions/PlatformServices.h"

#include "core/ActionError.h"
#include "core/MainThread.h"

#include <QList>
#include <QString>
#include <QStringList>

// An ActionContext that records what actions ask of it, in the order asked, as "report: text",
// "changeScene -1", "syncPadBrightness" and so on. `reports` keeps the messages alone;
// `reportsOffMain` counts reports that did not arrive on the main thread.
class FakeActionContext : public ActionContext {
public:
    static constexpr const char* accessibilityHint = "Allow input in the test";

    int displayBrightness() const override { return brightness; }
    bool padFollowMac() const override { return followMac; }
    void report(const QString& text) override {
        if (!isMainThread()) {
            ++reportsOffMain;
        }
        message = text;
        reports << text;
        calls << "report: " + text;
    }
    bool requestAccessibilityAccess() override {
        calls << QStringLiteral("requestAccessibilityAccess");
        if (!accessibilityAllowed) {
            // As the device model does: its own hint, not a report through the action.
            message = QString::fromLatin1(accessibilityHint);
        }
        return accessibilityAllowed;
    }
    void changeScene(int steps) override { calls << QStringLiteral("changeScene %1").arg(steps); }
    void changePadBrightness(int points) override {
        calls << QStringLiteral("changePadBrightness %1").arg(points);
    }
    void togglePadFollowMac() override {
        calls << QStringLiteral("togglePadFollowMac");
        if (!toggleFailure.isEmpty()) {
            throw ActionError::failed(toggleFailure);
        }
        followMac = !followMac;
    }
    void syncPadBrightness() override { calls << QStringLiteral("syncPadBrightness"); }
    const PlatformServices& services() const override { return platform; }

    PlatformServices platform;
    int brightness = 70;
    bool followMac = false;
    bool accessibilityAllowed = true;
    QString toggleFailure;

    QString message;
    QStringList reports;
    QStringList calls;
    int reportsOffMain = 0;
};
