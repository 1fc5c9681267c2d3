#include "engine/XmlPullReader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// The reader decodes in place, so every document gets its own buffer.
struct Doc {
    explicit Doc(std::string t, int maxDepth = XmlPullReader::kDefaultMaxDepth) : text(std::move(t)), reader(maxDepth)
    {
        opened = reader.Open(text.data(), text.size());
    }
    // Reads the whole document (every element skipped), as a plan reader
    // would; true when it is well-formed.
    bool ReadAll()
    {
        if (!opened)
            return false;
        reader.Skip();
        return reader.Finish();
    }
    std::string text;
    XmlPullReader reader;
    bool opened = false;
};

}  // namespace

TEST(XmlPullReader, WalksElementsAttributesAndText)
{
    Doc d("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<!-- c --><root a='1' b=\"x y\">"
          "<one>11</one>\r\n  <two k = 'v'/><three><skip><deep/>t</skip><four>4</four></three></root>\r\n");
    ASSERT_TRUE(d.opened) << d.reader.Error();
    XmlPullReader& r = d.reader;
    EXPECT_EQ(r.Name(), "root");
    EXPECT_EQ(r.Attribute("a"), "1");
    EXPECT_EQ(r.Attribute("b"), "x y");
    EXPECT_EQ(r.Attribute("A"), "") << "attribute names are case-sensitive";
    EXPECT_FALSE(r.HasAttribute("c"));

    ASSERT_TRUE(r.NextChild());
    EXPECT_EQ(r.Name(), "one");
    EXPECT_EQ(r.ReadText(), "11");
    ASSERT_TRUE(r.NextChild());
    EXPECT_EQ(r.Name(), "two");
    EXPECT_EQ(r.Attribute("k"), "v");
    EXPECT_FALSE(r.NextChild()) << "an empty element has no children";
    ASSERT_TRUE(r.NextChild());
    EXPECT_EQ(r.Name(), "three");
    ASSERT_TRUE(r.NextChild());
    EXPECT_EQ(r.Name(), "skip");
    r.Skip();
    ASSERT_TRUE(r.NextChild());
    EXPECT_EQ(r.Name(), "four");
    EXPECT_EQ(r.ReadText(), "4");
    EXPECT_FALSE(r.NextChild());  // end of three
    EXPECT_FALSE(r.NextChild());  // end of root
    EXPECT_TRUE(r.Finish()) << r.Error();
    EXPECT_FALSE(r.Failed());
}

TEST(XmlPullReader, DecodesReferencesLineEndsAndCData)
{
    Doc d("<r v='a&lt;&amp;&gt;&quot;&apos;&#65;&#x4e2d;&#x1F600;' w='1\t2\r\n3\r4\n5' c='&#13;&#10;&#9;'>"
          "x&amp;y&#x4E2D;\r\n\r<![CDATA[<b>&amp;\r\n]]>z</r>");
    ASSERT_TRUE(d.opened) << d.reader.Error();
    XmlPullReader& r = d.reader;
    EXPECT_EQ(r.Attribute("v"), "a<&>\"'A中\xF0\x9F\x98\x80");
    EXPECT_EQ(r.Attribute("w"), "1 2 3 4 5") << "attribute line ends and tabs become single spaces";
    EXPECT_EQ(r.Attribute("c"), "\r\n\t") << "characters given by reference stay as they are";
    EXPECT_EQ(r.ReadText(), "x&y中\n\n<b>&amp;\nz");
    EXPECT_TRUE(r.Finish());
}

TEST(XmlPullReader, TextOfMixedContentJoinsDescendants)
{
    Doc d("<r p='keep'><t>a<!--c-->b<i x='&lt;q'>c<j/>d</i><?pi?>e</t><u>after</u></r>");
    ASSERT_TRUE(d.opened);
    XmlPullReader& r = d.reader;
    const std::string_view parentAttr = r.Attribute("p");
    ASSERT_TRUE(r.NextChild());
    EXPECT_EQ(r.ReadText(), "abcde");
    ASSERT_TRUE(r.NextChild());
    EXPECT_EQ(r.ReadText(), "after");
    EXPECT_FALSE(r.NextChild());
    EXPECT_TRUE(r.Finish());
    EXPECT_EQ(parentAttr, "keep") << "earlier views stay valid";

    Doc wrong("<r><t>a<i>b</j>c</t></r>");
    ASSERT_TRUE(wrong.reader.NextChild());
    EXPECT_EQ(wrong.reader.ReadText(), "");
    EXPECT_TRUE(wrong.reader.Failed()) << "nested end tags are checked while reading text";
}

