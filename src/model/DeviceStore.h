#pragma once

#include "device/DeviceKind.h"
#include "device/DeviceRecoveryPolicy.h"
#include "device/HidDevice.h"
#include "device/HidManager.h"
#include "model/ModelDirectory.h"
#include "model/ModelEnvironment.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class DropItem;
class Model;

// The registry of pads. Discovers both pad kinds through its HID manager, creates one device
// model the first time a pad is seen and keeps it (attached or not) for the life of the store,
// connects each newly attached HID device to its model, routes input reports to it, tracks the
// device selected in the user interface, re-enumerates a DisplayPad whose display cannot be
// brought up, and paints every pad's quit frame.
//
// Threads: main thread only. The HID manager delivers every callback there, and session
// completions hop there before they touch the store or a model.
// Ownership: the store owns the HID manager and the models; pointers it hands out stay valid
// until the store is destroyed. It is the scripting registry's model directory while it lives.
// Observers: `devicesChanged`, `selectedIDChanged`, `messageChanged` for the store's own fields,
// and `changed` after any of them and after any change of any model.
class DeviceStore : public QObject, public ModelDirectory {
    Q_OBJECT

public:
    // `environment` is handed to every model (settings root, DisplayPad USB access, session
    // timing, the computer display's brightness). Nothing is opened until start(). Throws
    // std::invalid_argument without a manager.
    DeviceStore(std::unique_ptr<HidManager> manager, ModelEnvironment environment,
                QObject* parent = nullptr);
    ~DeviceStore() override;

    DeviceStore(const DeviceStore&) = delete;
    DeviceStore& operator=(const DeviceStore&) = delete;

    // Starts discovery of both pad kinds; pads already present attach right after, through the
    // event loop.
    void start();
    // Disconnects every model and closes the HID manager; no callback arrives afterwards.
    void stop();

    // Every device seen since the store started, in order of first attach; never shrinks.
    QList<Model*> devices() const;
    Model* model(const QString& id) const;
    const std::optional<QString>& selectedID() const { return selectedID_; }
    // The model whose id is selectedID(), or null.
    Model* selected() const;
    // The store-level status text.
    const QString& message() const { return message_; }
    void setMessage(const QString& text);
    bool shuttingDown() const { return shuttingDown_; }
    const DeviceRecoveryPolicy& recovery() const { return recovery_; }

    // Ends shortcut recording on the device that loses the selection, then selects `id`.
    void select(const std::optional<QString>& id);

    // Stops input and display updates of every model and paints the quit frame on every
    // connected pad. `completion` runs on the main thread (never inside this call) once every
    // pad has answered, successfully or not; failures show on their model as "Could not clear
    // buttons on quit: " and the reason. New attaches are ignored from now on.
    void clearDisplaysForQuit(std::function<void()> completion);

    // The computer is going to sleep: pads lose host control until resume(), and failures until
    // then are not repaired by re-enumerating the pad on a bus that is being suspended.
    void suspend();
    // After sleep: every attached pad is brought up again as on a new attach (a new session,
    // activation, the first frame), each on its one model and connection.
    void resume();

    // A settings bundle dropped anywhere on the window: imported into the device selected at
    // the drop once its file arrives, unless the selection changed meanwhile. False (with the
    // reason in the selected device's status line, else the store's) for anything but one item.
    bool acceptSettingsDrop(const QList<std::shared_ptr<DropItem>>& items);

    // ModelDirectory
    QList<const Model*> models() const override;

Q_SIGNALS:
    void devicesChanged();
    void selectedIDChanged();
    void messageChanged();
    void changed();

private:
    struct Connection {
        // Holds the device so that its address, the key, cannot be reused while it is listed.
        std::shared_ptr<HidDevice> device;
        Model* model = nullptr;
    };

    void attach(const std::shared_ptr<HidDevice>& device);
    void connectModel(Model* model, const std::shared_ptr<HidDevice>& device, DeviceKind kind,
                      const QString& id, uint32_t location);
    void removed(const std::shared_ptr<HidDevice>& device);
    void input(uint32_t result, const std::shared_ptr<HidDevice>& device, const QByteArray& report);
    Model* createModel(const QString& id, DeviceKind kind, uint32_t location);
    void recoverDisplayPad(Model* model, DeviceKind kind, const std::weak_ptr<HidDevice>& device,
                           const QString& id, uint32_t location);
    void reportQuitFailure(Model* model, const QString& reason);
    // The selected device's status line, or the store's own when nothing is selected.
    void reportToSelection(const QString& text);

    const std::unique_ptr<HidManager> manager_;
    const ModelEnvironment environment_;
    // The scripting registry holds the store weakly through this token's lifetime.
    const std::shared_ptr<char> lifetime_ = std::make_shared<char>();

    std::vector<std::unique_ptr<Model>> devices_;
    std::optional<QString> selectedID_;
    QString message_ = QStringLiteral("Connect an MSD-TWO or Mountain DisplayPad");
    QHash<QString, QMetaObject::Connection> observations_;
    std::map<const HidDevice*, Connection> connections_;
    bool shuttingDown_ = false;
    bool started_ = false;
    bool sleeping_ = false;
    DeviceRecoveryPolicy recovery_;
};
