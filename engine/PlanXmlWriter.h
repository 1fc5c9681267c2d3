#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// Writes XML text straight into a sink, element by element, in the form
// pugixml's raw output has (no indentation, "<x/>" for an element without
// content). Used for plan files, whose DOM would take several times the
// file's size and several times as long to build.
//
// Text and attribute values are escaped so that any string reads back
// unchanged: & < > " in attributes, & < > in text, control characters as
// character references (line ends too, which readers would normalise), and
// invalid UTF-8 sequences replaced by U+FFFD.
class PlanXmlWriter {
public:
    // Receives the output in chunks; returns false when writing failed.
    using Sink = std::function<bool(const char* data, size_t size)>;

    explicit PlanXmlWriter(Sink sink, size_t chunkSize = size_t(1) << 20);
    ~PlanXmlWriter();
    PlanXmlWriter(const PlanXmlWriter&) = delete;
    PlanXmlWriter& operator=(const PlanXmlWriter&) = delete;

    // Text written as is (declaration, line ends of the template).
    void Raw(std::string_view text);

    void StartElement(std::string_view name);
    void Attribute(std::string_view name, std::string_view value);
    void AttributeInt(std::string_view name, long long value);      // "%ld"
    void AttributeFixed(std::string_view name, double value);       // "%f"
    void AttributeShortest(std::string_view name, double value);    // shortest text that reads back exactly
    // <name>text</name>, or <name/> when the text is empty.
    void TextElement(std::string_view name, std::string_view text);
    void TextElementInt(std::string_view name, long long value);    // "%d", "%ld"
    void TextElementFixed(std::string_view name, double value);     // "%f", "%.6f"
    // Closes the element opened last: "/>" when nothing was written into it.
    void EndElement(std::string_view name);

    // Hands the buffered rest to the sink. False when any write failed.
    bool Flush();
    bool Ok() const { return m_ok; }

private:
    void CloseStartTag()
    {
        if (m_startOpen) {
            Put('>');
            m_startOpen = false;
        }
    }
    void Put(char c)
    {
        if (m_size == m_capacity)
            Drain();
        m_buffer[m_size++] = c;
    }
    void Put(std::string_view s);
    // Room for `n` bytes at the end of the buffer (n must not exceed the chunk size).
    char* Room(size_t n)
    {
        if (m_capacity - m_size < n)
            Drain();
        return m_buffer.get() + m_size;
    }
    void Drain();
    void PutEscaped(std::string_view s, bool attribute);
    void PutFixed(double value);

    Sink m_sink;
    std::unique_ptr<char[]> m_buffer;
    size_t m_capacity;
    size_t m_size = 0;
    bool m_ok = true;
    bool m_startOpen = false;  // "<name attr..." written, ">" not yet
};

// printf "%f" (six decimals, C locale) of `value`, written at `out`, which
// must have room for 400 bytes. Returns the end of the text. Exact, and far
// faster than printf for the coordinates of plan files.
char* FormatFixed6(char* out, double value);
