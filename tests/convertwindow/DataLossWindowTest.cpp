// "Start Converting" with the check before the run: the window "Data Paradox cannot hold", shown
// through the dialog service, against the demo server and a copy of the Samples folder.

#include "WindowRunFixture.h"

#include "DemoServer.h"
#include "SqliteScript.h"
#include "TableReader.h"
#include "TestPaths.h"

#include "app/DataLossWindow.h"
#include "platform/qt/Appearance.h"
#include "preview/Widgets.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

#include <map>

namespace {

using windowtest::WindowRun;
namespace fs = std::filesystem;

using Line = std::vector<std::string>; // table, column, problem, rows affected, first row

class CheckFirst : public WindowRun {
protected:
    void SetUp() override
    {
        WindowRun::SetUp();
        settings::SaveSetting("CheckBeforeConverting", "1");
        settings::SaveTypeOptions({});
        form->Check1->setChecked(false);
        QObject::connect(form->ProgressBar1, &preview::ProgressBar::textChanged,
                         [this](const QString& text) { progressTexts.push_back(text.toStdString()); });
    }

    // Acts on the window when it is shown; the window is left with the code `handler` returns.
    void onLossWindow(std::function<int(DataLossWindow&)> handler)
    {
        dialogs.modalHandlers.push_back(
            [handler](QDialog& window) { return handler(dynamic_cast<DataLossWindow&>(window)); });
    }

    static std::vector<Line> lines(const DataLossWindow& window)
    {
        std::vector<Line> shown;
        for (int row = 0; row < window.lossList->topLevelItemCount(); ++row) {
            Line line;
            for (int column = 0; column < 5; ++column)
                line.push_back(window.lossList->topLevelItem(row)->text(column).toStdString());
            shown.push_back(line);
        }
        return shown;
    }

    static bool hasProblem(const std::vector<Line>& shown, const std::string& problem)
    {
        return std::ranges::any_of(shown, [&](const Line& line) { return line[2] == problem; });
    }

    // Every file of the folder with its size and time of last change.
    std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> folderState() const
    {
        std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> state;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
            state[entry.path().string()] = {entry.is_regular_file() ? entry.file_size() : 0, entry.last_write_time()};
        return state;
    }

    std::vector<std::string> progressTexts;
};

std::size_t position(const std::vector<std::string>& texts, const std::string& text)
{
    return static_cast<std::size_t>(std::ranges::find(texts, text) - texts.begin());
}

// A table whose rows cannot be written at all gets a line of its own; one that keeps its data none.
TEST(LossLines, NameTablesThatCannotBeReadOrMade)
{
    convert::ConversionCheck check(testsupport::freshFolder("loss-lines").string());
    convert::TableSummary locked;
    locked.table = "Locked";
    locked.readError = "permission denied";
    check.tableFinished(locked);
    check.statement("CREATE TABLE \"Bad\" (\"SBSID\" INT, \"A name of more than 25 letters\" INT);", {});
    check.statement("INSERT INTO \"Bad\" VALUES (1, 1);", {});
    convert::TableSummary bad;
    bad.table = "Bad";
    check.tableFinished(bad);
    EXPECT_TRUE(check.statement("CREATE TABLE \"Fine\" (\"SBSID\" INT);", {}));
    convert::TableSummary fine;
    fine.table = "Fine";
    check.tableFinished(fine);

    const std::vector<convert::LossLine> lines = convert::LossLines(check.tables());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].table, "Locked");
    EXPECT_EQ(lines[0].problem, "cannot be read: permission denied");
    EXPECT_EQ(lines[1].table, "Bad");
    EXPECT_TRUE(lines[1].column.empty());
    EXPECT_EQ(lines[1].problem.rfind("the table cannot be made: SQL error", 0), 0u) << lines[1].problem;
    EXPECT_EQ(lines[1].rows, "1");
}

TEST_F(CheckFirst, ADatabaseThatLosesNothingIsCheckedThenConverted)
{
    const fs::path file = testsupport::freshFolder("fits") / "Fits.sqlite";
    dbtest::writeSqlite(file, "CREATE TABLE Parts (ID int PRIMARY KEY, Name nvarchar(40), Price money);"
                              "INSERT INTO Parts VALUES (1, 'Bolt', 0.25); INSERT INTO Parts VALUES (2, 'Nut', 0.1);");
    testsupport::DemoServer server({{"Fits", file}});
    form->Text6->setText(QString::number(server.port()));
    form->Text8->setText("Fits");
    form->PushButton7_Click();

    EXPECT_TRUE(dialogs.texts(testsupport::Shown::Modal).empty());
    EXPECT_EQ(doneMessages(), 1);
    EXPECT_EQ(rowsOf("Parts"), 2u);
    // The check runs first, with its own text on the main window's progress bar.
    const std::size_t checking = position(progressTexts, "Checking table Parts");
    const std::size_t processing = position(progressTexts, "Please wait.. Processing table Parts");
    EXPECT_LT(checking, processing);
    EXPECT_LT(processing, progressTexts.size());
    EXPECT_FALSE(fs::exists(folder / "rejected-rows.sql"));
}

