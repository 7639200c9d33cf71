#include "TestPaths.h"

#include <fstream>

namespace testsupport {

std::filesystem::path freshFolder(const std::string& name)
{
    const auto root = envPath("QUILLMERE_TEST_WORK", "test-work");
    const auto folder = root / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return std::filesystem::absolute(folder);
}

bool permissionsBind()
{
    static const bool bind = [] {
        namespace fs = std::filesystem;
        const fs::path probe = freshFolder("permission-probe") / "read-only";
        std::ofstream(probe) << "x";
        fs::permissions(probe, fs::perms::owner_read);
        const bool refused = !std::ofstream(probe, std::ios::app).is_open();
        fs::permissions(probe, fs::perms::owner_all);
        fs::remove_all(probe.parent_path());
        return refused;
    }();
    return bind;
}

} // namespace testsupport
