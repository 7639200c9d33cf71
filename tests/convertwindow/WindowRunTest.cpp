// "Start Converting" in the main window: the real Form1, SQL Preview and Datatypes Conversion
// windows (offscreen) against the demo server and a copy of the Samples folder.

#include "WindowRunFixture.h"

#include "DemoServer.h"
#include "RecordingDialogs.h"
#include "SqliteScript.h"
#include "TableReader.h"
#include "TestPaths.h"

#include "TestPaths.h"
#include "app/Form1.h"
#include "app/Settings.h"
#include "preview/Form2.h"
#include "preview/Form5.h"
#include "preview/Widgets.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>

namespace fs = std::filesystem;

namespace {

using windowtest::WindowRun;

// The window has no controls for encryption; "Test Connection" follows the settings store.
TEST_F(WindowRun, TestConnectionFollowsTheStoredEncryption)
{
    const QByteArray previousStore = qgetenv("QUILLMERE_SETTINGS_DIR");
    qputenv("QUILLMERE_SETTINGS_DIR", QByteArray::fromStdString(testsupport::freshFolder("tls-settings").string()));
    settings::SaveSetting("Encrypt", "require");

    // The shared demo server has no certificate.
    form->PushButton6_Click();
    testsupport::DemoServer tlsServer(
        {{"Sales", testsupport::freshSalesDatabase("TlsSales.sqlite")}}, "sa", "Demo-Pass1",
        {"--tls-cert", (testsupport::binDir() / "demo-server-cert.pem").string(), "--tls-key",
         (testsupport::binDir() / "demo-server-key.pem").string(), "--encryption", "on"});
    form->Text6->setText(QString::number(tlsServer.port()));
    form->Text3->setText("sa");
    form->Text4->setText("Demo-Pass1");
    // Its self-signed certificate verifies against nothing the system knows.
    form->PushButton6_Click();
    settings::SaveSetting("CaFile", (testsupport::binDir() / "demo-server-cert.pem").string());
    form->PushButton6_Click();

    qputenv("QUILLMERE_SETTINGS_DIR", previousStore);
    EXPECT_EQ(dialogs.informations(),
              (std::vector<std::string>{"Could not connect. Please check with your administrator.",
                                        "Could not connect. Please check with your administrator.",
                                        "Connection successful."}));
}

// The window converts with the column types and code page of its settings store, and the
// Datatypes Conversion window shows the types created.
TEST_F(WindowRun, StoredTypeOptionsChooseTheColumnsAndTheCodePage)
{
    const QByteArray previousStore = qgetenv("QUILLMERE_SETTINGS_DIR");
    qputenv("QUILLMERE_SETTINGS_DIR", QByteArray::fromStdString(testsupport::freshFolder("type-settings").string()));
    settings::SaveSetting("CheckBeforeConverting", "0");
    convert::TypeOptions chosen;
    chosen.longText = convert::LongText::Memo;
    chosen.binary = convert::BinaryColumns::Blob;
    chosen.bigInt = convert::BigIntegers::Decimal;
    chosen.unmappable = convert::Unmappable::Replace;
    chosen.codePage = 1250;
    chosen.tableCodePages = {{"Customers", 1252}};
    settings::SaveTypeOptions(chosen);
    EXPECT_EQ(settings::StoredTypeOptions(), chosen);
    EXPECT_EQ(settings::GetSetting("CodePage", ""), "1250,Customers=1252");

    form->Check1->setChecked(false);
    form->PushButton7_Click();
    // A value none of its choices counts as the default.
    settings::SaveSetting("LongText", "huge");
    settings::SaveSetting("CodePage", "936,Orders=1251");
    const convert::TypeOptions fallback = settings::StoredTypeOptions();
    qputenv("QUILLMERE_SETTINGS_DIR", previousStore);

    EXPECT_EQ(doneMessages(), 1);
    std::map<std::string, char> types = fieldTypes("AllTypes");
    EXPECT_EQ(types["C_ntext"], 'M');
    EXPECT_EQ(types["C_nvarcharmax"], 'M');
    EXPECT_EQ(types["C_nvarchar"], 'A');
    EXPECT_EQ(types["C_image"], 'B');
    EXPECT_EQ(types["C_varbinarymax"], 'B');
    EXPECT_EQ(types["C_bigint"], '#');
    EXPECT_NE(testsupport::readTable(runtest::tableFile(folder, "AllTypes")).out.find("codepage: 1250"), std::string::npos);
    EXPECT_NE(testsupport::readTable(runtest::tableFile(folder, "Customers")).out.find("codepage: 1252"), std::string::npos);

    EXPECT_EQ(fallback.longText, convert::LongText::Text);
    EXPECT_EQ(fallback.codePage, 0);
    EXPECT_EQ(fallback.tableCodePages, (std::vector<convert::TableCodePage>{{"Orders", 1251}}));
}

TEST_F(WindowRun, DirectModeWritesEveryTableAndEndsWithDone)
{
    form->Check1->setChecked(false);
    form->PushButton7_Click();

    EXPECT_EQ(doneMessages(), 1);
    EXPECT_TRUE(hasTable("Customers"));
    EXPECT_TRUE(hasTable("Order Details"));
    EXPECT_GT(rowsOf("Customers"), 0u);
    const auto customers = runtest::readBack(runtest::tableFile(folder, "Customers"));
    ASSERT_FALSE(customers.names.empty());
    EXPECT_EQ(customers.names.front(), "SBSID");
    // The catalog filter keeps system-looking tables out.
    EXPECT_FALSE(hasTable("sysdiagrams"));
    EXPECT_FALSE(hasTable("AuditSystem"));
    EXPECT_EQ(form->ProgressBar1->value(), form->ProgressBar1->minimum());
    EXPECT_FALSE(form->busy());
}

TEST_F(WindowRun, WholeRunPreviewExecutesTheListOnceAfterTheLastTable)
{
    usePreview(false);
    int listed = 0;
    int datatypes = 0;
    int stops = 0;
    dialogs.modalHandlers.push_back([&](QDialog& window) {
        auto& preview = dynamic_cast<preview::Form2&>(window);
        listed = preview.statementCount();
        datatypes = preview.form5().datatypeCount();
        // Sales holds values a Paradox column rejects: the pass stops at each, the user blanks
        // the row and the next pass goes on from there.
        for (int guard = 0; guard < 50; ++guard) {
            preview.PushButton1_Click();
            if (!preview.isLoaded() || preview.ErrLine == 0) // a complete pass closes the window
                break;
            ++stops;
            preview.setStatement(preview.ErrLine, "");
        }
        return int(QDialog::Accepted);
    });
    form->PushButton7_Click();

    EXPECT_GT(listed, 0);
    EXPECT_GT(datatypes, 0);
    EXPECT_GT(stops, 0);
    EXPECT_TRUE(form->conversion.state().SQLFormOK);
    EXPECT_TRUE(dialogs.modalHandlers.empty());
    EXPECT_EQ(doneMessages(), 1);
    EXPECT_GT(rowsOf("Customers"), 0u);
}

TEST_F(WindowRun, WholeRunPreviewLeftWithBackWritesNothing)
{
    usePreview(false);
    const auto before = fs::last_write_time(runtest::tableFile(folder, "CUSTOMER"));
    dialogs.modalHandlers.push_back([](QDialog& window) {
        dynamic_cast<preview::Form2&>(window).PushButton5_Click();
        return int(QDialog::Rejected);
    });
    form->PushButton7_Click();

    EXPECT_FALSE(form->conversion.state().SQLFormOK);
    EXPECT_FALSE(hasTable("Customers") && rowsOf("Customers") > 0);
    EXPECT_EQ(fs::last_write_time(runtest::tableFile(folder, "CUSTOMER")), before);
}

TEST_F(WindowRun, PerTablePreviewSkipsThenEndsAtBack)
{
    usePreview(true);
    std::vector<int> listed;
    dialogs.modalHandlers.push_back([&](QDialog& window) {
        auto& preview = dynamic_cast<preview::Form2&>(window);
        listed.push_back(preview.statementCount());
        preview.PushButton9_Click();
        return int(QDialog::Rejected);
    });
    dialogs.modalHandlers.push_back([&](QDialog& window) {
        auto& preview = dynamic_cast<preview::Form2&>(window);
        listed.push_back(preview.statementCount());
        preview.PushButton5_Click();
        return int(QDialog::Rejected);
    });
    form->PushButton7_Click();

    // One preview per table until "< Back": the skip led on to the next table, Back ended the loop.
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_GT(listed[0], 0);
    EXPECT_GT(listed[1], 0);
    EXPECT_EQ(dialogs.texts(testsupport::Shown::Modal).size(), 2u);
}

TEST_F(WindowRun, AGreyPreviewBoxConvertsDirectly)
{
    // Only a stored "2" makes the box grey; the options are then disabled, and the run writes.
    form->Check1->setCheckState(Qt::PartiallyChecked);
    form->Option1->setChecked(true);
    form->PushButton7_Click();

    EXPECT_TRUE(dialogs.texts(testsupport::Shown::Modal).empty());
    EXPECT_GT(rowsOf("Customers"), 0u);
    EXPECT_EQ(doneMessages(), 1);
}

TEST_F(WindowRun, SkipTableInTheWholeRunPreviewActsAsBack)
{
    usePreview(false);
    const auto before = fs::last_write_time(runtest::tableFile(folder, "ORDERS"));
    dialogs.modalHandlers.push_back([](QDialog& window) {
        dynamic_cast<preview::Form2&>(window).PushButton9_Click();
        return int(QDialog::Rejected);
    });
    form->PushButton7_Click();

    EXPECT_EQ(dialogs.texts(testsupport::Shown::Modal).size(), 1u);
    EXPECT_FALSE(form->conversion.state().SQLFormOK);
    EXPECT_FALSE(hasTable("Customers"));
    EXPECT_EQ(fs::last_write_time(runtest::tableFile(folder, "ORDERS")), before);
    EXPECT_FALSE(form->conversion.state().Paradox_conn->isOpen());
    EXPECT_FALSE(form->conversion.state().mssql_conn->isOpen());
    EXPECT_EQ(doneMessages(), 1);
}

TEST_F(WindowRun, AFolderWithASpaceIsOfferedTheCopyAndTheRunWritesIntoTheCopy)
{
    const fs::path root = testsupport::freshFolder("space-offer");
    const fs::path spaced = root / "my tables";
    fs::rename(folder, spaced);
    fs::create_directory(root / "drive");
    form->setSpaceFreeDriveRoot((root / "drive").string() + "/");
    form->Text1->setText(QString::fromStdString(spaced.string()));
    form->Check1->setChecked(false);
    form->PushButton7_Click();

    const fs::path copy = root / "drive" / "TestDB";
    const auto questions = dialogs.texts(testsupport::Shown::Question);
    ASSERT_FALSE(questions.empty());
    EXPECT_NE(questions.front().find("Is it OK to create the folder " + copy.string() + " and put Your db files"),
              std::string::npos);
    EXPECT_EQ(form->Text1->text().toStdString(), copy.string());
    folder = copy;
    EXPECT_GT(rowsOf("Customers"), 0u);
    EXPECT_TRUE(runtest::tableFile(spaced, "Customers").empty());
    EXPECT_EQ(doneMessages(), 1);
}

TEST_F(WindowRun, TheProgressTextShowsATableNameWithPercentSignsAsItIs)
{
    const fs::path file = testsupport::freshFolder("percent") / "Percent.sqlite";
    dbtest::writeSqlite(file, "CREATE TABLE [Rate%p of %v] (ID int); INSERT INTO [Rate%p of %v] VALUES (1);");
    testsupport::DemoServer server({{"Percent", file}});
    form->Text6->setText(QString::number(server.port()));
    form->Text8->setText("Percent");
    usePreview(true);
    QString shown;
    dialogs.modalHandlers.push_back([&](QDialog&) {
        shown = form->ProgressBar1->text();
        return int(QDialog::Rejected);
    });
    form->PushButton7_Click();

    EXPECT_EQ(shown, QStringLiteral("Please wait.. Processing table Rate%p of %v"));
    EXPECT_EQ(form->ProgressBar1->text(), QStringLiteral("Progress Bar"));
}

// The run gives the window's event loop a pass now and then while it works: what reaches the
// window meanwhile (here a timer's events) is handled during the run, not after it.
TEST_F(WindowRun, EventsAreHandledWhileTheRunWorks)
{
    form->Check1->setChecked(false);
    std::set<QString> shown;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { shown.insert(form->ProgressBar1->text()); });
    timer.start(0);
    form->PushButton7_Click();
    timer.stop();

