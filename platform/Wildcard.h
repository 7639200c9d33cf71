#pragma once
// Wildcard patterns as Windows matches file names: '*' any run of characters (none included), '?'
// exactly one, letter case ignored by Unicode case folding as the engine folds table names.

#include <string>

namespace platform {

// The UTF-8 text case-folded, one element per code point.
std::u32string caseFolded(const std::string& utf8);

// Whether `pattern` matches the whole of `name`; both already case-folded.
bool wildcardMatch(const std::u32string& name, const std::u32string& pattern);

} // namespace platform
