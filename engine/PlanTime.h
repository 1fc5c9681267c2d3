#pragma once

#include <ctime>
#include <string>

// Plan time helpers shared by the time control panel, the new-plan dialog and
// the headless tools. Date-times are local calendar times kept as seconds
// since 1970 (UTC), one-second resolution.

// "1小时2分5秒" style text of a duration in seconds: hours only from 3600 s,
// minutes only from 60 s, seconds always; a negative duration gives "".
std::string FormatDuration(long long seconds);

// The local date (year, month, day) of `datePart` joined with the local time
// of day (hour, minute, second) of `timeOfDayPart`.
std::time_t CombineDateAndTime(std::time_t datePart, std::time_t timeOfDayPart);

// A local calendar date-time; month 1..12.
std::time_t MakeLocalTime(int year, int month, int day, int hour, int minute, int second);
