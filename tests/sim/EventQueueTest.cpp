#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EventQueue.h"

namespace orvane::sim {
namespace {

using ::testing::ElementsAre;

TEST(EventQueueTest, RunsDueActionsInTimeOrderAndSameTimeOnesInTheOrderGiven) {
    EventQueue queue;
    std::vector<std::string> ran;
    queue.schedule(30, [&] { ran.push_back("c@" + std::to_string(queue.now())); });
    queue.schedule(10, [&] { ran.push_back("a@" + std::to_string(queue.now())); });
    queue.schedule(10, [&] { ran.push_back("b@" + std::to_string(queue.now())); });

    queue.advanceTo(20);
    EXPECT_THAT(ran, ElementsAre("a@10", "b@10"));
    EXPECT_EQ(queue.now(), 20);
    EXPECT_EQ(queue.nextDueMs(), 30);

    queue.advanceTo(100);
    EXPECT_THAT(ran, ElementsAre("a@10", "b@10", "c@30"));
    EXPECT_FALSE(queue.nextDueMs().has_value());
}

TEST(EventQueueTest, ActionsScheduledWhileAdvancingRunInTheSameAdvanceWhenDue) {
    EventQueue queue;
    std::vector<std::int64_t> ran;
    queue.schedule(5, [&] {
        ran.push_back(queue.now());
        queue.schedule(queue.now() + 5, [&] { ran.push_back(queue.now()); });
        queue.schedule(queue.now() + 500, [&] { ran.push_back(queue.now()); });
    });

    queue.advanceTo(50);
    EXPECT_THAT(ran, ElementsAre(5, 10));
    EXPECT_EQ(queue.nextDueMs(), 505);
}

TEST(EventQueueTest, PastDueTimesWaitBehindWhatIsAlreadyQueuedForNow) {
    EventQueue queue;
    queue.advanceTo(100);
    std::vector<int> ran;
    queue.schedule(100, [&] { ran.push_back(1); });
    queue.schedule(40, [&] { ran.push_back(2); });

    EXPECT_EQ(queue.nextDueMs(), 100);
    queue.advanceTo(100);
    EXPECT_THAT(ran, ElementsAre(1, 2));
}

}  // namespace
}  // namespace orvane::sim
