#include "EventQueue.h"

#include <algorithm>
#include <utility>

namespace orvane::sim {

void EventQueue::schedule(std::int64_t dueMs, Action action) {
    // Equal keys keep insertion order in a multimap, which keeps same-time actions in FIFO order.
    pending_.emplace(std::max(dueMs, now_), std::move(action));
}

void EventQueue::advanceTo(std::int64_t untilMs) {
    while (!pending_.empty() && pending_.begin()->first <= untilMs) {
        auto node = pending_.extract(pending_.begin());
        now_ = std::max(now_, node.key());
        node.mapped()();
    }
    now_ = std::max(now_, untilMs);
}

std::optional<std::int64_t> EventQueue::nextDueMs() const {
    if (pending_.empty()) {
        return std::nullopt;
    }
    return pending_.begin()->first;
}

}  // namespace orvane::sim
