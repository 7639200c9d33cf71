// The Windows side of the files written beside the tables and of the folder queries: UTF-8 paths
// with either separator, the statement file's way (a new file of its own, renamed over the old
// one), and a reparse point in a file's place refused rather than written through.
#include "TestPaths.h"

#include "paradox/FileIo.h"
#include "platform/FileSystem.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using platform::PathKind;

std::string folderFor(const std::string& name)
{
    return paradox::fileio::nameOf(testsupport::freshFolder(name)) + "\\\xc3\x9c"
                                                                     "n\xc3\xaf"
                                                                     "c\xc3\xb8"
                                                                     "d\xc3\xa9";
}

std::string contentOf(const std::string& path)
{
    std::ifstream in(paradox::fileio::pathOf(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const std::string& path, const std::string& text)
{
    platform::OutputFile file;
    ASSERT_TRUE(file.replace(path));
    ASSERT_TRUE(file.writeAll(text.data(), text.size()));
    ASSERT_TRUE(file.close());
}

PathKind kindOf(const std::string& path)
{
    PathKind kind = PathKind::Other;
    EXPECT_TRUE(platform::KindOfPath(path, kind)) << path;
    return kind;
}

} // namespace

TEST(WindowsFiles, WritesANewFileAndRenamesItOverTheOldOne)
{
    const std::string folder = folderFor("rename");
    ASSERT_TRUE(platform::CreateFolder(folder));
    EXPECT_FALSE(platform::CreateFolder(folder));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(kindOf(folder), PathKind::Folder);

    const std::string target = folder + "\\statements.sql";
    write(target, "the run before");
    std::string temp = folder + "/.statements.sql.XXXXXX";
    std::string other = temp;
    platform::OutputFile file, second;
    ASSERT_TRUE(file.createUnique(temp));
    ASSERT_TRUE(second.createUnique(other));
    EXPECT_EQ(temp.find("XXXXXX"), std::string::npos);
    EXPECT_NE(temp, other);
    ASSERT_TRUE(file.writeAll("this run", 8));
    EXPECT_TRUE(file.sync());
    EXPECT_TRUE(file.close());
    EXPECT_FALSE(file.close());
    ASSERT_TRUE(platform::RenameFile(temp, target));
    EXPECT_EQ(contentOf(target), "this run");
    EXPECT_EQ(kindOf(temp), PathKind::Missing);

    write(target, "");
    EXPECT_EQ(contentOf(target), "");
    ASSERT_TRUE(platform::RemoveFile(target));
    EXPECT_EQ(kindOf(target), PathKind::Missing);
    EXPECT_FALSE(platform::RemoveFile(target));
    EXPECT_EQ(errno, ENOENT);
}

TEST(WindowsFiles, RefusesAReparsePointInTheFilesPlace)
{
    const std::string folder = folderFor("link");
    ASSERT_TRUE(platform::CreateFolder(folder));
    const std::string secret = folder + "\\secret.txt";
    const std::string link = folder + "\\rejected-rows.sql";
    write(secret, "kept");
    const std::wstring linkName = paradox::fileio::pathOf(link).wstring();
    ::CreateSymbolicLinkW(linkName.c_str(), paradox::fileio::pathOf(secret).c_str(),
                          SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    // Wine answers the call without making a link; Windows makes none for a user who may not.
    const DWORD attributes = ::GetFileAttributesW(linkName.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "this system made no symbolic link";
    EXPECT_EQ(kindOf(link), PathKind::Link);
    platform::OutputFile file;
    EXPECT_FALSE(file.replace(link));
    EXPECT_EQ(errno, ELOOP);
    EXPECT_EQ(contentOf(secret), "kept");
}

TEST(WindowsFileSystem, ListsTablesIgnoringCaseWithEitherSeparator)
{
    const std::string folder = folderFor("list");
    ASSERT_TRUE(platform::CreateFolder(folder));
    const std::string unicodeTable = "\xc3\x9c"
                                     "ml\xc3\xa4"
                                     "ute.DB";
    for (const std::string& name : {std::string("orders.db"), unicodeTable, std::string("notes.txt")})
        write(folder + "\\" + name, "x");
    ASSERT_TRUE(platform::CreateFolder(folder + "\\Folder.DB"));

    EXPECT_EQ(platform::ListFiles(folder, "*.DB"), (std::vector<std::string>{"orders.db", unicodeTable}));
    EXPECT_EQ(platform::ListFiles(folder + "\\", "ORDERS.*"), std::vector<std::string>{"orders.db"});
    EXPECT_TRUE(platform::ListFiles(folder + "\\missing", "*.DB").empty());
    EXPECT_TRUE(platform::IsFolder(folder + "/Folder.DB"));
    EXPECT_FALSE(platform::IsOpenableFile(folder + "/Folder.DB"));
    EXPECT_TRUE(platform::IsOpenableFile(folder + "\\" + unicodeTable));
    EXPECT_TRUE(platform::PathExists(folder + "\\notes.txt"));
    EXPECT_FALSE(platform::PathExists(folder + "\\missing"));

    const std::string root = platform::DriveRootOf(folder);
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(root.back(), '/');
    EXPECT_TRUE(platform::IsFolder(root));
    EXPECT_EQ(platform::ApplicationFolder().find('\\'), std::string::npos);
}
