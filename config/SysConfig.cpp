#include "config/SysConfig.h"

#include "config/TextNumber.h"
#include "config/XmlTemplateFile.h"

bool CSysConfig::Load(const std::string& path)
{
    m_names.clear();
    m_values.clear();
    m_lastError.clear();

    pugi::xml_document doc;
    // A value of white space only (a line feed, spaces) is a value too: without
    // parse_ws_pcdata_single it would read back empty after a save.
    const XmlLoadResult loaded =
        LoadXmlFile(doc, path, kMaxXmlFileBytes, pugi::parse_default | pugi::parse_ws_pcdata_single);
    if (!loaded.ok) {
        m_lastError = loaded.description;
        return false;
    }
    // The root's name is not examined; every child element is a parameter, whatever its tag.
    for (pugi::xml_node child : doc.document_element().children()) {
        if (child.type() != pugi::node_element)
            continue;
        m_names.emplace_back(child.attribute("name").value());
        m_values.emplace_back(child.child_value());
    }
    return true;
}

bool CSysConfig::Save(const std::string& path) const
{
    const XmlSaveResult r = SaveXmlWithTemplate(path, "sysconfig", [this](pugi::xml_node root) {
        for (size_t i = 0; i < m_names.size(); ++i) {
            pugi::xml_node param = root.append_child("param");
            param.append_attribute("name").set_value(m_names[i].c_str());
            param.text().set(m_values[i].c_str());
        }
    });
    m_lastError = r.description;
    return bool(r);
}

int CSysConfig::Find(const std::string& name) const
{
    for (size_t i = 0; i < m_names.size(); ++i)
        if (m_names[i] == name)
            return int(i);
    return -1;
}

bool CSysConfig::GetParam(const std::string& name, std::string& value) const
{
    const int i = Find(name);
    if (i < 0)
        return false;
    value = m_values[size_t(i)];
    return true;
}

bool CSysConfig::SetParam(const std::string& name, const std::string& value)
{
    const int i = Find(name);
    if (i >= 0) {
        m_values[size_t(i)] = value;
    } else {
        m_names.push_back(name);
        m_values.push_back(value);
    }
    return true;
}

bool CSysConfig::GetParamInt(const std::string& name, int& value) const
{
    std::string text;
    if (!GetParam(name, text))
        return false;
    value = textnum::ParseInt(text);
    return true;
}

bool CSysConfig::GetParamDouble(const std::string& name, double& value) const
{
    std::string text;
    if (!GetParam(name, text))
        return false;
    value = textnum::ParseDouble(text);
    return true;
}

bool CSysConfig::SetParamInt(const std::string& name, int value)
{
    return SetParam(name, std::to_string(value));
}

bool CSysConfig::SetParamDouble(const std::string& name, double value)
{
    return SetParam(name, textnum::FormatFixed(value, 6));
}
