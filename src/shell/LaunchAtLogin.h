#pragma once

#include <QString>

// "Launch at Login" through the XDG autostart folder: an entry
// $XDG_CONFIG_HOME/autostart/org.quorvel.Zodovuvur.desktop that starts this program with
// --background, so that the window stays hidden at login. Main thread.
class LaunchAtLogin {
public:
    enum class Status { enabled, disabled };

    static QString entryPath();
    // Enabled when the entry exists and neither hides itself nor is switched off the way
    // GNOME's session settings switch entries off.
    static Status status();
    // Writes (atomically) or removes the entry. Returns an empty string on success, otherwise
    // the reason, for "Could not change Launch at Login".
    static QString setEnabled(bool enabled);
};
