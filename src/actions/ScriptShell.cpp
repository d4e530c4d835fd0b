#include "actions/ScriptRunner.h"

#include <QFileInfo>

QString scriptShell(const QStringList& candidates) {
    for (const QString& candidate : candidates) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable()) {
            return candidate;
        }
    }
    return candidates.isEmpty() ? QString() : candidates.last();
}