// What Sales would lose is listed; Cancel ends the run before any table, question or file.
TEST_F(CheckFirst, TheWindowListsWhatWouldBeLostAndCancelWritesNothing)
{
    const auto before = folderState();
    std::vector<Line> shown;
    onLossWindow([&](DataLossWindow& window) {
        shown = lines(window);
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Data Paradox cannot hold - Quillmere"));
        EXPECT_FALSE(window.longTextAsMemo->isChecked());
        EXPECT_FALSE(window.binaryAsBlob->isChecked());
        EXPECT_EQ(window.codePageList->currentText(), QStringLiteral("1252"));
        EXPECT_EQ(window.codePageList->count(), static_cast<int>(convert::WritableCodePages().size()));
        // The look of the other windows: the buttons' font, and the hand over them.
        EXPECT_EQ(window.convertButton->font().pointSizeF(), 11.25);
        EXPECT_TRUE(window.convertButton->font().bold());
        EXPECT_EQ(window.longTextAsMemo->font().pointSizeF(), 9.0);
        const QPointF centre(window.cancelButton->width() / 2.0, window.cancelButton->height() / 2.0);
        QMouseEvent move(QEvent::MouseMove, centre, window.cancelButton->mapToGlobal(centre), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.cancelButton, &move);
        EXPECT_EQ(appearance::mousePointer(window), appearance::Custom);
        window.cancelButton->click();
        return window.result();
    });
    form->PushButton7_Click();

    ASSERT_EQ(dialogs.texts(testsupport::Shown::Modal).size(), 1u);
    const auto has = [&](const Line& line) { return std::ranges::find(shown, line) != shown.end(); };
    EXPECT_TRUE(has({"AllTypes", "C_varcharmax (Alpha 255)", "text longer than the field", "1", "1"}));
    EXPECT_TRUE(has({"Products", "TotalSold (Long)", "a number outside the type's range", "3", "1"}));
    EXPECT_TRUE(has({"Orders", "Scan (Alpha 255)", "binary replaced by the placeholder", "5", "10248"}));
    EXPECT_TRUE(has({"Order Details", "UnitPrice (Money)", "a number outside the type's range", "1", "(10249, 4)"}));
    // Nothing was asked, shown or written, and the main window is ready for the next click.
    EXPECT_TRUE(dialogs.texts(testsupport::Shown::Question).empty());
    EXPECT_TRUE(dialogs.informations().empty());
    EXPECT_TRUE(dialogs.errorReports().empty());
    EXPECT_EQ(folderState(), before);
    EXPECT_FALSE(form->busy());
    EXPECT_EQ(form->ProgressBar1->text(), QStringLiteral("Progress Bar"));
    EXPECT_LT(position(progressTexts, "Checking table AllTypes"), progressTexts.size());
}

TEST_F(CheckFirst, CheckAgainWithLongTextAsMemoClearsTheLongText)
{
    std::vector<Line> first, again;
    onLossWindow([&](DataLossWindow& window) {
        first = lines(window);
        window.longTextAsMemo->setChecked(true);
        progressTexts.clear();
        window.checkAgainButton->click();
        again = lines(window);
        EXPECT_TRUE(window.convertButton->isEnabled());
        return int(QDialog::Rejected);
    });
    form->PushButton7_Click();

    EXPECT_TRUE(hasProblem(first, "text longer than the field"));
    EXPECT_FALSE(hasProblem(again, "text longer than the field"));
    // The other problems stay until their own choice is made.
    EXPECT_TRUE(hasProblem(again, "binary replaced by the placeholder"));
    EXPECT_TRUE(hasProblem(again, "a number outside the type's range"));
    EXPECT_LT(position(progressTexts, "Checking table AllTypes"), progressTexts.size());
    // Checking again is no choice to keep: the store still holds the defaults.
    EXPECT_EQ(settings::StoredTypeOptions(), convert::TypeOptions{});
    EXPECT_EQ(doneMessages(), 0);
}

TEST_F(CheckFirst, ConvertWritesWithTheChosenOptionsAndStoresThem)
{
    onLossWindow([](DataLossWindow& window) {
        window.longTextAsMemo->setChecked(true);
        window.binaryAsBlob->setChecked(true);
        window.bigIntAsDecimal->setChecked(true);
        window.codePageList->setCurrentText(QStringLiteral("1250"));
        window.convertButton->click();
        return window.result();
    });
    form->PushButton7_Click();

    EXPECT_EQ(dialogs.texts(testsupport::Shown::Modal).size(), 1u);
    EXPECT_EQ(doneMessages(), 1);
    std::map<std::string, char> types = fieldTypes("AllTypes");
    EXPECT_EQ(types["C_varcharmax"], 'M');
    EXPECT_EQ(types["C_image"], 'B');
    EXPECT_EQ(types["C_bigint"], '#');
    EXPECT_NE(testsupport::readTable(runtest::tableFile(folder, "AllTypes")).out.find("codepage: 1250"),
              std::string::npos);

    EXPECT_EQ(settings::GetSetting("LongText", ""), "memo");
    EXPECT_EQ(settings::GetSetting("Binary", ""), "blob");
    EXPECT_EQ(settings::GetSetting("BigInt", ""), "decimal");
    EXPECT_EQ(settings::GetSetting("Unmappable", ""), "reject");
    EXPECT_EQ(settings::GetSetting("CodePage", ""), "1250");
}

TEST_F(CheckFirst, ASettingOfZeroConvertsWithoutTheCheck)
{
    settings::SaveSetting("CheckBeforeConverting", "0");
    form->PushButton7_Click();

    EXPECT_TRUE(dialogs.texts(testsupport::Shown::Modal).empty());
    EXPECT_EQ(doneMessages(), 1);
    EXPECT_GT(rowsOf("Customers"), 0u);
    EXPECT_TRUE(
        std::ranges::none_of(progressTexts, [](const std::string& text) { return text.starts_with("Checking"); }));
}

} // namespace
