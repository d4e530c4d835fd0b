#include "support/QuickTiming.h"

SessionTiming quickSessionTiming() {
    SessionTiming timing;
    timing.activationTimeout = std::chrono::milliseconds(40);
#if defined(__SANITIZE_THREAD__)
    // Under ThreadSanitizer on a loaded machine a thread can wait over a second for a core.
    timing.imageTimeout = std::chrono::milliseconds(5000);
#else
    timing.imageTimeout = std::chrono::milliseconds(1000);
#endif
    timing.retryPause = std::chrono::milliseconds(2);
    timing.settlePause = std::chrono::milliseconds(2);
    timing.backgroundSettle = std::chrono::milliseconds(2);
    timing.borderRepairDelay = std::chrono::milliseconds(20);
    return timing;
}
