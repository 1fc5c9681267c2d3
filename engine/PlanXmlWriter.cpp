#include "engine/PlanXmlWriter.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

__extension__ typedef unsigned __int128 U128;

// 1: the byte needs attention when escaping (markup, control, non-ASCII).
constexpr std::array<bool, 256> MakeSpecial(bool attribute)
{
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c) {
        bool special = c == '&' || c == '<' || c == '>' || c >= 0x80;
        if (c < 0x20)
            special = attribute || (c != '\t' && c != '\n');
        if (attribute && c == '"')
            special = true;
        t[size_t(c)] = special;
    }
    return t;
}
constexpr std::array<bool, 256> kSpecialAttr = MakeSpecial(true);
constexpr std::array<bool, 256> kSpecialText = MakeSpecial(false);

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the valid UTF-8 sequence starting at p (lead byte >= 0x80), 0 when invalid.
int Utf8SequenceLength(const unsigned char* p, const unsigned char* end)
{
    const unsigned c = *p;
    int more;
    unsigned lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        more = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        more = 2;
        if (c == 0xE0)
            lo = 0xA0;
        else if (c == 0xED)
            hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        more = 3;
        if (c == 0xF0)
            lo = 0x90;
        else if (c == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (end - p <= more || p[1] < lo || p[1] > hi)
        return 0;
    for (int i = 2; i <= more; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    return more + 1;
}

}  // namespace

char* FormatFixed6(char* out, double value)
{
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int exponent = int((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
    if (exponent == 0x7FF) {
        // printf's spelling of the non-finite values.
        const std::string_view s = fraction ? (negative ? "-nan" : "nan") : (negative ? "-inf" : "inf");
        std::memcpy(out, s.data(), s.size());
        return out + s.size();
    }
    if (std::fabs(value) >= 8589934592.0)  // 2^33: rare, left to the library
        return std::to_chars(out, out + 400, value, std::chars_format::fixed, 6).ptr;

    // value = m * 2^e exactly; value * 10^6 = m * 15625 * 2^(e + 6), and e + 6 < 0
    // below 2^33. Rounding the exact quotient half to even is what printf does.
    const uint64_t m = exponent == 0 ? fraction : fraction | (uint64_t(1) << 52);
    const int e = exponent == 0 ? -1074 : exponent - 1075;
    const U128 scaled = U128(m) * 15625u;
    const int shift = -(e + 6);
    uint64_t n = 0;
    if (shift < 128) {
        U128 q = scaled >> shift;
        const U128 rest = scaled - (q << shift);
        const U128 half = U128(1) << (shift - 1);
        if (rest > half || (rest == half && (q & 1) != 0))
            ++q;
        n = uint64_t(q);
    }
    if (negative)
        *out++ = '-';
    out = std::to_chars(out, out + 24, n / 1000000).ptr;
    *out++ = '.';
    uint32_t decimals = uint32_t(n % 1000000);
    for (int i = 5; i >= 0; --i) {
        out[i] = char('0' + decimals % 10);
        decimals /= 10;
    }
    return out + 6;
}

PlanXmlWriter::PlanXmlWriter(Sink sink, size_t chunkSize)
    : m_sink(std::move(sink)), m_capacity(chunkSize < 4096 ? 4096 : chunkSize)
{
    m_buffer.reset(new char[m_capacity]);
}

PlanXmlWriter::~PlanXmlWriter() = default;

void PlanXmlWriter::Drain()
{
    if (m_size > 0 && m_ok && !m_sink(m_buffer.get(), m_size))
        m_ok = false;
    m_size = 0;
}

bool PlanXmlWriter::Flush()
{
    CloseStartTag();
    Drain();
    return m_ok;
}

void PlanXmlWriter::Put(std::string_view s)
{
    if (m_capacity - m_size < s.size()) {
        Drain();
        if (s.size() > m_capacity) {
            if (m_ok && !m_sink(s.data(), s.size()))
                m_ok = false;
            return;
        }
    }
    std::memcpy(m_buffer.get() + m_size, s.data(), s.size());
    m_size += s.size();
}

void PlanXmlWriter::PutEscaped(std::string_view s, bool attribute)
{
    const auto& special = attribute ? kSpecialAttr : kSpecialText;
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* const end = p + s.size();
    const auto* run = p;
    auto flushRun = [&] { Put(std::string_view(reinterpret_cast<const char*>(run), size_t(p - run))); };
    while (p < end) {
        const unsigned char c = *p;
        if (!special[c]) {
            ++p;
            continue;
        }
        if (c >= 0x80) {
            const int n = Utf8SequenceLength(p, end);
            if (n > 0) {
                p += n;
                continue;
            }
            flushRun();
            Put(kReplacement);
            run = ++p;
            continue;
        }
        flushRun();
        switch (c) {
        case '&': Put("&amp;"); break;
        case '<': Put("&lt;"); break;
        case '>': Put("&gt;"); break;
        case '"': Put("&quot;"); break;
        case 0: Put(kReplacement); break;  // not even a reference can carry NUL
        default: {
            char ref[6] = {'&', '#', 0, 0, 0, 0};
            size_t len = 2;
            if (c >= 10)
                ref[len++] = char('0' + c / 10);
            ref[len++] = char('0' + c % 10);
            ref[len++] = ';';
            Put(std::string_view(ref, len));
        }
        }
        run = ++p;
    }
    flushRun();
}

void PlanXmlWriter::PutFixed(double value)
{
    char* at = Room(400);
    m_size += size_t(FormatFixed6(at, value) - at);
}

void PlanXmlWriter::Raw(std::string_view text)
{
    CloseStartTag();
    Put(text);
}

void PlanXmlWriter::StartElement(std::string_view name)
{
    CloseStartTag();
    Put('<');
    Put(name);
    m_startOpen = true;
}

void PlanXmlWriter::Attribute(std::string_view name, std::string_view value)
{
    Put(' ');
    Put(name);
    Put("=\"");
    PutEscaped(value, true);
    Put('"');
}

void PlanXmlWriter::AttributeInt(std::string_view name, long long value)
{
    Put(' ');
    Put(name);
    Put("=\"");
    char* at = Room(24);
    m_size += size_t(std::to_chars(at, at + 24, value).ptr - at);
    Put('"');
}

void PlanXmlWriter::AttributeFixed(std::string_view name, double value)
{
    Put(' ');
    Put(name);
    Put("=\"");
    PutFixed(value);
    Put('"');
}

void PlanXmlWriter::AttributeShortest(std::string_view name, double value)
{
    Put(' ');
    Put(name);
    Put("=\"");
    char* at = Room(64);
    m_size += size_t(std::to_chars(at, at + 64, value).ptr - at);
    Put('"');
}

void PlanXmlWriter::TextElement(std::string_view name, std::string_view text)
{
    StartElement(name);
    if (text.empty()) {
        Put("/>");
        m_startOpen = false;
        return;
    }
    Put('>');
    m_startOpen = false;
    PutEscaped(text, false);
    Put("</");
    Put(name);
    Put('>');
}

void PlanXmlWriter::TextElementInt(std::string_view name, long long value)
{
    StartElement(name);
    Put('>');
    m_startOpen = false;
    char* at = Room(24);
    m_size += size_t(std::to_chars(at, at + 24, value).ptr - at);
    Put("</");
    Put(name);
    Put('>');
}

void PlanXmlWriter::TextElementFixed(std::string_view name, double value)
{
    StartElement(name);
    Put('>');
    m_startOpen = false;
    PutFixed(value);
    Put("</");
    Put(name);
    Put('>');
}

void PlanXmlWriter::EndElement(std::string_view name)
{
    if (m_startOpen) {
        Put("/>");
        m_startOpen = false;
        return;
    }
    Put("</");
    Put(name);
    Put('>');
}
