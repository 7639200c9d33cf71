#include "RecordingDialogs.h"

namespace testsupport {

void RecordingDialogs::information(const std::string& text, const std::string& caption)
{
    shown.push_back({Shown::Information, text, caption.empty() ? applicationTitle() : caption});
}

bool RecordingDialogs::question(const std::string& text, const std::string& caption)
{
    shown.push_back({Shown::Question, text, caption.empty() ? applicationTitle() : caption});
    if (answers.empty()) {
        ++unscriptedQuestions;
        return false;
    }
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
}

void RecordingDialogs::errorReport(const std::string& text)
{
    shown.push_back({Shown::ErrorReport, text, "Application Error"});
}

bool RecordingDialogs::startCommandLine(const std::string& commandLine)
{
    shown.push_back({Shown::CommandLine, commandLine, {}});
    return commandLinesStart;
}

bool RecordingDialogs::openUrl(const std::string& url)
{
    shown.push_back({Shown::Url, url, {}});
    return true;
}

int RecordingDialogs::execModal(QDialog& dialog)
{
    shown.push_back({Shown::Modal, dialog.windowTitle().toStdString(), {}});
    if (modalHandlers.empty())
        return QDialog::Rejected;
    auto handler = std::move(modalHandlers.front());
    modalHandlers.pop_front();
    return handler(dialog);
}

QString RecordingDialogs::chooseFolder(QWidget*, const QString& prompt, const QString& startFolder)
{
    shown.push_back({Shown::FolderDialog, prompt.toStdString(), startFolder.toStdString()});
    if (folders.empty())
        return {};
    QString folder = folders.front();
    folders.pop_front();
    return folder;
}

std::vector<std::string> RecordingDialogs::texts(Shown::Kind kind) const
{
    std::vector<std::string> out;
    for (const auto& s : shown)
        if (s.kind == kind)
            out.push_back(s.text);
    return out;
}

} // namespace testsupport
