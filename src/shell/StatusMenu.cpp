#include "shell/StatusMenu.h"

#include "model/DeviceStore.h"
#include "model/Model.h"
#include "shell/LaunchAtLogin.h"

#include <QGuiApplication>
#include <QMenu>
#include <QUuid>

namespace {
const QString noDevices = QStringLiteral("No devices connected");
}

StatusMenu::StatusMenu(DeviceStore& store, bool updatesAvailable, QObject* parent)
    : QObject(parent),
      store_(store),
      updatesAvailable_(updatesAvailable),
      menu_(std::make_unique<QMenu>()) {
    settings_ = menu_->addAction(noDevices, this, &StatusMenu::settingsRequested);
    settings_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    scenes_ = menu_->addMenu(QStringLiteral("Scenes"));
    launchAtLogin_ =
        menu_->addAction(QStringLiteral("Launch at Login"), this, &StatusMenu::toggleLaunchAtLogin);
    launchAtLogin_->setCheckable(true);
    menu_->addSeparator();
    menu_->addAction(QStringLiteral("About Quorvel Zodovuvur…"), this, &StatusMenu::aboutRequested);
    newVersion_ = menu_->addAction(QStringLiteral("A newer version is available…"), this,
                                   &StatusMenu::updateWebsiteRequested);
    newVersion_->setVisible(false);
    checkUpdates_ = menu_->addAction(QStringLiteral("Check for updates…"), this,
                                     &StatusMenu::updateCheckRequested);
    checkUpdates_->setVisible(false);
    QAction* quit = menu_->addAction(QStringLiteral("Quit"), this, &StatusMenu::quitRequested);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    connect(menu_.get(), &QMenu::aboutToShow, this, [this] {
        prepare(QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier));
    });
}

StatusMenu::~StatusMenu() = default;

void StatusMenu::prepare(bool checkItemRequested) {
    checkUpdates_->setVisible(updatesAvailable_ && checkItemRequested);

    int connected = 0;
    for (const Model* model : store_.devices()) {
        connected += model->connected() ? 1 : 0;
    }
    settings_->setText(connected == 0   ? noDevices
                       : connected == 1 ? QStringLiteral("Configure your device")
                                        : QStringLiteral("Configure your devices"));
    settings_->setEnabled(connected > 0);

    rebuildScenes();
    launchAtLogin_->setChecked(LaunchAtLogin::status() == LaunchAtLogin::Status::enabled);
}

void StatusMenu::setNewerVersionAvailable(bool available) {
    newVersion_->setVisible(updatesAvailable_ && available);
}

void StatusMenu::rebuildScenes() {
    scenes_->clear();
    bool any = false;
    for (const Model* model : store_.devices()) {
        if (!model->connected()) {
            continue;
        }
        any = true;
        QMenu* device = scenes_->addMenu(model->deviceName());
        const auto& scenes = model->scenes();
        for (int i = 0; i < scenes.size(); ++i) {
            const QString deviceID = model->id();
            const QString sceneID = scenes[i].id.toString(QUuid::WithoutBraces);
            QAction* item =
                device->addAction(QStringLiteral("Scene %1").arg(i + 1), this,
                                  [this, deviceID, sceneID] { selectScene(deviceID, sceneID); });
            item->setCheckable(true);
            item->setChecked(scenes[i].id == model->activeSceneID());
        }
    }
    if (!any) {
        scenes_->addAction(noDevices)->setEnabled(false);
    }
}

void StatusMenu::selectScene(const QString& deviceID, const QString& sceneID) {
    // The pad may have gone, or the scene been deleted, since the menu was built.
    for (Model* model : store_.devices()) {
        if (model->id() != deviceID || !model->connected()) {
            continue;
        }
        const QUuid id(sceneID);
        for (const auto& scene : model->scenes()) {
            if (scene.id == id) {
                model->selectScene(id);
                return;
            }
        }
        break;
    }
    store_.setMessage(QStringLiteral("Could not identify the selected scene"));
}

void StatusMenu::toggleLaunchAtLogin() {
    const bool enable = LaunchAtLogin::status() != LaunchAtLogin::Status::enabled;
    const QString problem = LaunchAtLogin::setEnabled(enable);
    launchAtLogin_->setChecked(LaunchAtLogin::status() == LaunchAtLogin::Status::enabled);
    if (!problem.isEmpty()) {
        Q_EMIT launchAtLoginFailed(problem);
    }
}
