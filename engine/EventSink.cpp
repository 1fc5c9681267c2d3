#include "engine/EventSink.h"

std::string FormatTimeOfDay(std::time_t t)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[16];
    const size_t n = std::strftime(buf, sizeof buf, "%H:%M:%S", &tm);
    return std::string(buf, n);
}
