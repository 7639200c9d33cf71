#pragma once
// Folders the test run provides (set by CTest for every test).

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testsupport {

inline std::filesystem::path envPath(const char* name, const char* fallback)
{
    const char* v = std::getenv(name);
    return std::filesystem::path(v && *v ? v : fallback);
}

// The program folder of the build (build/bin).
inline std::filesystem::path binDir() { return envPath("QUILLMERE_BIN_DIR", "bin"); }
// The folder of the test programs, pxread and the pxlib sample tables (build/tests).
inline std::filesystem::path testsDir() { return envPath("QUILLMERE_TESTS_DIR", "tests"); }
// Tables written by pxlib (tests/reader/pxsample.cpp): keyed, empty, types, memo, extra.
inline std::filesystem::path pxlibSamples() { return testsDir() / "pxlib-samples"; }
inline std::filesystem::path sourceDir() { return envPath("QUILLMERE_SOURCE_DIR", "."); }

// A fresh, empty folder of this test's own below the test's work folder.
std::filesystem::path freshFolder(const std::string& name);
// Whether a read-only file refuses this process: not for root on POSIX, nor under Wine run by root.
bool permissionsBind();

} // namespace testsupport
