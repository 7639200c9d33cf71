#pragma once
// Character-set conversions between SQLite's UTF-8 and what TDS carries (UTF-16LE, Windows-1252).

#include <string>
#include <string_view>

namespace demo {

// Invalid UTF-8 sequences become U+FFFD, so no byte silently disappears.
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);
// Characters outside Windows-1252 become '?', as SQL Server stores them in a varchar column.
std::string utf8ToCp1252(std::string_view text);

std::string lowerAscii(std::string_view text);
bool equalsNoCase(std::string_view a, std::string_view b);

} // namespace demo
