// Letter case of names as a file system that ignores case sees it: Unicode simple case
// folding, one character to one. Every place that matches table names (the engine's files and
// open tables, the folder's listing, the overwrite question) goes through this one function.
#pragma once

#include <string>
#include <string_view>

namespace paradox {

// UTF-8 text with every character replaced by its simple case folding ("Ärger" and "ÄRGER"
// both give "ärger"). Bytes that are not well-formed UTF-8 are kept as they are.
std::string foldCase(std::string_view utf8);

// UTF-8 text with every character replaced by its simple upper case, one character to one
// ("straße" gives "STRAßE"). Bytes that are not well-formed UTF-8 are kept as they are.
std::string upperCase(std::string_view utf8);

// The code points of foldCase(utf8); a byte that does not begin well-formed UTF-8 gives U+FFFD.
std::u32string foldedCodePoints(std::string_view utf8);

// True for a name Windows keeps for a device, whatever follows a dot: CON, PRN, AUX, NUL,
// COM0-9 and LPT0-9, the last two also with a superscript 1, 2 or 3, in any letter case.
bool isReservedDeviceName(std::string_view utf8);

}  // namespace paradox
