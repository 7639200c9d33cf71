// The independent reader on the tables pxlib wrote (pxsample): every value as written, and
// damaged copies reported, since the engine tests rely on it to find faults.
#include "TableReader.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string readBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A copy of the sample files of one table, changed by `damage`, in a folder of its own.
fs::path damagedCopy(const std::string& name, const std::vector<std::string>& files,
                     const std::function<void(const fs::path&)>& damage)
{
    const fs::path folder = testsupport::freshFolder(name);
    for (const std::string& f : files)
        fs::copy_file(testsupport::pxlibSamples() / f, folder / f);
    damage(folder);
    return folder;
}

void changeBytes(const fs::path& file, std::size_t at, const std::string& bytes)
{
    std::string content = readBytes(file);
    content.replace(at, bytes.size(), bytes);
    writeBytes(file, content);
}

} // namespace

TEST(Reader, PrintsEveryValueAsPxlibWroteIt)
{
    const fs::path samples = testsupport::pxlibSamples();
    auto types = testsupport::readTable(samples / "types.db");
    ASSERT_EQ(types.status, 0) << types.out;
    EXPECT_EQ(testsupport::recordLines(types.out), (std::vector<std::string>{
        "plain,42,7,2.5,19.99,2020-02-29,2020-02-29 08:30:15,true",
        "\"Said \"\"hi\"\",\",-42,-7,-0.125,-0.5,1899-12-31,1899-12-31 23:59:59,false",
        ",,,,,,,",
        "ten chars!,2147483647,32767,1e+308,0,0001-01-01,0001-01-01 00:00:00,true",
        "low,-2147483647,-32767,-1e-308,100000000000000,9999-12-31,9999-12-31 23:59:58,false"}));
    EXPECT_TRUE(holds(types.out, "version: 5.0 (byte 0x0B)\n")) << types.out;
    EXPECT_TRUE(holds(types.out, "field 7: Stamp type=@ (0x15) size=8\n")) << types.out;

    auto extra = testsupport::readTable(samples / "extra.db");
    ASSERT_EQ(extra.status, 0) << extra.out;
    EXPECT_EQ(testsupport::recordLines(extra.out), (std::vector<std::string>{"07:08:09,98765.43,007f80ff,1", "00:00:00,-0.25,,2"}));

    auto memo = testsupport::readTable(samples / "memo.db");
    ASSERT_EQ(memo.status, 0) << memo.out;
    std::string ownBlock;
    for (int i = 0; i < 5000; ++i)
        ownBlock += char('a' + i % 26);
    EXPECT_EQ(testsupport::recordLines(memo.out), (std::vector<std::string>{"1,in leader", "2," + std::string(300, 's'), "3," + ownBlock,
                                                                            "4,", "5,10 bytes!!", "6,11 bytes!!!"}));

    auto keyed = testsupport::readTable(samples / "keyed.db");
    ASSERT_EQ(keyed.status, 0) << keyed.out;
    const auto rows = testsupport::recordLines(keyed.out);
    ASSERT_EQ(rows.size(), 300u);
    EXPECT_EQ(rows.front(), "0,item 0,0");
    EXPECT_EQ(rows.back(), "299,item 299,224.25");

    auto index = testsupport::readIndex(samples / "keyed.px");
    EXPECT_EQ(index.status, 0) << index.out;
    EXPECT_TRUE(holds(index.out, "entries: key fields, block, records, third number, index block, level\n"
                                 "0,1,63,0,1,1\n63,2,63,0,1,1\n126,3,63,0,1,1\n189,4,63,0,1,1\n252,5,48,0,1,1\n"
                                 "level1records: 300\n"))
        << index.out;
    EXPECT_TRUE(holds(index.out, "index matches the table: yes\n")) << index.out;

    auto empty = testsupport::readIndex(samples / "empty.px");
    EXPECT_EQ(empty.status, 0) << empty.out;
    EXPECT_TRUE(holds(empty.out, "index matches the table: yes\n")) << empty.out;
}

