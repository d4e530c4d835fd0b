#pragma once

#include <QSet>
#include <QString>

// Bookkeeping for re-enumerating a stuck DisplayPad on USB at most once until it either comes
// up or is unplugged. Keyed by device id. A plain value held by the device store; main thread.
//
// Per id: idle (in neither set) -> requested (`begin`: in both) -> detach seen (`disconnected`:
// in `attempted` only) -> idle again on `initialized`. A request that failed (`requestFailed`)
// stays in `attempted` only, so it is not retried until the pad initializes or is unplugged
// (an unexpected `disconnected`). While an id is in `attempted`, `begin` refuses.
struct DeviceRecoveryPolicy {
    // Ids for which a re-enumeration was requested and not yet cleared.
    QSet<QString> attempted;
    // Ids whose next detach is the expected result of that re-enumeration.
    QSet<QString> expectedDetach;

    // True when a re-enumeration may be requested now (and marks it requested); false when one
    // was already requested since the pad last initialized or was unplugged (nothing changes).
    bool begin(const QString& id);
    // The pad detached. The detach a re-enumeration causes is consumed and keeps the attempt;
    // any other detach (the user unplugged it) clears the attempt.
    void disconnected(const QString& id);
    // The pad's display session came up: forget everything about it.
    void initialized(const QString& id);
    // The re-enumeration request itself failed: no detach is coming, the attempt stays.
    void requestFailed(const QString& id);
};
