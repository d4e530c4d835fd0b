#include "device/DeviceRecoveryPolicy.h"

bool DeviceRecoveryPolicy::begin(const QString& id) {
    if (attempted.contains(id)) {
        return false;
    }
    attempted.insert(id);
    expectedDetach.insert(id);
    return true;
}

void DeviceRecoveryPolicy::disconnected(const QString& id) {
    if (!expectedDetach.remove(id)) {
        attempted.remove(id);
    }
}

void DeviceRecoveryPolicy::initialized(const QString& id) {
    attempted.remove(id);
    expectedDetach.remove(id);
}

void DeviceRecoveryPolicy::requestFailed(const QString& id) {
    expectedDetach.remove(id);
}
