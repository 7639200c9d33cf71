// The Paradox folder commands of the main window: choose the folder, load the sample database,
// test the folder.

#include "app/Form1.h"

#include "app/Settings.h"
#include "platform/qt/Appearance.h"
#include "db/Paradox.h"
#include "platform/qt/FolderPicker.h"
#include "report/ErrorReport.h"
#include "report/ErrorTrap.h"

#include <QLineEdit>

#include <optional>

namespace {

std::string folderText(const Form1& form) { return form.Text1->text().toStdString(); }

} // namespace

void Form1::offerSpaceFreeCopy(bool sample)
{
    const std::string folder = folderText(*this);
    const std::string use = spaceFreeDriveRoot_.empty()
        ? Paradox::CopyDB(sample, folder, dialogs())
        : Paradox::CopyDB(sample, folder, dialogs(), spaceFreeDriveRoot_);
    if (use != folder)
        Text1->setText(QString::fromStdString(use));
}

void Form1::PushButton1_Click()
{
    report::ErrorTrap trap(dialogs(), report::locationText("Form1", "PushButton1_Click"));
    QString chosen;
    trap(100, [&] {
        // Nothing in the program writes "LastFolderDot": an ordinary store gives the empty text.
        const QString start = QString::fromStdString(settings::GetSetting("LastFolderDot", ""));
        chosen = platform::PickFolder(dialogs(), this, "Please select folder:", start);
    });
    const std::optional<bool> cancelled = trap.value<bool>(102, [&] { return chosen.isEmpty(); });
    if (!cancelled || *cancelled)
        return;
    trap(104, [&] { Text1->setText(chosen); });
    trap(106, [&] { offerSpaceFreeCopy(false); });
}

void Form1::PushButton2_Click()
{
    report::ErrorTrap trap(dialogs(), report::locationText("Form1", "PushButton2_Click"));
    trap(100, [&] { Text1->setText(QString::fromStdString(Paradox::SampleFolder())); });
    trap(102, [&] { offerSpaceFreeCopy(true); });
}

void Form1::PushButton3_Click()
{
    report::ErrorTrap trap(dialogs(), report::locationText("Form1", "PushButton3_Click"));
    trap(102, [&] { offerSpaceFreeCopy(false); });
    trap(104, [&] { appearance::setMousePointer(*this, appearance::Busy); });
    trap.when(106, [&] { return Paradox::HasParadoxTables(folderText(*this)); },
              [&] { trap(108, [&] { dialogs().information("Connection successful."); }); },
              [&] { trap(110, [&] { dialogs().information("Could not connect."); }); });
    trap(112, [&] { appearance::setMousePointer(*this, appearance::Default); });
}
