#include "scripting/ScriptObjects.h"

#include "artwork/Artwork.h"
#include "artwork/ImageLoadError.h"
#include "artwork/ImageLoading.h"
#include "core/ActionError.h"
#include "model/Model.h"
#include "scripting/ScriptingRegistry.h"

#include <QDir>
#include <QMetaType>
#include <QUrl>

#include <cmath>
#include <limits>

bool isMissingScriptValue(const QVariant& value) {
    return !value.isValid() || value.isNull();
}

namespace {

// The binding with script id `uniqueID` in the scene `sceneID` of `scenes`; none when either is
// missing.
Binding* findBinding(QList<QuorvelScene>& scenes, const QUuid& sceneID, const QString& uniqueID) {
    for (QuorvelScene& scene : scenes) {
        if (scene.id != sceneID) {
            continue;
        }
        for (Binding& binding : scene.keys) {
            if (binding.scriptID == uniqueID) {
                return &binding;
            }
        }
        return nullptr;
    }
    return nullptr;
}

// The badge number a script value stands for; none when it is not a whole number in
// 0 <= n < 2^63. Text is refused even when it spells a number: scripts must say what they mean.
std::optional<int64_t> badgeNumber(const QVariant& value) {
    switch (value.metaType().id()) {
        case QMetaType::UChar:
        case QMetaType::UShort:
        case QMetaType::UInt:
        case QMetaType::ULong:
        case QMetaType::ULongLong: {
            const qulonglong number = value.toULongLong();
            if (number > qulonglong(std::numeric_limits<int64_t>::max())) {
                return std::nullopt;
            }
            return int64_t(number);
        }
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::Short:
        case QMetaType::Int:
        case QMetaType::Long:
        case QMetaType::LongLong: {
            const qlonglong number = value.toLongLong();
            if (number < 0) {
                return std::nullopt;
            }
            return int64_t(number);
        }
        case QMetaType::Float:
        case QMetaType::Double: {
            const double number = value.toDouble();
            // 2^63 itself is exact in a double and one past the largest int64.
            if (!std::isfinite(number) || number < 0 || number >= 9223372036854775808.0 ||
                number != std::floor(number)) {
                return std::nullopt;
            }
            return int64_t(number);
        }
        default:
            return std::nullopt;
    }
}

}  // namespace

ScriptScreenButton::ScriptScreenButton(Model* model, QUuid sceneID, QString uniqueID,
                                       std::optional<QString> referenceName,
                                       std::optional<QString> referenceDeviceID)
    : model_(model),
      sceneID_(sceneID),
      uniqueID_(std::move(uniqueID)),
      referenceName_(std::move(referenceName)),
      referenceDeviceID_(std::move(referenceDeviceID)) {
}

QList<ScriptScreenButton> ScriptScreenButton::targets() const {
    if (!referenceName_) {
        return {*this};
    }
    QList<ScriptScreenButton> result;
    for (const ScriptScreenButton& button : ScriptingRegistry::shared().buttons()) {
        if (referenceDeviceID_ && button.model()->id() != *referenceDeviceID_) {
            continue;
        }
        if (button.name() == *referenceName_) {
            result.append(button);
        }
    }
    return result;
}

std::optional<Binding> ScriptScreenButton::binding() const {
    if (referenceName_) {
        for (const ScriptScreenButton& target : targets()) {
            if (std::optional<Binding> found = target.binding()) {
                return found;
            }
        }
        return std::nullopt;
    }
    if (!model_) {
        return std::nullopt;
    }
    QList<QuorvelScene> scenes = model_->scenes();
    if (const Binding* found = findBinding(scenes, sceneID_, uniqueID_)) {
        return *found;
    }
    return std::nullopt;
}

void ScriptScreenButton::edit(const std::function<void(Binding&)>& change) const {
    if (referenceName_) {
        for (const ScriptScreenButton& target : targets()) {
            target.edit(change);
        }
        return;
    }
    if (!model_) {
        return;
    }
    QList<QuorvelScene> scenes = model_->scenes();
    Binding* found = findBinding(scenes, sceneID_, uniqueID_);
    if (!found) {
        return;
    }
    change(*found);
    model_->setScenes(std::move(scenes));
    model_->save();
}

QString ScriptScreenButton::name() const {
    const std::optional<Binding> found = binding();
    return found && found->scriptName ? *found->scriptName : QString();
}

void ScriptScreenButton::setName(const QString& name) const {
    try {
        ScriptingRegistry::shared().rename(*this, name);
    } catch (const ActionError& error) {
        fail(ScriptError::invalidName, error.message());
    }
}

std::optional<QString> ScriptScreenButton::icon() const {
    for (const ScriptScreenButton& target : targets()) {
        if (Model* model = target.model()) {
            const auto url = model->runtimeIconURLs().constFind(target.uniqueID());
            if (url != model->runtimeIconURLs().cend()) {
                return *url;
            }
        }
        if (referenceName_) {
            // The first matching button speaks for all of them.
            break;
        }
    }
    return std::nullopt;
}

std::optional<QString> ScriptScreenButton::iconPath(const QString& location) {
    if (location.startsWith(QLatin1String("file:"))) {
        const QUrl url(location, QUrl::StrictMode);
        const QString host = url.host();
        if (!url.isValid() || !url.isLocalFile() ||
            !(host.isEmpty() || host == QLatin1String("localhost"))) {
            return std::nullopt;
        }
        return QDir::cleanPath(url.toLocalFile());
    }
    // A relative name would be resolved against the program's folder, which the script does
    // not know.
    if (!QDir::isAbsolutePath(location) || location.contains(QChar(0))) {
        return std::nullopt;
    }
    return QDir::cleanPath(location);
}

