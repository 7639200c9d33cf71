// Execute SQL against a real Paradox folder through the data-access layer and its engine, with
// the tables read back by the independent reader pxread.

#include "RecordingDialogs.h"
#include "TableReader.h"
#include "TestPaths.h"
#include "db/Ado.h"
#include "preview/Form2.h"

#include <QApplication>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

// The main window's side over an open Paradox connection.
class ParadoxFolder : public preview::Host {
public:
    explicit ParadoxFolder(const std::filesystem::path& folder) : folder_(folder)
    {
        const std::string f = folder.string();
        connection.CursorLocation = db::adUseClient;
        connection.Open("Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=" + f
                        + "\\;Dbq=" + f + "\\;CollatingSequence=ASCII;");
    }
    void executeOnParadox(const std::string& statement) override { connection.Execute(statement); }
    void setSQLFormOK(bool ok) override { sqlFormOK = ok; }
    void skipTable() override {}

    // The records of a table as pxread prints them, one CSV line each; "problem:" lines too.
    std::vector<std::string> records(const std::string& table) const
    {
        const std::string out = testsupport::readTable(folder_ / (table + ".DB")).out;
        std::vector<std::string> lines = testsupport::problemLines(out);
        for (const std::string& record : testsupport::recordLines(out))
            lines.push_back(record);
        return lines;
    }

    db::Connection connection;
    std::optional<bool> sqlFormOK;

private:
    std::filesystem::path folder_;
};

class PreviewOnParadox : public ::testing::Test {
protected:
    void fill(const std::vector<std::string>& rows)
    {
        form.clearStatements();
        for (const std::string& row : rows)
            form.appendStatement(row);
    }

    void executeWhileShown(std::function<void()> more = {})
    {
        dialogs.modalHandlers.push_back([this, more](QDialog& window) {
            form.PushButton1->click();
            if (more)
                more();
            return window.result();
        });
        form.showModal();
    }

    QWidget owner;
    testsupport::RecordingDialogs dialogs;
    ParadoxFolder paradox{testsupport::freshFolder("paradox")};
    preview::Form2 form{&owner, dialogs, paradox};
};

const std::vector<std::string> kOrders = {
    R"(CREATE TABLE "Orders" ("SBSID" INT, "Customer" CHAR(20), "Amount" NUMERIC))",
    R"(CREATE INDEX "Orders" ON "Orders" ("SBSID") with primary)",
    "   ",
    R"(INSERT INTO "Orders" VALUES (1,'Vins et alcools',32.38))",
    R"(INSERT INTO "Orders" VALUES (2,'Toms Spezialitaten',11.61))",
    R"(INSERT INTO "Orders" VALUES (3,'Hanari Carnes',65.83))",
};

TEST_F(PreviewOnParadox, ACompletePassWritesTheTable)
{
    fill(kOrders);
    executeWhileShown();
    EXPECT_TRUE(dialogs.errorReports().empty()) << dialogs.errorReports().front();
    EXPECT_EQ(paradox.sqlFormOK, true);
    EXPECT_FALSE(form.isLoaded());
    EXPECT_EQ(paradox.records("Orders"), (std::vector<std::string>{"1,Vins et alcools,32.380000",
                                                                   "2,Toms Spezialitaten,11.610000",
                                                                   "3,Hanari Carnes,65.830000"}));
}

TEST_F(PreviewOnParadox, TheEnginesRefusedRowIsMarkedAndTheMendedPassAddsIt)
{
    std::vector<std::string> rows = kOrders;
    rows[4] = R"(INSERT INTO "Orders" VALUES (2,'Toms Spezialitaten' 11.61))";
    fill(rows);
    executeWhileShown([&] {
        ASSERT_EQ(form.ErrLine, 5);
        EXPECT_NE(form.statement(5).find("'Toms"), std::string::npos);
        EXPECT_EQ(dialogs.informations(), std::vector<std::string>{"Error found."});
        EXPECT_EQ(paradox.records("Orders"),
                  (std::vector<std::string>{"1,Vins et alcools,32.380000", "3,Hanari Carnes,65.830000"}));
        form.setStatement(5, kOrders[4]);
        form.PushButton1->click();
    });
    EXPECT_EQ(dialogs.errorReports().size(), 1u);
    EXPECT_EQ(paradox.sqlFormOK, true);
    // Each row once: the table was not created twice and no row was inserted twice.
    EXPECT_EQ(paradox.records("Orders"), (std::vector<std::string>{"1,Vins et alcools,32.380000",
                                                                   "2,Toms Spezialitaten,11.610000",
                                                                   "3,Hanari Carnes,65.830000"}));
}

} // namespace
