#include "actions/linux/LinuxPlatformServices.h"

#include "actions/linux/BacklightBrightness.h"
#include "actions/linux/GioWorkspace.h"
#include "actions/linux/MprisNowPlaying.h"
#include "actions/linux/PulseAudioOutput.h"
#include "actions/linux/SpawnScriptRunner.h"
#include "actions/linux/UinputKeyboard.h"

PlatformServices linuxPlatformServices() {
    PlatformServices services;
    services.audio = std::make_shared<PulseAudioOutput>();
    services.displayBrightness = std::make_shared<BacklightBrightness>();
    services.input = std::make_shared<UinputKeyboard>();
    services.nowPlaying = std::make_shared<MprisNowPlaying>();
    services.workspace = std::make_shared<GioWorkspace>();
    services.scripts = std::make_shared<SpawnScriptRunner>();
    return services;
}
