#pragma once

#include "support/PadReports.h"
#include "support/QuickTiming.h"

#include "RecordingInputPoster.h"

#include "config/SavedConfiguration.h"
#include "device/DeviceKind.h"
#include "device/PadDisplaySession.h"
#include "model/Model.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <initializer_list>
#include <memory>

struct PlatformServices;

// Models of both kinds with their settings in a temporary folder and keystroke actions that
// land in `input`.
class InputTestBed {
public:
    InputTestBed();

    // A model of `kind` starting from `configuration` (the kind's defaults when none is given).
    std::unique_ptr<Model> model(DeviceKind kind, const SavedConfiguration& configuration = {},
                                 const QString& id = QStringLiteral("pad-1"));
    // Lays down the bindings file of device `id` before its model starts.
    void put(const SavedConfiguration& configuration,
             const QString& id = QStringLiteral("pad-1")) const;
    // The bindings file of device `id` as stored now.
    SavedConfiguration stored(const QString& id = QStringLiteral("pad-1")) const;
    bool storedExists(const QString& id = QStringLiteral("pad-1")) const;

    QString root() const { return root_.path(); }
    ModelEnvironment environment() const;

    std::shared_ptr<RecordingInputPoster> input = std::make_shared<RecordingInputPoster>();

private:
    QTemporaryDir root_;
    std::shared_ptr<PlatformServices> services_;
};

// The kind's default scene with every control bound to a keystroke whose key code equals the
// control number, so the posted codes show which controls ran.
SavedConfiguration keystrokeScenes(DeviceKind kind, int sceneCount = 1);
