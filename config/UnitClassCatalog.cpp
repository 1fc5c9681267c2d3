#include "config/UnitClassCatalog.h"

#include "config/SysConfig.h"
#include "config/TextNumber.h"
#include "config/XmlTemplateFile.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

namespace {

bool EqualsIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return QString::compare(QString::fromStdString(a), QString::fromStdString(b), Qt::CaseInsensitive) == 0;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 0x80 || y >= 0x80)
            return QString::compare(QString::fromStdString(a), QString::fromStdString(b), Qt::CaseInsensitive) == 0;
        if (x >= 'A' && x <= 'Z')
            x = x - 'A' + 'a';
        if (y >= 'A' && y <= 'Z')
            y = y - 'A' + 'a';
        if (x != y)
            return false;
    }
    return true;
}

}  // namespace

uint32_t CUnitClassCatalog::FireColorFromConfig(const CSysConfig& config, const std::string& id)
{
    std::string value;
    if (!config.GetParam("FireUnitColor_" + id, value) || value.empty())
        return 200;
    return textnum::ParseHex(value);
}

bool CUnitClassCatalog::Load(const std::string& path, const CSysConfig& config)
{
    Clear();
    m_lastError.clear();

    pugi::xml_document doc;
    const XmlLoadResult loaded = LoadXmlFile(doc, path);
    if (!loaded.ok) {
        m_lastError = loaded.description;
        return false;
    }
    const pugi::xml_node root = doc.document_element();

    const pugi::xml_node categories = root.child("unitclass");
    if (!categories || !categories.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; })) {
        m_lastError = "'" + path + "': no categories";
        return false;
    }
    for (pugi::xml_node node : categories.children()) {
        if (node.type() != pugi::node_element)
            continue;
        auto c = std::make_unique<UnitCategory>();
        c->name = node.attribute("name").value();
        c->id = node.attribute("id").value();
        m_categories.push_back(std::move(c));
    }

    const pugi::xml_node classes = root.child("unit");
    if (!classes || !classes.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; })) {
        m_lastError = "'" + path + "': no unit classes";
        return false;
    }
    for (pugi::xml_node node : classes.children()) {
        if (node.type() != pugi::node_element)
            continue;
        auto u = std::make_unique<UnitClassInfo>();
        u->name = node.attribute("name").value();
        u->id = node.attribute("id").value();
        u->classCode = node.attribute("class").value();
        u->width = textnum::ParseInt(node.attribute("width").value());
        u->height = textnum::ParseInt(node.attribute("height").value());
        u->exploderadius = textnum::ParseDouble(node.attribute("exploderadius").value());
        u->visible_min = textnum::ParseDouble(node.attribute("visible_min").value());
        u->visible_max = textnum::ParseDouble(node.attribute("visible_max").value());
        u->fireColor = FireColorFromConfig(config, u->id);
        m_classes.push_back(std::move(u));
    }
    return true;
}

bool CUnitClassCatalog::Save(const std::string& path) const
{
    const XmlSaveResult r = SaveXmlWithTemplate(path, "unitinfo", [this](pugi::xml_node root) {
        pugi::xml_node categories = root.append_child("unitclass");
        for (const auto& c : m_categories) {
            pugi::xml_node node = categories.append_child("node");
            node.append_attribute("name").set_value(c->name.c_str());
            node.append_attribute("id").set_value(c->id.c_str());
        }
        pugi::xml_node classes = root.append_child("unit");
        for (const auto& u : m_classes) {
            pugi::xml_node node = classes.append_child("node");
            node.append_attribute("name").set_value(u->name.c_str());
            node.append_attribute("id").set_value(u->id.c_str());
            node.append_attribute("class").set_value(u->classCode.c_str());
            node.append_attribute("width").set_value(std::to_string(u->width).c_str());
            node.append_attribute("height").set_value(std::to_string(u->height).c_str());
            node.append_attribute("exploderadius").set_value(textnum::FormatShortest15(u->exploderadius).c_str());
            node.append_attribute("visible_min").set_value(textnum::FormatShortest15(u->visible_min).c_str());
            node.append_attribute("visible_max").set_value(textnum::FormatShortest15(u->visible_max).c_str());
        }
    });
    m_lastError = r.description;
    return bool(r);
}

void CUnitClassCatalog::Clear()
{
    m_categories.clear();
    m_classes.clear();
}

UnitClassInfo* CUnitClassCatalog::FindUnitClassById(const std::string& id) const
{
    for (const auto& u : m_classes)
        if (EqualsIgnoringCase(u->id, id))
            return u.get();
    return nullptr;
}

void CUnitClassCatalog::AssignImagePaths(const CUnitImageIndex& icons)
{
    for (const auto& u : m_classes) {
        const int i = icons.FindTitle(u->name);
        if (i < 0) {
            u->bitmapPath.clear();
            u->maskPath.clear();
            continue;
        }
        const std::string& title = icons.GetEntries()[size_t(i)].title;
        u->bitmapPath = "NormalBitmap\\" + title + ".bmp";
        u->maskPath = "NormalBitmap\\" + title + "_Mask.bmp";
    }
}

static void ScanFolder(const QString& folder, std::vector<CUnitImageIndex::Entry>& out, int depth)
{
    if (depth > 32)  // a link loop must not recurse forever
        return;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& e : entries) {
        if (e.isDir()) {
            if (!e.isSymLink())
                ScanFolder(e.filePath(), out, depth + 1);
        } else if (e.isFile()) {
            out.push_back({e.completeBaseName().toStdString(), e.filePath().toStdString()});
        }
    }
}

void CUnitImageIndex::Scan(const std::string& unitBitmapFolder)
{
    m_entries.clear();
    ScanFolder(QString::fromStdString(unitBitmapFolder), m_entries, 0);
}

int CUnitImageIndex::FindTitle(const std::string& name) const
{
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (EqualsIgnoringCase(m_entries[i].title, name))
            return int(i);
    return -1;
}
