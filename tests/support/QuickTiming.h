#pragma once

#include "device/PadDisplaySession.h"

// Session waits short enough for tests that drive whole pads through the store: failure paths
// finish quickly, while image steps keep room for a slow (sanitizer) build, since only failing
// paths ever wait them out.
SessionTiming quickSessionTiming();
