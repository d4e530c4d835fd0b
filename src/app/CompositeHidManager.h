#pragma once

#include "device/HidManager.h"

#include <memory>
#include <vector>

// Several HID managers seen as one, so that the device store discovers real pads and virtual
// pads side by side (`quorvel --simulate`). Every member gets the same matching rules and
// handlers; device references stay those of the member that reported them, so a store keyed by
// device identity never confuses a real pad with a virtual one.
//
// Threads: main thread only, like the interface. Ownership: owns its members.
class CompositeHidManager : public HidManager {
public:
    CompositeHidManager() = default;
    ~CompositeHidManager() override;

    // Adds a member; null is ignored. Must happen before start().
    void add(std::unique_ptr<HidManager> member);
    size_t size() const { return members_.size(); }

    // Starts every member in the order added.
    void start(std::vector<Matching> matching, Handlers handlers) override;
    // Stops every member in the order added.
    void stop() override;

private:
    std::vector<std::unique_ptr<HidManager>> members_;
};
