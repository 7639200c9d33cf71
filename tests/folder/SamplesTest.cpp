// The delivered sample tables, read back with the independent reader pxread (pxlib).
#include "RecordingDialogs.h"
#include "TableReader.h"
#include "TestPaths.h"

#include "db/Paradox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

fs::path samples() { return testsupport::binDir() / "Samples"; }

} // namespace

TEST(Samples, TheFolderHoldsTheFourTables)
{
    ASSERT_TRUE(fs::is_directory(samples())) << samples();
    EXPECT_TRUE(Paradox::HasParadoxTables(samples().string()));
    testsupport::RecordingDialogs dialogs;
    platform::ListBox list;
    Paradox::ListParadoxTables(samples().string(), list, dialogs);
    EXPECT_EQ(list.items(), (std::vector<std::string>{"CUSTOMER", "EVENTS", "ORDERS", "PARTS"}));
}

TEST(Samples, EveryTableReadsBackWithoutProblems)
{
    const struct {
        std::string table;
        int records;
        bool keyed;
        std::string someRow;
    } tables[] = {
        {"CUSTOMER", 6, true, "1003,Bodega Las Dunas,C\u00e1diz,Spain,956 22 41 07,2018-05-22,1200.5"},
        {"PARTS", 5, true, "1314,\"Buoyancy compensator, size L\",0,349.5,2.6,true"},
        {"ORDERS", 4, true, "5003,1002,2021-05-17 11:05:00,FedEx,349.5,Customer asked for an invoice in German."},
        {"EVENTS", 3, false, "2021-08-31 08:02:13,backup,Nightly copy finished"},
    };
    for (const auto& t : tables) {
        const fs::path db = samples() / (t.table + ".DB");
        const testsupport::Run table = testsupport::readTable(db);
        EXPECT_EQ(table.status, 0) << table.out;
        EXPECT_FALSE(holds(table.out, "problem:")) << table.out;
        EXPECT_TRUE(holds(table.out, "records: " + std::to_string(t.records) + "\n")) << table.out;
        EXPECT_TRUE(holds(table.out, t.someRow + "\n")) << table.out;
        EXPECT_TRUE(holds(table.out, t.keyed ? "keyfields: 1\n" : "keyfields: 0\n")) << table.out;
        EXPECT_EQ(fs::exists(samples() / (t.table + ".PX")), t.keyed) << t.table;
        if (!t.keyed)
            continue;
        const testsupport::Run index = testsupport::readIndex(samples() / (t.table + ".PX"));
        EXPECT_EQ(index.status, 0) << index.out;
        EXPECT_TRUE(holds(index.out, "table: " + db.string() + "\n")) << index.out;
        EXPECT_TRUE(holds(index.out, "index matches the table: yes\n")) << index.out;
    }
}
