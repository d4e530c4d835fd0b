#include "ModelTestSupport.h"

#include "model/Model.h"
#include "scripting/ScriptingRegistry.h"

std::shared_ptr<TestDirectory> TestDirectory::install() {
    auto directory = std::make_shared<TestDirectory>();
    ScriptingRegistry::shared().setModelDirectory(directory);
    return directory;
}

SignalLog::SignalLog(Model& model) {
    const std::pair<void (Model::*)(), const char*> signals[] = {
        {&Model::connectedChanged, "connected"},
        {&Model::messageChanged, "message"},
        {&Model::recordingChanged, "recording"},
        {&Model::scenesChanged, "scenes"},
        {&Model::activeSceneIDChanged, "activeSceneID"},
        {&Model::displayBrightnessChanged, "displayBrightness"},
        {&Model::padFollowMacChanged, "padFollowMac"},
        {&Model::deviceNameChanged, "deviceName"},
        {&Model::changed, "changed"},
        {&Model::siteIconScheduleRequested, "siteIcons"},
        {&Model::displayRefreshRequested, "refresh"}};
    for (const auto& [signal, name] : signals) {
        QObject::connect(&model, signal, [this, name = name] { names.append(name); });
    }
}