    EXPECT_TRUE(std::ranges::any_of(shown, [](const QString& text) { return text.startsWith("Please wait.. Processing table "); }))
        << shown.size() << " texts seen";
}

// In the preview's pass too a refused row costs only itself: the first ten of the run are
// reported one by one, the rest are counted in one message at the end of the run, and every one
// is in rejected-rows.sql; the window marks the first.
TEST_F(WindowRun, ThePreviewPassKeepsEveryRefusedRowAndReportsTenOfThem)
{
    const fs::path file = testsupport::freshFolder("preview-refused") / "Refused.sqlite";
    dbtest::writeSqlite(file, "CREATE TABLE Notes (ID int, Body nvarchar(300));"
                              "INSERT INTO Notes VALUES (0, 'fits');"
                              "INSERT INTO Notes WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 13)"
                              " SELECT i, replace(hex(zeroblob(150)), '0', 'x') FROM n;"
                              "INSERT INTO Notes VALUES (14, 'fits too');");
    testsupport::DemoServer server({{"Refused", file}});
    form->Text6->setText(QString::number(server.port()));
    form->Text8->setText("Refused");
    usePreview(false);
    int errLine = 0;
    std::size_t reportsOfThePass = 0;
    dialogs.modalHandlers.push_back([&](QDialog& window) {
        auto& preview = dynamic_cast<preview::Form2&>(window);
        preview.PushButton1_Click();
        errLine = preview.ErrLine;
        reportsOfThePass = dialogs.errorReports().size();
        preview.PushButton5_Click();
        return int(QDialog::Rejected);
    });
    form->PushButton7_Click();

    // CREATE TABLE, CREATE INDEX, the row that fits, then the first refused row.
    EXPECT_EQ(errLine, 4);
    EXPECT_EQ(reportsOfThePass, 10u);
    EXPECT_EQ(dialogs.errorReports().size(), 10u);
    const fs::path rejected = folder / "rejected-rows.sql";
    const std::vector<std::string> informations = dialogs.informations();
    ASSERT_EQ(informations.size(), 3u);
    EXPECT_EQ(informations[0], "Error found.");
    EXPECT_EQ(informations[1], convert::UnreportedRowsNotice(3, rejected.string()));
    EXPECT_EQ(informations[2], "Done.");
    std::ifstream in(rejected);
    int remarks = 0;
    for (std::string line; std::getline(in, line);)
        remarks += line.rfind("-- Notes: SQL error at position ", 0) == 0;
    EXPECT_EQ(remarks, 13);
    EXPECT_EQ(rowsOf("Notes"), 2u);
}

TEST_F(WindowRun, ASecondClickDuringARunDoesNothing)
{
    form->Check1->setChecked(false);
    dialogs.modalHandlers.clear();
    form->setBusy(true);
    form->PushButton7_Click();
    EXPECT_TRUE(dialogs.shown.empty());
    form->setBusy(false);
}

} // namespace
