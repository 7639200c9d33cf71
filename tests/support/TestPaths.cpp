#include "TestPaths.h"

namespace testsupport {

std::filesystem::path freshFolder(const std::string& name)
{
    const auto root = envPath("QUILLMERE_TEST_WORK", "test-work");
    const auto folder = root / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return std::filesystem::absolute(folder);
}

} // namespace testsupport
