#include "model/DeviceStore.h"

#include "artwork/ImageLoadError.h"
#include "config/DroppedFile.h"
#include "core/Log.h"
#include "core/MainThread.h"
#include "device/MountainUsb.h"
#include "device/ReportRouting.h"
#include "model/Model.h"
#include "scripting/ScriptingRegistry.h"

#include <QPointer>

#include <stdexcept>

DeviceStore::DeviceStore(std::unique_ptr<HidManager> manager, ModelEnvironment environment,
                         QObject* parent)
    : QObject(parent), manager_(std::move(manager)), environment_(std::move(environment)) {
    if (!manager_) {
        throw std::invalid_argument("DeviceStore needs a HID manager");
    }
}

DeviceStore::~DeviceStore() {
    // No HID callback may reach a half-destroyed store; the models stop their sessions as they
    // go.
    manager_->stop();
}

void DeviceStore::start() {
    std::vector<HidManager::Matching> matching;
    for (DeviceKind::Value value : DeviceKind::allCases) {
        const DeviceKind kind(value);
        matching.push_back({kind.vendorID(), kind.productID(), kind.usagePage()});
    }
    // Screen-button ids must be unique across every pad this store knows.
    ScriptingRegistry::shared().setModelDirectory(
        std::shared_ptr<const ModelDirectory>(lifetime_, this));

    HidManager::Handlers handlers;
    handlers.attached = [this](const std::shared_ptr<HidDevice>& device) { attach(device); };
    handlers.removed = [this](const std::shared_ptr<HidDevice>& device) { removed(device); };
    handlers.input = [this](uint32_t result, const std::shared_ptr<HidDevice>& device,
                            const QByteArray& report) { input(result, device, report); };
    handlers.failed = [this](uint32_t code, const QString& reason) {
        // No pad will ever attach: the standing "Connect ..." hint would send the user looking
        // for a cable problem.
        message_ = QStringLiteral("HID access failed: ") + UsbStatus::hex(code);
        logLine("%s (%s)", qUtf8Printable(message_), qUtf8Printable(reason));
        Q_EMIT messageChanged();
        Q_EMIT changed();
    };
    started_ = true;
    manager_->start(std::move(matching), std::move(handlers));
}

void DeviceStore::stop() {
    for (const std::unique_ptr<Model>& model : devices_) {
        model->disconnect();
    }
    manager_->stop();
    connections_.clear();
    started_ = false;
}

QList<Model*> DeviceStore::devices() const {
    QList<Model*> list;
    for (const std::unique_ptr<Model>& model : devices_) {
        list.append(model.get());
    }
    return list;
}

QList<const Model*> DeviceStore::models() const {
    QList<const Model*> list;
    for (const std::unique_ptr<Model>& model : devices_) {
        list.append(model.get());
    }
    return list;
}

Model* DeviceStore::model(const QString& id) const {
    for (const std::unique_ptr<Model>& model : devices_) {
        if (model->id() == id) {
            return model.get();
        }
    }
    return nullptr;
}

Model* DeviceStore::selected() const {
    return selectedID_ ? model(*selectedID_) : nullptr;
}

void DeviceStore::select(const std::optional<QString>& id) {
    if (Model* current = selected()) {
        current->setRecording(std::nullopt);
    }
    if (selectedID_ == id) {
        return;
    }
    selectedID_ = id;
    Q_EMIT selectedIDChanged();
    Q_EMIT changed();
}

Model* DeviceStore::createModel(const QString& id, DeviceKind kind, uint32_t location) {
    const QString name =
        QStringLiteral("%1 \u00B7 USB %2").arg(kind.name(), QString::asprintf("%08X", location));
    auto created = std::make_unique<Model>(id, kind, name, environment_);
    Model* model = created.get();
    observations_.insert(id, QObject::connect(model, &Model::changed, this, &DeviceStore::changed));
    devices_.push_back(std::move(created));
    Q_EMIT devicesChanged();
    // A first-seen pad gets its files at once, not only after the user's first change.
    model->save();
    return model;
}