void ScriptScreenButton::setIcon(const std::optional<QString>& location) const {
    const QList<ScriptScreenButton> all = targets();
    if (!referenceName_ && !model_) {
        return;
    }
    if (!location) {
        for (const ScriptScreenButton& target : all) {
            if (Model* model = target.model()) {
                model->setRuntimeIcon(target.uniqueID(), QImage());
            }
        }
        return;
    }
    const std::optional<QString> path = iconPath(*location);
    if (!path) {
        fail(ScriptError::invalidIcon, ScriptMessages::iconLocation);
    }
    // Read once for all targets, and checked whole before any of them changes.
    QImage fresh;
    try {
        QImage loaded = ImageLoading::image(QUrl::fromLocalFile(*path));
        // Keys are about a hundred pixels wide; a full-size picture per button would let a
        // script hold gigabytes and stall the main thread in the PNG round trip below.
        if (loaded.width() > runtimeIconSide || loaded.height() > runtimeIconSide) {
            loaded = loaded.scaled(runtimeIconSide, runtimeIconSide, Qt::KeepAspectRatio,
                                   Qt::SmoothTransformation);
        }
        const std::optional<QByteArray> png = Artwork::png(loaded);
        if (png) {
            fresh = QImage::fromData(*png, "PNG");
        }
        if (fresh.isNull()) {
            throw ImageLoadError(ImageLoadError::unreadable);
        }
    } catch (const ImageLoadError& error) {
        fail(ScriptError::imageRefused, error.message());
    } catch (const ActionError& error) {
        fail(ScriptError::imageRefused, error.message());
    }
    for (const ScriptScreenButton& target : all) {
        if (Model* model = target.model()) {
            model->setRuntimeIcon(target.uniqueID(), fresh, *path);
        }
    }
}

QList<ScriptBadge> ScriptScreenButton::badges() const {
    QList<ScriptBadge> result;
    for (const QString& position : BadgeStyle::positions()) {
        result.append(ScriptBadge(*this, position));
    }
    return result;
}

void ScriptScreenButton::fail(ScriptError::Reason reason, const QString& message) const {
    Model* model = model_.data();
    if (referenceName_ && !model) {
        const QList<ScriptScreenButton> all = targets();
        model = all.isEmpty() ? nullptr : all.first().model();
    }
    if (model) {
        model->report(message);
    }
    throw ScriptError(reason, message);
}

void ScriptScreenButton::appearanceChanged() const {
    if (Model* model = model_.data()) {
        Q_EMIT model->changed();
        model->invalidateKeyImages();
    }
}

BadgeStyle ScriptBadge::style() const {
    const QList<ScriptScreenButton> targets = button_.targets();
    BadgeStyle result;
    result.position = name_;
    if (targets.isEmpty() || !targets.first().model()) {
        return result;
    }
    const ScriptScreenButton& target = targets.first();
    const auto& all = target.model()->runtimeBadges();
    const auto badges = all.constFind(target.uniqueID());
    if (badges != all.cend()) {
        const auto style = badges->constFind(name_);
        if (style != badges->cend()) {
            return *style;
        }
    }
    return result;
}

void ScriptBadge::edit(const std::function<void(BadgeStyle&)>& change) const {
    for (const ScriptScreenButton& target : button_.targets()) {
        Model* model = target.model();
        if (!model || !target.binding()) {
            continue;
        }
        BadgeStyle style = ScriptBadge(target, name_).style();
        change(style);
        QHash<QString, BadgeStyle> badges = model->runtimeBadges().value(target.uniqueID());
        badges.insert(name_, style);
        // Redraws the pad as appearanceChanged() would.
        model->setRuntimeBadges(target.uniqueID(), badges);
    }
}

void ScriptBadge::setValue(const QVariant& value) const {
    if (isMissingScriptValue(value)) {
        edit([](BadgeStyle& style) { style.value.reset(); });
        return;
    }
    const std::optional<int64_t> number = badgeNumber(value);
    if (!number) {
        button_.fail(ScriptError::invalidValue, ScriptMessages::badgeValue);
    }
    edit([number](BadgeStyle& style) { style.value = number; });
}

void ScriptBadge::setColor(const std::optional<QString>& color) const {
    if (color && !BadgeStyle::resolveColor(color)) {
        button_.fail(ScriptError::invalidColor, ScriptMessages::badgeColor);
    }
    edit([&color](BadgeStyle& style) { style.color = color; });
}

void ScriptBadge::setDisplayed(bool displayed) const {
    edit([displayed](BadgeStyle& style) { style.displayed = displayed; });
}

void ScriptBadge::setTruncation(bool truncation) const {
    edit([truncation](BadgeStyle& style) { style.truncation = truncation; });
}

QString ScriptDevice::uniqueID() const {
    return model_ ? model_->id() : QString();
}

QString ScriptDevice::name() const {
    return model_ ? model_->deviceName() : QString();
}

void ScriptDevice::setName(const QString& name) const {
    if (!model_) {
        return;
    }
    try {
        model_->renameDevice(name);
    } catch (const ActionError& error) {
        model_->report(error.message());
        throw ScriptError(ScriptError::renameRefused, error.message());
    }
}

bool ScriptDevice::connected() const {
    return model_ && model_->connected();
}

QList<ScriptScreenButton> ScriptDevice::screenButtons() const {
    QList<ScriptScreenButton> result;
    if (!model_) {
        return result;
    }
    for (const ScriptScreenButton& button : ScriptingRegistry::shared().buttons()) {
        if (button.model() == model_) {
            result.append(button);
        }
    }
    return result;
}

std::optional<ScriptScreenButton> ScriptDevice::screenButtonsWithName(const QString& name) const {
    if (!model_) {
        return std::nullopt;
    }
    return ScriptingRegistry::shared().screenButtonsWithName(name, model_->id());
}
