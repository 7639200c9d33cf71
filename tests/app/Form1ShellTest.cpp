// The two Help buttons, the example picture, the application title and closing the window.
#include "Form1Fixture.h"

#include "app/ShellTexts.h"

#include <QCoreApplication>
#include <QPushButton>

namespace {

using testsupport::Shown;

const std::string kGeneralHelp =
    "This software transfers text-based and numeric fields but does not handle binary / pictures fields."
    "\r\n\r\n"
    "Use SQL Preview if your tables contains less than 32767 rows."
    "\r\n\r\n"
    "Questions? Please contact Team Wrenmoor at https://www.wrenmoor.com/contact";

const std::string kConnectionHelp =
    "If you cannot establish connection to your MS SQL Server database with this program, please go to: "
    "\r\r"
    "https://www.sqlmanager.net/products/mssql/manager/download"
    "\r\r"
    "Download and install the EMS SQL Manager 2005 Lite for SQL Server. Try to connect to the same database "
    "(with the same login information you are using here). This will determine if the login you are using is "
    "correct.";

const std::string kPictureQuestion = "Would you like to see an image of how I connect locally?";

class Help : public Form1Fixture {
protected:
    void SetUp() override
    {
        Form1Fixture::SetUp();
        load();
        dialogs.clear();
    }
};

TEST_F(Help, GeneralHelpByteForByteUnderTheApplicationTitle)
{
    form->PushButton5->click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, Shown::Information);
    EXPECT_EQ(dialogs.shown[0].text, kGeneralHelp);
    EXPECT_EQ(dialogs.shown[0].caption, "Quillmere");
}

TEST_F(Help, ConnectionHelpAnsweredNoStartsNothing)
{
    dialogs.answers = {false};
    form->PushButton4->click();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].kind, Shown::Information);
    EXPECT_EQ(dialogs.shown[0].text, kConnectionHelp);
    EXPECT_EQ(dialogs.shown[0].caption, "Quillmere");
    EXPECT_EQ(dialogs.shown[1].kind, Shown::Question);
    EXPECT_EQ(dialogs.shown[1].text, kPictureQuestion);
    EXPECT_EQ(dialogs.unscriptedQuestions, 0);
}

TEST_F(Help, ConnectionHelpAnsweredYesOpensThePictureBesideTheProgram)
{
    dialogs.answers = {true};
    form->PushButton4->click();
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[2].kind, Shown::CommandLine);
    EXPECT_EQ(dialogs.shown[2].text,
              "xdg-open \"" + QCoreApplication::applicationDirPath().toStdString() + "/local-connection-example.jpg\"");
    EXPECT_TRUE(dialogs.errorReports().empty());
}

TEST_F(Help, PictureThatCannotBeStartedShowsTheReportOfStep118)
{
    dialogs.answers = {true};
    dialogs.commandLinesStart = false;
    form->PushButton4->click();
    const auto reports = dialogs.errorReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("\r\nin Quillport2021/08/31.Form1.PushButton4_Click at line 118\r\r"),
              std::string::npos);
}

TEST(PictureCommandLine, FolderWithSpacesStaysOneQuotedPath)
{
    EXPECT_EQ(shell::pictureCommandLine("/opt/Wren moor/Quill mere"),
              "xdg-open \"/opt/Wren moor/Quill mere/local-connection-example.jpg\"");
}

struct TitleCase {
    std::string product;
    std::string title;
};

class ShortTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(ShortTitle, CutAtWordBoundaryAndAtMost40)
{
    const std::string title = shell::SetShortAppTitle(GetParam().product);
    EXPECT_EQ(title, GetParam().title);
    EXPECT_LE(title.size(), 40u);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, ShortTitle,
    ::testing::Values(TitleCase{"Quillmere", "Quillmere"}, TitleCase{"Quillmere Converter", "Quillmere"},
                      TitleCase{"Quillmere SQL Server to Paradox Converter", "Quillmere SQL Server to Paradox"},
                      TitleCase{"Quillmere SQL Server 2019 to Paradox 7 Data Converter Pro",
                                "Quillmere SQL Server 2019 to Paradox 7"},
                      TitleCase{std::string(40, 'q') + " x", std::string(40, 'q')},
                      TitleCase{std::string(35, 'q') + " abcd", std::string(35, 'q')}));

class Closing : public Form1Fixture {};

TEST_F(Closing, ClosingTheMainWindowEndsTheProgramWithAnotherWindowOpen)
{
    Form1& f = loadShown();
    QWidget other;
    other.setWindowTitle("SQL Preview");
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    f.close();
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(other.isHidden());
    EXPECT_TRUE(dialogs.shown.empty());
}

} // namespace
