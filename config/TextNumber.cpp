#include "config/TextNumber.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace textnum {

namespace {

// isspace() of the "C" locale.
inline bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline std::string_view SkipSpace(std::string_view t)
{
    size_t i = 0;
    while (i < t.size() && IsCSpace(t[i]))
        ++i;
    return t.substr(i);
}

inline bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() < b.size())
        return false;
    for (size_t i = 0; i < b.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != b[i])
            return false;
    }
    return true;
}

}  // namespace

long long ParseLong(std::string_view text)
{
    std::string_view t = SkipSpace(text);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    unsigned long long v = 0;
    bool overflow = false;
    size_t i = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
        if (v > (std::numeric_limits<unsigned long long>::max() - 9) / 10)
            overflow = true;
        else
            v = v * 10 + unsigned(t[i] - '0');
    }
    constexpr unsigned long long maxPos = std::numeric_limits<long long>::max();
    if (overflow || v > maxPos + (negative ? 1 : 0))
        return negative ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
    if (negative)
        return v == maxPos + 1 ? std::numeric_limits<long long>::min() : -static_cast<long long>(v);
    return static_cast<long long>(v);
}

int ParseInt(std::string_view text)
{
    const long long v = ParseLong(text);
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

double ParseDouble(std::string_view text)
{
    std::string_view t = SkipSpace(text);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    if (t.empty())
        return 0.0;
    double v = 0.0;
    // from_chars takes neither a sign after ours nor a "0x" prefix; strtod takes both.
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        std::string_view h = t.substr(2);
        auto r = std::from_chars(h.data(), h.data() + h.size(), v, std::chars_format::hex);
        if (r.ec == std::errc::invalid_argument)
            v = 0.0;  // "0x" alone is the number 0 followed by text
    } else if (t[0] == '+' || t[0] == '-') {
        return 0.0;
    } else if (EqualsNoCase(t, "inf")) {
        v = std::numeric_limits<double>::infinity();
    } else if (EqualsNoCase(t, "nan")) {
        v = std::numeric_limits<double>::quiet_NaN();
    } else {
        auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
        if (r.ec == std::errc::invalid_argument) {
            v = 0.0;
        } else if (r.ec == std::errc::result_out_of_range) {
            // strtod gives HUGE_VAL on overflow and 0 (or a denormal) on underflow.
            size_t i = 0;
            while (i < t.size() && t[i] != 'e' && t[i] != 'E')
                ++i;
            const bool negExp = i + 1 < t.size() && t[i + 1] == '-';
            v = negExp ? 0.0 : HUGE_VAL;
        }
    }
    return negative ? -v : v;
}

uint32_t ParseHex(std::string_view text)
{
    std::string_view t = SkipSpace(text);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        t.remove_prefix(2);
    uint32_t v = 0;
    for (char c : t) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        v = (v << 4) | uint32_t(d);  // wraps like %x into an unsigned int
    }
    return negative ? uint32_t(0u - v) : v;
}

void AppendFixed(std::string& out, double value, int decimals)
{
    char buf[400];
    if (!std::isfinite(value)) {
        // printf spells these "inf", "-inf", "nan", "-nan".
        const char* s = std::isnan(value) ? (std::signbit(value) ? "-nan" : "nan") : (value < 0 ? "-inf" : "inf");
        out += s;
        return;
    }
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec == std::errc()) {
        out.append(buf, r.ptr);
    } else {
        const int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
        out.append(buf, n > 0 ? size_t(n) : 0);
    }
}

void AppendInt(std::string& out, long long value)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

std::string FormatFixed(double value, int decimals)
{
    std::string s;
    AppendFixed(s, value, decimals);
    return s;
}

std::string FormatShortest15(double value)
{
    if (!std::isfinite(value))
        return FormatFixed(value);
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return std::string(buf, r.ptr);
}

std::string FormatHex(uint32_t value)
{
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, value, 16);
    return std::string(buf, r.ptr);
}

}  // namespace textnum
