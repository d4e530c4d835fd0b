#include "app/CompositeHidManager.h"

CompositeHidManager::~CompositeHidManager() = default;

void CompositeHidManager::add(std::unique_ptr<HidManager> member) {
    if (member) {
        members_.push_back(std::move(member));
    }
}

void CompositeHidManager::start(std::vector<Matching> matching, Handlers handlers) {
    for (const std::unique_ptr<HidManager>& member : members_) {
        member->start(matching, handlers);
    }
}

void CompositeHidManager::stop() {
    for (const std::unique_ptr<HidManager>& member : members_) {
        member->stop();
    }
}
