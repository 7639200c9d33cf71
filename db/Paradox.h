#pragma once
// The Paradox folder side of the data access: does a folder hold tables, which tables exist in it
// and below it, the connection string of the target connection, and the offer of a copy into a
// folder without spaces. Folder texts are UTF-8 and used as typed (nothing trimmed or added).

#include "platform/ListBox.h"

#include <string>

namespace report {
class MessageService;
}

namespace Paradox {

// True when `folder` is not empty and the folder itself (not its sub-folders) holds a file
// matching "*.db", a "~" temporary one included. Shows nothing; a failed listing throws
// platform::FileSystemError.
bool HasParadoxTables(const std::string& folder);

// Clears `list` and fills it with the tables of `folder` and of its sub-folders at every depth:
// each file name matching "*.db" that does not begin with "~", in upper case with every ".DB"
// removed (a.db.backup.db gives A.BACKUP), without its folder, so equal names in two folders give
// two entries. The walk's own error trap reports to `messages`; other failures throw.
void ListParadoxTables(const std::string& folder, platform::ListBox& list, report::MessageService& messages);

// Clears `list` and fills it with the tables of `folder` itself, named as above: the tables a
// conversion into the folder would replace. A failed listing throws platform::FileSystemError.
void ListOwnParadoxTables(const std::string& folder, platform::ListBox& list);

// "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=<folder>\;
// Dbq=<folder>\;CollatingSequence=ASCII;" with the folder inserted twice, each time followed by the
// literal backslash (the engine's backend drops that one trailing separator). A folder holding ';',
// '{' or '}', or starting with a blank, stands in braces with '}' doubled, as the login fields do.
std::string BuildParadoxConnectionString(const std::string& folder);

// The folder of the delivered sample tables: the folder of the delivered files followed by "/Samples".
std::string SampleFolder();

// The offer of a space-free copy. When `folderText`, trimmed of spaces, contains a space, asks
// whether the folder TestDB on the application's drive (AppDriveRoot) may be created and the
// folder's db files ("sample" ones when `sample`, else "Your" ones) put in it; on Yes creates
// TestDB when missing and copies every file and sub-folder of `folderText` into it, replacing
// files of the same name and keeping the others. Returns the folder text to use from now on:
// TestDB after Yes once TestDB exists (also when the copy itself failed), else `folderText`.
// Runs under its own error trap ("in Quillport2021/08/31.Paradox.CopyDB "), reporting to `messages`.
std::string CopyDB(bool sample, const std::string& folderText, report::MessageService& messages);

// The same with the space-free folder made below `driveRoot` (ending in "/") instead of the
// application's drive.
std::string CopyDB(bool sample, const std::string& folderText, report::MessageService& messages,
                   const std::string& driveRoot);

} // namespace Paradox
