#pragma once

#include <QImage>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

class CPlayState;
class CUnitClassCatalog;
class IMessageReporter;
struct UnitClassInfo;

// What the model needs from the application: the unit class catalogue (class
// records of units), the module folder (unit images, DefaultMapImage) and
// where messages go. The pointers are not owned and must outlive the plan.
struct PlanContext {
    const CUnitClassCatalog* catalog = nullptr;  // none: units keep no class record
    std::string moduleFolder;
    IMessageReporter* reporter = nullptr;        // none: DefaultMessageReporter()
    // Working values of playback (fire lines, hit check, event sink, time text).
    // None: playback still moves units but posts nothing and draws no fire lines.
    CPlayState* play = nullptr;

    IMessageReporter& Reporter() const;
};

// Images by full path, shared (QImage is implicitly shared) by the units
// loaded together, so a plan of many units of few classes decodes each image once.
class CUnitImageCache {
public:
    QImage Get(const std::string& path);
    // One unit image or mask from its bitmap file: null when it is missing, not
    // a regular file, not a decodable bitmap or larger than a unit picture can be.
    static QImage Load(const std::string& path);
    static constexpr int kMaxSide = 4096;
    static constexpr int64_t kMaxPixels = int64_t(4096) * 4096;

private:
    std::unordered_map<std::string, QImage> m_images;
};

// State of one plan read: the context and look-ups that repeat from unit to unit.
class PlanReadState {
public:
    explicit PlanReadState(const PlanContext& context) : m_context(context) {}

    const PlanContext& Context() const { return m_context; }
    CUnitImageCache& Images() { return m_images; }
    // FindUnitClassById of the catalogue, remembered per id.
    UnitClassInfo* FindClass(const std::string& classId);

private:
    const PlanContext& m_context;
    CUnitImageCache m_images;
    std::unordered_map<std::string, UnitClassInfo*> m_classes;
};
