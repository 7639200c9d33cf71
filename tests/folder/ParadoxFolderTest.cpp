#include "FolderTestHelpers.h"

#include "RecordingDialogs.h"
#include "TestPaths.h"

#include "db/Paradox.h"
#include "paradox/CaseFold.h"
#include "report/ErrorReport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

Names tablesOf(const std::string& folder)
{
    testsupport::RecordingDialogs dialogs;
    platform::ListBox list;
    list.AddItem("left over");
    Paradox::ListParadoxTables(folder, list, dialogs);
    EXPECT_TRUE(dialogs.shown.empty());
    return list.items();
}

std::string contentOf(const fs::path& file)
{
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

const std::string kQuestionStart = "In some cases the software needs to use a folder without spaces.\r\n"
                                   "Is it OK to create the folder ";

} // namespace

TEST(ParadoxFolder, TheFolderTestCountsTableFilesOfTheFolderItselfOnly)
{
    const fs::path root = testsupport::freshFolder("hastables");
    testsupport::makeTree(root, {"onlytemp/~temp.db", "nested/sub/x.db", "upper/ORDERS.DB", "empty/",
                                 "textonly/readme.txt", "dbfolder/folder.db/", "writing/.quillmere.lock"});
    const struct {
        std::string folder;
        bool tables;
    } cases[] = {
        {"", false},
        {(root / "onlytemp").string(), true},
        {(root / "nested").string(), false},
        {(root / "nested/sub").string(), true},
        {(root / "upper").string() + "/", true},
        {(root / "empty").string(), false},
        {(root / "textonly").string(), false},
        {(root / "dbfolder").string(), false},
        {(root / "writing").string(), false},   // only the lock file of a writer
        {(root / "missing").string(), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Paradox::HasParadoxTables(c.folder), c.tables) << c.folder;
}

TEST(ParadoxFolder, ExistingTablesComeFromEveryDepthInUpperCaseWithoutDb)
{
    const fs::path root = testsupport::freshFolder("listtables");
    testsupport::makeTree(root, {"orders.db", "Lines.DB", "~temp.db", "a.db.backup.db", "notes.txt", "orders.px",
                                 "2020/orders.db", "2020/q1/deep/stock.Db", "2020/q1/~lock.db", ".cache/hidden.db", ".quillmere.lock"});
    fs::create_directory_symlink(root, root / "2020/q1/back-to-top");

    EXPECT_EQ(tablesOf(root.string()), (Names{"A.BACKUP", "LINES", "ORDERS", "HIDDEN", "ORDERS", "STOCK"}));
    EXPECT_EQ(tablesOf(root.string() + "/"), tablesOf(root.string()));
    EXPECT_EQ(tablesOf((root / "missing").string()), Names{});
    EXPECT_EQ(tablesOf(""), Names{});
}

// An entry is upper case one character to one (ß stays ß), so it folds to the name the
// engine finds the table by; "STRASSE" would leave the overwrite question unasked.
TEST(ParadoxFolder, EntriesFoldToTheNameOfTheirTable)
{
    const fs::path root = testsupport::freshFolder("listfolded");
    const Names stems{"stra\xC3\x9F" "e", "\xC3\xA4rger", "\xC5\x93uvre"};
    testsupport::makeTree(root, {stems[0] + ".db", stems[1] + ".db", stems[2] + ".db"});
    const Names listed = tablesOf(root.string());
    EXPECT_EQ(listed, (Names{"STRA\xC3\x9F" "E", "\xC3\x84RGER", "\xC5\x92UVRE"}));
    for (std::size_t i = 0; i < listed.size() && i < stems.size(); ++i)
        EXPECT_EQ(paradox::foldCase(listed[i]), paradox::foldCase(stems[i])) << listed[i];
}

TEST(ParadoxFolder, OnlyTheTemporaryFileGivesAnEmptyListAndTheSubFolderFindsItsTable)
{
    const fs::path root = testsupport::freshFolder("edgecases");
    testsupport::makeTree(root, {"temp/~temp.db", "parent/sub/x.db"});
    EXPECT_EQ(tablesOf((root / "temp").string()), Names{});
    EXPECT_EQ(tablesOf((root / "parent").string()), Names{"X"});
}

TEST(ParadoxFolder, AnUnreadableSubFolderDisappearsFromTheList)
{
    const fs::path root = testsupport::reachableFolder("listclosed");
    testsupport::makeTree(root, {"top.db", "open/a.db", "closed/b.db", "closed/inner/c.db"});
    fs::permissions(root / "closed", fs::perms::none);
    const std::string folder = root.string();
    const std::string outcome = testsupport::runUnprivileged([&] {
        testsupport::RecordingDialogs dialogs;
        platform::ListBox list;
        Paradox::ListParadoxTables(folder, list, dialogs);
        std::string names;
        for (const auto& n : list.items())
            names += n + " ";
        return names + std::to_string(dialogs.shown.size()) + " reports";
    });
    fs::permissions(root / "closed", fs::perms::owner_all);
    EXPECT_EQ(outcome, "TOP A 0 reports");
}

TEST(ParadoxFolder, ConnectionStringInsertsTheFolderTwiceFollowedByABackslash)
{
    EXPECT_EQ(Paradox::BuildParadoxConnectionString("/data/tables"),
              "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;"
              "DefaultDir=/data/tables\\;Dbq=/data/tables\\;CollatingSequence=ASCII;");
    EXPECT_EQ(Paradox::BuildParadoxConnectionString("/data/"),
              "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;"
              "DefaultDir=/data/\\;Dbq=/data/\\;CollatingSequence=ASCII;");
    EXPECT_EQ(Paradox::BuildParadoxConnectionString("C:\\data\\"),
              "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;"
              "DefaultDir=C:\\data\\\\;Dbq=C:\\data\\\\;CollatingSequence=ASCII;");
}

class CopyDB : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = testsupport::reachableFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        drive = root / "drive";
        source = root / "my tables";
        testsupport::makeTree(root, {"drive/", "my tables/orders.db", "my tables/orders.px", "my tables/2020/old.db"});
    }

    std::string driveRoot() const { return drive.string() + "/"; }
    std::string testDB() const { return (drive / "TestDB").string(); }
    std::string question(const std::string& word) const
    {
        return kQuestionStart + testDB() + " and put " + word + " db files in it?";
    }
    std::string report(const std::string& description, int line) const
    {
        return report::errorReportText(description, "in Quillport2021/08/31.Paradox.CopyDB ", line);
    }

    fs::path root, drive, source;
    testsupport::RecordingDialogs dialogs;
};

