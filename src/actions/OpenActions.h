#pragma once

#include "actions/MacroAction.h"

#include <QUrl>

#include <optional>

// The open actions: an application (a desktop entry file), a folder in the file manager, or a
// web address in the default or a chosen browser. The target is the binding's `argument`, which
// also keys the automatic artwork. All run on the main thread; the desktop starts the program
// and returns at once.

// "Open application": starts the application whose desktop entry path is the argument.
class OpenApplicationAction final : public MacroAction {
public:
    QString name() const override;
    // The application's own icon; none without a path or when the desktop has no icon for it.
    std::optional<QImage> icon(const Binding& binding, const ActionContext& context) const override;
    QString artworkKey(const Binding& binding) const override;
    // The entry's file name without its extension, then " icon".
    QString searchTerm(const Binding& binding) const override;
    void perform(const Binding& binding, ActionContext& context) const override;
};

// "Open folder": shows an existing folder (a leading "~" is the home folder) in the file
// manager. Relative paths, files and applications in folder form do not count.
class OpenFolderAction final : public MacroAction {
public:
    QString name() const override;
    std::optional<QString> symbol() const override;
    bool isReady(const Binding& binding, const ActionContext& context) const override;
    // The folder's icon from the desktop, else the built-in folder icon.
    std::optional<QImage> icon(const Binding& binding, const ActionContext& context) const override;
    QString artworkKey(const Binding& binding) const override;
    void perform(const Binding& binding, ActionContext& context) const override;

private:
    static std::optional<QString> folderURL(const Binding& binding, const ActionContext& context);
};

// "Open URL": opens an http or https address, typed loosely (see url()), in the browser chosen
// in `browserBundleID` or else the default one.
class OpenURLAction final : public MacroAction {
public:
    // The address the user meant: trimmed, "https://" added when there is no ":" at all; only
    // http and https addresses with a host count. Thread: any.
    static std::optional<QUrl> url(const QString& text);

    QString name() const override;
    std::optional<QString> symbol() const override;
    bool isReady(const Binding& binding, const ActionContext& context) const override;
    // The site's cached icon, else the built-in globe.
    std::optional<QImage> icon(const Binding& binding, const ActionContext& context) const override;
    QString artworkKey(const Binding& binding) const override;
    // The address's host (or "website"), then " icon".
    QString searchTerm(const Binding& binding) const override;
    void perform(const Binding& binding, ActionContext& context) const override;
};
