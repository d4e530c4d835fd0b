#include "app/ScriptingAdaptors.h"

#include "app/ScriptingService.h"
#include "model/DeviceStore.h"
#include "model/Model.h"
#include "scripting/ScriptingRegistry.h"

namespace {

const char* reasonName(ScriptError::Reason reason) {
    switch (reason) {
        case ScriptError::invalidName:
            return "InvalidName";
        case ScriptError::invalidIcon:
            return "InvalidIcon";
        case ScriptError::imageRefused:
            return "ImageRefused";
        case ScriptError::invalidValue:
            return "InvalidValue";
        case ScriptError::invalidColor:
            return "InvalidColor";
        case ScriptError::renameRefused:
            return "RenameRefused";
    }
    return "Failed";
}

QList<QDBusObjectPath> pathsOf(const QList<ScriptScreenButton>& buttons) {
    QList<QDBusObjectPath> paths;
    for (const ScriptScreenButton& button : buttons) {
        paths.append(QDBusObjectPath(ScriptingService::pathOf(button)));
    }
    return paths;
}

QString noSuchButtonNamed(const QString& name) {
    return QStringLiteral("No screen button is named \"%1\"").arg(name);
}

}  // namespace

void ScriptAdaptorBase::refuse(const char* reason, const QString& message) {
    if (calledFromDBus()) {
        sendErrorReply(
            QString::fromLatin1(ScriptingService::errorPrefix) + QString::fromLatin1(reason),
            message);
    }
}

template <typename T>
T ScriptAdaptorBase::answer(const std::function<T()>& request, T fallback) {
    try {
        return request();
    } catch (const ScriptError& error) {
        refuse(reasonName(error.reason()), error.message());
        return fallback;
    }
}

void ScriptAdaptorBase::answer(const std::function<void()>& request) {
    answer<bool>([&request] {
        request();
        return true;
    });
}

uint ScriptApplicationAdaptor::apiVersion() const {
    return ScriptingService::apiVersion;
}

QList<QDBusObjectPath> ScriptApplicationAdaptor::devices() const {
    service_.sync();
    QList<QDBusObjectPath> paths;
    for (const Model* model : service_.store().devices()) {
        paths.append(QDBusObjectPath(ScriptingService::devicePath(model->id())));
    }
    return paths;
}

QList<QDBusObjectPath> ScriptApplicationAdaptor::screenButtons() const {
    service_.sync();
    return pathsOf(ScriptingRegistry::shared().buttons());
}

QDBusObjectPath ScriptApplicationAdaptor::DeviceWithID(const QString& id) {
    service_.sync();
    if (!service_.store().model(id)) {
        refuse("NoSuchDevice", QStringLiteral("No device has the id \"%1\"").arg(id));
        return {};
    }
    return QDBusObjectPath(ScriptingService::devicePath(id));
}

QDBusObjectPath ScriptApplicationAdaptor::ScreenButtonWithID(const QString& id) {
    service_.sync();
    for (const ScriptScreenButton& button : ScriptingRegistry::shared().buttons()) {
        // Script ids are UUIDs, and a UUID is the same in either letter case.
        if (button.uniqueID().compare(id, Qt::CaseInsensitive) == 0) {
            return QDBusObjectPath(ScriptingService::pathOf(button));
        }
    }
    refuse("NoSuchButton", QStringLiteral("No screen button has the id \"%1\"").arg(id));
    return {};
}

QDBusObjectPath ScriptApplicationAdaptor::ScreenButtonsWithName(const QString& name) {
    service_.sync();
    const std::optional<ScriptScreenButton> found =
        ScriptingRegistry::shared().screenButtonsWithName(name);
    if (!found) {
        refuse("NoSuchButton", noSuchButtonNamed(name));
        return {};
    }
    return QDBusObjectPath(service_.exportNamed(*found));
}

QList<QDBusObjectPath> ScriptDeviceAdaptor::screenButtons() const {
    service_.sync();
    return pathsOf(device_.screenButtons());
}

void ScriptDeviceAdaptor::SetName(const QString& name) {
    answer([&] { device_.setName(name); });
}

QDBusObjectPath ScriptDeviceAdaptor::ScreenButtonsWithName(const QString& name) {
    service_.sync();
    const std::optional<ScriptScreenButton> found = device_.screenButtonsWithName(name);
    if (!found) {
        refuse("NoSuchButton", noSuchButtonNamed(name));
        return {};
    }
    return QDBusObjectPath(service_.exportNamed(*found));
}

QString ScriptButtonAdaptor::deviceID() const {
    const Model* model = button_.model();
    return model ? model->id() : QString();
}

QString ScriptButtonAdaptor::sceneID() const {
    return button_.sceneID().toString(QUuid::WithoutBraces).toUpper();
}

QList<QDBusObjectPath> ScriptButtonAdaptor::badges() const {
    QList<QDBusObjectPath> paths;
    for (const ScriptBadge& badge : button_.badges()) {
        paths.append(QDBusObjectPath(ScriptingService::badgePath(path_, badge.name())));
    }
    return paths;
}

void ScriptButtonAdaptor::SetName(const QString& name) {
    answer([&] { button_.setName(name); });
}

void ScriptButtonAdaptor::SetIcon(const QString& file) {
    answer([&] { button_.setIcon(file); });
}

void ScriptButtonAdaptor::ClearIcon() {
    answer([&] { button_.setIcon(std::nullopt); });
}

QDBusObjectPath ScriptButtonAdaptor::Badge(const QString& position) {
    if (!BadgeStyle::positions().contains(position)) {
        refuse("NoSuchBadge",
               QStringLiteral("No badge position is named \"%1\"; use one of: %2")
                   .arg(position, BadgeStyle::positions().join(QStringLiteral(", "))));
        return {};
    }
    return QDBusObjectPath(ScriptingService::badgePath(path_, position));
}

void ScriptBadgeAdaptor::SetValue(const QDBusVariant& value) {
    answer([&] { badge_.setValue(value.variant()); });
}

void ScriptBadgeAdaptor::ClearValue() {
    answer([&] { badge_.setValue(QVariant()); });
}

void ScriptBadgeAdaptor::SetColor(const QString& color) {
    answer([&] { badge_.setColor(color); });
}

void ScriptBadgeAdaptor::ClearColor() {
    answer([&] { badge_.setColor(std::nullopt); });
}

void ScriptBadgeAdaptor::SetDisplayed(bool displayed) {
    answer([&] { badge_.setDisplayed(displayed); });
}

void ScriptBadgeAdaptor::SetTruncation(bool truncation) {
    answer([&] { badge_.setTruncation(truncation); });
}
