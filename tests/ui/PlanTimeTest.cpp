#include "engine/PlanTime.h"

#include <gtest/gtest.h>

TEST(FormatDuration, HoursMinutesSeconds)
{
    EXPECT_EQ(FormatDuration(3725), "1小时2分5秒");
    EXPECT_EQ(FormatDuration(7200), "2小时0秒");
    EXPECT_EQ(FormatDuration(86399), "23小时59分59秒");
}

TEST(FormatDuration, ZeroPartsAreLeftOutExceptSeconds)
{
    EXPECT_EQ(FormatDuration(3600), "1小时0秒");
    EXPECT_EQ(FormatDuration(3660), "1小时1分0秒");
    EXPECT_EQ(FormatDuration(60), "1分0秒");
    EXPECT_EQ(FormatDuration(59), "59秒");
    EXPECT_EQ(FormatDuration(0), "0秒");
}

TEST(FormatDuration, NegativeGivesEmptyText)
{
    EXPECT_EQ(FormatDuration(-1), "");
    EXPECT_EQ(FormatDuration(-3725), "");
}

TEST(FormatDuration, LongerThanAnIntOfMilliseconds)
{
    EXPECT_EQ(FormatDuration(100LL * 3600 + 1), "100小时1秒");
}

TEST(CombineDateAndTime, TakesDateFromOneAndTimeOfDayFromTheOther)
{
    const std::time_t date = MakeLocalTime(2024, 5, 1, 23, 59, 58);
    const std::time_t tod = MakeLocalTime(1999, 12, 31, 8, 7, 6);
    EXPECT_EQ(CombineDateAndTime(date, tod), MakeLocalTime(2024, 5, 1, 8, 7, 6));
    EXPECT_EQ(CombineDateAndTime(tod, date), MakeLocalTime(1999, 12, 31, 23, 59, 58));
}

TEST(CombineDateAndTime, DifferencesAreWholeSecondsAcrossMidnight)
{
    const std::time_t start = MakeLocalTime(2024, 2, 28, 23, 0, 0);
    const std::time_t end = MakeLocalTime(2024, 2, 29, 1, 0, 0);  // leap day
    EXPECT_EQ(end - start, 7200);
    EXPECT_EQ(MakeLocalTime(2024, 3, 1, 0, 0, 0) - MakeLocalTime(2024, 2, 28, 0, 0, 0), 2 * 86400);
}
