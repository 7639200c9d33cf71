#include "db/Paradox.h"

#include "db/OdbcConnectionString.h"
#include "paradox/CaseFold.h"
#include "paradox/FileIo.h"
#include "platform/FileSystem.h"
#include "platform/Files.h"
#include "report/ErrorReport.h"
#include "report/ErrorTrap.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

namespace Paradox {

namespace {

const std::string kTablePattern = "*.db";

std::string withoutLast(const std::string& text)
{
    return text.empty() ? text : text.substr(0, text.size() - 1);
}

// Every occurrence, left to right, without looking again at what the removal joins together.
std::string removeAll(const std::string& text, const std::string& part)
{
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, from)) {
        out.append(text, from, at - from);
        from = at + part.size();
    }
    out.append(text, from);
    return out;
}

std::string trimSpaces(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

[[noreturn]] void fail(int error, const std::string& path)
{
    throw platform::FileSystemError(error, std::string(std::strerror(error)) + ": " + path);
}

void createFolder(const std::string& folder)
{
    if (!platform::CreateFolder(folder))
        fail(errno, folder);
}

// Copies the content of `source` into the existing folder `target`: files of the same name are
// replaced, everything else there stays. Links are copied as links, so a link loop in the source
// cannot make the copy endless; a target inside the source is refused for the same reason.
void copyFolderInto(const std::string& source, const std::string& target)
{
    namespace fs = std::filesystem;
    if (!platform::IsFolder(source))
        fail(ENOENT, source);
    std::error_code error;
    const fs::path from = fs::canonical(paradox::fileio::pathOf(source), error);
    if (error)
        fail(error.value(), source);
    const fs::path to = fs::canonical(paradox::fileio::pathOf(target), error);
    if (error)
        fail(error.value(), target);
    const auto [end, at] = std::mismatch(from.begin(), from.end(), to.begin(), to.end());
    if (end == from.end())
        throw std::runtime_error("Cannot copy the folder " + source + " into itself (" + target + ")");
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing | fs::copy_options::copy_symlinks,
             error);
    if (error)
        throw platform::FileSystemError(error.value(), error.message() + ": copying " + source + " to " + target);
}

// Adds the tables of the one folder `path`, named as ListParadoxTables names them.
void addTablesOf(const std::string& path, platform::ListBox& list)
{
    for (const std::string& name : platform::ListFiles(path, kTablePattern)) {
        if (name.front() == '~')
            continue;
        const std::string file = platform::FileNameOfPath(path + platform::kPathSeparator + name);
        list.AddItem(removeAll(paradox::upperCase(file), ".DB"));
    }
}

std::string offerCopy(bool sample, const std::string& folderText, report::MessageService& messages,
                      const std::function<std::string()>& driveRoot)
{
    report::ErrorTrap trap(messages, report::locationText("Paradox", "CopyDB"));
    std::string folder = folderText;

    const std::optional<bool> spaced = trap.value<bool>(100, [&] {
        return trimSpaces(folderText).find(' ') != std::string::npos;
    });
    if (!spaced || !*spaced)
        return folder;

    std::string word;
    trap.when(102, [&] { return sample; }, [&] { trap(104, [&] { word = "sample"; }); },
              [&] { trap(106, [&] { word = "Your"; }); });

    const std::optional<std::string> spaceFree = trap.value<std::string>(108, [&] { return driveRoot() + "TestDB"; });
    if (!spaceFree)
        return folder;

    const std::optional<bool> yes = trap.value<bool>(110, [&] {
        return messages.question("In some cases the software needs to use a folder without spaces.\r\n"
                                 "Is it OK to create the folder " + *spaceFree + " and put " + word
                                 + " db files in it?");
    });
    if (!yes || !*yes)
        return folder;

    trap.when(114, [&] { return !platform::IsFolder(*spaceFree); },
              [&] { trap(116, [&] { createFolder(*spaceFree); }); });
    trap.when(118, [&] { return platform::IsFolder(*spaceFree); }, [&] {
        trap(120, [&] { copyFolderInto(folderText, *spaceFree); });
        trap(122, [&] { folder = *spaceFree; });
    });
    return folder;
}

} // namespace

bool HasParadoxTables(const std::string& folder)
{
    if (folder.empty())
        return false;
    return !platform::ListFiles(folder, kTablePattern).empty();
}

void ListParadoxTables(const std::string& folder, platform::ListBox& list, report::MessageService& messages)
{
    list.Clear();
    if (folder.empty())
        return;
    std::vector<std::string> folders{folder + platform::kPathSeparator};
    platform::GetSubDirectories2016(folders, true, messages);
    for (const std::string& entry : folders)
        addTablesOf(withoutLast(entry), list);
}

void ListOwnParadoxTables(const std::string& folder, platform::ListBox& list)
{
    list.Clear();
    if (!folder.empty())
        addTablesOf(folder, list);
}

std::string BuildParadoxConnectionString(const std::string& folder)
{
    // A folder the reader would cut short (at a ';') or trim (blanks after '=') goes in braces,
    // or the statements would run in another folder than the one the run tested and listed.
    const std::string value = folder + "\\";
    const std::string quoted = value.front() == ' ' ? db::bracedConnectionValue(value) : db::connectionValue(value);
    return "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=" + quoted
        + ";Dbq=" + quoted + ";CollatingSequence=ASCII;";
}

std::string SampleFolder()
{
    return platform::ApplicationDataFolder() + "/Samples";
}

std::string CopyDB(bool sample, const std::string& folderText, report::MessageService& messages)
{
    return offerCopy(sample, folderText, messages, [] { return platform::AppDriveRoot(); });
}

std::string CopyDB(bool sample, const std::string& folderText, report::MessageService& messages,
                   const std::string& driveRoot)
{
    return offerCopy(sample, folderText, messages, [&] { return driveRoot; });
}

} // namespace Paradox
