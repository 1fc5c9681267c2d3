#pragma once

#include <string>

// How an export went. Exporters show nothing themselves: the caller shows the
// description (a message box in the program, standard error in the tools).
struct ExportResult {
    bool ok = true;
    bool cancelled = false;   // stopped by the user; the partial output was removed
    std::string description;  // what went wrong, or what was written

    static ExportResult Done(std::string text = {}) { return {true, false, std::move(text)}; }
    static ExportResult Failed(std::string why) { return {false, false, std::move(why)}; }
    static ExportResult Cancelled() { return {false, true, "已取消"}; }
};
