#include "timer_queue.h"

#include <gtest/gtest.h>

#include <string>

using namespace tarrowind::sim;
using namespace std::chrono_literals;

TEST(TimerQueue, RunsDueJobsInTimeThenInsertionOrder)
{
    TimerQueue timers;
    const auto t0 = TimerQueue::Clock::now();
    std::string order;
    timers.add(t0 + 20ms, [&] { order += 'c'; });
    timers.add(t0 + 10ms, [&] { order += 'a'; });
    timers.add(t0 + 10ms, [&] { order += 'b'; });
    timers.add(t0 + 30ms, [&] { order += 'd'; });
    EXPECT_EQ(timers.nextDue(), t0 + 10ms);
    EXPECT_EQ(timers.runDue(t0 + 9ms), 0u);
    EXPECT_EQ(timers.runDue(t0 + 20ms), 3u);
    EXPECT_EQ(order, "abc");
    EXPECT_EQ(timers.nextDue(), t0 + 30ms);
    EXPECT_EQ(timers.runDue(t0 + 1h), 1u);
    EXPECT_EQ(order, "abcd");
    EXPECT_FALSE(timers.nextDue());
}

TEST(TimerQueue, JobMayAddAJobThatIsAlreadyDue)
{
    TimerQueue timers;
    const auto t0 = TimerQueue::Clock::now();
    int runs = 0;
    timers.add(t0, [&] {
        ++runs;
        timers.add(t0, [&] { ++runs; });
        timers.add(t0 + 5ms, [&] { ++runs; });
    });
    EXPECT_EQ(timers.runDue(t0), 2u);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(timers.size(), 1u);
}
