#include "Symbols.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <set>

using namespace mkdata;

namespace {

// What the program does with an image and its mask: three blits, XOR, AND, XOR.
QImage blit(const QImage& background, const QImage& image, const QImage& mask)
{
    QImage out = background.convertToFormat(QImage::Format_RGB32);
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    const QImage msk = mask.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            const QRgb d = out.pixel(x, y) & 0xFFFFFF, i = img.pixel(x, y) & 0xFFFFFF, m = msk.pixel(x, y) & 0xFFFFFF;
            out.setPixel(x, y, 0xFF000000 | (((d ^ i) & m) ^ i));
        }
    }
    return out;
}

QImage busyBackground(QSize size)
{
    QImage bg(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            bg.setPixel(x, y, qRgb((x * 37 + y * 11) & 255, (x * 5 + y * 53) & 255, (x * y) & 255));
    return bg;
}

// Opaque pixels of a mask (black), as a bounding box and a count.
QRect opaqueBox(const QImage& mask, int* count = nullptr)
{
    QRect box;
    int n = 0;
    for (int y = 0; y < mask.height(); ++y) {
        for (int x = 0; x < mask.width(); ++x) {
            if ((mask.pixel(x, y) & 0xFFFFFF) == 0) {
                box |= QRect(x, y, 1, 1);
                ++n;
            }
        }
    }
    if (count)
        *count = n;
    return box;
}

struct Kind {
    const char* name;
    const char* code;
    Glyph glyph;
    Frame frame;
};

// The catalogue's own classes and names built to trip the word order.
const Kind kKinds[] = {
    {"主战坦克", "02-02", Glyph::Armour, Frame::Ground},
    {"步兵战车", "02-01", Glyph::MechanisedInfantry, Frame::Ground},
    {"装甲输送车", "02-01", Glyph::ArmouredCarrier, Frame::Ground},
    {"步兵分队", "02-02", Glyph::Infantry, Frame::Ground},
    {"牵引火炮", "02-02", Glyph::Artillery, Frame::Ground},
    {"自行火炮", "02-02", Glyph::SelfPropelledGun, Frame::Ground},
    {"侦察车", "02-02", Glyph::Reconnaissance, Frame::Ground},
    {"防空导弹车", "02-02", Glyph::AirDefence, Frame::Ground},
    {"运输直升机", "01", Glyph::RotaryWing, Frame::Air},
    {"登陆舰", "01", Glyph::Ship, Frame::Sea},
    {"运输卡车", "01", Glyph::Truck, Frame::Ground},
    {"榴弹炮", "03", Glyph::Shell, Frame::None},
    {"火箭炮", "03", Glyph::Rocket, Frame::None},
    {"反坦克导弹", "03", Glyph::Missile, Frame::None},
    {"航空炸弹", "03", Glyph::Bomb, Frame::None},
};

} // namespace

TEST(SymbolChoice, KindFollowsTheWordsOfTheNameInTheRightOrder)
{
    for (const Kind& k : kKinds) {
        const Symbol s = symbolFor(QString::fromUtf8(k.name), QString::fromLatin1(k.code));
        EXPECT_EQ(s.glyph, k.glyph) << k.name;
        EXPECT_EQ(s.frame, k.frame) << k.name;
    }
}

TEST(SymbolChoice, ClassCodeDecidesBetweenWeaponAndUnit)
{
    // A weapon named after a tank is still a munition, not a framed unit.
    const Symbol shell = symbolFor(QString::fromUtf8("坦克炮弹"), QStringLiteral("03"));
    EXPECT_TRUE(shell.isWeapon());
    EXPECT_EQ(shell.glyph, Glyph::Shell);
    // A unit whose name only names a munition gets a lettered frame.
    const Symbol unit = symbolFor(QString::fromUtf8("导弹营"), QStringLiteral("02-02"));
    EXPECT_FALSE(unit.isWeapon());
    EXPECT_EQ(unit.glyph, Glyph::Lettered);
}

TEST(SymbolChoice, UnknownKindsAreLetteredWithTheirFirstCharacter)
{
    const Symbol post = symbolFor(QString::fromUtf8("指挥所"), QStringLiteral("02-02"));
    EXPECT_EQ(post.glyph, Glyph::Lettered);
    EXPECT_EQ(post.frame, Frame::Ground);
    EXPECT_EQ(post.letter, QString::fromUtf8("指"));
    const Symbol mine = symbolFor(QString::fromUtf8("地雷"), QStringLiteral("03"));
    EXPECT_EQ(mine.glyph, Glyph::Lettered);
    EXPECT_TRUE(mine.isWeapon());
    EXPECT_EQ(symbolFor(QString(), QStringLiteral("01")).letter, QStringLiteral("?"));

    // Two unknown classes must still be told apart on the map.
    const Symbol other = symbolFor(QString::fromUtf8("通信站"), QStringLiteral("02-02"));
    EXPECT_NE(toMaskedBitmap(drawMapSymbol(post)).image, toMaskedBitmap(drawMapSymbol(other)).image);
}

