// libFuzzer entry: the bytes of a table file.
#include "FuzzTargets.h"

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::filesystem::path folder = [] {
        auto f = std::filesystem::temp_directory_path() / ("fuzz-table-" + std::to_string(getpid()));
        std::filesystem::create_directories(f);
        return f;
    }();
    fuzz::tableFile(folder, data, size);
    return 0;
}