TEST(XmlPullReader, EveryTruncationFails)
{
    const std::string full =
        "<?xml version=\"1.0\"?><plan a=\"1\"><Layer name=\"x\"><map source=\"s\"/><unitlist><unit class=\"01.1\">"
        "<UnitNo>1</UnitNo><!-- note --><UnitName>a&amp;b</UnitName><x><![CDATA[c]]></x></unit></unitlist>"
        "</Layer></plan>";
    ASSERT_TRUE(Doc(full).ReadAll());
    const size_t rootEnd = full.size();
    for (size_t n = 0; n < rootEnd; ++n) {
        Doc d(full.substr(0, n));
        EXPECT_FALSE(d.ReadAll()) << "cut at " << n;
    }
}

TEST(XmlPullReader, MalformedDocumentsFail)
{
    const char* bad[] = {
        "",
        "   ",
        "text<r/>",
        "<r/>text",
        "<r/><r/>",
        "<r></R>",
        "<r><a></b></r>",
        "<r a='1' a='2'/>",
        "<r a=1/>",
        "<r a/>",
        "<r a='x<y'/>",
        "<r a='1'b='2'/>",
        "<r>&unknown;</r>",
        "<r>&amp</r>",
        "<r>a & b</r>",
        "<r>&#0;</r>",
        "<r>&#xD800;</r>",
        "<r>&#x110000;</r>",
        "<r>&#12a;</r>",
        "<r>&#;</r>",
        "<r a='&#99999999999999999999;'/>",
        "<!DOCTYPE r><r/>",
        "<r><!DOCTYPE x></r>",
        "<1r/>",
        "<r><-a/></r>",
        "<r/ >",
        "</r>",
        "<r><!-- open </r>",
        "<r><![CDATA[ open </r>",
        "<r><?pi open </r>",
    };
    for (const char* text : bad) {
        Doc d(text);
        EXPECT_FALSE(d.ReadAll()) << "'" << text << "'";
        EXPECT_TRUE(d.reader.Failed()) << "'" << text << "'";
        EXPECT_FALSE(d.reader.Error().empty()) << "'" << text << "'";
    }
    // Only the document's own end tag ends it; nothing is read beyond a failure.
    Doc d("<r><a>1</a><b>2</r>");
    ASSERT_TRUE(d.reader.NextChild());
    EXPECT_EQ(d.reader.ReadText(), "1");
    ASSERT_TRUE(d.reader.NextChild());
    EXPECT_EQ(d.reader.ReadText(), "");
    EXPECT_TRUE(d.reader.Failed());
    EXPECT_FALSE(d.reader.NextChild());
    EXPECT_NE(d.reader.Error().find("字节"), std::string::npos);
}

TEST(XmlPullReader, NestingBeyondTheLimitFails)
{
    std::string deep;
    for (int i = 0; i < 10; ++i)
        deep += "<a>";
    for (int i = 0; i < 10; ++i)
        deep += "</a>";
    EXPECT_TRUE(Doc(deep, 10).ReadAll());
    Doc tooDeep(deep, 9);
    EXPECT_FALSE(tooDeep.ReadAll());
    EXPECT_NE(tooDeep.reader.Error().find("嵌套层数过多"), std::string::npos);

    // Empty elements count while they are current, and only then.
    EXPECT_TRUE(Doc("<a><b/><b/><b/></a>", 2).ReadAll());
}

