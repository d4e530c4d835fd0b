#pragma once

#include <QObject>

#include <memory>

class DeviceStore;
class QAction;
class QMenu;

// The tray icon's menu: the first item retitled from the number of connected pads, the Scenes
// submenu rebuilt each time the menu opens, "Launch at Login", About, the update items and Quit.
// What the items open (the window, the about box, the web site) the shell connects to the
// signals. Main thread.
class StatusMenu : public QObject {
    Q_OBJECT
public:
    // `updatesAvailable`: the build has an update site; without one the update items never show.
    StatusMenu(DeviceStore& store, bool updatesAvailable, QObject* parent = nullptr);
    ~StatusMenu() override;

    QMenu* menu() const { return menu_.get(); }
    // What opening the menu does; `checkItemRequested` is the state of the Alt key, which
    // reveals "Check for updates…".
    void prepare(bool checkItemRequested);
    // A daily check found a newer version (or, with false, that there is none).
    void setNewerVersionAvailable(bool available);

    QAction* settingsItem() const { return settings_; }
    QMenu* scenesMenu() const { return scenes_; }
    QAction* launchAtLoginItem() const { return launchAtLogin_; }
    QAction* newVersionItem() const { return newVersion_; }
    QAction* checkUpdatesItem() const { return checkUpdates_; }

Q_SIGNALS:
    void settingsRequested();
    void aboutRequested();
    void updateWebsiteRequested();
    void updateCheckRequested();
    void quitRequested();
    // "Could not change Launch at Login" with the reason.
    void launchAtLoginFailed(const QString& reason);

private:
    void rebuildScenes();
    void selectScene(const QString& deviceID, const QString& sceneID);
    void toggleLaunchAtLogin();

    DeviceStore& store_;
    const bool updatesAvailable_;
    std::unique_ptr<QMenu> menu_;
    QAction* settings_ = nullptr;
    QMenu* scenes_ = nullptr;
    QAction* launchAtLogin_ = nullptr;
    QAction* newVersion_ = nullptr;
    QAction* checkUpdates_ = nullptr;
};
