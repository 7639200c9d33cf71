// The delivered sample tables, read back with the independent reader pxcheck (pxlib).
#include "RecordingDialogs.h"
#include "TestPaths.h"

#include "db/Paradox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct ReaderRun {
    int status = -1;
    std::string output;
};

ReaderRun pxcheck(const std::string& arguments)
{
    ReaderRun run;
    FILE* pipe = popen((std::string(PXCHECK) + " " + arguments + " 2>&1").c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

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
        const ReaderRun table = pxcheck(db.string());
        EXPECT_EQ(table.status, 0) << table.output;
        EXPECT_FALSE(holds(table.output, "problem:")) << table.output;
        EXPECT_TRUE(holds(table.output, "records: " + std::to_string(t.records) + "\n")) << table.output;
        EXPECT_TRUE(holds(table.output, t.someRow + "\n")) << table.output;
        EXPECT_TRUE(holds(table.output, t.keyed ? "keyfields: 1\n" : "keyfields: 0\n")) << table.output;
        EXPECT_EQ(fs::exists(samples() / (t.table + ".PX")), t.keyed) << t.table;
        if (!t.keyed)
            continue;
        const ReaderRun index = pxcheck("--px " + (samples() / (t.table + ".PX")).string());
        EXPECT_EQ(index.status, 0) << index.output;
        EXPECT_TRUE(holds(index.output, "pxlib accepts it as the index of " + db.string() + ": yes")) << index.output;
    }
}
