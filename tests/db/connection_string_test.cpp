// Connection strings: the login's text, the ODBC grammar, and what reaches the driver manager.

#include "db/Ado.h"
#include "db/MSSQL.h"
#include "db/OdbcBackend.h"
#include "db/OdbcConnectionString.h"

#include <gtest/gtest.h>

namespace {

struct LoginCase {
    const char* what;
    MSSQL::Login login;
    const char* expected;
};

TEST(SqlServerConnectionString, BuildsBothVariantsExactly)
{
    const LoginCase cases[] = {
        {"port variant", {"DBHOST", "1433", "Sales", "sa", "secret", false, {}},
         "Driver={SQL Server};Server=DBHOST,1433;Database=Sales;Uid=sa;Pwd=secret;"},
        {"local connection ignores the port", {"DBHOST", "1433", "Sales", "sa", "secret", true, {}},
         "Driver={SQL Server};Server=DBHOST;Database=Sales;Uid=sa;Pwd=secret;"},
        {"local connection with another port", {"DBHOST", "9999", "Sales", "sa", "secret", true, {}},
         "Driver={SQL Server};Server=DBHOST;Database=Sales;Uid=sa;Pwd=secret;"},
        {"empty port leaves the comma", {"DBHOST", "", "Sales", "sa", "secret", false, {}},
         "Driver={SQL Server};Server=DBHOST,;Database=Sales;Uid=sa;Pwd=secret;"},
        {"blanks are kept", {" DBHOST ", "1433", "Sales ", "sa", " x ", false, {}},
         "Driver={SQL Server};Server= DBHOST ,1433;Database=Sales ;Uid=sa;Pwd= x ;"},
        {"named instance", {"DBHOST\\SQLEXPRESS", "", "Sales", "sa", "pw", true, {}},
         "Driver={SQL Server};Server=DBHOST\\SQLEXPRESS;Database=Sales;Uid=sa;Pwd=pw;"},
        {"password with a semicolon is braced", {"DBHOST", "1433", "Sales", "sa", "pa;ss", false, {}},
         "Driver={SQL Server};Server=DBHOST,1433;Database=Sales;Uid=sa;Pwd={pa;ss};"},
        {"closing brace doubled", {"DBHOST", "1433", "Sales", "sa", "a}b{c", false, {}},
         "Driver={SQL Server};Server=DBHOST,1433;Database=Sales;Uid=sa;Pwd={a}}b{c};"},
        {"other punctuation unchanged", {"DBHOST", "1433", "Sales", "o'neil", "p=w,\"x\"", false, {}},
         "Driver={SQL Server};Server=DBHOST,1433;Database=Sales;Uid=o'neil;Pwd=p=w,\"x\";"},
        {"empty fields", {"", "", "", "", "", true, {}}, "Driver={SQL Server};Server=;Database=;Uid=;Pwd=;"},
    };
    for (const LoginCase& c : cases)
        EXPECT_EQ(MSSQL::BuildSqlServerConnectionString(c.login), c.expected) << c.what;
}

TEST(SqlServerConnectionString, EncryptionChoicesBecomeFreeTdsAttributes)
{
    const std::string base = "Driver={SQL Server};Server=DBHOST,1433;Database=Sales;Uid=sa;Pwd=secret;";
    struct Case {
        const char* what;
        MSSQL::Encryption encryption;
        std::string expected;
    };
    const Case cases[] = {
        {"request is FreeTDS's default and adds nothing", {MSSQL::Encrypt::Request, false, ""}, base},
        {"off", {MSSQL::Encrypt::Off, false, ""}, base + "Encryption=off;"},
        {"off ignores a CA file", {MSSQL::Encrypt::Off, false, "/ca.pem"}, base + "Encryption=off;"},
        {"require checks against the system's authorities", {MSSQL::Encrypt::Require, false, ""},
         base + "Encryption=require;ServerCertificate=system;"},
        {"require with a CA file", {MSSQL::Encrypt::Require, false, "/etc/ca;1.pem"},
         base + "Encryption=require;ServerCertificate={/etc/ca;1.pem};"},
        {"require trusting the server", {MSSQL::Encrypt::Require, true, ""}, base + "Encryption=require;"},
        {"request with a CA file checks it when encrypting", {MSSQL::Encrypt::Request, false, "/ca.pem"},
         base + "ServerCertificate=/ca.pem;"},
    };
    for (const Case& c : cases) {
        MSSQL::Login login{"DBHOST", "1433", "Sales", "sa", "secret", false, c.encryption};
        EXPECT_EQ(MSSQL::BuildSqlServerConnectionString(login), c.expected) << c.what;
    }
    EXPECT_EQ(MSSQL::ParseEncrypt("Require"), MSSQL::Encrypt::Require);
    EXPECT_EQ(MSSQL::ParseEncrypt("OFF"), MSSQL::Encrypt::Off);
    EXPECT_EQ(MSSQL::ParseEncrypt("yes"), std::nullopt);
}

TEST(ConnectionStringGrammar, BracedValuesComeBackWhole)
{
    const std::string password = "x;y}z{";
    MSSQL::Login login{"h", "1", "Sales", "sa", password, false, {}};
    const auto attributes = db::parseConnectionString(MSSQL::BuildSqlServerConnectionString(login));
    ASSERT_EQ(attributes.size(), 5u);
    EXPECT_EQ(db::attributeValue(attributes, "Driver"), "SQL Server");
    EXPECT_EQ(db::attributeValue(attributes, "SERVER"), "h,1");
    EXPECT_EQ(db::attributeValue(attributes, "pwd"), password);
}

TEST(ConnectionStringGrammar, UnchangedPairsAreWrittenBackAsTheyCame)
{
    const std::string text = "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;"
                             "DefaultDir=/tmp/a b\\;Dbq=/tmp/a b\\;CollatingSequence=ASCII;";
    const auto attributes = db::parseConnectionString(text);
    EXPECT_EQ(db::attributeValue(attributes, "dbq"), "/tmp/a b\\");
    EXPECT_EQ(db::formatConnectionString(attributes), text);
    // A split password stays split, as written.
    EXPECT_EQ(db::formatConnectionString(db::parseConnectionString("Uid=sa;Pwd=pa;ss;")), "Uid=sa;Pwd=pa;ss;");
}

// A driver manager with only the drivers named here.
db::DriverCatalog catalog(std::map<std::string, std::string> registered, std::string port = "1433",
                          std::string tdsVersion = "")
{
    return {[registered](std::string_view name) -> std::optional<std::string> {
                auto it = registered.find(std::string(name));
                return it == registered.end() ? std::nullopt : std::optional<std::string>(it->second);
            },
            "/usr/lib/odbc/libtdsodbc.so", std::move(port), std::move(tdsVersion), ""};
}

TEST(DriverResolution, WindowsDriverNameWorksUnchanged)
{
    struct Case {
        const char* what;
        std::map<std::string, std::string> registered;
        std::string port;
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"unregistered name falls back to FreeTDS", {}, "1433", "Driver={SQL Server};Server=h,14330;Uid=sa;Pwd=x;",
         "Driver=/usr/lib/odbc/libtdsodbc.so;Server=h,14330;Uid=sa;Pwd=x;"},
        {"registered FreeTDS keeps its name", {{"SQL Server", "libtdsodbc.so"}}, "1433",
         "Driver={SQL Server};Server=h,14330;Uid=sa;", "Driver={SQL Server};Server=h,14330;Uid=sa;"},
        {"no port: FreeTDS gets the default port", {}, "1433", "Driver={SQL Server};Server=h;Uid=sa;",
         "Driver=/usr/lib/odbc/libtdsodbc.so;Server=h;Uid=sa;Port=1433;"},
        {"no port: TDSPORT's port", {{"SQL Server", "/x/libtdsodbc.so"}}, "14999",
         "Driver={SQL Server};Server=h;Uid=sa;", "Driver={SQL Server};Server=h;Uid=sa;Port=14999;"},
        {"a named instance needs no port", {}, "1433", "Driver={SQL Server};Server=h\\SQLEXPRESS;",
         "Driver=/usr/lib/odbc/libtdsodbc.so;Server=h\\SQLEXPRESS;"},
        {"an explicit Port= stays", {}, "1433", "Driver={SQL Server};Server=h;Port=2000;",
         "Driver=/usr/lib/odbc/libtdsodbc.so;Server=h;Port=2000;"},
        {"(local) is this machine", {}, "1433", "Driver={SQL Server};Server=(local);",
         "Driver=/usr/lib/odbc/libtdsodbc.so;Server=127.0.0.1;Port=1433;"},
        {"dot with instance is this machine", {}, "1433", "Driver={SQL Server};Server=.\\SQLEXPRESS;",
         "Driver=/usr/lib/odbc/libtdsodbc.so;Server=127.0.0.1\\SQLEXPRESS;"},
        {"a registered non-FreeTDS driver is left alone", {{"SQL Server", "/opt/msodbcsql/libmsodbcsql.so"}}, "1433",
         "Driver={SQL Server};Server=h;Pwd={a;b};", "Driver={SQL Server};Server=h;Pwd={a;b};"},
        {"other drivers are left alone", {}, "1433", "Driver={SQLite3};Database=x;", "Driver={SQLite3};Database=x;"},
        {"no driver at all", {}, "1433", "DSN=Sales;Uid=sa;", "DSN=Sales;Uid=sa;"},
        {"braced password survives the rewrite", {}, "1433", "Driver={SQL Server};Server=h,1;Pwd={pa;ss};",
         "Driver=/usr/lib/odbc/libtdsodbc.so;Server=h,1;Pwd={pa;ss};"},
        {"FreeTDS takes braces inside a braced value literally", {}, "1433",
         "Driver={SQL Server};Server=h,1;Pwd={a}}b{{c;};Uid={}}x};",
         "Driver=/usr/lib/odbc/libtdsodbc.so;Server=h,1;Pwd={a}b{{c;};Uid={}x};"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(db::prepareConnectionString(c.in, catalog(c.registered, c.port)), c.out) << c.what;
}

TEST(DriverResolution, FreeTdsIsAskedForTds74UnlessTheStringNamesAVersion)
{
    EXPECT_EQ(db::prepareConnectionString("Driver={SQL Server};Server=h,1;", catalog({}, "1433", "7.4")),
              "Driver=/usr/lib/odbc/libtdsodbc.so;Server=h,1;TDS_Version=7.4;");
    EXPECT_EQ(db::prepareConnectionString("Driver={SQL Server};Server=h,1;tds_version=7.2;", catalog({}, "1433", "7.4")),
              "Driver=/usr/lib/odbc/libtdsodbc.so;Server=h,1;tds_version=7.2;");
}

TEST(DriverResolution, FreeTdsIsAskedForLargerPacketsUnlessTheStringNamesASize)
{
    db::DriverCatalog withPackets = catalog({});
    withPackets.packetSize = "16383";
    EXPECT_EQ(db::prepareConnectionString("Driver={SQL Server};Server=h,1;", withPackets),
              "Driver=/usr/lib/odbc/libtdsodbc.so;Server=h,1;PacketSize=16383;");
    EXPECT_EQ(db::prepareConnectionString("Driver={SQL Server};Server=h,1;packetsize=512;", withPackets),
              "Driver=/usr/lib/odbc/libtdsodbc.so;Server=h,1;packetsize=512;");
    withPackets.registeredLibrary = [](std::string_view) { return std::optional<std::string>("/opt/msodbcsql/libmsodbcsql.so"); };
    EXPECT_EQ(db::prepareConnectionString("Driver={SQL Server};Server=h,1;", withPackets), "Driver={SQL Server};Server=h,1;");
}

TEST(DriverResolution, ValueFreeTdsCannotCarryIsRefused)
{
    try {
        db::prepareConnectionString("Driver={SQL Server};Server=h,1;Pwd={a}};b};", catalog({}));
        ADD_FAILURE() << "accepted";
    } catch (const db::Error& e) {
        EXPECT_STREQ(e.what(), "The FreeTDS driver cannot take the value of Pwd in the connection string: it holds \"};\".");
    }
}

TEST(DriverResolution, WithoutFreeTdsTheNameGoesToTheDriverManager)
{
    db::DriverCatalog none{[](std::string_view) { return std::nullopt; }, "", "1433", "", ""};
    EXPECT_EQ(db::prepareConnectionString("Driver={SQL Server};Server=h;", none), "Driver={SQL Server};Server=h;");
}

} // namespace
