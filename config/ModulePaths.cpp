#include "config/ModulePaths.h"

#include <algorithm>
#include <climits>
#include <unistd.h>

namespace modulepaths {

SplitPath SplitModulePath(const std::string& fullPath)
{
    size_t cut = fullPath.rfind('\\');
    if (cut == std::string::npos)
        cut = fullPath.rfind('/');
    if (cut == std::string::npos)
        return {"", fullPath};
    return {fullPath.substr(0, cut), fullPath.substr(cut + 1)};
}

std::string ExecutablePath()
{
    char buf[PATH_MAX + 1] = {};
    const ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0)
        return {};
    return std::string(buf, size_t(n));
}

std::string ModuleFolder()
{
    return SplitModulePath(ExecutablePath()).folder;
}

bool IsAbsoluteStoredPath(const std::string& path)
{
    return (!path.empty() && (path[0] == '/' || path[0] == '\\')) || (path.size() > 1 && path[1] == ':');
}

static std::string ForwardSlashes(std::string p)
{
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

std::string ResolveStoredPath(const std::string& moduleFolder, const std::string& storedPath)
{
    if (IsAbsoluteStoredPath(storedPath))
        return ForwardSlashes(storedPath);
    return moduleFolder + "/" + ForwardSlashes(storedPath);
}

std::string InModuleFolder(const std::string& moduleFolder, const std::string& name)
{
    return moduleFolder + "/" + name;
}

}  // namespace modulepaths
