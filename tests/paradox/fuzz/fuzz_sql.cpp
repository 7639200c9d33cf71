// libFuzzer entry: statement text.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::statement(data, size);
    return 0;
}
