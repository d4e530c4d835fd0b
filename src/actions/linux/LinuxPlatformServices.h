#pragma once

#include "actions/PlatformServices.h"

// The program's desktop services on Linux: PulseAudio volume and mute, the kernel backlight,
// a uinput keyboard, MPRIS players, GIO for opening things, posix_spawn for scripts. The site
// icon lookup is left for the application to fill in. Main thread, once at start-up. Making the
// services joins the session and system buses but opens no device and starts no program; each
// service reaches its device or server at first use and reports there when it cannot.
PlatformServices linuxPlatformServices();
