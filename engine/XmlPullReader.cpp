#include "engine/XmlPullReader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::array<bool, 256> MakeNameChars()
{
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[size_t(c)] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                       c == ':' || c == '-' || c == '.' || c >= 0x80;
    return t;
}
constexpr std::array<bool, 256> kNameChar = MakeNameChars();

inline bool IsNameChar(char c)
{
    return kNameChar[static_cast<unsigned char>(c)];
}

inline bool IsNameStart(char c)
{
    return IsNameChar(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.';
}

inline bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

inline bool StartsWith(const char* p, const char* end, std::string_view lit)
{
    return size_t(end - p) >= lit.size() && std::memcmp(p, lit.data(), lit.size()) == 0;
}

// Position of `lit` in [p, end), or nullptr.
char* Find(char* p, char* end, std::string_view lit)
{
    const std::string_view hay(p, size_t(end - p));
    const size_t at = hay.find(lit);
    return at == std::string_view::npos ? nullptr : p + at;
}

char* EncodeUtf8(char* out, uint32_t cp)
{
    if (cp < 0x80) {
        *out++ = char(cp);
    } else if (cp < 0x800) {
        *out++ = char(0xC0 | (cp >> 6));
        *out++ = char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = char(0xE0 | (cp >> 12));
        *out++ = char(0x80 | ((cp >> 6) & 0x3F));
        *out++ = char(0x80 | (cp & 0x3F));
    } else {
        *out++ = char(0xF0 | (cp >> 18));
        *out++ = char(0x80 | ((cp >> 12) & 0x3F));
        *out++ = char(0x80 | ((cp >> 6) & 0x3F));
        *out++ = char(0x80 | (cp & 0x3F));
    }
    return out;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool IsValidXmlText(const char* data, size_t size, size_t* badOffset)
{
    const auto* const begin = reinterpret_cast<const unsigned char*>(data);
    const auto* p = begin;
    const auto* const end = begin + size;
    auto bad = [&](const unsigned char* at) {
        if (badOffset)
            *badOffset = size_t(at - begin);
        return false;
    };
    constexpr uint64_t kHigh = 0x8080808080808080ULL;
    constexpr uint64_t kSpace = 0x2020202020202020ULL;
    while (p < end) {
        // Eight ASCII bytes at a time while none is a control character.
        while (end - p >= 8) {
            uint64_t w;
            std::memcpy(&w, p, 8);
            if ((w & kHigh) != 0 || ((w - kSpace) & ~w & kHigh) != 0)
                break;
            p += 8;
        }
        if (p >= end)
            break;
        const unsigned c = *p;
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                return bad(p);
            ++p;
            continue;
        }
        int more;
        unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0)
                lo = 0xA0;  // overlong
            else if (c == 0xED)
                hi = 0x9F;  // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F;  // above U+10FFFF
        } else {
            return bad(p);
        }
        if (end - p <= more)
            return bad(p);
        if (p[1] < lo || p[1] > hi)
            return bad(p);
        for (int i = 2; i <= more; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return bad(p);
        p += more + 1;
    }
    return true;
}

XmlPullReader::XmlPullReader(int maxDepth) : m_maxDepth(maxDepth)
{
    m_attrs.reserve(16);
    m_stack.reserve(size_t(maxDepth > 0 ? maxDepth : 1));
}

bool XmlPullReader::Fail(const char* what)
{
    if (!m_failed) {
        m_failed = true;
        m_error = std::string(what) + "(位于第 " + std::to_string(m_p - m_begin) + " 字节)";
    }
    return false;
}

bool XmlPullReader::Open(char* data, size_t size)
{
    m_begin = m_p = data;
    m_end = data + size;
    m_failed = false;
    m_emptyPending = false;
    m_error.clear();
    m_name = {};
    m_attrs.clear();
    m_stack.clear();
    m_saved.clear();
    m_elementStart = 0;
    if (StartsWith(m_p, m_end, "\xEF\xBB\xBF"))
        m_p += 3;
    if (StartsWith(m_p, m_end, "<?xml") && m_end - m_p > 5 && IsSpace(m_p[5]) && !SkipPI())
        return false;
    if (!SkipMisc(false))
        return false;
    return ReadStartTag();
}

void XmlPullReader::SaveOriginal(const char* from, const char* to)
{
    if (m_keepOriginal && from < to)
        m_saved.emplace_back(size_t(from - m_begin), std::string(from, size_t(to - from)));
}

