#include "engine/PlanXmlWriter.h"
#include "engine/XmlPullReader.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

namespace {

std::string Fixed6(double v)
{
    char buf[512];
    return std::string(buf, FormatFixed6(buf, v));
}

std::string Printf(double v)
{
    char buf[512];
    std::snprintf(buf, sizeof buf, "%f", v);
    return buf;
}

// Everything the writer produced, in one string.
struct Captured {
    std::string text;
    PlanXmlWriter writer;
    explicit Captured(size_t chunk = 1 << 20)
        : writer([this](const char* d, size_t n) {
              text.append(d, n);
              return true;
          },
          chunk)
    {
    }
};

}  // namespace

TEST(FormatFixed6, MatchesPrintfEverywhere)
{
    const double special[] = {0.0, -0.0, 1.0, -1.0, 0.5, 0.0000005, 0.0000015, 0.0000025, -0.0000005,
                              0.0078125,   // 7812.5 millionths exactly: ties go to even
                              0.0234375, 1.0000005, 123.4567885, 8589934591.999999, 8589934592.0,
                              1e15, -1e300, 1e308, std::numeric_limits<double>::denorm_min(),
                              std::numeric_limits<double>::min(), std::numeric_limits<double>::max(),
                              -std::numeric_limits<double>::max(), 9.9999995, 0.9999995, 1e-7, 4.9999999e-7};
    for (double v : special)
        EXPECT_EQ(Fixed6(v), Printf(v)) << std::hexfloat << v;

    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_int_distribution<int> exponent(-30, 40);
    for (int i = 0; i < 200000; ++i) {
        const double v = std::ldexp(unit(random), exponent(random));
        ASSERT_EQ(Fixed6(v), Printf(v)) << std::hexfloat << v;
    }
    // Exact halves of a millionth at many magnitudes.
    for (int i = 0; i < 20000; ++i) {
        const double v = (2.0 * double(random() % 100000000) + 1) / 2e6 * std::ldexp(1.0, -int(random() % 8));
        ASSERT_EQ(Fixed6(v), Printf(v)) << std::hexfloat << v;
    }
    // Any bit pattern at all.
    for (int i = 0; i < 100000; ++i) {
        const double v = std::bit_cast<double>(random());
        if (!std::isnan(v)) {
            ASSERT_EQ(Fixed6(v), Printf(v)) << std::hexfloat << v;
        }
    }
    EXPECT_EQ(Fixed6(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(Fixed6(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(Fixed6(std::numeric_limits<double>::quiet_NaN()), "nan");
}

TEST(PlanXmlWriter, WritesRawFormElements)
{
    Captured c;
    PlanXmlWriter& w = c.writer;
    w.Raw("<?xml?>\r\n");
    w.StartElement("a");
    w.AttributeInt("n", -42);
    w.AttributeShortest("d", 0.1);
    w.AttributeShortest("e", 100.0);
    w.AttributeFixed("f", 2.5);
    w.Raw("\r\n");
    w.StartElement("empty");
    w.EndElement("empty");
    w.TextElement("t", "x");
    w.TextElement("none", "");
    w.TextElementInt("i", 7);
    w.TextElementFixed("g", -1.25);
    w.StartElement("parent");
    w.StartElement("child");
    w.EndElement("child");
    w.EndElement("parent");
    w.EndElement("a");
    ASSERT_TRUE(w.Flush());
    EXPECT_EQ(c.text, "<?xml?>\r\n<a n=\"-42\" d=\"0.1\" e=\"100\" f=\"2.500000\">\r\n<empty/><t>x</t><none/>"
                      "<i>7</i><g>-1.250000</g><parent><child/></parent></a>");
}

TEST(PlanXmlWriter, AnyStringReadsBackUnchanged)
{
    std::string all;
    for (int c = 1; c < 128; ++c)
        all += char(c);
    const std::string samples[] = {all, "a\r\nb\rc\nd\te", "中文 \"引号\" & <标签>", "]]>", "  lead and trail  ", ""};
    for (const std::string& s : samples) {
        Captured c;
        c.writer.StartElement("r");
        c.writer.Attribute("v", s);
        c.writer.TextElement("t", s);
        c.writer.EndElement("r");
        ASSERT_TRUE(c.writer.Flush());

        std::string buffer = c.text;
        ASSERT_TRUE(IsValidXmlText(buffer.data(), buffer.size())) << "raw control characters never get out";
        XmlPullReader r;
        ASSERT_TRUE(r.Open(buffer.data(), buffer.size())) << r.Error();
        EXPECT_EQ(r.Attribute("v"), s);
        ASSERT_TRUE(r.NextChild());
        EXPECT_EQ(r.ReadText(), s);

        // Standard XML: pugixml reads it the same way.
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(c.text.c_str(), pugi::parse_default | pugi::parse_eol | pugi::parse_wconv_attribute));
        EXPECT_EQ(std::string(doc.child("r").attribute("v").value()), s);
    }
}

TEST(PlanXmlWriter, InvalidUtf8BecomesReplacementCharacters)
{
    Captured c;
    c.writer.StartElement("r");
    c.writer.Attribute("v", std::string("a\xC0\xAF" "b\xE4\xB8" "c\xFF", 8));
    c.writer.EndElement("r");
    c.writer.TextElement("t", std::string("x\0y", 3));
    ASSERT_TRUE(c.writer.Flush());
    EXPECT_EQ(c.text, "<r v=\"a\xEF\xBF\xBD\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD" "c\xEF\xBF\xBD\"/>"
                      "<t>x\xEF\xBF\xBDy</t>");
    EXPECT_TRUE(IsValidXmlText(c.text.data(), c.text.size()));
}

TEST(PlanXmlWriter, ChunkSizeDoesNotChangeTheOutput)
{
    auto write = [](PlanXmlWriter& w) {
        for (int i = 0; i < 3000; ++i) {
            w.StartElement("e");
            w.AttributeFixed("x", i * 1.5);
            w.Attribute("s", std::string(size_t(i % 50), 'q') + "&");
            w.TextElement("long", std::string(size_t(i), 'z'));
            w.EndElement("e");
        }
    };
    Captured small(4096), big(1 << 22);
    write(small.writer);
    write(big.writer);
    ASSERT_TRUE(small.writer.Flush());
    ASSERT_TRUE(big.writer.Flush());
    EXPECT_EQ(small.text, big.text);
}

TEST(PlanXmlWriter, AFailingSinkIsReported)
{
    int calls = 0;
    PlanXmlWriter w(
        [&calls](const char*, size_t) {
            ++calls;
            return false;
        },
        4096);
    for (int i = 0; i < 2000; ++i)
        w.TextElement("e", "0123456789");
    EXPECT_FALSE(w.Ok());
    EXPECT_FALSE(w.Flush());
    EXPECT_EQ(calls, 1) << "nothing more is written after a failure";
}