void DeviceStore::attach(const std::shared_ptr<HidDevice>& device) {
    if (shuttingDown_ || !device) {
        return;
    }
    const HidDeviceInfo& info = device->info();
    const std::optional<DeviceKind> kind = DeviceKind::matching(info.vendorID, info.productID);
    if (!kind || info.primaryUsagePage != kind->usagePage()) {
        return;
    }
    const uint32_t location = info.locationID.value_or(0);
    const QString id = kind->identity(info.serialNumber, location);
    Model* model = this->model(id);
    if (!model) {
        model = createModel(id, *kind, location);
    }
    connections_[device.get()] = Connection{device, model};
    connectModel(model, device, *kind, id, location);
    if (!selectedID_) {
        select(id);
    }
    Q_EMIT changed();
}

void DeviceStore::connectModel(Model* model, const std::shared_ptr<HidDevice>& device,
                               DeviceKind kind, const QString& id, uint32_t location) {
    const QPointer<DeviceStore> store(this);
    const std::weak_ptr<HidDevice> weakDevice = device;
    model->connect(
        device,
        [store, id] {
            if (store) {
                store->recovery_.initialized(id);
            }
        },
        [store, model, kind, weakDevice, id, location](const ActionError&) {
            // The model lives as long as the store, so the store's presence vouches for it.
            if (store) {
                store->recoverDisplayPad(model, kind, weakDevice, id, location);
            }
        });
}

void DeviceStore::suspend() {
    sleeping_ = true;
    logLine("Going to sleep: pads are brought up again after resume");
}

void DeviceStore::resume() {
    sleeping_ = false;
    if (shuttingDown_) {
        return;
    }
    // Collected first: connecting may change the table's entries.
    std::vector<std::pair<std::shared_ptr<HidDevice>, Model*>> attached;
    for (const auto& [key, entry] : connections_) {
        // A model that moved on to a newer device reference is brought up through that one.
        if (entry.model->connection() && entry.model->connection()->belongsTo(key)) {
            attached.emplace_back(entry.device, entry.model);
        }
    }
    logLine("Bringing %d attached pads up again after sleep", static_cast<int>(attached.size()));
    for (const auto& [device, model] : attached) {
        const HidDeviceInfo& info = device->info();
        connectModel(model, device, model->kind(), model->id(), info.locationID.value_or(0));
    }
    if (!attached.empty()) {
        Q_EMIT changed();
    }
}

void DeviceStore::removed(const std::shared_ptr<HidDevice>& device) {
    const auto found = connections_.find(device.get());
    if (found == connections_.end()) {
        return;
    }
    Model* model = found->second.model;
    connections_.erase(found);
    // The model may have connected through a newer device reference meanwhile; that
    // connection is not this removal's business.
    if (model->connection() && model->connection()->belongsTo(device.get())) {
        recovery_.disconnected(model->id());
        model->disconnect();
        Q_EMIT changed();
    }
}

void DeviceStore::input(uint32_t result, const std::shared_ptr<HidDevice>& device,
                        const QByteArray& report) {
    Model* model = nullptr;
    if (const auto found = connections_.find(device.get()); found != connections_.end()) {
        model = found->second.model;
    }
    const HIDConnection* current = model ? model->connection().get() : nullptr;
    if (ReportRouting::accept(result, device.get(), current)) {
        model->receive(report);
    }
}

void DeviceStore::recoverDisplayPad(Model* model, DeviceKind kind,
                                    const std::weak_ptr<HidDevice>& device, const QString& id,
                                    uint32_t location) {
    const std::shared_ptr<HidDevice> failed = device.lock();
    if (kind != DeviceKind::mountain || shuttingDown_ || sleeping_ || !failed ||
        !model->connection() || !model->connection()->belongsTo(failed.get())) {
        return;
    }
    if (!recovery_.begin(id)) {
        return;  // re-enumerated once already in this episode; the error stays on show
    }
    model->report(QStringLiteral("Reinitializing Mountain DisplayPad\u2026"));
    logLine("Mountain USB recovery requested at %08x", location);
    const IOReturn result = environment_.padUsb
                                ? mountain_reenumerate(*environment_.padUsb, location)
                                : UsbStatus::notFound;
    if (result != UsbStatus::success) {
        recovery_.requestFailed(id);
        const QString message =
            QStringLiteral("Mountain USB recovery failed: ") + UsbStatus::hex(result);
        model->report(message);
        logLine("%s", qUtf8Printable(message));
    }
}

