#pragma once

#include <QImage>
#include <QString>

namespace mkdata {

// Frame of a unit symbol by the medium the unit moves in, as on tactical maps.
// Weapons are drawn as the munition itself, without a frame.
enum class Frame { Ground, Air, Sea, None };

// What the frame holds.
enum class Glyph {
    Armour,             // track ellipse
    MechanisedInfantry, // infantry cross with track ellipse
    ArmouredCarrier,    // track ellipse with a troop bar
    Infantry,           // cross
    Artillery,          // dot
    SelfPropelledGun,   // dot in a track ellipse
    Reconnaissance,     // slash
    AirDefence,         // arc with a missile
    RotaryWing,         // rotor bow tie
    Ship,               // hull
    Truck,              // cargo box on wheels
    Shell,
    Rocket,
    Missile,
    Bomb,
    Lettered            // no known kind: the first character of the name
};

struct Symbol {
    Frame frame = Frame::Ground;
    Glyph glyph = Glyph::Lettered;
    QString letter; // for Glyph::Lettered
    bool isWeapon() const { return frame == Frame::None; }
};

// The class code "03" marks a weapon; the kind is recognised from words in the
// class name, so a renamed or added class still gets a fitting symbol.
Symbol symbolFor(const QString& name, const QString& classCode);

// Map image: transparent background. Units point up (north) with a heading
// mark; weapons point right, along the fire line they are drawn on.
QImage drawMapSymbol(const Symbol& s, int size = 32);

// Catalogue tree icon: the same symbol filling a white square.
QImage drawTreeIcon(const Symbol& s, int size = 20);

// Catalogue tree icon of a category: a badge with the first character of its
// name, dark for a top-level category, light for a sub-category.
QImage drawCategoryIcon(const QString& name, bool topLevel, int size = 20);

// Splits an image with alpha into the pair the program blits with
// dst = ((dst ^ image) & mask) ^ image: the mask is black where the symbol is
// opaque and white elsewhere; the image is black wherever the mask is white,
// so the older AND-then-OR way of drawing works with the same files.
struct MaskedBitmap {
    QImage image;
    QImage mask;
};
MaskedBitmap toMaskedBitmap(const QImage& withAlpha);

} // namespace mkdata
