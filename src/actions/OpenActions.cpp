#include "actions/OpenActions.h"

#include "actions/ActionContext.h"
#include "actions/OpenTargets.h"
#include "actions/PlatformServices.h"
#include "actions/Workspace.h"

#include <QFileInfo>

namespace {
// Desktop icons are asked for at a size that still looks sharp on the largest key face; the
// renderer scales them down.
constexpr int iconSize = 256;

std::optional<QImage> desktopIcon(const ActionContext& context, const QString& path) {
    const std::shared_ptr<Workspace> workspace = context.services().workspace;
    if (!workspace) {
        return std::nullopt;
    }
    QImage image = workspace->icon(path, iconSize);
    if (image.isNull()) {
        return std::nullopt;
    }
    return image;
}
}  // namespace

// Open application

QString OpenApplicationAction::name() const {
    return QStringLiteral("Open application");
}

std::optional<QImage> OpenApplicationAction::icon(const Binding& binding,
                                                  const ActionContext& context) const {
    if (binding.argument.isEmpty()) {
        return std::nullopt;
    }
    return desktopIcon(context, binding.argument);
}

QString OpenApplicationAction::artworkKey(const Binding& binding) const {
    return binding.argument;
}

QString OpenApplicationAction::searchTerm(const Binding& binding) const {
    if (binding.argument.isEmpty()) {
        return QStringLiteral("Open application icon");
    }
    return QFileInfo(binding.argument).completeBaseName() + QStringLiteral(" icon");
}

void OpenApplicationAction::perform(const Binding& binding, ActionContext& context) const {
    // Without a path the desktop would only say that "" cannot be found; say what to do instead.
    if (binding.argument.isEmpty()) {
        context.report(QStringLiteral("Choose an application for %1 first").arg(binding.name));
        return;
    }
    const std::shared_ptr<Workspace> workspace = context.services().workspace;
    if (!workspace) {
        context.report(
            QStringLiteral("The application %1 could not be started").arg(binding.argument));
        return;
    }
    context.report(workspace->openApplication(binding.argument));
}

// Open folder

QString OpenFolderAction::name() const {
    return QStringLiteral("Open folder");
}

std::optional<QString> OpenFolderAction::symbol() const {
    return QStringLiteral("folder");
}

std::optional<QString> OpenFolderAction::folderURL(const Binding& binding,
                                                   const ActionContext& context) {
    const std::shared_ptr<Workspace> workspace = context.services().workspace;
    if (!workspace) {
        return std::nullopt;
    }
    return OpenTargets::folder(binding.argument, *workspace);
}

bool OpenFolderAction::isReady(const Binding& binding, const ActionContext& context) const {
    return folderURL(binding, context).has_value();
}

std::optional<QImage> OpenFolderAction::icon(const Binding& binding,
                                             const ActionContext& context) const {
    if (const std::optional<QString> folder = folderURL(binding, context)) {
        if (std::optional<QImage> image = desktopIcon(context, *folder)) {
            return image;
        }
    }
    return builtInIcon();
}

QString OpenFolderAction::artworkKey(const Binding& binding) const {
    return binding.argument;
}

void OpenFolderAction::perform(const Binding& binding, ActionContext& context) const {
    const std::optional<QString> folder = folderURL(binding, context);
    if (!folder) {
        context.report(QStringLiteral("Choose an existing folder for %1 first").arg(binding.name));
        return;
    }
    if (!context.services().workspace->openFolder(*folder)) {
        context.report(QStringLiteral("Could not open folder: %1").arg(*folder));
        return;
    }
    context.report(QString());
}

// Open URL

std::optional<QUrl> OpenURLAction::url(const QString& text) {
    return OpenTargets::url(text);
}

QString OpenURLAction::name() const {
    return QStringLiteral("Open URL");
}

std::optional<QString> OpenURLAction::symbol() const {
    return QStringLiteral("globe");
}

bool OpenURLAction::isReady(const Binding& binding, const ActionContext&) const {
    return url(binding.argument).has_value();
}

std::optional<QImage> OpenURLAction::icon(const Binding& binding,
                                          const ActionContext& context) const {
    const std::optional<QUrl> address = url(binding.argument);
    const auto& siteIcon = context.services().siteIcon;
    if (address && siteIcon) {
        QImage image = siteIcon(*address);
        if (!image.isNull()) {
            return image;
        }
    }
    return builtInIcon();
}

QString OpenURLAction::artworkKey(const Binding& binding) const {
    return binding.argument;
}

QString OpenURLAction::searchTerm(const Binding& binding) const {
    const std::optional<QUrl> address = url(binding.argument);
    return (address ? address->host() : QStringLiteral("website")) + QStringLiteral(" icon");
}

void OpenURLAction::perform(const Binding& binding, ActionContext& context) const {
    const std::optional<QUrl> address = url(binding.argument);
    if (!address) {
        context.report(QStringLiteral("Enter an HTTP or HTTPS URL for %1 first").arg(binding.name));
        return;
    }
    const std::shared_ptr<Workspace> workspace = context.services().workspace;
    const QString browser = binding.browserBundleID.value_or(QString());
    if (!browser.isEmpty()) {
        if (!workspace || workspace->applicationPath(browser).isEmpty()) {
            context.report(QStringLiteral(
                "The selected browser is no longer installed. Choose another browser or System "
                "Default."));
            return;
        }
        context.report(workspace->openUrlWith(*address, browser));
        return;
    }
    if (!workspace || !workspace->openUrl(*address)) {
        context.report(QStringLiteral("Could not open URL in the default browser"));
        return;
    }
    context.report(QString());
}
