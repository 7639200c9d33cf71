// The Paradox folder commands of the main window, driven on a real Form1 (offscreen).
#include "FolderTestHelpers.h"

#include "RecordingDialogs.h"
#include "TestPaths.h"

#include "app/Form1.h"
#include "app/Settings.h"
#include "platform/qt/Appearance.h"
#include "platform/FileSystem.h"
#include "report/ErrorReport.h"

#include <QLineEdit>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;
using testsupport::Shown;

namespace {

class ParadoxFolderCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = testsupport::freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        form = openForm(dialogs);
        dialogs.clear();
    }

    static std::unique_ptr<Form1> openForm(testsupport::RecordingDialogs& dialogs)
    {
        auto form = std::make_unique<Form1>(dialogs);
        form->setQuitFunction([] {});
        form->Form_Load();
        return form;
    }

    // What the next start of the program shows in the folder field.
    std::string savedFolder()
    {
        testsupport::RecordingDialogs other;
        return openForm(other)->Text1->text().toStdString();
    }

    void setFolder(const std::string& folder) { form->Text1->setText(QString::fromStdString(folder)); }
    std::string folder() const { return form->Text1->text().toStdString(); }

    fs::path root;
    testsupport::RecordingDialogs dialogs;
    std::unique_ptr<Form1> form;
};

} // namespace

TEST_F(ParadoxFolderCommands, ChoosingAFolderPutsItIntoTheField)
{
    const std::string chosen = (root / "tables").string();
    dialogs.folders = {QString::fromStdString(chosen)};
    form->PushButton1_Click();
    EXPECT_EQ(folder(), chosen);
    EXPECT_EQ(savedFolder(), chosen);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, Shown::FolderDialog);
    EXPECT_EQ(dialogs.shown[0].text, "Please select folder:");
    EXPECT_EQ(dialogs.shown[0].caption, ""); // nothing writes "LastFolderDot"
}

TEST_F(ParadoxFolderCommands, TheBrowserOpensOnTheStoredLastFolderDot)
{
    settings::SaveSetting("LastFolderDot", "/start/here");
    form->PushButton1_Click();
    settings::SaveSetting("LastFolderDot", "");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].caption, "/start/here");
}

TEST_F(ParadoxFolderCommands, CancellingLeavesFieldAndStoreAndOffersNoCopy)
{
    setFolder("/before/with space");
    form->PushButton1_Click();
    EXPECT_EQ(folder(), "/before/with space");
    EXPECT_EQ(savedFolder(), "/before/with space");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, Shown::FolderDialog);
}

TEST_F(ParadoxFolderCommands, AChosenFolderWithASpaceIsOfferedTheCopyForYourFiles)
{
    const std::string chosen = (root / "my tables").string();
    dialogs.folders = {QString::fromStdString(chosen)};
    dialogs.answers = {false};
    form->PushButton1_Click();
    EXPECT_EQ(folder(), chosen);
    const auto questions = dialogs.texts(Shown::Question);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], "In some cases the software needs to use a folder without spaces.\r\nIs it OK to create the folder "
                                + platform::AppDriveRoot() + "TestDB and put Your db files in it?");
}

TEST_F(ParadoxFolderCommands, LoadingTheSamplesNamesTheSamplesFolderBesideTheProgram)
{
    form->PushButton2_Click();
    EXPECT_EQ(folder(), platform::ApplicationFolder() + "/Samples");
    EXPECT_EQ(savedFolder(), folder());
    EXPECT_TRUE(dialogs.shown.empty()); // the build folder holds no space
}

TEST_F(ParadoxFolderCommands, TheFolderTestHasThreeOutcomes)
{
    testsupport::makeTree(root, {"temp/~temp.db", "parent/sub/x.db"});
    fs::create_directory_symlink(root / "loop", root / "loop");
    const std::string failure = report::errorReportText(
        "Too many levels of symbolic links: " + (root / "loop").string() + "/",
        "in Quillport2021/08/31.Form1.PushButton3_Click ", 106);
    const struct {
        std::string folder;
        std::vector<std::string> informations;
        std::vector<std::string> reports;
    } cases[] = {
        {"", {"Could not connect."}, {}},
        {(root / "temp").string(), {"Connection successful."}, {}},
        {(root / "parent").string(), {"Could not connect."}, {}},
        {(root / "parent/sub/").string(), {"Connection successful."}, {}},
        {(root / "loop").string(), {}, {failure}},
    };
    for (const auto& c : cases) {
        dialogs.clear();
        setFolder(c.folder);
        form->PushButton3_Click();
        EXPECT_EQ(dialogs.informations(), c.informations) << c.folder;
        EXPECT_EQ(dialogs.errorReports(), c.reports) << c.folder;
        EXPECT_EQ(appearance::mousePointer(*form), appearance::Default) << c.folder;
        for (const auto& s : dialogs.shown) {
            if (s.kind == Shown::Information) {
                EXPECT_EQ(s.caption, form->dialogs().applicationTitle());
            }
        }
    }
}

TEST_F(ParadoxFolderCommands, TheFolderTestOffersTheCopyFirst)
{
    testsupport::makeTree(root, {"my tables/orders.db"});
    setFolder((root / "my tables").string());
    dialogs.answers = {false};
    form->PushButton3_Click();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].kind, Shown::Question);
    EXPECT_EQ(dialogs.shown[1].text, "Connection successful.");
    EXPECT_EQ(dialogs.shown[1].caption, form->dialogs().applicationTitle());
    EXPECT_EQ(folder(), (root / "my tables").string());
}
