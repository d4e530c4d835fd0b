#include "model/Model.h"

#include "actions/ActionCatalog.h"
#include "core/Log.h"

void Model::logRecovery(const ConfigurationRecovery& recovery) const {
    if (recovery.backupURL) {
        logLine("%s: could not read %s (%s); it was copied to %s", qUtf8Printable(deviceName_),
                qUtf8Printable(recovery.originalURL), qUtf8Printable(recovery.problem),
                qUtf8Printable(*recovery.backupURL));
    } else {
        logLine(
            "%s: could not read %s (%s) nor copy it aside (%s); it is left as it is and not "
            "saved over until the next start",
            qUtf8Printable(deviceName_), qUtf8Printable(recovery.originalURL),
            qUtf8Printable(recovery.problem),
            qUtf8Printable(recovery.backupProblem.value_or(QStringLiteral("Unknown"))));
    }
}

void Model::logUnknownActions() const {
    const QString none = QStringLiteral("None");
    const MacroAction& noAction = ActionCatalog::action(none);
    for (qsizetype index = 0; index < scenes_.size(); ++index) {
        for (const Binding& binding : scenes_[index].keys) {
            if (binding.action != none && &ActionCatalog::action(binding.action) == &noAction) {
                logLine(
                    "%s: %s: binding %lld of scene %lld has the unknown action \"%s\" and "
                    "does nothing",
                    qUtf8Printable(deviceName_), qUtf8Printable(configURL()),
                    static_cast<long long>(binding.id), static_cast<long long>(index + 1),
                    qUtf8Printable(binding.action));
            }
        }
    }
}
