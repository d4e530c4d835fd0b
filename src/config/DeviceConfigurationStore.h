#pragma once

#include "config/ConfigurationFileSystem.h"
#include "config/ConfigurationLoadResult.h"
#include "config/ConfigurationRecovery.h"
#include "config/DeviceAppearance.h"
#include "config/SavedConfiguration.h"
#include "device/DeviceKind.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

// What a device starts with: its configuration (repaired to fit the pad), its appearance, and
// whether it must be saved at once (an unreadable file was set aside, or a legacy entry moved).
struct DeviceConfigurationState {
    SavedConfiguration configuration;
    DeviceAppearance appearance;
    bool saveDue = false;
};

// The device's files as someone else left them on disk (a text editor, a sync tool), found by
// reloadChangedFiles().
struct ExternalChanges {
    // The bindings file, read and fitted to the pad as at start-up.
    std::optional<SavedConfiguration> configuration;
    // The appearance file, read over the appearance in use.
    std::optional<DeviceAppearance> appearance;
    // Changed files that could not be read, set aside as at start-up (they are in
    // configurationRecoveries() too).
    QList<ConfigurationRecovery> recoveries;
};

// How a save ended. `message` is the text for the device's status line when not saved. A
// device model shows `failed` at once and stops there; after `suspended` it still refreshes the
// pad (both files that could be written were written) and then shows the message.
struct DeviceSaveResult {
    enum class Status {
        saved,
        // Folder creation, encoding or writing failed: "Could not save: " and the reason.
        failed,
        // Everything writable was written, but a protected file was left alone.
        suspended,
    };
    Status status = Status::saved;
    QString message;

    bool ok() const { return status == Status::saved; }
};

// One device's folder under the settings root: "bindings.json" and "appearance.json". The
// device model owns one and uses it on the main thread.
//
// load() reads (or defaults) both files once, at the model's creation, and keeps a recovery
// record for each unreadable one. A file that could be neither read nor backed up is protected:
// no save of this store writes it again, so nothing of the user's is lost before they have
// moved it away. Nothing here raises; failures are results.
class DeviceConfigurationStore {
public:
    // The status text of a save that skipped a protected file.
    static QString suspendedMessage();

    // `settingsRoot` holds one folder per device id; `deviceID` is used as one path component as
    // it is (device ids are ASCII letters, digits and one hyphen). `files` defaults to the real
    // file system.
    DeviceConfigurationStore(const QString& settingsRoot, const QString& deviceID, DeviceKind kind,
                             std::shared_ptr<const ConfigurationFileSystem> files = nullptr);

    // ~/.local/share/Quorvel/Devices (the XDG data home), or its test-mode twin.
    static QString defaultSettingsRoot();

    QString folderPath() const { return folder_; }
    // The bindings file.
    QString configURL() const { return configURL_; }
    QString appearanceURL() const { return appearanceURL_; }
    DeviceKind kind() const { return kind_; }

    // Loads the bindings file (scenes merged with the kind's default bindings, the active
    // scene repaired to an existing one) and the appearance file over `initial`. Missing files
    // and an empty scene list give the defaults. `date` names backups of unreadable files.
    // Meant to be called once; each call adds its recovery records. When the result's `saveDue`
    // is set the owner saves at once, through its own save so that it can tidy the bindings
    // first; protected files are skipped by save() itself.
    DeviceConfigurationState load(const DeviceAppearance& initial,
                                  const QDateTime& date = QDateTime::currentDateTimeUtc());

    const QList<ConfigurationRecovery>& configurationRecoveries() const { return recoveries_; }
    // Every unreadable file that could not be copied aside.
    QSet<QString> protectedURLs() const;

    // Loads each file whose content on disk is no longer what this store last read or wrote,
    // as at start-up: a readable one is returned, an unreadable one is copied aside and
    // recorded (protected when the copy fails). Touching a file or writing the same bytes is no
    // change; protected files are not looked at. The owner calls this before every save, so
    // that a file edited by hand is loaded rather than overwritten.
    ExternalChanges reloadChangedFiles(const DeviceAppearance& current,
                                       const QDateTime& date = QDateTime::currentDateTimeUtc());

    // Writes both files atomically, skipping protected ones; see DeviceSaveResult.
    DeviceSaveResult save(const SavedConfiguration& configuration,
                          const DeviceAppearance& appearance);
    // Writes the appearance file alone unless it is protected; throws ActionError.
    void saveAppearance(const DeviceAppearance& appearance);

private:
    // What this store last read from or wrote to one file, to tell its own writes from others'.
    struct KnownContent {
        std::optional<FileVersion> version;
        QByteArray bytes;
    };

    template <typename T>
    ConfigurationLoadResult<T> loadFile(const QString& path, KnownContent& known,
                                        T (*decode)(const QByteArray&), const QDateTime& date);
    bool changedOnDisk(KnownContent& known, const QString& path) const;
    void write(KnownContent& known, const QString& path, const QByteArray& bytes);
    void saveConfiguration(const SavedConfiguration& configuration);

    std::shared_ptr<const ConfigurationFileSystem> files_;
    DeviceKind kind_;
    QString folder_;
    QString configURL_;
    QString appearanceURL_;
    QList<ConfigurationRecovery> recoveries_;
    KnownContent configurationKnown_;
    KnownContent appearanceKnown_;
};
