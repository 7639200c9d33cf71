#pragma once
// Test double of the dialog service: records every message, answers questions from a script,
// and lets a test act on a modal window while it is "shown" instead of blocking in exec().

#include "platform/qt/DialogService.h"

#include <QDialog>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

struct Shown {
    enum Kind { Information, Question, ErrorReport, CommandLine, Url, Modal, FolderDialog } kind;
    std::string text;    // message text, command line, URL, window title or folder prompt
    std::string caption; // caption the box would show (application title when none is named)
};

class RecordingDialogs : public platform::DialogService {
public:
    std::vector<Shown> shown;
    // Answers for question(), taken in order; an exhausted script answers No and counts it.
    std::deque<bool> answers;
    int unscriptedQuestions = 0;
    // Called for each execModal() in order; the handler acts on the window (clicks buttons,
    // closes it) and returns the result code. Without a handler the window is rejected.
    std::deque<std::function<int(QDialog&)>> modalHandlers;
    // Results for chooseFolder(), taken in order; empty means cancel.
    std::deque<QString> folders;
    bool commandLinesStart = true;

    void information(const std::string& text, const std::string& caption = {}) override;
    bool question(const std::string& text, const std::string& caption = {}) override;
    void errorReport(const std::string& text) override;
    bool startCommandLine(const std::string& commandLine) override;
    bool openUrl(const std::string& url) override;
    int execModal(QDialog& dialog) override;
    QString chooseFolder(QWidget* owner, const QString& prompt, const QString& startFolder) override;

    std::vector<std::string> texts(Shown::Kind kind) const;
    std::vector<std::string> errorReports() const { return texts(Shown::ErrorReport); }
    std::vector<std::string> informations() const { return texts(Shown::Information); }
    void clear() { shown.clear(); }
};

} // namespace testsupport
