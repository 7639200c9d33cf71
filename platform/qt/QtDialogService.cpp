#include "platform/qt/DialogService.h"

#include "platform/qt/Yield.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace platform {

namespace {

QString captionOr(const std::string& caption, const std::string& fallback)
{
    return QString::fromStdString(caption.empty() ? fallback : caption);
}

QWidget* activeOwner()
{
    return QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow();
}

} // namespace

void DialogService::letEventsRun() { DoEvents(); }

void QtDialogService::information(const std::string& text, const std::string& caption)
{
    QMessageBox box(QMessageBox::NoIcon, captionOr(caption, applicationTitle()), QString::fromStdString(text),
                    QMessageBox::Ok, activeOwner());
    box.exec();
}

bool QtDialogService::question(const std::string& text, const std::string& caption)
{
    // Questions carry the Yes and No buttons only, without an icon.
    QMessageBox box(QMessageBox::NoIcon, captionOr(caption, applicationTitle()), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, activeOwner());
    return box.exec() == QMessageBox::Yes;
}

void QtDialogService::errorReport(const std::string& text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Application Error"), QString::fromStdString(text),
                    QMessageBox::Ok, activeOwner());
    box.exec();
}

bool QtDialogService::startCommandLine(const std::string& commandLine)
{
    QStringList words = QProcess::splitCommand(QString::fromStdString(commandLine));
    if (words.isEmpty())
        return false;
    const QString program = words.takeFirst();
    return QProcess::startDetached(program, words);
}

bool QtDialogService::openUrl(const std::string& url)
{
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::TolerantMode));
}

int QtDialogService::execModal(QDialog& dialog)
{
    return dialog.exec();
}

QString QtDialogService::chooseFolder(QWidget* owner, const QString& prompt, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(owner, prompt, startFolder, QFileDialog::ShowDirsOnly);
}

} // namespace platform
