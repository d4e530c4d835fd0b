#include "shell/SettingsBundleOpener.h"

#include "config/SettingsArchive.h"
#include "core/ActionError.h"
#include "core/Log.h"
#include "core/MainThread.h"
#include "core/SerialQueue.h"
#include "model/DeviceStore.h"
#include "model/Model.h"

#include <QFileInfo>
#include <QPointer>

SettingsBundleOpener::SettingsBundleOpener(DeviceStore& store, QObject* parent)
    : QObject(parent), store_(store) {
}

SettingsBundleOpener::~SettingsBundleOpener() {
    // Waits for a read in progress; its answer is dropped with this object.
    reader_.reset();
}

void SettingsBundleOpener::setDialogs(std::shared_ptr<BundleOpeningDialogs> dialogs) {
    dialogs_ = std::move(dialogs);
}

void SettingsBundleOpener::open(const QStringList& paths) {
    pending_ += paths;
    if (!busy_) {
        next();
    }
}

void SettingsBundleOpener::next() {
    if (pending_.isEmpty()) {
        busy_ = false;
        return;
    }
    busy_ = true;
    const QString path = pending_.takeFirst();
    if (!reader_) {
        reader_ = std::make_unique<SerialQueue>(QStringLiteral("Quorvel.open"));
    }
    // Worker thread: the whole bundle is read and checked, images included, so that a broken
    // bundle is refused before anyone is asked where it should go.
    reader_->async([self = QPointer<SettingsBundleOpener>(this), path] {
        std::optional<DeviceKind> kind;
        QString error;
        try {
            kind = SettingsArchive::read(path).kind;
        } catch (const ActionError& failure) {
            error = failure.message();
        } catch (const std::exception& failure) {
            error = QString::fromLocal8Bit(failure.what());
        }
        runOnMain(self, [self, path, kind, error] {
            if (kind) {
                self->decide(path, *kind);
            } else {
                self->fail(path, error);
            }
        });
    });
}

void SettingsBundleOpener::decide(const QString& path, DeviceKind kind) {
    QList<Model*> candidates;
    for (Model* model : store_.devices()) {
        if (model->kind() == kind) {
            candidates.append(model);
        }
    }
    if (candidates.isEmpty()) {
        fail(path, QStringLiteral("Connect a %1 before importing this bundle").arg(kind.name()));
        return;
    }
    if (!dialogs_) {
        fail(path, QStringLiteral("Choosing the destination device needs a display; without one, "
                                  "import it with: quorvel --import \"%1\" --device %2 "
                                  "--mode add|replace")
                       .arg(path, candidates.first()->id()));
        return;
    }
    QStringList names;
    int preselected = 0;
    for (int index = 0; index < candidates.size(); ++index) {
        names.append(candidates[index]->deviceName());
        if (store_.selectedID() == candidates[index]->id()) {
            preselected = index;
        }
    }
    // The store may change while the question is open (a pad unplugged is kept, so the models
    // stay); ids are what the answer is matched by.
    QStringList ids;
    for (const Model* model : candidates) {
        ids.append(model->id());
    }
    const std::optional<int> chosen = dialogs_->chooseDestination(
        QStringLiteral("Import %1").arg(QFileInfo(path).fileName()),
        QStringLiteral("Choose the destination device."), names, preselected);
    if (!chosen || *chosen < 0 || *chosen >= ids.size()) {
        done(path, false, QString());
        return;
    }
    const QString id = ids[*chosen];
    store_.select(id);
    Model* model = store_.model(id);
    if (!model) {
        fail(path, QStringLiteral("The chosen device is no longer known"));
        return;
    }
    model->importSettings(path, Model::ImportRequest{},
                          [self = QPointer<SettingsBundleOpener>(this), path, id](
                              bool imported, const QString& message) {
                              if (!self) {
                                  return;
                              }
                              if (!message.isEmpty()) {
                                  logLine("Settings bundle %s into %s: %s", qUtf8Printable(path),
                                          qUtf8Printable(id), qUtf8Printable(message));
                              }
                              self->done(path, imported, message);
                          });
}

void SettingsBundleOpener::fail(const QString& path, const QString& message) {
    logLine("Could not import settings from %s: %s", qUtf8Printable(path), qUtf8Printable(message));
    if (dialogs_) {
        dialogs_->showImportFailure(message);
    }
    done(path, false, message);
}

void SettingsBundleOpener::done(const QString& path, bool imported, const QString& message) {
    Q_EMIT bundleDone(path, imported, message);
    next();
}