void DeviceStore::reportQuitFailure(Model* model, const QString& reason) {
    // The model's status line goes to the log as well, with the device's name.
    model->report(QStringLiteral("Could not clear buttons on quit: ") + reason);
}

void DeviceStore::clearDisplaysForQuit(std::function<void()> completion) {
    shuttingDown_ = true;
    // One count for this call itself, so that sessions answering early cannot finish the group
    // before every pad was asked.
    struct Group {
        int pending = 1;
        std::function<void()> completion;
    };
    auto group = std::make_shared<Group>();
    group->completion = std::move(completion);
    const auto leave = [group] {
        if (--group->pending == 0 && group->completion) {
            runOnMain(std::move(group->completion));
        }
    };

    for (const std::unique_ptr<Model>& owned : devices_) {
        Model* model = owned.get();
        model->setShuttingDown();
        if (!model->connected() || !model->display()) {
            continue;
        }
        DisplayFrame frame;
        try {
            frame = model->shutdownFrame();
        } catch (const ActionError& error) {
            reportQuitFailure(model, error.message());
            continue;
        } catch (const ImageLoadError& error) {
            reportQuitFailure(model, error.message());
            continue;
        }
        ++group->pending;
        const QPointer<DeviceStore> store(this);
        model->display()->finish(frame.images, frame.background,
                                 [store, model, leave](PadDisplaySession::Result result) {
                                     if (result && store) {
                                         store->reportQuitFailure(model, result->message());
                                     }
                                     leave();
                                 });
    }
    leave();
}

void DeviceStore::reportToSelection(const QString& text) {
    if (Model* current = selected()) {
        current->report(text);
        return;
    }
    setMessage(text);
}

void DeviceStore::setMessage(const QString& text) {
    if (message_ != text) {
        message_ = text;
        logLine("%s", qUtf8Printable(text));
        Q_EMIT messageChanged();
        Q_EMIT changed();
    }
}

bool DeviceStore::acceptSettingsDrop(const QList<std::shared_ptr<DropItem>>& items) {
    if (items.size() != 1 || !items.first() || !items.first()->hasFileURL()) {
        reportToSelection(items.size() != 1
                              ? QStringLiteral("Drop one settings bundle at a time")
                              : QStringLiteral("The drop did not contain a local settings bundle"));
        return false;
    }
    const std::optional<QString> dropped = selectedID_;
    QPointer<DeviceStore> self(this);
    items.first()->loadFileURL([self, dropped](std::optional<QUrl> url, QString error) {
        // Any thread: only the hop to the main thread happens here.
        runOnMain([self, dropped, url = std::move(url), error = std::move(error)] {
            if (!self) {
                return;
            }
            if (!error.isEmpty()) {
                self->reportToSelection(QStringLiteral("Could not read dropped file: ") + error);
                return;
            }
            if (!url || !url->isLocalFile()) {
                self->reportToSelection(
                    QStringLiteral("The drop did not contain a local settings bundle"));
                return;
            }
            // The bundle goes to the device that was selected when it was dropped, or nowhere.
            Model* target = dropped ? self->model(*dropped) : nullptr;
            if (!target || self->selectedID_ != dropped) {
                self->reportToSelection(
                    QStringLiteral("Select a connected device before dropping settings"));
                return;
            }
            try {
                target->importDroppedSettings(DroppedFile::resolvedURL(*url).toLocalFile());
            } catch (const ActionError& failure) {
                target->report(failure.message());
            }
        });
    });
    return true;
}
