#pragma once
// Titles and help texts of the main window, and the command line that shows the example picture.

#include <string>

namespace shell {

inline constexpr const char* kProductTitle = "Quillmere";
inline constexpr const char* kPictureQuestion = "Would you like to see an image of how I connect locally?";

// The product title cut at its last space, then again while longer than 40 characters. A title
// without a space stays whole (cut to 40 characters when longer).
std::string SetShortAppTitle(const std::string& productTitle);

std::string generalHelpText();
std::string connectionHelpText();

// Opens <appFolder>/local-connection-example.jpg with the desktop's viewer, path in quotes.
std::string pictureCommandLine(const std::string& appFolder);

} // namespace shell
