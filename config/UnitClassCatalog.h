#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CSysConfig;
class CUnitImageIndex;

// A category of the catalogue tree. Top-level ids have no "-"; a sub-category's
// id is its parent's id, "-", and more text.
struct UnitCategory {
    std::string name;
    std::string id;
};

// A unit class (or weapon class, class code "03"). Placed units and panels keep
// plain pointers to these records; they stay valid until the next Load.
struct UnitClassInfo {
    std::string name;       // shown everywhere; base name of the image files
    std::string id;         // category id, ".", more text
    std::string classCode;  // "01", "02-01", "02-02", or "03" for weapons
    int32_t width = 0;      // metres
    int32_t height = 0;     // metres
    std::string bitmapPath; // derived from the image folders, never stored in the file
    std::string maskPath;
    double exploderadius = 0.0;  // kill radius in metres
    double visible_max = 100000.0;
    double visible_min = 0.0;
    uint32_t fireColor = 0;  // 0x00BBGGRR

    bool IsWeapon() const { return classCode == "03"; }
};

// The unit class catalogue of UnitClassInfo.cfg.
class CUnitClassCatalog {
public:
    // Replaces the catalogue from the file; fire colours come from `config`
    // ("FireUnitColor_<id>", hexadecimal; 200 when missing or empty). On failure
    // the records read so far stay.
    bool Load(const std::string& path, const CSysConfig& config);
    // Writes atomically: on failure the previous file is left as it was.
    bool Save(const std::string& path) const;
    void Clear();

    const std::vector<std::unique_ptr<UnitCategory>>& GetCategories() const { return m_categories; }
    const std::vector<std::unique_ptr<UnitClassInfo>>& GetUnitClasses() const { return m_classes; }

    // First class whose id equals `id` ignoring letter case; nullptr when none.
    UnitClassInfo* FindUnitClassById(const std::string& id) const;

    // Gives every class whose name matches an icon title its map image paths
    // "NormalBitmap\<title>.bmp" and "NormalBitmap\<title>_Mask.bmp"; classes
    // without an icon get empty paths.
    void AssignImagePaths(const CUnitImageIndex& icons);

    const std::string& GetLastError() const { return m_lastError; }

    // Fire colour for a class id from the configuration: hexadecimal value of
    // "FireUnitColor_<id>", 200 when missing or empty, 0 when no hex digit leads.
    static uint32_t FireColorFromConfig(const CSysConfig& config, const std::string& id);

private:
    std::vector<std::unique_ptr<UnitCategory>> m_categories;
    std::vector<std::unique_ptr<UnitClassInfo>> m_classes;
    mutable std::string m_lastError;
};

// Every file under the UnitBitmap folder, recursively, in enumeration order
// (entries sorted by name, sub-folders entered where they sort). A file's
// position is its icon index in the catalogue tree.
class CUnitImageIndex {
public:
    struct Entry {
        std::string title;  // file name without folder and extension
        std::string path;   // full path
    };

    void Scan(const std::string& unitBitmapFolder);
    const std::vector<Entry>& GetEntries() const { return m_entries; }
    // Index of the first file whose title equals `name` ignoring case; -1 when none.
    int FindTitle(const std::string& name) const;

private:
    std::vector<Entry> m_entries;
};
