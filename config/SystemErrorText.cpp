#include "config/SystemErrorText.h"

#include <QString>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

const std::pair<int, const char*> kChinese[] = {
    {EACCES, "权限不足"},
    {EPERM, "不允许的操作"},
    {ENOENT, "文件或文件夹不存在"},
    {ENOTDIR, "路径中有一部分不是文件夹"},
    {EISDIR, "这是一个文件夹"},
    {ENOSPC, "磁盘空间不足"},
    {EDQUOT, "超出磁盘配额"},
    {EROFS, "文件系统只读"},
    {EMFILE, "打开的文件过多"},
    {ENFILE, "系统打开的文件过多"},
    {ENAMETOOLONG, "文件名太长"},
    {ELOOP, "符号链接层数过多"},
    {EIO, "输入/输出错误"},
    {ENOMEM, "内存不足"},
    {EFBIG, "文件太大"},
    {ETXTBSY, "文件正被使用"},
    {EBUSY, "设备或资源忙"},
    {EEXIST, "文件已存在"},
};

}  // namespace

std::string SystemErrorText(int errorNumber)
{
    for (const auto& [number, text] : kChinese)
        if (number == errorNumber)
            return text;
    return std::strerror(errorNumber);
}

std::string SystemErrorText(const QString& systemText)
{
    for (const auto& [number, text] : kChinese)
        if (systemText.compare(QString::fromLocal8Bit(std::strerror(number)), Qt::CaseInsensitive) == 0)
            return text;
    return systemText.toStdString();
}
