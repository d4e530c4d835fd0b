#pragma once

#include "actions/ActionContext.h"
#include "actions/DisplayBrightness.h"
#include "actions/InputPoster.h"
#include "actions/MacroAction.h"
#include "actions/NowPlaying.h"
#include "actions/PlatformServices.h"
#include "actions/ScriptRunner.h"
#include "actions/Workspace.h"

#include "core/ActionError.h"
#include "core/MainThread.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <mutex>

inline void failWith(const QString& failure) {
    if (!failure.isEmpty()) {
        throw ActionError::failed(failure);
    }
}

// Records what actions ask of it, in order ("report: text", "changeScene -1", ...).
class FakeActionContext : public ActionContext {
public:
    static constexpr const char* accessibilityHint = "Allow input in the test";

    int displayBrightness() const override { return brightness; }
    bool padFollowMac() const override { return followMac; }
    void report(const QString& text) override {
        reportsOffMain += isMainThread() ? 0 : 1;
        message = text;
        reports << text;
        calls << "report: " + text;
    }
    bool requestAccessibilityAccess() override {
        calls << "requestAccessibilityAccess";
        message = accessibilityAllowed ? message : accessibilityHint;  // a hint, not a report
        return accessibilityAllowed;
    }
    void changeScene(int steps) override { calls << QString("changeScene %1").arg(steps); }
    void changePadBrightness(int n) override { calls << QString("changePadBrightness %1").arg(n); }
    void togglePadFollowMac() override {
        calls << "togglePadFollowMac";
        failWith(toggleFailure);
        followMac = !followMac;
    }
    void syncPadBrightness() override { calls << "syncPadBrightness"; }
    const PlatformServices& services() const override { return platform; }
    // Performs `action` and waits for the report it sends from the background: that report.
    QString performAndWait(const MacroAction& action, const Binding& binding) {
        const qsizetype before = reports.size();
        action.perform(binding, *this);
        return waitUntil([&] { return reports.size() > before; }) ? message : "(no report)";
    }

    PlatformServices platform;
    int brightness = 70, reportsOffMain = 0;
    bool followMac = false, accessibilityAllowed = true;
    QString toggleFailure, message;
    QStringList reports, calls;
};

// A dial turn with the given step.
inline Binding dial(std::optional<int64_t> step = std::nullopt) {
    return Binding(0x50, "Large dial counterclockwise", "None", {}, 0, 0, std::nullopt, step);
}

// `ignoreAutomatic` accepts the switch and leaves it, as some desktops do.
class FakeDisplayBrightness : public DisplayBrightness {
public:
    double level() override { return failWith(failure), current; }
    void setLevel(double value) override { failWith(failure), current = value; }
    bool automatic() override {
        const QString unsupported = "This Mac display does not support automatic brightness";
        return failWith(!failure.isEmpty() || automaticSupported ? failure : unsupported),
               automaticOn;
    }
    void setAutomatic(bool on) override {
        failWith(failure), automaticOn = ignoreAutomatic ? automaticOn : on;
    }

    double current = 0.5;
    bool automaticSupported = true, automaticOn = false, ignoreAutomatic = false;
    QString failure;
};

// Codes in `unknownKeys` and `unknownMediaKeys` have no equivalent on the real keyboard.
class FakeInputPoster : public InputPoster {
public:
    QString postingProblem() override { return problem; }
    bool canPost(const SyntheticKeyEvent& event) const override {
        return event.kind == SyntheticKeyEvent::Kind::mediaKey
                   ? !unknownMediaKeys.contains(event.mediaKeyType)
                   : !unknownKeys.contains(event.keyCode);
    }
    void post(const QList<SyntheticKeyEvent>& events) override {
        for (const SyntheticKeyEvent& event : events) {
            const bool media = event.kind == SyntheticKeyEvent::Kind::mediaKey;
            failWith(canPost(event) ? ""
                     : media        ? "Could not create a media-key event"
                                    : "Could not create keystroke events");
        }
        failWith(problem);
        posted += events;
    }

    QString problem;
    QSet<quint16> unknownKeys;
    QSet<int> unknownMediaKeys;
    QList<SyntheticKeyEvent> posted;
};

// Without `answerAtOnce` the answers wait in `pending` until the test gives them, as players
// answer later.
class FakeNowPlaying : public NowPlaying {
public:
    bool isAvailable() override { return available; }
    void sendCommand(MediaCommand command, std::function<void(bool)> done) override {
        commands << command;
        answer(std::move(done), accepts);
    }
    void requestIsPlaying(std::function<void(bool)> done) override {
        ++questions;
        answer(std::move(done), playing);
    }
    void answer(std::function<void(bool)> done, bool value) {
        answerAtOnce ? done(value) : void(pending << std::move(done));
    }

    bool available = true, answerAtOnce = true, accepts = true, playing = false;
    QList<MediaCommand> commands;
    int questions = 0;
    QList<std::function<void(bool)>> pending;
};

class FakeScriptRunner : public ScriptRunner {
public:
    void run(const QString& executable, const QStringList& arguments) override {
        std::lock_guard lock(mutex);
        runsOnMain += isMainThread() ? 1 : 0;
        runs << (QStringList{executable} + arguments);
        failWith(failure);
    }
    void stopAll() override {}

    std::mutex mutex;
    QList<QStringList> runs;
    QString failure;
    int runsOnMain = 0;
};

// Folders named *.app count as applications; `installed` maps application ids to entry files.
class FakeWorkspace : public Workspace {
public:
    QString openApplication(const QString& path) override {
        opened << "application " + path;
        return refuse ? "refused" : "";
    }
    bool isPackage(const QString& path) override { return QFileInfo(path).suffix() == "app"; }
    bool openFolder(const QString& path) override { return opened << "folder " + path, !refuse; }
    bool openUrl(const QUrl& url) override { return opened << "url " + url.toString(), !refuse; }
    QString applicationPath(const QString& id) override { return installed.value(id); }
    QString openUrlWith(const QUrl& url, const QString& id) override {
        opened << "url " + url.toString() + " with " + id;
        return refuse ? "refused" : "";
    }
    QImage icon(const QString& path, int) override { return icons.value(path); }
    QList<InstalledBrowser> browsers() override { return browserList; }

    bool refuse = false;
    QMap<QString, QString> installed;
    QList<InstalledBrowser> browserList;
    QMap<QString, QImage> icons;
    QStringList opened;
};