// Offsets in keyed.db and keyed.px: 2 KB header and blocks, 32-byte records, 10-byte entries.
TEST(Reader, ReportsDamagedTablesAndIndexes)
{
    const struct {
        std::string name;
        std::string file;       // the file read; keyed.db lies beside every keyed.px
        std::size_t at;
        std::string bytes;
        std::string expected;   // part of the problem line
    } cases[] = {
        {"back-link", "keyed.db", 0x1802, std::string("\x07\x00", 2), "block 3 names block 7 before it, the chain has 2"},
        {"record-count", "keyed.db", 0x06, std::string("\x2d\x01", 2), "the header counts 301 records, the blocks hold 300"},
        {"key-order", "keyed.db", 0x806 + 10 * 32, std::string("\x80\x00\x00\x0c", 4), "record 12 does not have a key above the record before it"},
        {"record-size", "keyed.db", 0x00, std::string("\x21\x00", 2), "the header gives records of 33 bytes, the fields take 32"},
        {"entry-count", "keyed.px", 0x806 + 10 + 6, std::string("\x80\x05", 2), "entry 2 (level 1) counts 5 records, data block 2 holds 63"},
        {"entry-key", "keyed.px", 0x806 + 20, std::string("\x80\x00\x00\x7f", 4), "entry 3 (level 1) does not carry the first key of data block 3"},
        {"entry-block", "keyed.px", 0x806 + 30 + 4, std::string("\x80\x05", 2), "entry 4 (level 1) names data block 5, the chain has block 4 there"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = damagedCopy("damage-" + c.name, {"keyed.db", "keyed.px"},
                                            [&](const fs::path& f) { changeBytes(f / c.file, c.at, c.bytes); });
        const auto r = c.file == "keyed.px" ? testsupport::readIndex(folder / c.file) : testsupport::readTable(folder / c.file);
        // 3: a problem found; 2: pxlib itself gave up on a part of the file.
        EXPECT_TRUE(r.status == 3 || r.status == 2) << r.status;
        EXPECT_TRUE(holds(r.out, "problem: " + c.expected + "\n")) << r.out.substr(0, 3000);
        if (c.file == "keyed.px") {
            EXPECT_TRUE(holds(r.out, "index matches the table: no\n")) << r.out.substr(0, 3000);
        }
    }

    // A blob whose length disagrees with its .mb block, and a .mb cut short.
    const fs::path memo = damagedCopy("damage-memo", {"memo.db", "memo.mb"}, [](const fs::path& f) {
        changeBytes(f / "memo.db", 0x806 + 2 * 24 + 4 + 10 + 4, std::string("\x89\x13", 2));   // 5001 instead of 5000
    });
    auto r = testsupport::readTable(memo / "memo.db");
    EXPECT_EQ(r.status, 3) << r.out.substr(0, 3000);
    EXPECT_TRUE(holds(r.out, "3,(unreadable blob)\nproblem: the .mb block at ")) << r.out.substr(0, 3000);
    fs::resize_file(memo / "memo.mb", 4096);
    r = testsupport::readTable(memo / "memo.db");
    EXPECT_EQ(r.status, 3) << r.out.substr(0, 3000);
    EXPECT_TRUE(holds(r.out, "2,(unreadable blob)\nproblem: a blob of 300 bytes lies in a .mb block at 4096 that cannot be read\n"))
        << r.out.substr(0, 3000);

    // A table cut off inside its blocks, and a file that is no table at all.
    const fs::path cut = damagedCopy("damage-cut", {"keyed.db"}, [](const fs::path& f) { fs::resize_file(f / "keyed.db", 0x1000); });
    r = testsupport::readTable(cut / "keyed.db");
    EXPECT_NE(r.status, 0) << r.out.substr(0, 3000);
    EXPECT_TRUE(holds(r.out, "problem: the file holds 4096 bytes, its header and blocks need 12288\n")) << r.out.substr(0, 3000);
    writeBytes(cut / "text.db", "not a table");
    EXPECT_EQ(testsupport::readTable(cut / "text.db").status, 2);
    EXPECT_EQ(testsupport::readIndex(cut / "keyed.db").status, 2);
}
