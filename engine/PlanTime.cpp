#include "engine/PlanTime.h"

#include <string>

std::string FormatDuration(long long seconds)
{
    std::string text;
    if (seconds >= 3600) {
        text += std::to_string(seconds / 3600) + "小时";
        seconds %= 3600;
    }
    if (seconds >= 60) {
        text += std::to_string(seconds / 60) + "分";
        seconds %= 60;
    }
    if (seconds >= 0)
        text += std::to_string(seconds) + "秒";
    return text;
}

std::time_t CombineDateAndTime(std::time_t datePart, std::time_t timeOfDayPart)
{
    std::tm date{};
    std::tm tod{};
    localtime_r(&datePart, &date);
    localtime_r(&timeOfDayPart, &tod);
    return MakeLocalTime(date.tm_year + 1900, date.tm_mon + 1, date.tm_mday, tod.tm_hour, tod.tm_min, tod.tm_sec);
}

std::time_t MakeLocalTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;  // let the zone rules decide, so summer dates come out right
    return std::mktime(&tm);
}
