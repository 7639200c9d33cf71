#include "FolderTestHelpers.h"

#include "RecordingDialogs.h"
#include "TestPaths.h"

#include "platform/FileSystem.h"
#include "platform/qt/FolderPicker.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sstream>

#include <sys/stat.h>

namespace fs = std::filesystem;
using platform::FileNameOfPath;
using platform::GetSubDirectories2016;
using platform::HasUnsafeCharacters;
using platform::IsFolder;
using platform::IsOpenableFile;
using platform::ListFiles;
using platform::PathExists;

namespace {

std::string slash(const fs::path& folder) { return folder.string() + "/"; }

using Names = std::vector<std::string>;

// The walk's result with `root` cut off each entry, so expectations read as the tree does.
Names relative(const Names& folders, const fs::path& root)
{
    Names out;
    for (const auto& f : folders)
        out.push_back(f.rfind(slash(root), 0) == 0 ? f.substr(slash(root).size()) : "!" + f);
    return out;
}

Names walk(const fs::path& root, Names seeded, bool recurse, testsupport::RecordingDialogs& dialogs)
{
    GetSubDirectories2016(seeded, recurse, dialogs);
    return relative(seeded, root);
}

std::string joined(const Names& names)
{
    std::string out;
    for (const auto& n : names)
        out += n + "|";
    return out;
}

} // namespace

TEST(PathQueries, FileFolderLinkAndMissingPathEachAnswerTheirOwnWay)
{
    const fs::path root = testsupport::freshFolder("queries");
    testsupport::makeTree(root, {"dir/", "file.db"});
    fs::create_symlink(root / "file.db", root / "link-to-file");
    fs::create_directory_symlink(root / "dir", root / "link-to-dir");
    fs::create_symlink(root / "gone", root / "dangling");
    ASSERT_EQ(mkfifo((root / "pipe").c_str(), 0600), 0);
    const struct {
        std::string name;
        bool folder, openable, exists;
    } cases[] = {
        {"dir", true, false, true},
        {"dir/", true, false, true},
        {"file.db", false, true, true},
        {"link-to-file", false, true, true},
        {"link-to-dir", true, false, true},
        {"dangling", false, false, false},
        {"missing", false, false, false},
        {"file.db/inside", false, false, false},
        {"pipe", false, false, true},
    };
    for (const auto& c : cases) {
        const std::string path = (root / c.name).string() + (c.name.back() == '/' ? "/" : "");
        EXPECT_EQ(IsFolder(path), c.folder) << c.name;
        EXPECT_EQ(IsOpenableFile(path), c.openable) << c.name;
        EXPECT_EQ(PathExists(path), c.exists) << c.name;
    }
    EXPECT_FALSE(IsFolder(""));
    EXPECT_FALSE(IsOpenableFile(""));
    EXPECT_FALSE(PathExists(""));
}

TEST(PathQueries, AFileWithoutAnyPermissionStillOpensWithoutDataAccess)
{
    const fs::path root = testsupport::reachableFolder("noaccess");
    testsupport::makeTree(root, {"locked.db"});
    fs::permissions(root / "locked.db", fs::perms::none);
    const std::string path = (root / "locked.db").string();
    EXPECT_EQ(testsupport::runUnprivileged([&] { return std::string(IsOpenableFile(path) ? "yes" : "no"); }), "yes");
}

TEST(UnsafeCharacters, Windows1252DecidesWhichNamesAreUnsafe)
{
    const struct {
        std::string name;
        bool unsafe;
    } cases[] = {
        {"", false},
        {"Orders 2021", false},
        {"~$tmp{x}!", false},
        {"Caf\u00e9 \u00c5se \u00ff", false},     // Latin-1 letters from 160 on
        {"\u00a0", false},                        // no-break space is 160
        {"what?", true},
        {"tab\there", true},
        {std::string("nul\0x", 5), true},
        {"del\x7f", true},
        {"euro \u20ac", true},                    // 128 in Windows-1252
        {"quote \u201c", true},                   // 147
        {"\u0081", true},                         // C1 control
        {"\u0100ne", true},                       // not in Windows-1252: becomes '?'
        {"\u65e5\u672c", true},
        {"\xff\xfe", true},                       // not UTF-8
        {"\xc3", true},                           // cut UTF-8 sequence
        {"\xc0\xaf", true},                       // overlong form of '/'
    };
    for (const auto& c : cases)
        EXPECT_EQ(HasUnsafeCharacters(c.name), c.unsafe) << c.name;
}

