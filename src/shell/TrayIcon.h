#pragma once

#include "shell/StatusMenu.h"
#include "shell/UpdateChecker.h"

#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

class DeviceStore;

// The program's place on the desktop: the tray icon (StatusNotifierItem where the desktop
// offers it) with the status menu, the daily update check and the about box. Needs a
// QApplication; main thread.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(DeviceStore& store, QObject* parent = nullptr);

    // Shows the icon and starts the update checks. False, logged once, when the desktop has no
    // tray to hold it.
    bool show();
    StatusMenu& menu() { return menu_; }

Q_SIGNALS:
    void settingsRequested();
    void quitRequested();

private:
    void checkForUpdates(bool showResult);
    void showAbout();

    StatusMenu menu_;
    QSystemTrayIcon icon_;
    QTimer updateTimer_;
};
