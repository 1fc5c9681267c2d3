#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A forward-only reader of one XML document held in a writable buffer. It
// decodes in place (references, line ends), so names, attribute values and
// texts are views into the buffer that stay valid while the buffer lives;
// reading allocates nothing per element. Plan files are read with it because
// a full DOM of a large plan takes several times the file's size.
//
// Checked: tag syntax, matching end tags, attribute syntax and uniqueness,
// references, nesting depth, one root element with only comments, processing
// instructions and white space around it. Document type declarations are
// refused. The bytes must already be valid UTF-8 (see IsValidXmlText).
//
// Usage: Open positions on the root's start tag. For the current element,
// Name and Attribute give its start tag; then exactly one of: a NextChild loop
// until it returns false, Skip, or ReadText. Every call after a failure
// returns false or an empty result; check Failed at the end.
class XmlPullReader {
public:
    static constexpr int kDefaultMaxDepth = 256;
    explicit XmlPullReader(int maxDepth = kDefaultMaxDepth);

    // Reads the prolog and the root element's start tag.
    bool Open(char* data, size_t size);

    // Tag name and attributes of the element whose start tag was read last.
    std::string_view Name() const { return m_name; }
    // Value of the attribute with exactly this name; empty when missing.
    std::string_view Attribute(std::string_view name) const;
    bool HasAttribute(std::string_view name) const;

    // Reads the next child element's start tag and makes it current (true), or
    // reads the current element's end tag (false; its parent becomes current).
    bool NextChild();
    // Skips what is left of the current element, its end tag included.
    void Skip();
    // The character data left in the current element and its descendants,
    // concatenated; consumes the end tag.
    std::string_view ReadText();

    // After the root's end tag: true when only comments, processing
    // instructions and white space follow.
    bool Finish();

    // Byte offsets into the buffer given to Open. ElementOffset: the '<' of the
    // start tag read last (the current element's after Open or NextChild). Offset: the read position, which is just
    // past an element's end tag (or "/>") once the element has been read or skipped.
    size_t ElementOffset() const { return m_elementStart; }
    size_t Offset() const { return size_t(m_p - m_begin); }

    // Decoding in place overwrites bytes. With KeepOriginalText (before Open),
    // the reader first saves what it overwrites, so OriginalText gives any
    // range of the buffer as it was before reading; that costs a copy of the
    // decoded parts only (attribute values and texts with references or line
    // ends), nothing elsewhere. Without it, OriginalText gives the buffer as it is now.
    void KeepOriginalText(bool keep) { m_keepOriginal = keep; }
    std::string OriginalText(size_t begin, size_t end) const;

    bool Failed() const { return m_failed; }
    const std::string& Error() const { return m_error; }
    int Depth() const { return int(m_stack.size()); }

private:
    bool Fail(const char* what);
    bool ReadStartTag();
    bool ReadEndTag();
    bool SkipComment();
    bool SkipPI();
    bool SkipCData();
    bool DecodeReference(char*& in, char*& out);
    bool SkipMisc(bool allowEnd);
    // Saves [from, to) before it is overwritten (with KeepOriginalText).
    void SaveOriginal(const char* from, const char* to);

    char* m_begin = nullptr;
    char* m_p = nullptr;
    char* m_end = nullptr;
    int m_maxDepth;
    bool m_failed = false;
    bool m_emptyPending = false;  // the last start tag was "<x/>"
    std::string m_error;
    std::string_view m_name;
    std::vector<std::pair<std::string_view, std::string_view>> m_attrs;
    std::vector<std::string_view> m_stack;  // open elements, root first
    std::vector<std::pair<char*, size_t>> m_segments;  // text runs of ReadText
    size_t m_elementStart = 0;
    bool m_keepOriginal = false;
    // Bytes as they were before an overwrite, oldest first: (offset, bytes).
    std::vector<std::pair<size_t, std::string>> m_saved;
};

// Valid UTF-8 without the control characters XML forbids (all below 0x20
// except tab, line feed and carriage return). On failure `badOffset` (when
// given) receives the offset of the first offending byte.
bool IsValidXmlText(const char* data, size_t size, size_t* badOffset = nullptr);

// ASCII letters compared without regard to case, everything else exactly.
bool EqualsNoCase(std::string_view a, std::string_view b);
