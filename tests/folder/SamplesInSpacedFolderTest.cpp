// "Load Sample/Example Database" for a program whose folder holds a space: this program lives in
// such a folder (see CMakeLists.txt) with a copy of the samples beside it, so the samples' path
// has a space and the command offers the space-free copy.
#include "RecordingDialogs.h"
#include "TestPaths.h"

#include "app/Form1.h"
#include "app/Settings.h"

#include <QCoreApplication>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

std::set<std::string> fileNames(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(entry.path(), folder).string());
    return names;
}

TEST(SamplesInSpacedFolder, TheSamplesAreOfferedACopyAndYesPutsTheCopyIntoTheField)
{
    const fs::path app = QCoreApplication::applicationDirPath().toStdString();
    ASSERT_NE(app.string().find(' '), std::string::npos) << app;
    const fs::path samples = app / "Samples";
    fs::remove_all(samples);
    fs::copy(testsupport::binDir() / "Samples", samples, fs::copy_options::recursive);
    const fs::path drive = testsupport::freshFolder("drive");
    const fs::path copy = drive / "TestDB";

    testsupport::RecordingDialogs dialogs;
    Form1 form(dialogs);
    form.setQuitFunction([] {});
    form.Form_Load();
    form.setSpaceFreeDriveRoot(drive.string() + "/");
    const std::string question = "In some cases the software needs to use a folder without spaces.\r\n"
                                 "Is it OK to create the folder " + copy.string() + " and put sample db files in it?";

    dialogs.clear();
    dialogs.answers = {false};
    form.PushButton2_Click();
    EXPECT_EQ(dialogs.texts(testsupport::Shown::Question), std::vector<std::string>{question});
    EXPECT_EQ(form.Text1->text().toStdString(), samples.string());
    EXPECT_FALSE(fs::exists(copy));

    dialogs.clear();
    dialogs.answers = {true};
    form.PushButton2_Click();
    EXPECT_EQ(dialogs.texts(testsupport::Shown::Question), std::vector<std::string>{question});
    EXPECT_TRUE(dialogs.errorReports().empty());
    EXPECT_EQ(form.Text1->text().toStdString(), copy.string());
    EXPECT_EQ(settings::GetSetting("ParadoxFolder", ""), copy.string());
    EXPECT_EQ(fileNames(copy), fileNames(samples));
    EXPECT_FALSE(fileNames(copy).empty());
    fs::remove_all(samples);
}

} // namespace