std::string XmlPullReader::OriginalText(size_t begin, size_t end) const
{
    const size_t size = size_t(m_end - m_begin);
    end = std::min(end, size);
    begin = std::min(begin, end);
    std::string text(m_begin + begin, end - begin);
    // Newest first, so every byte ends as it was before its first overwrite.
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        const size_t from = std::max(begin, it->first);
        const size_t to = std::min(end, it->first + it->second.size());
        if (from < to)
            std::memcpy(text.data() + (from - begin), it->second.data() + (from - it->first), to - from);
    }
    return text;
}

bool XmlPullReader::SkipMisc(bool allowEnd)
{
    for (;;) {
        while (m_p < m_end && IsSpace(*m_p))
            ++m_p;
        if (m_p >= m_end)
            return allowEnd ? true : Fail("没有根元素");
        if (*m_p != '<')
            return Fail("根元素之外有文本");
        if (StartsWith(m_p, m_end, "<!--")) {
            if (!SkipComment())
                return false;
        } else if (StartsWith(m_p, m_end, "<?")) {
            if (!SkipPI())
                return false;
        } else if (StartsWith(m_p, m_end, "<!")) {
            return Fail("不支持文档类型声明");
        } else {
            return true;
        }
    }
}

bool XmlPullReader::SkipComment()
{
    char* close = Find(m_p + 4, m_end, "-->");
    if (!close)
        return Fail("注释没有结束");
    m_p = close + 3;
    return true;
}

bool XmlPullReader::SkipPI()
{
    char* close = Find(m_p + 2, m_end, "?>");
    if (!close)
        return Fail("处理指令没有结束");
    m_p = close + 2;
    return true;
}

bool XmlPullReader::SkipCData()
{
    char* close = Find(m_p + 9, m_end, "]]>");
    if (!close)
        return Fail("CDATA 段没有结束");
    m_p = close + 3;
    return true;
}

