#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

namespace orvane::sim {

// A clock that only moves when told to. The simulator advances it from a real timer; tests
// advance it by hand, so timing behaviour can be checked without waiting for it.
class EventQueue {
public:
    using Action = std::function<void()>;

    // Due times in the past run at the next advance, never before an earlier-scheduled action.
    void schedule(std::int64_t dueMs, Action action);

    // Runs everything due up to untilMs in time order, including actions scheduled on the way,
    // each seeing now() as its own due time.
    void advanceTo(std::int64_t untilMs);

    std::optional<std::int64_t> nextDueMs() const;
    std::int64_t now() const { return now_; }

private:
    std::multimap<std::int64_t, Action> pending_;
    std::int64_t now_ = 0;
};

}  // namespace orvane::sim
