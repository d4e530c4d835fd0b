#include "support/QuickTiming.h"

SessionTiming quickSessionTiming() {
    SessionTiming timing;
    timing.activationTimeout = std::chrono::milliseconds(40);
    timing.imageTimeout = std::chrono::milliseconds(1000);
    timing.retryPause = std::chrono::milliseconds(2);
    timing.settlePause = std::chrono::milliseconds(2);
    timing.backgroundSettle = std::chrono::milliseconds(2);
    timing.borderRepairDelay = std::chrono::milliseconds(20);
    return timing;
}
