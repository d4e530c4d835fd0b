#include "model/Model.h"

#include "actions/ActionCatalog.h"
#include "core/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

void Model::watchFiles() {
    if (!fileWatcher_) {
        fileWatcher_ = std::make_unique<QFileSystemWatcher>();
        externalChangeTimer_ = std::make_unique<QTimer>();
        externalChangeTimer_->setSingleShot(true);
        externalChangeTimer_->setInterval(externalChangeDelay);
        // Our own writes arrive here too; reloadChangedFiles() tells them apart by content.
        QObject::connect(fileWatcher_.get(), &QFileSystemWatcher::fileChanged,
                         externalChangeTimer_.get(), qOverload<>(&QTimer::start));
        QObject::connect(fileWatcher_.get(), &QFileSystemWatcher::directoryChanged,
                         externalChangeTimer_.get(), qOverload<>(&QTimer::start));
        QObject::connect(externalChangeTimer_.get(), &QTimer::timeout, this, [this] {
            takeExternalChanges();
            watchFiles();
        });
    }
    QStringList wanted;
    for (const QString& file : {configURL(), appearanceURL()}) {
        const QFileInfo info(file);
        wanted << file << info.absolutePath();
        // Through a link the file is replaced in the folder the link leads to.
        if (const QString target = info.canonicalFilePath(); !target.isEmpty()) {
            wanted << QFileInfo(target).absolutePath();
        }
    }
    const QStringList watched = fileWatcher_->files() + fileWatcher_->directories();
    for (const QString& path : wanted) {
        if (!watched.contains(path) && QFileInfo::exists(path)) {
            fileWatcher_->addPath(path);
        }
    }
}

void Model::takeExternalChanges() {
    ExternalChanges changes = configuration_.reloadChangedFiles(appearance());
    for (const ConfigurationRecovery& recovery : changes.recoveries) {
        logRecovery(recovery);
    }
    if (changes.configuration) {
        logLine("%s: %s changed on disk and was loaded", qUtf8Printable(deviceName_),
                qUtf8Printable(configURL()));
        setScenes(std::move(changes.configuration->scenes));
        setActiveSceneID(changes.configuration->activeSceneID);
        logUnknownActions();
        refreshDisplay();
    }
    if (changes.appearance) {
        logLine("%s: %s changed on disk and was loaded", qUtf8Printable(deviceName_),
                qUtf8Printable(appearanceURL()));
        setDeviceName(changes.appearance->deviceName);
        setPadFollowMac(changes.appearance->padFollowMac);
        if (changes.appearance->displayBrightness != displayBrightness_) {
            setDisplayBrightness(changes.appearance->displayBrightness);
            if (display_) {
                display_->setBrightness(displayBrightness_, {});
            }
        }
    }
}

void Model::logRecovery(const ConfigurationRecovery& recovery) const {
    if (recovery.backupURL) {
        logLine("%s: could not read %s (%s); it was copied to %s", qUtf8Printable(deviceName_),
                qUtf8Printable(recovery.originalURL), qUtf8Printable(recovery.problem),
                qUtf8Printable(*recovery.backupURL));
    } else {
        logLine(
            "%s: could not read %s (%s) nor copy it aside (%s); it is left as it is and not "
            "saved over until the next start",
            qUtf8Printable(deviceName_), qUtf8Printable(recovery.originalURL),
            qUtf8Printable(recovery.problem),
            qUtf8Printable(recovery.backupProblem.value_or(QStringLiteral("Unknown"))));
    }
}

void Model::logUnknownActions() const {
    const QString none = QStringLiteral("None");
    const MacroAction& noAction = ActionCatalog::action(none);
    for (qsizetype index = 0; index < scenes_.size(); ++index) {
        for (const Binding& binding : scenes_[index].keys) {
            if (binding.action != none && &ActionCatalog::action(binding.action) == &noAction) {
                logLine(
                    "%s: %s: binding %lld of scene %lld has the unknown action \"%s\" and "
                    "does nothing",
                    qUtf8Printable(deviceName_), qUtf8Printable(configURL()),
                    static_cast<long long>(binding.id), static_cast<long long>(index + 1),
                    qUtf8Printable(binding.action));
            }
        }
    }
}
