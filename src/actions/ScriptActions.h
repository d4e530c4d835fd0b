#pragma once

#include "actions/MacroAction.h"

#include <QStringList>

// An action that runs the script text kept in the binding's `argument` with a script runner
// program, on the shared action queue: one script at a time, across all pads. Success clears
// the status line; a failure shows what the script wrote to standard error (see ScriptRunner).
class ScriptAction : public MacroAction {
public:
    // Absolute path of the program that runs the script.
    virtual QString executable() const = 0;
    // The program's arguments; the script text travels as one argument, unchanged.
    virtual QStringList arguments(const QString& script) const = 0;

    std::optional<QString> symbol() const override;
    void perform(const Binding& binding, ActionContext& context) const override;
};

// "AppleScript": runs the text with "/usr/bin/osascript -e". That runner does not exist on
// Linux, so pressing the key shows the launch error; bindings are kept for files shared with
// a Mac.
class AppleScriptAction final : public ScriptAction {
public:
    QString name() const override;
    QString executable() const override;
    QStringList arguments(const QString& script) const override;
};

// "Shell script": runs the text with "-c" by zsh when installed, else bash, else sh.
class ShellScriptAction final : public ScriptAction {
public:
    QString name() const override;
    QString executable() const override;
    QStringList arguments(const QString& script) const override;
};
