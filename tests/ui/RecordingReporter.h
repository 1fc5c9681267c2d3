#pragma once

#include "config/MessageReporter.h"

#include <vector>

// Keeps every message instead of showing a box; answers Ok.
class RecordingReporter : public IMessageReporter {
public:
    MessageAnswer Report(const ReportedMessage& message) override
    {
        messages.push_back(message);
        return MessageAnswer::Ok;
    }
    std::vector<ReportedMessage> messages;
};
