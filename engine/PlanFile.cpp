#include "engine/PlanFile.h"

#include "config/MessageReporter.h"
#include "config/SystemErrorText.h"
#include "engine/PlanXmlWriter.h"
#include "engine/XmlPullReader.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Fail(std::string* error, const std::string& why)
{
    if (error)
        *error = why;
    return false;
}

// The whole file in one buffer, which the reader decodes in place.
bool ReadWholeFile(const std::string& path, uint64_t maxBytes, std::unique_ptr<char[]>& data, size_t& size,
                   std::string* error)
{
    // Non-blocking, so that a pipe named as a plan fails below instead of
    // waiting for a writer; it changes nothing for a regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Fail(error, "无法打开 '" + path + "': " + SystemErrorText(errno));
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return Fail(error, "'" + path + "' 不是文件");
    if (uint64_t(st.st_size) > maxBytes)
        return Fail(error, "'" + path + "' 太大(" + std::to_string(st.st_size) + " 字节)");
    const size_t expected = size_t(st.st_size);
    data.reset(new (std::nothrow) char[expected + 1]);
    if (!data)
        return Fail(error, "内存不足, 无法读取 '" + path + "'");
    size = 0;
    while (size < expected) {
        const ssize_t n = ::read(fd, data.get() + size, expected - size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(error, "无法读取 '" + path + "': " + SystemErrorText(errno));
        if (n == 0)
            break;  // the file shrank meanwhile: parse what there is
        size += size_t(n);
    }
    return true;
}

}  // namespace

std::unique_ptr<CPlan> LoadPlan(const std::string& path, const PlanContext& context, std::string* error,
                                const PlanLoadLimits& limits)
{
    std::unique_ptr<char[]> data;
    size_t size = 0;
    if (!ReadWholeFile(path, limits.maxBytes, data, size, error))
        return nullptr;
    size_t bad = 0;
    if (!IsValidXmlText(data.get(), size, &bad)) {
        Fail(error, "'" + path + "': 不是 UTF-8 编码的 XML 文本(位于第 " + std::to_string(bad) + " 字节)");
        return nullptr;
    }
    XmlPullReader reader(limits.maxDepth);
    // Elements the plan cannot show are saved back exactly as they were read.
    reader.KeepOriginalText(true);
    if (!reader.Open(data.get(), size)) {
        Fail(error, "'" + path + "': " + reader.Error());
        return nullptr;
    }
    auto plan = std::make_unique<CPlan>(context);
    std::string why;
    if (!plan->Load(reader, &why)) {
        Fail(error, "'" + path + "': " + why);
        return nullptr;
    }
    return plan;
}

bool SavePlan(const CPlan& plan, const std::string& path, std::string* error)
{
    // Nothing under the root (no layer, none kept from the file): the file
    // would get a root without children, which no reader opens. It is left as it is.
    if (!plan.HasContent())
        return Fail(error, "预案中没有可保存的图层, '" + path + "' 保持不变");
    const QString qpath = QString::fromStdString(path);
    QSaveFile file(qpath);
    // Unbuffered: with Qt's buffer the last chunk would be written inside
    // commit(), where a failure still replaces the target.
    if (path.empty() || QFileInfo(qpath).isDir() || !file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        ReportError(plan.GetContext().Reporter(), "保存预案失败!", "错误");
        return Fail(error, "无法创建 '" + path + "': " + SystemErrorText(file.errorString()));
    }
    PlanXmlWriter out([&file](const char* bytes, size_t n) { return file.write(bytes, qint64(n)) == qint64(n); });
    plan.Save(out);
    if (!out.Flush() || file.error() != QFileDevice::NoError) {
        const std::string why = SystemErrorText(file.errorString());
        file.cancelWriting();
        return Fail(error, "无法写入 '" + path + "': " + why);
    }
    if (!file.commit())
        return Fail(error, "无法替换 '" + path + "': " + SystemErrorText(file.errorString()));
    return true;
}
