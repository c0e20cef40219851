#include <gtest/gtest.h>

#include "media/reconnect_schedule.h"

using namespace std::chrono_literals;

TEST(ReconnectSchedule, GrowsThenRunsOut) {
    media::ReconnectSchedule schedule({1s, 2s, 4s, 8s, 16s});
    for (auto expected : {1s, 2s, 4s, 8s, 16s}) {
        const auto delay = schedule.next();
        ASSERT_TRUE(delay.has_value());
        EXPECT_EQ(*delay, expected);
    }
    EXPECT_EQ(schedule.tries(), 5);
    EXPECT_FALSE(schedule.next().has_value());
    EXPECT_FALSE(schedule.next().has_value());
}

TEST(ReconnectSchedule, ResetGivesTheWholeScheduleBack) {
    media::ReconnectSchedule schedule({100ms, 200ms});
    schedule.next();
    schedule.next();
    EXPECT_FALSE(schedule.next().has_value());
    schedule.reset();
    EXPECT_EQ(schedule.tries(), 0);
    EXPECT_EQ(schedule.next(), 100ms);
}