TEST(FileNameOfPath, TakesTheTextAfterTheLastSeparator)
{
    EXPECT_EQ(FileNameOfPath("/data/TABLE.DB"), "TABLE.DB");
    EXPECT_EQ(FileNameOfPath("TABLE.DB"), "TABLE.DB");
    EXPECT_EQ(FileNameOfPath("/data/"), "");
    EXPECT_EQ(FileNameOfPath("/data//a.db"), "a.db");
    EXPECT_EQ(FileNameOfPath(""), "");
}

TEST(ListFiles, MatchesIgnoringCaseWithOrWithoutTrailingSeparator)
{
    const fs::path root = testsupport::freshFolder("listfiles");
    testsupport::makeTree(root, {"ORDERS.DB", "lines.db", "Mixed.Db", ".hidden.db", "~temp.db", "a.db.backup.db",
                                 "notes.txt", "x.dbf", "db", "folder.db/", "folder.db/inner.db"});
    fs::create_symlink(root / "gone.db", root / "dangling.db");
    const Names expected = {".hidden.db", "a.db.backup.db", "lines.db", "Mixed.Db", "ORDERS.DB", "~temp.db"};
    EXPECT_EQ(ListFiles(root.string(), "*.db"), expected);
    EXPECT_EQ(ListFiles(slash(root), "*.db"), expected);
    EXPECT_EQ(ListFiles(slash(root), "*.DB"), expected);
    EXPECT_EQ(ListFiles(root.string(), "?????.db"), (Names{"lines.db", "Mixed.Db", "~temp.db"}));
    EXPECT_EQ(ListFiles(root.string(), "*.mb"), Names{});
    EXPECT_EQ(ListFiles((root / "missing").string(), "*.db"), Names{});
    EXPECT_EQ(ListFiles((root / "ORDERS.DB").string(), "*.db"), Names{});
}

TEST(ListFiles, AFolderThatCannotBeReadFails)
{
    const fs::path root = testsupport::reachableFolder("listfiles-fail");
    // A link to itself fails for every user, root included.
    fs::create_directory_symlink(root / "loop", root / "loop");
    try {
        ListFiles((root / "loop").string(), "*.db");
        ADD_FAILURE() << "no failure";
    } catch (const platform::FileSystemError& e) {
        EXPECT_EQ(e.error(), ELOOP);
        EXPECT_NE(std::string(e.what()).find((root / "loop").string()), std::string::npos) << e.what();
    }

    testsupport::makeTree(root, {"closed/", "closed/a.db"});
    fs::permissions(root / "closed", fs::perms::none);
    const std::string closed = (root / "closed").string();
    const std::string outcome = testsupport::runUnprivileged([&] {
        try {
            ListFiles(closed, "*.db");
            return std::string("listed");
        } catch (const platform::FileSystemError& e) {
            return std::string(e.what());
        }
    });
    fs::permissions(root / "closed", fs::perms::owner_all);
    EXPECT_EQ(outcome, "Permission denied: " + closed + "/");
}

