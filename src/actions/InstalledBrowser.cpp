#include "actions/OpenTargets.h"
#include "actions/Workspace.h"

QList<InstalledBrowser> InstalledBrowser::all(Workspace& workspace) {
    return OpenTargets::sortedBrowsers(workspace.browsers());
}
