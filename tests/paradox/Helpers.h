// Shared by the engine tests: reading tables back with the independent reader, running pxsql,
// reading files.
#pragma once

#include "TableReader.h"
#include "TestPaths.h"
#include "paradox/Database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace paradox {
class Table;
}

namespace ptest {

using testsupport::Run;
using testsupport::run;

// The table or index as the independent reader pxread sees it (testsupport::readTable).
inline Run pxcheck(const std::filesystem::path& db) { return testsupport::readTable(db); }
inline Run pxcheckIndex(const std::filesystem::path& px) { return testsupport::readIndex(px); }
// The CSV lines after "records:" in the reader's output, and its "problem:" lines.
inline std::vector<std::string> pxcheckRecords(const std::string& out) { return testsupport::recordLines(out); }
inline std::vector<std::string> problems(const std::string& out) { return testsupport::problemLines(out); }

// A fixture with a fresh folder of its own, named after the test, and a Database on it.
class FreshDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = testsupport::freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        db = std::make_unique<paradox::Database>(folder);
    }
    std::filesystem::path folder;
    std::unique_ptr<paradox::Database> db;
};

// Every record of a table as the engine reads it: fields as text, joined by commas.
std::vector<std::string> engineRows(paradox::Table& table);
// The message of the engine's error that `action` throws; empty when it throws none.
std::string engineError(const std::function<void()>& action);

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);
// "0a 1b ..." hex text of bytes, for comparisons with golden dumps.
std::string hex(const std::string& bytes);
// Parses annotated hex: hex digit pairs, anything after '#' on a line is a comment.
std::string unhex(const std::string& annotated);

}  // namespace ptest
