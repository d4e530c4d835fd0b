#pragma once

#include "config/ConfigurationFileSystem.h"
#include "device/ImageInterface.h"
#include "device/PadDisplaySession.h"

#include <QString>

#include <memory>

class SiteIconCache;
struct PlatformServices;

// What a device model needs from whoever owns it (the device store) beyond its identity: where
// its files live, how DisplayPad image interfaces are reached, how the display sessions are
// paced, and the desktop services that actions and brightness following use. Filled once on the
// main thread before the first model is made, then only read; every model of a store shares it.
struct ModelEnvironment {
    // Folder holding one folder per device id; empty means the default settings root.
    QString settingsRoot;
    // Replaces the real file system (tests make chosen operations fail); null means the real one.
    std::shared_ptr<const ConfigurationFileSystem> files;
    // USB access for DisplayPad sessions. Required for Mountain DisplayPads: without it their
    // sessions fail with "Open image interface failed" and the pad stays dark.
    std::shared_ptr<PadUsb> padUsb;
    // Waits and pauses of the display sessions; only tests shorten them.
    SessionTiming timing;
    // The desktop services actions use, the computer display's brightness among them (read once
    // a second while a pad follows it). Null means none at all: every action reports its
    // service as missing, and following refuses to start.
    std::shared_ptr<const PlatformServices> services;
    // Every MSD-TWO screen button carries the coloured alignment bars ("--calibrate"), so that
    // the image can be checked against the pad's screen cut-outs.
    bool calibrate = false;
    // The program's site-icon cache: web-address keys are fetched their site's icon and redrawn
    // when it arrives. Null means no site icons are fetched (the keys keep their globe unless
    // the services' siteIcon finds one).
    std::shared_ptr<SiteIconCache> siteIcons = nullptr;
};
