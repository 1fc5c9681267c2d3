#include "config/XmlTemplateFile.h"

#include "config/SystemErrorText.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <cstring>

namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n";

// Streams pugixml's output straight into the save file; pugixml buffers, so
// the calls come in large chunks.
class SaveFileWriter : public pugi::xml_writer {
public:
    explicit SaveFileWriter(QSaveFile& file) : m_file(file) {}
    void write(const void* data, size_t size) override
    {
        if (m_ok && m_file.write(static_cast<const char*>(data), qint64(size)) != qint64(size))
            m_ok = false;
    }
    bool ok() const { return m_ok; }

private:
    QSaveFile& m_file;
    bool m_ok = true;
};

// pugixml writes a carriage return inside text as it is, and every reader
// turns it into a line feed: the value would not survive a save and load. As
// a reference it does. Used for the content only, never for the template's
// own line ends (the content is printed raw, without line breaks of its own).
class CarriageReturnEscaper : public pugi::xml_writer {
public:
    explicit CarriageReturnEscaper(pugi::xml_writer& out) : m_out(out) {}
    void write(const void* data, size_t size) override
    {
        const char* p = static_cast<const char*>(data);
        const char* const end = p + size;
        while (p < end) {
            const char* cr = static_cast<const char*>(memchr(p, '\r', size_t(end - p)));
            if (!cr) {
                m_out.write(p, size_t(end - p));
                return;
            }
            if (cr > p)
                m_out.write(p, size_t(cr - p));
            m_out.write("&#13;", 5);
            p = cr + 1;
        }
    }

private:
    pugi::xml_writer& m_out;
};

XmlSaveResult Fail(XmlSaveResult::Status s, std::string d)
{
    XmlSaveResult r;
    r.status = s;
    r.description = std::move(d);
    return r;
}

}  // namespace

std::string XmlTemplateText(const char* rootName)
{
    return std::string(kDeclaration) + "<" + rootName + ">\r\n</" + rootName + ">";
}

XmlSaveResult SaveXmlRootWithTemplate(const std::string& path, const pugi::xml_node& root)
{
    const QString qpath = QString::fromStdString(path);
    if (path.empty() || QFileInfo(qpath).isDir())
        return Fail(XmlSaveResult::Status::CannotCreate, "无法创建 '" + path + "': 不是文件名");
    QSaveFile file(qpath);
    // Unbuffered: Qt's own buffer is flushed inside commit(), where a failed
    // write still renamed the incomplete file over the target. pugixml buffers.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fail(XmlSaveResult::Status::CannotCreate,
                    "无法创建 '" + path + "': " + SystemErrorText(file.errorString()));

    const std::string name = root.name();
    std::string head = kDeclaration;
    head += "<" + name + ">\r\n";
    SaveFileWriter writer(file);
    writer.write(head.data(), head.size());
    CarriageReturnEscaper content(writer);
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling())
        child.print(content, PUGIXML_TEXT(""), pugi::format_raw, pugi::encoding_utf8);
    const std::string tail = "</" + name + ">";
    writer.write(tail.data(), tail.size());

    if (!writer.ok() || file.error() != QFileDevice::NoError) {
        const std::string why = SystemErrorText(file.errorString());
        file.cancelWriting();
        return Fail(XmlSaveResult::Status::WriteFailed, "无法写入 '" + path + "': " + why);
    }
    if (!file.commit())
        return Fail(XmlSaveResult::Status::WriteFailed,
                    "无法替换 '" + path + "': " + SystemErrorText(file.errorString()));
    return {};
}

XmlSaveResult SaveXmlWithTemplate(const std::string& path, const char* rootName,
                                  const std::function<void(pugi::xml_node root)>& fill)
{
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child(rootName);
    if (fill)
        fill(root);
    return SaveXmlRootWithTemplate(path, root);
}

XmlLoadResult LoadXmlFile(pugi::xml_document& doc, const std::string& path, uint64_t maxBytes,
                          unsigned parseOptions)
{
    XmlLoadResult r;
    const QFileInfo info(QString::fromStdString(path));
    if (path.empty() || !info.exists() || !info.isFile()) {
        r.description = "文件不存在: '" + path + "'";
        return r;
    }
    if (uint64_t(info.size()) > maxBytes) {
        r.description = "文件太大: '" + path + "'";
        return r;
    }
    const pugi::xml_parse_result pr = doc.load_file(path.c_str(), parseOptions, pugi::encoding_utf8);
    if (!pr) {
        r.description = "'" + path + "': " + pr.description() + " at offset " + std::to_string(pr.offset);
        return r;
    }
    if (!doc.document_element()) {
        r.description = "'" + path + "': no root element";
        return r;
    }
    r.ok = true;
    return r;
}
