#include "actions/ScriptActions.h"

#include "actions/ActionContext.h"
#include "actions/PlatformServices.h"
#include "actions/ScriptRunner.h"
#include "core/ActionError.h"

std::optional<QString> ScriptAction::symbol() const {
    return QStringLiteral("terminal");
}

void ScriptAction::perform(const Binding& binding, ActionContext& context) const {
    const QString program = executable();
    const QStringList programArguments = arguments(binding.argument);
    std::shared_ptr<ScriptRunner> runner = context.services().scripts;
    runInBackground(context, [runner, program, programArguments] {
        // Runs on the action queue.
        if (!runner) {
            throw ActionError::failed(QStringLiteral("Scripts cannot be run: %1").arg(program));
        }
        runner->run(program, programArguments);
    });
}

QString AppleScriptAction::name() const {
    return QStringLiteral("AppleScript");
}

QString AppleScriptAction::executable() const {
    return QStringLiteral("/usr/bin/osascript");
}

QStringList AppleScriptAction::arguments(const QString& script) const {
    return {QStringLiteral("-e"), script};
}

QString ShellScriptAction::name() const {
    return QStringLiteral("Shell script");
}

QString ShellScriptAction::executable() const {
    return scriptShell();
}

QStringList ShellScriptAction::arguments(const QString& script) const {
    return {QStringLiteral("-c"), script};
}
