#include "paradox/FolderLock.h"

#include "paradox/Database.h"

namespace fs = std::filesystem;

namespace paradox {

void FolderLock::inUse(const fs::path& folder, long holder)
{
    throw FolderInUseError("The folder '" + folder.string() + "' is being written by another program" +
                           (holder > 0 ? " (process " + std::to_string(holder) + ")" : std::string()) +
                           "; only one program at a time may write to a folder");
}

void FolderLock::cannotLock(const fs::path& folder, const std::string& why)
{
    throw FileError("Cannot lock the folder '" + folder.string() + "' for writing: " + why);
}

}  // namespace paradox
