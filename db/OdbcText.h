#pragma once
// Text between the program (UTF-8) and the ODBC wide-character calls (UTF-16), whatever the
// process locale. Malformed input becomes U+FFFD rather than failing or being dropped.

#include <string>
#include <string_view>

namespace db {

std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);
// The same into `out`, whose storage is reused.
void utf16ToUtf8(std::u16string_view text, std::string& out);

} // namespace db
