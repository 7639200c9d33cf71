// FreeTDS's own command-line clients against the demo server: what they send beside a plain
// SELECT (SET options, FMTONLY, three-part names, TOP) must work as on SQL Server.

#include "DemoServer.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Single quotes for the shell.
std::string quoted(const std::string& s)
{
    std::string out = "'";
    for (const char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

class ClientToolsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"tsql", "bsqldb", "freebcp"})
            if (std::system(("command -v " + std::string(tool) + " >/dev/null").c_str()) != 0)
                GTEST_SKIP() << tool << " is not installed (package freetds-bin)";
    }

    // Runs a shell command with `input` on standard input; both outputs go to the result.
    std::string run(const std::string& command, const std::string& input = "")
    {
        const fs::path in = work_ / "input";
        const fs::path out = work_ / "output";
        std::ofstream(in) << input;
        status_ = std::system((command + " <" + quoted(in) + " >" + quoted(out) + " 2>&1").c_str());
        return readAll(out);
    }

    std::string server() const { return "127.0.0.1:" + std::to_string(server_.port()); }
    std::string login() const { return " -U sa -P " + quoted(server_.password()); }

    testsupport::DemoServer server_;
    fs::path work_ = testsupport::freshFolder("client-tools");
    int status_ = -1;
};

TEST_F(ClientToolsTest, TsqlRunsBatchesWithTopVersionSetAndUse)
{
    const std::string output =
        run("timeout 60 tsql -H 127.0.0.1 -p " + std::to_string(server_.port()) + login() + " -D Sales",
            "SET NOCOUNT ON\ngo\nUSE Sales\ngo\nSELECT TOP 2 OrderID FROM dbo.Orders ORDER BY OrderID\ngo\n"
            "SELECT @@VERSION\ngo\nexit\n");
    EXPECT_EQ(status_, 0) << output;
    EXPECT_NE(output.find("10248\n10249\n"), std::string::npos) << output;
    EXPECT_EQ(output.find("10250"), std::string::npos) << output;
    EXPECT_NE(output.find("Microsoft SQL Server 2022"), std::string::npos) << output;
    EXPECT_EQ(output.find("Msg "), std::string::npos) << output;
}

TEST_F(ClientToolsTest, BsqldbPrintsRowsAndServerErrors)
{
    const std::string command = "timeout 60 bsqldb -S " + server() + login() + " -D Sales";
    const std::string output = run(command, "SELECT CustomerID, Country FROM Customers WHERE CustomerID <= 2\n");
    EXPECT_EQ(status_, 0) << output;
    EXPECT_NE(output.find("Germany"), std::string::npos) << output;
    EXPECT_NE(output.find("Ireland"), std::string::npos) << output;

    const std::string missing = run(command, "SELECT * FROM Shop.Customers\n");
    EXPECT_NE(status_, 0) << missing;
    EXPECT_NE(missing.find("Msg 208"), std::string::npos) << missing;
}

TEST_F(ClientToolsTest, FreebcpCopiesTablesOutOfDboAndAnotherSchema)
{
    const fs::path customers = work_ / "customers.txt";
    std::string output = run("timeout 60 freebcp Sales.dbo.Customers out " + quoted(customers) + " -c -S " + server() +
                             login());
    EXPECT_EQ(status_, 0) << output;
    EXPECT_NE(output.find("5 rows copied"), std::string::npos) << output;
    const std::string rows = readAll(customers);
    EXPECT_EQ(rows.rfind("1\tAlfreds Futterkiste\t", 0), 0u) << rows;

    // A table of schema Shop, made through the server itself as the SQLite table "Shop.Items".
    run("timeout 60 bsqldb -S " + server() + login() + " -D Sales",
        "CREATE TABLE [Shop.Items] (ID int, Title nvarchar(20))\ngo\n"
        "INSERT INTO [Shop].[Items] VALUES (1, N'first'), (2, N'second')\n");
    ASSERT_EQ(status_, 0);
    const fs::path items = work_ / "items.txt";
    output = run("timeout 60 freebcp Sales.Shop.Items out " + quoted(items) + " -c -S " + server() + login());
    EXPECT_EQ(status_, 0) << output;
    EXPECT_EQ(readAll(items), "1\tfirst\n2\tsecond\n");
}

} // namespace
