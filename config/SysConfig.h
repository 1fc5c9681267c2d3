#pragma once

#include <string>
#include <vector>

// The system parameters of SysConfig.cfg: ordered name/value pairs. Every pair
// read is kept (known or not, duplicates too) and written back in the same
// order; lookups use the first entry with exactly the given name.
class CSysConfig {
public:
    bool Load(const std::string& path);
    // Writes atomically: on failure the previous file is left as it was.
    bool Save(const std::string& path) const;

    bool GetParam(const std::string& name, std::string& value) const;
    bool SetParam(const std::string& name, const std::string& value);
    // atoi / atof of the stored text; false (output untouched) when absent.
    bool GetParamInt(const std::string& name, int& value) const;
    bool GetParamDouble(const std::string& name, double& value) const;
    bool SetParamInt(const std::string& name, int value);        // "%d"
    bool SetParamDouble(const std::string& name, double value);  // "%f"

    size_t GetCount() const { return m_names.size(); }
    const std::vector<std::string>& GetNames() const { return m_names; }
    const std::vector<std::string>& GetValues() const { return m_values; }
    // Why the last Load or Save failed (for logs; the operator sees the fixed message).
    const std::string& GetLastError() const { return m_lastError; }

private:
    int Find(const std::string& name) const;

    std::vector<std::string> m_names;
    std::vector<std::string> m_values;  // parallel to m_names
    mutable std::string m_lastError;
};