TEST_F(CopyDB, AFolderWithoutSpacesIsUsedAsItIs)
{
    for (const std::string folder : {"/data/tables", "  /data/tables  ", "", "   "})
        EXPECT_EQ(Paradox::CopyDB(false, folder, dialogs, driveRoot()), folder);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_FALSE(fs::exists(testDB()));
}

TEST_F(CopyDB, NoLeavesTheFolderAndCreatesNothing)
{
    dialogs.answers = {false, false};
    EXPECT_EQ(Paradox::CopyDB(false, source.string(), dialogs, driveRoot()), source.string());
    EXPECT_EQ(Paradox::CopyDB(true, source.string(), dialogs, driveRoot()), source.string());
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].kind, testsupport::Shown::Question);
    EXPECT_EQ(dialogs.shown[0].text, question("Your"));
    EXPECT_EQ(dialogs.shown[0].caption, "Quillmere");
    EXPECT_EQ(dialogs.shown[1].text, question("sample"));
    EXPECT_FALSE(fs::exists(testDB()));
}

TEST_F(CopyDB, YesCopiesEverythingIntoTheNewFolderAndLeavesTheSource)
{
    dialogs.answers = {true};
    EXPECT_EQ(Paradox::CopyDB(true, source.string(), dialogs, driveRoot()), testDB());
    EXPECT_EQ(contentOf(drive / "TestDB/orders.db"), "my tables/orders.db");
    EXPECT_EQ(contentOf(drive / "TestDB/orders.px"), "my tables/orders.px");
    EXPECT_EQ(contentOf(drive / "TestDB/2020/old.db"), "my tables/2020/old.db");
    EXPECT_TRUE(fs::exists(source / "orders.db"));
    EXPECT_EQ(dialogs.texts(testsupport::Shown::Question), (Names{question("sample")}));
    EXPECT_TRUE(dialogs.errorReports().empty());
}

