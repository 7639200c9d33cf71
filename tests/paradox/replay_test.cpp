// Replays the fuzz corpus, and deterministic damage to every sample table, through the
// fuzz targets: each input ends in success or a clean paradox::Error.
#include "Helpers.h"
#include "fuzz/FuzzTargets.h"

#include "TestPaths.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> files(const fs::path& dir)
{
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(Replay, CorpusOfStatements)
{
    const auto corpus = files(fs::path(PARADOX_CORPUS) / "sql");
    ASSERT_FALSE(corpus.empty());
    for (const auto& f : corpus) {
        const std::string bytes = ptest::readFile(f);
        fuzz::statement(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        for (std::size_t cut = 0; cut < bytes.size(); ++cut)
            fuzz::statement(reinterpret_cast<const std::uint8_t*>(bytes.data()), cut);
    }
}

TEST(Replay, CorpusOfTableFiles)
{
    const auto folder = testsupport::freshFolder("replay");
    const auto corpus = files(fs::path(PARADOX_CORPUS) / "table");
    ASSERT_FALSE(corpus.empty());
    for (const auto& f : corpus) {
        const std::string bytes = ptest::readFile(f);
        fuzz::tableFile(folder, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
}

// Every header byte and the first bytes of block 1 set to values that break assumptions,
// and the file cut at many lengths.
TEST(Replay, DamagedSampleTables)
{
    const auto folder = testsupport::freshFolder("replay-damage");
    for (const char* sample : {"keyed.db", "types.db", "extra.db", "empty.db", "memo.db"}) {
        const std::string original = ptest::readFile(testsupport::pxlibSamples() / sample);
        ASSERT_FALSE(original.empty()) << sample;
        auto feed = [&](const std::string& bytes) {
            fuzz::tableFile(folder, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        };
        std::vector<std::size_t> positions;
        for (std::size_t i = 0; i < 0x180 && i < original.size(); ++i) positions.push_back(i);
        for (std::size_t i = 0x800; i < 0x820 && i < original.size(); ++i) positions.push_back(i);
        for (std::size_t at : positions)
            for (unsigned char v : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                std::string bytes = original;
                if (static_cast<unsigned char>(bytes[at]) == v) continue;
                bytes[at] = char(v);
                feed(bytes);
            }
        for (std::size_t cut = 0; cut < original.size(); cut += 97) feed(original.substr(0, cut));
    }
}
