#pragma once
// Messages plus the modal windows and system dialogs of the program. Windows receive one of these
// and never open a QMessageBox, QFileDialog or exec() a dialog themselves, so tests can drive them.

#include "report/MessageService.h"

#include <QString>

class QDialog;
class QWidget;

namespace platform {

class DialogService : public report::MessageService {
public:
    // One pass of Qt's event loop (DoEvents).
    void letEventsRun() override;
    // Shows a window modally over its parent and returns when it is closed (QDialog::exec()).
    virtual int execModal(QDialog& dialog) = 0;
    // The system's folder dialog, owned by `owner`, with `prompt` as its title, opening on
    // `startFolder`; the path as the system gives it, or an empty text on cancel.
    virtual QString chooseFolder(QWidget* owner, const QString& prompt, const QString& startFolder) = 0;
};

// The real thing: QMessageBox, QFileDialog, QProcess, QDesktopServices.
class QtDialogService : public DialogService {
public:
    void information(const std::string& text, const std::string& caption = {}) override;
    bool question(const std::string& text, const std::string& caption = {}) override;
    void errorReport(const std::string& text) override;
    bool startCommandLine(const std::string& commandLine) override;
    bool openUrl(const std::string& url) override;
    int execModal(QDialog& dialog) override;
    QString chooseFolder(QWidget* owner, const QString& prompt, const QString& startFolder) override;
};

} // namespace platform
