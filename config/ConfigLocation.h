#pragma once

#include <functional>
#include <string>

// Where SysConfig.cfg and UnitClassInfo.cfg are read and saved. In the build
// folder the module folder is writable and both live there. An installed
// module folder belongs to root: saves then go to a copy in the user's
// configuration folder (created on the first save), and reads take that copy
// when there is one, else the module folder's file.
class CConfigLocation {
public:
    // Answers whether a folder may be written; injectable because root may
    // write anywhere, so tests cannot make a folder read-only for it.
    using WritableTest = std::function<bool(const std::string& folder)>;

    // An empty test means FolderIsWritable.
    CConfigLocation(std::string moduleFolder, std::string userFolder, WritableTest writable = {});
    // The module folder with the default user folder.
    static CConfigLocation ForModuleFolder(const std::string& moduleFolder);

    // $XDG_CONFIG_HOME/tarnwick (~/.config/tarnwick): shared by the program and
    // tarnwick-replay, whatever their application names.
    static std::string DefaultUserFolder();
    // access(W_OK) on the folder.
    static bool FolderIsWritable(const std::string& folder);

    const std::string& ModuleFolder() const { return m_moduleFolder; }
    const std::string& UserFolder() const { return m_userFolder; }
    bool ModuleFolderWritable() const;

    // The file to read for a configuration file name ("SysConfig.cfg").
    std::string ReadPath(const std::string& name) const;
    // The file to save it to; creates the user folder when the save goes there.
    std::string SavePath(const std::string& name) const;

private:
    std::string m_moduleFolder;
    std::string m_userFolder;
    WritableTest m_writable;
};