TEST(MaskedBitmap, SplitsAlphaIntoBlackWhiteMaskAndBlackBackedImage)
{
    QImage src(3, 1, QImage::Format_ARGB32);
    src.setPixel(0, 0, qRgba(255, 0, 0, 255));
    src.setPixel(1, 0, qRgba(0, 255, 0, 0));
    src.setPixel(2, 0, qRgba(0, 0, 255, 30)); // faint anti-aliasing fringe
    const MaskedBitmap mb = toMaskedBitmap(src);
    EXPECT_EQ(mb.mask.pixel(0, 0) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(mb.image.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(mb.mask.pixel(1, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(mb.image.pixel(1, 0) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(mb.mask.pixel(2, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(mb.image.pixel(2, 0) & 0xFFFFFF, 0x000000u);
}

TEST(MapSymbols, BlittingKeepsTheBackgroundAroundAndShowsTheSymbolInside)
{
    for (const Kind& k : kKinds) {
        const MaskedBitmap mb = toMaskedBitmap(drawMapSymbol(symbolFor(QString::fromUtf8(k.name), QString::fromLatin1(k.code))));
        ASSERT_EQ(mb.image.size(), QSize(32, 32));
        ASSERT_EQ(mb.mask.size(), mb.image.size());
        const QImage bg = busyBackground(mb.image.size());
        const QImage out = blit(bg, mb.image, mb.mask);
        int opaque = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const QRgb m = mb.mask.pixel(x, y) & 0xFFFFFF;
                ASSERT_TRUE(m == 0 || m == 0xFFFFFF) << k.name;
                if (m)
                    ASSERT_EQ(out.pixel(x, y), bg.pixel(x, y)) << k.name << " at " << x << "," << y;
                else {
                    ASSERT_EQ(out.pixel(x, y) & 0xFFFFFF, mb.image.pixel(x, y) & 0xFFFFFF) << k.name;
                    ++opaque;
                }
            }
        }
        // A real symbol, neither a speck nor a filled square.
        EXPECT_GT(opaque, 32 * 32 / 8) << k.name;
        EXPECT_LT(opaque, 32 * 32 * 3 / 4) << k.name;
    }
}

TEST(MapSymbols, UnitsPointUpWeaponsPointAlongTheFireLine)
{
    for (const Kind& k : kKinds) {
        const Symbol s = symbolFor(QString::fromUtf8(k.name), QString::fromLatin1(k.code));
        const MaskedBitmap mb = toMaskedBitmap(drawMapSymbol(s));
        const QRect box = opaqueBox(mb.mask);
        if (s.isWeapon()) {
            // Drawn at angle 0 along a line that points east: long in x.
            EXPECT_GT(box.width(), box.height() * 3 / 2) << k.name;
            // Nose on the right: the right end is narrower than the body's middle.
            int right = 0, middle = 0;
            for (int y = 0; y < 32; ++y) {
                right += (mb.mask.pixel(box.right(), y) & 0xFFFFFF) == 0;
                middle += (mb.mask.pixel(box.center().x(), y) & 0xFFFFFF) == 0;
            }
            EXPECT_LT(right, middle) << k.name;
        } else {
            // The heading mark: the top rows hold only a narrow point in the middle.
            int top = 0;
            for (int x = 0; x < 32; ++x) {
                if ((mb.mask.pixel(x, 1) & 0xFFFFFF) == 0) {
                    ++top;
                    EXPECT_NEAR(x, 16, 2) << k.name;
                }
            }
            EXPECT_GT(top, 0) << k.name;
            EXPECT_LE(box.top(), 1) << k.name;
        }
    }
}

TEST(MapSymbols, EveryKindLooksDifferentOnTheMapAndInTheTree)
{
    std::set<QByteArray> maps, icons;
    for (const Kind& k : kKinds) {
        const Symbol s = symbolFor(QString::fromUtf8(k.name), QString::fromLatin1(k.code));
        const QImage m = toMaskedBitmap(drawMapSymbol(s)).image;
        const QImage i = drawTreeIcon(s);
        maps.insert(QByteArray(reinterpret_cast<const char*>(m.constBits()), m.sizeInBytes()));
        icons.insert(QByteArray(reinterpret_cast<const char*>(i.constBits()), i.sizeInBytes()));
    }
    EXPECT_EQ(maps.size(), std::size(kKinds));
    EXPECT_EQ(icons.size(), std::size(kKinds));
}

TEST(TreeIcons, FillTheirSquareOnWhite)
{
    for (const Kind& k : kKinds) {
        const QImage icon = drawTreeIcon(symbolFor(QString::fromUtf8(k.name), QString::fromLatin1(k.code)));
        ASSERT_EQ(icon.size(), QSize(20, 20));
        EXPECT_EQ(icon.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu) << k.name;
        int inked = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                inked += (icon.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
        EXPECT_GT(inked, 20 * 20 / 5) << k.name;
    }
}

TEST(TreeIcons, CategoriesDifferByLevelAndName)
{
    const QString a = QString::fromUtf8("作战单位"), b = QString::fromUtf8("火力武器");
    EXPECT_EQ(drawCategoryIcon(a, true).size(), QSize(20, 20));
    EXPECT_NE(drawCategoryIcon(a, true), drawCategoryIcon(a, false));
    EXPECT_NE(drawCategoryIcon(a, true), drawCategoryIcon(b, true));
}
