#include "config/MessageReporter.h"

#include <atomic>
#include <cstdio>

MessageAnswer StderrMessageReporter::Report(const ReportedMessage& message)
{
    std::fprintf(stderr, "%s: %s\n", message.caption.c_str(), message.text.c_str());
    if (!message.detail.empty())
        std::fprintf(stderr, "  %s\n", message.detail.c_str());
    std::fflush(stderr);
    switch (message.buttons) {
    case MessageButtons::Ok:
    case MessageButtons::OkCancel: return MessageAnswer::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel: return MessageAnswer::No;
    }
    return MessageAnswer::Ok;
}

namespace {
StderrMessageReporter g_stderrReporter;
std::atomic<IMessageReporter*> g_reporter{nullptr};
}

IMessageReporter& DefaultMessageReporter()
{
    IMessageReporter* r = g_reporter.load();
    return r ? *r : g_stderrReporter;
}

void SetDefaultMessageReporter(IMessageReporter* reporter)
{
    g_reporter.store(reporter);
}
