#pragma once

#include <string>

// How model operations tell the operator something. The model never shows a
// window itself: the program shows a message box, headless tools print to
// standard error, tests record what was reported.
enum class MessageIcon { Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

struct ReportedMessage {
    std::string text;     // UTF-8, exactly as the operator reads it
    std::string caption;  // window caption, e.g. "错误"
    MessageIcon icon = MessageIcon::Error;
    MessageButtons buttons = MessageButtons::Ok;
    // Why, when the program knows it (a file's error, the system's reason);
    // shown under the text, which stays exactly as specified.
    std::string detail;
};

class IMessageReporter {
public:
    virtual ~IMessageReporter() = default;
    // Shows the message and returns the operator's answer. Called on the
    // user-interface thread only (or the only thread of a headless tool).
    virtual MessageAnswer Report(const ReportedMessage& message) = 0;
};

// Writes "caption: text" lines to standard error and answers Ok (or No for questions).
class StderrMessageReporter : public IMessageReporter {
public:
    MessageAnswer Report(const ReportedMessage& message) override;
};

// The reporter model code uses when its caller gave none. Defaults to
// standard error; the program installs its message-box reporter at start-up.
IMessageReporter& DefaultMessageReporter();
void SetDefaultMessageReporter(IMessageReporter* reporter);  // nullptr restores stderr

// Short form for the common "OK box with an error icon".
inline MessageAnswer ReportError(IMessageReporter& reporter, const std::string& text, const std::string& caption,
                                 const std::string& detail = {})
{
    return reporter.Report({text, caption, MessageIcon::Error, MessageButtons::Ok, detail});
}
