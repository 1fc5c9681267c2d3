#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <functional>
#include <string>

// Every XML file the program writes has the same shape: the declaration
// `<?xml version="1.0" encoding="utf-8" ?>`, CR LF, the root's start tag, CR LF,
// then the content appended under the root with no indentation, then the end tag.
//
// The bytes are produced as if the template were written, parsed back and
// extended, but into a temporary file in the target's folder that replaces
// the target only after everything was written: a failed save never destroys
// the previous file.
struct XmlSaveResult {
    enum class Status { Ok, CannotCreate, WriteFailed };
    Status status = Status::Ok;
    std::string description;  // empty when Ok
    explicit operator bool() const { return status == Status::Ok; }
};

// `fill` appends the content to the (empty) root element.
XmlSaveResult SaveXmlWithTemplate(const std::string& path, const char* rootName,
                                  const std::function<void(pugi::xml_node root)>& fill);

// Writes an already built root element (its children) in the template form.
XmlSaveResult SaveXmlRootWithTemplate(const std::string& path, const pugi::xml_node& root);

// The template text itself, e.g. for "sysconfig".
std::string XmlTemplateText(const char* rootName);

// Parses a file the program reads (configuration, catalogue, plan). Refuses files
// larger than maxBytes, so a stray huge file cannot exhaust memory.
struct XmlLoadResult {
    bool ok = false;
    std::string description;
};
// Configuration files larger than this are refused unread.
inline constexpr uint64_t kMaxXmlFileBytes = uint64_t(64) << 20;
XmlLoadResult LoadXmlFile(pugi::xml_document& doc, const std::string& path,
                          uint64_t maxBytes = kMaxXmlFileBytes,
                          unsigned parseOptions = pugi::parse_default);
