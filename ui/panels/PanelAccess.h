#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class CPlanLayer;
class CTarnwickApp;
class CUnitCanLoad;
class QLineEdit;

// What the three property panels share: access to the units of the plan's
// first layer and the reading of their number fields.
namespace panels {

// The first layer's gate held shared for one panel operation. The panels run
// on the user-interface thread and must never hold up the clock thread, so
// they ask with a short time-out and drop the operation when it runs out.
class CFirstLayerAccess {
public:
    static constexpr uint32_t kTimeoutMs = 20;

    explicit CFirstLayerAccess(const CTarnwickApp& app, uint32_t timeoutMs = kTimeoutMs);
    ~CFirstLayerAccess();
    CFirstLayerAccess(const CFirstLayerAccess&) = delete;
    CFirstLayerAccess& operator=(const CFirstLayerAccess&) = delete;

    // False without a plan or when the gate was busy.
    explicit operator bool() const { return m_layer != nullptr; }
    CPlanLayer* Layer() const { return m_layer; }
    // The first unit with that number in list order; nullptr when there is none.
    CUnitCanLoad* FindUnit(int32_t unitNo) const;

private:
    CPlanLayer* m_layer = nullptr;
};

// Whether the panels may change the model now. While the clock runs, its
// thread walks the same actions, routes and names under the shared gate, so
// an edit could free or reallocate what a tick is reading; edits wait for a
// pause.
bool ModelEditable(const CTarnwickApp& app);

// The whole text of a field as a finite decimal number (surrounding blanks
// allowed); nothing when it is not one.
std::optional<double> FieldDouble(const QLineEdit* edit);
std::optional<int32_t> FieldInt(const QLineEdit* edit);

// Shown text of a number field: up to 15 significant digits.
QString NumberText(double value);
// printf "%f", the form of route point coordinates in the lists.
QString FixedText(double value);

// Messages for a field whose text is not accepted.
extern const char* const kNotANumber;      // "请键入一个数。"
extern const char* const kNotAnInteger;    // "请键入一个整数。"
extern const char* const kAngleRange;      // angle outside 0..360
extern const char* const kFieldCaption;

// Reads a number field; on bad text reports the message through the
// application's reporter, focuses the field and returns nothing.
std::optional<double> ReadDouble(CTarnwickApp& app, QLineEdit* edit);
std::optional<int32_t> ReadInt(CTarnwickApp& app, QLineEdit* edit);
// An angle in degrees, 0..360 inclusive.
std::optional<double> ReadAngle(CTarnwickApp& app, QLineEdit* edit);

}  // namespace panels
