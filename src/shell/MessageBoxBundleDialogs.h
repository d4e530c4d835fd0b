#pragma once

#include "shell/SettingsBundleOpener.h"

// The questions of opening a settings bundle as modal message boxes, over whichever window is
// active. Needs a QApplication; main thread.
class MessageBoxBundleDialogs : public BundleOpeningDialogs {
public:
    void showImportFailure(const QString& message) override;
    std::optional<int> chooseDestination(const QString& message, const QString& informativeText,
                                         const QStringList& deviceNames, int preselected) override;
};
