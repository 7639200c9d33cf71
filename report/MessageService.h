#pragma once
// The one way commands reach the user: message boxes, questions, the error report, the
// desktop's shell and the pass of the event loop that keeps windows alive during long loops.
// Windows get a Qt implementation; the command line one on the terminal; tests a recording double
// that answers questions from a script. Texts are UTF-8.

#include <string>

namespace report {

class MessageService {
public:
    virtual ~MessageService() = default;

    // Plain information with an OK button. An empty caption means the application title.
    virtual void information(const std::string& text, const std::string& caption = {}) = 0;
    // A question with Yes and No buttons; true for Yes.
    virtual bool question(const std::string& text, const std::string& caption = {}) = 0;
    // The common error report: warning icon, caption "Application Error", one OK button.
    virtual void errorReport(const std::string& text) = 0;
    // Starts a command line through the system shell without waiting for it; false when it
    // could not be started.
    virtual bool startCommandLine(const std::string& commandLine) = 0;
    // Hands a URL (mailto:, file:, http:) to the desktop's opener unchanged.
    virtual bool openUrl(const std::string& url) = 0;
    // Lets pending window events run once, so that a long loop keeps the windows responsive.
    // Nothing to do where there is no window.
    virtual void letEventsRun() {}

    // The caption of every message box that names none of its own.
    void setApplicationTitle(std::string title) { applicationTitle_ = std::move(title); }
    const std::string& applicationTitle() const { return applicationTitle_; }

private:
    std::string applicationTitle_ = "Quillmere";
};

} // namespace report
