#pragma once

#include "device/DeviceKind.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class DeviceStore;
class SerialQueue;

// The questions of opening a settings bundle with the application. The real ones are modal
// message boxes (MessageBoxBundleDialogs); tests answer them from a table.
//
// Main thread; every call returns when the user has answered.
class BundleOpeningDialogs {
public:
    virtual ~BundleOpeningDialogs() = default;

    // The alert "Could not import settings" with `message` as its informative text.
    virtual void showImportFailure(const QString& message) = 0;
    // The alert `message` / `informativeText` with a pop-up list of `deviceNames` (the entry at
    // `preselected` chosen) and the buttons "Continue" and "Cancel". The index chosen on
    // "Continue", none on "Cancel".
    virtual std::optional<int> chooseDestination(const QString& message,
                                                 const QString& informativeText,
                                                 const QStringList& deviceNames,
                                                 int preselected) = 0;
};

// Opens settings bundles handed to the application (on its command line, by a second start, by
// a launcher or file manager over D-Bus): reads each one, asks which device of the bundle's kind
// receives it, selects that device and imports into it; the device's own import then asks
// whether to add scenes or replace its settings.
//
// Bundles are handled one after another in the order given; the next one starts when the
// previous import has ended. Reading runs on a worker thread (a bundle may hold 64 MiB), the
// questions and every change on the main thread.
//
// Without dialogs (no display) nobody can be asked: failures go to the log, and a bundle that
// needs the destination question is not imported (the log names the command that imports it).
//
// Threads: main thread. `store` must outlive the opener.
class SettingsBundleOpener : public QObject {
    Q_OBJECT

public:
    explicit SettingsBundleOpener(DeviceStore& store, QObject* parent = nullptr);
    ~SettingsBundleOpener() override;

    void setDialogs(std::shared_ptr<BundleOpeningDialogs> dialogs);
    // Queues the bundles at the absolute `paths`.
    void open(const QStringList& paths);
    // Nothing queued, read or imported right now.
    bool isIdle() const { return !busy_ && pending_.isEmpty(); }

Q_SIGNALS:
    // One bundle has been dealt with: `imported` and the text that was shown or logged (the
    // device's status line after an import, empty when cancelled).
    void bundleDone(const QString& path, bool imported, const QString& message);

private:
    void next();
    void decide(const QString& path, DeviceKind kind);
    void fail(const QString& path, const QString& message);
    void done(const QString& path, bool imported, const QString& message);

    DeviceStore& store_;
    std::shared_ptr<BundleOpeningDialogs> dialogs_;
    QStringList pending_;
    bool busy_ = false;
    std::unique_ptr<SerialQueue> reader_;
};