TEST(XmlPullReader, ValidXmlTextIsUtf8WithoutForbiddenControls)
{
    auto valid = [](const std::string& s, size_t* at = nullptr) { return IsValidXmlText(s.data(), s.size(), at); };
    EXPECT_TRUE(valid(""));
    EXPECT_TRUE(valid("plain ascii text that is longer than eight bytes\r\n\t"));
    EXPECT_TRUE(valid("中文 \xF0\x9F\x98\x80 \xC2\xA9 \xEF\xBF\xBD \xF4\x8F\xBF\xBF"));
    size_t at = 0;
    EXPECT_FALSE(valid("abcdefghij\x01", &at));
    EXPECT_EQ(at, 10u);
    EXPECT_FALSE(valid(std::string("abc\0def", 7), &at));
    EXPECT_EQ(at, 3u);
    EXPECT_FALSE(valid("\xC0\xAF"));          // overlong
    EXPECT_FALSE(valid("\xE0\x80\xAF"));      // overlong
    EXPECT_FALSE(valid("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(valid("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(valid("\xF5\x80\x80\x80"));
    EXPECT_FALSE(valid("ok\xE4\xB8"));        // cut sequence
    EXPECT_FALSE(valid("\xE4\x41\xAD"));      // bad continuation
    EXPECT_FALSE(valid("\x80"));
    EXPECT_FALSE(valid("\xd6\xd0\xce\xc4", &at));  // GBK
    EXPECT_EQ(at, 0u);
}

TEST(XmlPullReader, NameComparisonIgnoresAsciiCaseOnly)
{
    EXPECT_TRUE(EqualsNoCase("ActionList", "actionlist"));
    EXPECT_TRUE(EqualsNoCase("LAYER", "layer"));
    EXPECT_FALSE(EqualsNoCase("layer", "layers"));
    EXPECT_FALSE(EqualsNoCase("laye", "layer"));
    EXPECT_FALSE(EqualsNoCase("[", "{")) << "only letters fold";
    EXPECT_TRUE(EqualsNoCase("单位A", "单位a"));
}

namespace {

// A document read with KeepOriginalText; `original` is an untouched copy.
struct KeptDoc {
    explicit KeptDoc(std::string t) : original(t), text(std::move(t))
    {
        reader.KeepOriginalText(true);
        opened = reader.Open(text.data(), text.size());
    }
    std::string original;
    std::string text;
    XmlPullReader reader;
    bool opened = false;
};

}  // namespace

TEST(XmlPullReader, OffsetsFrameEachElementFromStartTagToEndTag)
{
    const std::string text = "<?xml version='1.0'?>\r\n<root>\r\n <a k='v'><x/>t</a>\r\n<!--c--><b/><c>text</c></root>";
    Doc d(text);
    ASSERT_TRUE(d.opened);
    XmlPullReader& r = d.reader;
    EXPECT_EQ(r.ElementOffset(), text.find("<root>"));
    std::vector<std::string> elements;
    while (r.NextChild()) {
        const size_t begin = r.ElementOffset();
        if (r.Name() == "c")
            r.ReadText();
        else
            r.Skip();
        elements.push_back(text.substr(begin, r.Offset() - begin));
    }
    EXPECT_TRUE(r.Finish());
    EXPECT_EQ(elements, (std::vector<std::string>{"<a k='v'><x/>t</a>", "<b/>", "<c>text</c>"}));
}

TEST(XmlPullReader, OriginalTextUndoesEveryInPlaceDecoding)
{
    // Every kind of overwrite: references and line ends in attribute values,
    // references in skipped text, decoded text, CDATA with CR LF, and mixed
    // content whose runs are joined over the markup between them.
    const std::string text =
        "<plan a='x&amp;y'>\r\n"
        "<Layer name='&#x5C42;&lt;1&gt;' d='1\t2\r\n3'>skip &amp; &#65; this<unit>u&lt;1</unit></Layer>\r\n"
        "<t>a&amp;b\r\nc<![CDATA[d\r\ne]]>f<!--g-->h<i x='&quot;'>j</i>k</t>"
        "<last v='&#13;&#10;'/></plan>";
    KeptDoc d(text);
    ASSERT_TRUE(d.opened) << d.reader.Error();
    XmlPullReader& r = d.reader;
    EXPECT_EQ(r.Attribute("a"), "x&y");
    std::vector<std::pair<size_t, size_t>> ranges;
    while (r.NextChild()) {
        const size_t begin = r.ElementOffset();
        if (r.Name() == "t") {
            EXPECT_EQ(r.ReadText(), "a&b\nc" "d\ne" "fhjk");
        } else {
            if (r.Name() == "Layer")
                EXPECT_EQ(r.Attribute("d"), "1 2 3");
            r.Skip();
        }
        ranges.emplace_back(begin, r.Offset());
    }
    ASSERT_TRUE(r.Finish()) << r.Error();
    ASSERT_EQ(ranges.size(), 3u);
    ASSERT_NE(d.text, d.original) << "the buffer was decoded in place, so there is something to undo";
    for (const auto& [begin, end] : ranges)
        EXPECT_EQ(r.OriginalText(begin, end), d.original.substr(begin, end - begin));
    EXPECT_EQ(r.OriginalText(0, text.size()), d.original);
    EXPECT_EQ(r.OriginalText(3, 4), d.original.substr(3, 1)) << "a range inside an overwritten part";
    EXPECT_EQ(r.OriginalText(5, 1u << 30), d.original.substr(5)) << "clamped to the buffer";
}

TEST(XmlPullReader, WithoutKeepingOriginalTextNothingIsSaved)
{
    Doc d("<r a='&amp;'><t>&lt;</t></r>");
    ASSERT_TRUE(d.opened);
    ASSERT_TRUE(d.reader.NextChild());
    EXPECT_EQ(d.reader.ReadText(), "<");
    EXPECT_FALSE(d.reader.NextChild());
    ASSERT_TRUE(d.reader.Finish());
    EXPECT_EQ(d.reader.OriginalText(0, d.text.size()), d.text) << "the buffer as it is now";
}
