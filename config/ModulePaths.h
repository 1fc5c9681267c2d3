#pragma once

#include <string>

// Where the program's own files are: the module folder is the executable's
// folder. Stored paths may use "\" or "/" as separators (plans and catalogue
// paths were written on Windows); both are accepted.
namespace modulepaths {

struct SplitPath {
    std::string folder;    // text before the last "\" (or, when there is none, the last "/")
    std::string fileName;  // text after it
};
SplitPath SplitModulePath(const std::string& fullPath);

// Full path of the running executable ("" when it cannot be found).
std::string ExecutablePath();
// The executable's folder.
std::string ModuleFolder();

// True when the stored path is absolute: it starts with "/" (or "\") or its second character is ":".
bool IsAbsoluteStoredPath(const std::string& path);
// The file a stored path names: absolute paths unchanged, others relative to
// the module folder; "\" separators become "/".
std::string ResolveStoredPath(const std::string& moduleFolder, const std::string& storedPath);
// moduleFolder joined with a name ("SysConfig.cfg", "DefaultMapImage").
std::string InModuleFolder(const std::string& moduleFolder, const std::string& name);

}  // namespace modulepaths