bool XmlPullReader::DecodeReference(char*& in, char*& out)
{
    char* p = in + 1;
    if (p < m_end && *p == '#') {
        ++p;
        const bool hex = p < m_end && *p == 'x';
        if (hex)
            ++p;
        uint32_t cp = 0;
        int digits = 0;
        for (; p < m_end && *p != ';'; ++p, ++digits) {
            const char c = *p;
            uint32_t d;
            if (c >= '0' && c <= '9')
                d = uint32_t(c - '0');
            else if (hex && c >= 'a' && c <= 'f')
                d = uint32_t(c - 'a' + 10);
            else if (hex && c >= 'A' && c <= 'F')
                d = uint32_t(c - 'A' + 10);
            else
                return Fail("无效的字符引用");
            cp = cp * (hex ? 16 : 10) + d;
            if (cp > 0x10FFFF)
                cp = 0x110000;  // saturate, refused below
        }
        if (p >= m_end || digits == 0 || cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return Fail("无效的字符引用");
        in = p + 1;
        // A reference is never shorter than its UTF-8 encoding, so `out` stays behind `in`.
        out = EncodeUtf8(out, cp);
        return true;
    }
    struct Named {
        std::string_view text;
        char value;
    };
    static constexpr Named kNamed[] = {{"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}};
    for (const Named& n : kNamed) {
        if (StartsWith(p, m_end, n.text)) {
            in = p + n.text.size();
            *out++ = n.value;
            return true;
        }
    }
    return Fail("未知的实体引用");
}

bool XmlPullReader::ReadStartTag()
{
    m_elementStart = size_t(m_p - m_begin);
    char* p = m_p + 1;
    if (p >= m_end || !IsNameStart(*p))
        return Fail("无效的元素名");
    char* const nameStart = p;
    while (p < m_end && IsNameChar(*p))
        ++p;
    m_name = std::string_view(nameStart, size_t(p - nameStart));
    m_attrs.clear();
    for (;;) {
        bool hadSpace = false;
        while (p < m_end && IsSpace(*p)) {
            ++p;
            hadSpace = true;
        }
        if (p >= m_end) {
            m_p = p;
            return Fail("开始标记中文件意外结束");
        }
        if (*p == '>') {
            ++p;
            m_emptyPending = false;
            break;
        }
        if (*p == '/') {
            if (p + 1 < m_end && p[1] == '>') {
                p += 2;
                m_emptyPending = true;
                break;
            }
            m_p = p;
            return Fail("无效的开始标记");
        }
        if (!hadSpace || !IsNameStart(*p)) {
            m_p = p;
            return Fail("无效的属性");
        }
        char* const attrStart = p;
        while (p < m_end && IsNameChar(*p))
            ++p;
        const std::string_view attrName(attrStart, size_t(p - attrStart));
        while (p < m_end && IsSpace(*p))
            ++p;
        if (p >= m_end || *p != '=') {
            m_p = p;
            return Fail("属性没有值");
        }
        ++p;
        while (p < m_end && IsSpace(*p))
            ++p;
        if (p >= m_end || (*p != '"' && *p != '\'')) {
            m_p = p;
            return Fail("属性值没有引号");
        }
        const char quote = *p++;
        char* const valueStart = p;
        char* out = p;
        bool saved = false;
        for (;;) {
            if (p >= m_end) {
                m_p = p;
                return Fail("属性值中文件意外结束");
            }
            const char c = *p;
            if (c == quote)
                break;
            if (c == '<') {
                m_p = p;
                return Fail("属性值中有 '<'");
            }
            // The first byte that changes: the rest of the value may move.
            if (m_keepOriginal && !saved && (c == '&' || c == '\r' || c == '\t' || c == '\n')) {
                const void* close = std::memchr(p, quote, size_t(m_end - p));
                SaveOriginal(out, close ? static_cast<const char*>(close) : m_end);
                saved = true;
            }
            if (c == '&') {
                m_p = p;
                if (!DecodeReference(p, out))
                    return false;
                continue;
            }
            // Line ends and tabs become spaces, a CR LF pair a single one.
            if (c == '\r') {
                *out++ = ' ';
                ++p;
                if (p < m_end && *p == '\n')
                    ++p;
                continue;
            }
            *out++ = (c == '\t' || c == '\n') ? ' ' : c;
            ++p;
        }
        ++p;
        for (const auto& a : m_attrs) {
            if (a.first == attrName) {
                m_p = attrStart;
                return Fail("属性重复");
            }
        }
        m_attrs.emplace_back(attrName, std::string_view(valueStart, size_t(out - valueStart)));
    }
    if (int(m_stack.size()) >= m_maxDepth)
        return Fail("元素嵌套层数过多");
    m_stack.push_back(m_name);
    m_p = p;
    return true;
}

bool XmlPullReader::ReadEndTag()
{
    char* p = m_p + 2;
    char* const nameStart = p;
    while (p < m_end && IsNameChar(*p))
        ++p;
    const std::string_view name(nameStart, size_t(p - nameStart));
    while (p < m_end && IsSpace(*p))
        ++p;
    if (p >= m_end || *p != '>')
        return Fail("无效的结束标记");
    if (m_stack.empty() || m_stack.back() != name)
        return Fail("结束标记与开始标记不匹配");
    m_stack.pop_back();
    m_p = p + 1;
    return true;
}

std::string_view XmlPullReader::Attribute(std::string_view name) const
{
    for (const auto& a : m_attrs)
        if (a.first == name)
            return a.second;
    return {};
}

bool XmlPullReader::HasAttribute(std::string_view name) const
{
    for (const auto& a : m_attrs)
        if (a.first == name)
            return true;
    return false;
}

bool XmlPullReader::NextChild()
{
    if (m_failed || m_stack.empty())
        return false;
    if (m_emptyPending) {
        m_emptyPending = false;
        m_stack.pop_back();
        return false;
    }
    for (;;) {
        // Character data between child elements is of no interest here.
        auto* lt = static_cast<char*>(std::memchr(m_p, '<', size_t(m_end - m_p)));
        if (!lt || lt + 1 >= m_end) {
            m_p = m_end;
            return Fail("文件意外结束");
        }
        // Unread text must still be well-formed: its references are checked.
        for (auto* amp = static_cast<char*>(std::memchr(m_p, '&', size_t(lt - m_p))); amp;
             amp = static_cast<char*>(std::memchr(m_p, '&', size_t(lt - m_p)))) {
            char* out = amp;
            m_p = amp;
            // A decoded reference takes at most 4 bytes and lies before `lt`.
            SaveOriginal(amp, std::min(amp + 4, lt));
            if (!DecodeReference(m_p, out))
                return false;
        }
        m_p = lt;
        const char c = lt[1];
        if (c == '/') {
            ReadEndTag();
            return false;
        }
        if (c == '!') {
            if (StartsWith(lt, m_end, "<!--")) {
                if (!SkipComment())
                    return false;
            } else if (StartsWith(lt, m_end, "<![CDATA[")) {
                if (!SkipCData())
                    return false;
            } else {
                return Fail("意外的标记声明");
            }
            continue;
        }
        if (c == '?') {
            if (!SkipPI())
                return false;
            continue;
        }
        return ReadStartTag();
    }
}

void XmlPullReader::Skip()
{
    if (m_failed || m_stack.empty())
        return;
    const size_t outer = m_stack.size() - 1;
    while (!m_failed && m_stack.size() > outer)
        NextChild();
}

std::string_view XmlPullReader::ReadText()
{
    if (m_failed || m_stack.empty())
        return {};
    if (m_emptyPending) {
        m_emptyPending = false;
        m_stack.pop_back();
        return {};
    }
    const size_t outer = m_stack.size() - 1;
    m_segments.clear();
    // Each run of character data is decoded in place; the runs are joined at
    // the end, when the names of nested elements are no longer needed.
    for (;;) {
        char* const runStart = m_p;
        char* p = m_p;
        char* out = m_p;
        bool saved = false;
        while (p < m_end) {
            const char c = *p;
            if (c == '<')
                break;
            if (m_keepOriginal && !saved && (c == '&' || c == '\r')) {
                const void* lt = std::memchr(p, '<', size_t(m_end - p));
                SaveOriginal(out, lt ? static_cast<const char*>(lt) : m_end);
                saved = true;
            }
            if (c == '&') {
                m_p = p;
                if (!DecodeReference(p, out))
                    return {};
                continue;
            }
            if (c == '\r') {
                *out++ = '\n';
                ++p;
                if (p < m_end && *p == '\n')
                    ++p;
                continue;
            }
            *out++ = c;
            ++p;
        }
        if (out > runStart)
            m_segments.emplace_back(runStart, size_t(out - runStart));
        m_p = p;
        if (p + 1 >= m_end) {
            Fail("文件意外结束");
            return {};
        }
        const char c = p[1];
        if (c == '/') {
            if (!ReadEndTag())
                return {};
            if (m_stack.size() == outer)
                break;
            continue;
        }
        if (c == '!') {
            if (StartsWith(p, m_end, "<!--")) {
                if (!SkipComment())
                    return {};
            } else if (StartsWith(p, m_end, "<![CDATA[")) {
                char* const content = p + 9;
                if (!SkipCData())
                    return {};
                char* const close = m_p - 3;
                if (m_keepOriginal && std::memchr(content, '\r', size_t(close - content)))
                    SaveOriginal(content, close);
                char* o = content;
                for (char* q = content; q < close; ++q) {
                    if (*q == '\r') {
                        *o++ = '\n';
                        if (q + 1 < close && q[1] == '\n')
                            ++q;
                    } else {
                        *o++ = *q;
                    }
                }
                if (o > content)
                    m_segments.emplace_back(content, size_t(o - content));
            } else {
                Fail("意外的标记声明");
                return {};
            }
            continue;
        }
        if (c == '?') {
            if (!SkipPI())
                return {};
            continue;
        }
        if (!ReadStartTag())
            return {};
        if (m_emptyPending) {
            m_emptyPending = false;
            m_stack.pop_back();
        }
    }
    if (m_segments.empty())
        return {};
    char* const dst = m_segments[0].first;
    size_t length = m_segments[0].second;
    if (m_keepOriginal && m_segments.size() > 1) {
        size_t total = 0;
        for (const auto& segment : m_segments)
            total += segment.second;
        SaveOriginal(dst + length, dst + total);
    }
    for (size_t i = 1; i < m_segments.size(); ++i) {
        std::memmove(dst + length, m_segments[i].first, m_segments[i].second);
        length += m_segments[i].second;
    }
    return {dst, length};
}

bool XmlPullReader::Finish()
{
    if (m_failed)
        return false;
    if (!m_stack.empty())
        return Fail("根元素没有结束");
    if (!SkipMisc(true))
        return false;
    if (m_p < m_end)
        return Fail("有多个根元素");
    return true;
}
