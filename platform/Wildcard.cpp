#include "platform/Wildcard.h"

#include "paradox/CaseFold.h"

namespace platform {

std::u32string caseFolded(const std::string& utf8)
{
    // The engine's folding, so that patterns, the folder's listing and the engine agree.
    return paradox::foldedCodePoints(utf8);
}

// A star backtracks to its last position.
bool wildcardMatch(const std::u32string& name, const std::u32string& pattern)
{
    std::size_t n = 0, p = 0;
    std::size_t starP = std::u32string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::u32string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*')
        ++p;
    return p == pattern.size();
}

} // namespace platform