TEST_F(CopyDB, ASecondCopyReplacesFilesOfTheSameNameAndKeepsTheOthers)
{
    testsupport::makeTree(drive, {"TestDB/orders.db", "TestDB/keep.db", "TestDB/2020/keep-too.db"});
    std::ofstream(source / "orders.db") << "new orders";
    dialogs.answers = {true};
    EXPECT_EQ(Paradox::CopyDB(false, source.string(), dialogs, driveRoot()), testDB());
    EXPECT_EQ(contentOf(drive / "TestDB/orders.db"), "new orders");
    EXPECT_EQ(contentOf(drive / "TestDB/keep.db"), "TestDB/keep.db");
    EXPECT_EQ(contentOf(drive / "TestDB/2020/keep-too.db"), "TestDB/2020/keep-too.db");
    EXPECT_EQ(contentOf(drive / "TestDB/2020/old.db"), "my tables/2020/old.db");
    EXPECT_TRUE(dialogs.errorReports().empty());
}

TEST_F(CopyDB, AFailedCopyIsReportedAndTheNewFolderIsStillTaken)
{
    dialogs.answers = {true, true};
    const std::string missing = (root / "no such folder").string();
    EXPECT_EQ(Paradox::CopyDB(false, missing, dialogs, driveRoot()), testDB());
    EXPECT_EQ(dialogs.errorReports(), (Names{report("No such file or directory: " + missing, 120)}));

    // A space-free folder inside the source would receive its own copy without end.
    dialogs.clear();
    const std::string inside = (source / "2020").string() + "/";
    EXPECT_EQ(Paradox::CopyDB(false, source.string(), dialogs, inside), inside + "TestDB");
    EXPECT_EQ(dialogs.errorReports(),
              (Names{report("Cannot copy the folder " + source.string() + " into itself (" + inside + "TestDB)", 120)}));
    EXPECT_FALSE(fs::exists(source / "2020/TestDB/2020"));
}

TEST_F(CopyDB, RefusedCreationIsReportedAndTheExistenceTestSkipsTheCopy)
{
    // A file where the drive's folder should be fails for every user, root included.
    std::ofstream(root / "not-a-folder") << "x";
    const std::string fileRoot = (root / "not-a-folder").string() + "/";
    dialogs.answers = {true};
    EXPECT_EQ(Paradox::CopyDB(false, source.string(), dialogs, fileRoot), source.string());
    EXPECT_EQ(dialogs.errorReports(), (Names{report("Not a directory: " + fileRoot + "TestDB", 116)}));

    // Missing permission, as a user without special rights.
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read
        | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(drive, readOnly);
    const std::string folder = source.string();
    const std::string target = driveRoot();
    const std::string outcome = testsupport::runUnprivileged([&] {
        testsupport::RecordingDialogs unprivileged;
        unprivileged.answers = {true};
        const std::string result = Paradox::CopyDB(false, folder, unprivileged, target);
        std::string reports;
        for (const auto& r : unprivileged.errorReports())
            reports += r;
        return result + "|" + reports;
    });
    fs::permissions(drive, fs::perms::owner_all);
    EXPECT_EQ(outcome, folder + "|" + report("Permission denied: " + testDB(), 116));
    EXPECT_FALSE(fs::exists(testDB()));
}