TEST(SubDirectories, WalksBreadthFirstAndOnlyOneLevelWithoutRecursion)
{
    const fs::path root = testsupport::freshFolder("walk");
    testsupport::makeTree(root, {"a/b/c/", "a/B2/", "z/y/", ".hidden/deep/", "file.db", "a/b/table.db"});
    testsupport::RecordingDialogs dialogs;

    EXPECT_EQ(walk(root, {slash(root)}, true, dialogs),
              (Names{"", ".hidden/", "a/", "z/", ".hidden/deep/", "a/b/", "a/B2/", "z/y/", "a/b/c/"}));
    EXPECT_EQ(walk(root, {slash(root)}, false, dialogs), (Names{"", ".hidden/", "a/", "z/"}));
    EXPECT_EQ(walk(root, {slash(root / "a"), slash(root / "z")}, true, dialogs),
              (Names{"a/", "z/", "a/b/", "a/B2/", "z/y/", "a/b/c/"}));
    // Seeded entries that are no folders stay, unlisted.
    EXPECT_EQ(walk(root, {slash(root / "missing"), slash(root / "file.db"), slash(root / "z")}, true, dialogs),
              (Names{"missing/", "file.db/", "z/", "z/y/"}));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST(SubDirectories, LinksToFoldersAreNeitherReturnedNorFollowed)
{
    const fs::path root = testsupport::freshFolder("walk-links");
    testsupport::makeTree(root, {"a/b/"});
    fs::create_directory_symlink(root, root / "a/b/up");       // a loop back to the top
    fs::create_directory_symlink(root / "a", root / "side");
    fs::create_symlink(root / "gone", root / "a/dangling");
    testsupport::RecordingDialogs dialogs;

    EXPECT_EQ(walk(root, {slash(root)}, true, dialogs), (Names{"", "a/", "a/b/"}));
    EXPECT_EQ(walk(root, {slash(root / "a")}, false, dialogs), (Names{"a/", "a/b/"}));
    // A seeded link is not listed either.
    EXPECT_EQ(walk(root, {slash(root / "side")}, true, dialogs), (Names{"side/"}));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST(SubDirectories, UnsafeNamesAreSkippedWithEverythingBelowThem)
{
    const fs::path root = testsupport::freshFolder("walk-names");
    testsupport::makeTree(root, {"ok/", "tab\there/below/", "why?/below/", "\u65e5\u672c/below/", "euro\u20ac/",
                                 "caf\u00e9/below/"});
    testsupport::RecordingDialogs dialogs;
    EXPECT_EQ(walk(root, {slash(root)}, true, dialogs), (Names{"", "caf\u00e9/", "ok/", "caf\u00e9/below/"}));
}

TEST(SubDirectories, FoldersThatCannotBeListedLeaveTheList)
{
    const fs::path root = testsupport::reachableFolder("walk-closed");
    testsupport::makeTree(root, {"open/inner/", "closed/inner/", "alsoclosed/"});
    fs::permissions(root / "closed", fs::perms::none);
    fs::permissions(root / "alsoclosed", fs::perms::none);
    const std::string seedRoot = slash(root);
    const std::string seedClosed = slash(root / "alsoclosed");
    const std::string seedOpen = slash(root / "open");
    const std::string outcome = testsupport::runUnprivileged([&] {
        testsupport::RecordingDialogs dialogs;
        Names tree{seedRoot};
        GetSubDirectories2016(tree, true, dialogs);
        Names seededClosed{seedClosed, seedOpen};
        GetSubDirectories2016(seededClosed, false, dialogs);
        return joined(relative(tree, root)) + " / " + joined(relative(seededClosed, root)) + " / "
            + std::to_string(dialogs.shown.size());
    });
    fs::permissions(root / "closed", fs::perms::owner_all);
    fs::permissions(root / "alsoclosed", fs::perms::owner_all);
    EXPECT_EQ(outcome, "|open/|open/inner/| / open/|open/inner/| / 0");
}

TEST(DriveRoot, IsTheMountPointHoldingThePath)
{
    EXPECT_EQ(platform::DriveRootOf("/"), "/");
    EXPECT_EQ(platform::DriveRootOf("/proc/self/fd"), "/proc/");
    EXPECT_EQ(platform::DriveRootOf("/proc"), "/proc/");
    const fs::path root = testsupport::freshFolder("drive");
    fs::create_directory_symlink("/proc/self", root / "into-proc");
    EXPECT_EQ(platform::DriveRootOf((root / "into-proc").string()), "/proc/");
    EXPECT_THROW(platform::DriveRootOf((root / "missing").string()), platform::FileSystemError);

    const std::string appRoot = platform::AppDriveRoot();
    EXPECT_EQ(appRoot, platform::DriveRootOf(platform::ApplicationFolder()));
    EXPECT_EQ(appRoot.back(), '/');
    EXPECT_EQ(platform::ApplicationFolder(), fs::canonical("/proc/self/exe").parent_path().string());
}

TEST(FolderPicker, HandsPromptAndStartFolderOverAndReturnsThePathAsGiven)
{
    testsupport::RecordingDialogs dialogs;
    dialogs.folders = {"/data/tables", "", QString::fromUtf8("/data/a\0b", 9)};
    EXPECT_EQ(platform::PickFolder(dialogs, nullptr, "Please select folder:", "/start"), "/data/tables");
    EXPECT_EQ(platform::PickFolder(dialogs, nullptr, "Please select folder:", ""), "");
    EXPECT_EQ(platform::PickFolder(dialogs, nullptr, "Please select folder:", "/missing"), "/data/a");
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[0].kind, testsupport::Shown::FolderDialog);
    EXPECT_EQ(dialogs.shown[0].text, "Please select folder:");
    EXPECT_EQ(dialogs.shown[0].caption, "/start");
    EXPECT_EQ(dialogs.shown[2].caption, "/missing");
}
