// The SQL Preview window: its load step, the hand-over flags, execution and error assistance.

#include "PreviewFixture.h"

#include "platform/qt/Appearance.h"
#include "preview/Form4.h"
#include "preview/Widgets.h"
#include "report/ErrorReport.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace previewtest {
namespace {

using preview::Form2;

std::string executeReport(const std::string& description, int step)
{
    return report::errorReportText(description, report::locationText("Form2", "PushButton1_Click"), step);
}

std::vector<std::string> numbered(int count)
{
    std::vector<std::string> rows;
    for (int i = 1; i <= count; ++i)
        rows.push_back("INSERT INTO [T] (SBSID) VALUES (" + std::to_string(i) + ")");
    return rows;
}

TEST_F(PreviewTest, LoadStepBuildsTheDesignedWindow)
{
    EXPECT_EQ(form.statementCount(), 0);
    EXPECT_TRUE(form.isLoaded());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("SQL Preview - Quillmere"));
    EXPECT_EQ(form.statements().columnCount(), 1);
    EXPECT_EQ(form.statements().headerData(0, Qt::Horizontal), QStringLiteral("SQL Preview"));
    EXPECT_EQ(form.ListView1->columnWidth(0), 467); // 7000 twips
    EXPECT_EQ(form.ListView1->toolTip(),
              QStringLiteral("Click item to edit it. Move | line to right and out of window to reveal full names."));
    EXPECT_EQ(form.ProgressBar1->text(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(form.ProgressBar1->value(), 0);
    EXPECT_TRUE(form.Text1->toPlainText().isEmpty());
    EXPECT_EQ(form.size(), QSize(536, 562));

    struct Control {
        QWidget* widget;
        const char* caption;
        QRect twips;
    };
    const Control controls[] = {
        {form.PushButton5, "< Back", {120, 120, 3720, 405}},
        {form.PushButton9, "Skip Table / Do Not Execute SQL", {3960, 120, 3960, 405}},
        {form.ListView1, nullptr, {120, 630, 7800, 3315}},
        {form.PushButton1, "Execute SQL", {120, 4040, 7800, 405}},
        {form.PushButton3, "Find and Replace", {120, 4550, 3840, 405}},
        {form.PushButton2, "Copy SQL To Clipboard", {4080, 4550, 3840, 405}},
        {form.Frame2, "Error:", {120, 5010, 7800, 1785}},
        {form.Text1, nullptr, {240, 300, 7320, 1290}},
        {form.PushButton6, "Jump To Error Line", {120, 6900, 3840, 405}},
        {form.PushButton4, "Copy Error Message To Clipboard", {4080, 6900, 3840, 405}},
        {form.PushButton8, " Email Error Message To Wrenmoor", {120, 7410, 3840, 405}},
        {form.PushButton7, "View Datatype Conversion", {4080, 7410, 3840, 405}},
        {form.ProgressBar1, nullptr, {120, 7920, 7800, 405}},
    };
    for (const Control& c : controls) {
        const QRect& t = c.twips;
        EXPECT_EQ(c.widget->geometry(), preview::twips(t.x(), t.y(), t.width(), t.height()))
            << c.widget->objectName().toStdString();
        if (auto* b = qobject_cast<QPushButton*>(c.widget)) {
            EXPECT_EQ(b->text(), QString::fromUtf8(c.caption));
            EXPECT_DOUBLE_EQ(b->font().pointSizeF(), 11.25);
            EXPECT_TRUE(b->font().bold());
        }
    }
    EXPECT_EQ(form.Frame2->title(), QStringLiteral("Error:"));
    EXPECT_DOUBLE_EQ(form.ListView1->font().pointSizeF(), 9);
    EXPECT_TRUE(form.ListView1->font().bold());
}

TEST_F(PreviewTest, BlankMiddleRowIsPassedOverWithItsProgressShown)
{
    fill({"CREATE TABLE [A] (SBSID INT)", "     ", "INSERT INTO [A] (SBSID) VALUES (1)"});
    std::vector<QString> progress;
    QObject::connect(form.ProgressBar1, &preview::ProgressBar::textChanged,
                     [&](const QString& text) { progress.push_back(text); });
    show([&] { form.PushButton1->click(); });

    EXPECT_EQ(paradox.executed,
              (std::vector<std::string>{"CREATE TABLE [A] (SBSID INT)", "INSERT INTO [A] (SBSID) VALUES (1)"}));
    EXPECT_EQ(progress, (std::vector<QString>{"Please wait.. Processing row: 1 of 3",
                                              "Please wait.. Processing row: 2 of 3",
                                              "Please wait.. Processing row: 3 of 3", "Progress Bar"}));
    EXPECT_EQ(paradox.sqlFormOK, true);
    EXPECT_FALSE(paradox.skipped);
    EXPECT_TRUE(dialogs.shown.size() == 1) << "only the window itself was shown";
    // The complete pass closed the window and discarded its rows.
    EXPECT_FALSE(form.isLoaded());
    EXPECT_EQ(form.statementCount(), 0);
    EXPECT_EQ(form.statements().headerData(0, Qt::Horizontal), QStringLiteral("SQL Preview"));
}

class RecognisedError : public PreviewTest, public ::testing::WithParamInterface<const char*> {};

// One refused row must not cost the rows after it: it is reported and kept, the pass goes on,
// and the window stays open at the first refused row.
TEST_P(RecognisedError, ARefusedRowIsReportedAndThePassGoesOnToMarkIt)
{
    const std::vector<std::string> rows = numbered(6);
    fill(rows);
    paradox.failures[rows[3]] = GetParam();
    paradox.failures[rows[4]] = "SQL error: second";
    std::vector<int> progressValues;
    QObject::connect(form.ProgressBar1, &QProgressBar::valueChanged, [&](int v) { progressValues.push_back(v); });

    show([&] { form.PushButton1->click(); });

    EXPECT_EQ(paradox.executed, (std::vector<std::string>{rows[0], rows[1], rows[2], rows[5]}));
    EXPECT_EQ(paradox.kept, (std::vector<ScriptedParadox::Kept>{{rows[3], GetParam(), true},
                                                                {rows[4], "SQL error: second", true}}));
    EXPECT_EQ(form.ErrLine, 4);
    EXPECT_EQ(selectedRows(), std::vector<int>{4});
    EXPECT_EQ(preview::exactText(*form.Text1).toStdString(), GetParam());
    EXPECT_EQ(form.ProgressBar1->value(), 0);
    EXPECT_EQ(form.ProgressBar1->text(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(progressValues, (std::vector<int>{17, 33, 50, 67, 83, 100, 0}));
    EXPECT_EQ(dialogs.informations(), std::vector<std::string>{"Error found."});
    EXPECT_EQ(dialogs.errorReports(),
              (std::vector<std::string>{executeReport(GetParam(), 132), executeReport("SQL error: second", 132)}));
    EXPECT_FALSE(paradox.sqlFormOK.has_value());
    EXPECT_EQ(appearance::mousePointer(form), appearance::Default);
    // The window stays open with its rows.
    EXPECT_TRUE(form.isLoaded());
    EXPECT_EQ(form.statementCount(), 6);
}

INSTANTIATE_TEST_SUITE_P(Phrases, RecognisedError,
                         ::testing::Values("[Microsoft][ODBC Paradox Driver] SQL error: table T exists",
                                           "SQL ERROR IN STATEMENT", "java.sql.SQLEXCEPTION thrown",
                                           "unsuccessful metadata update", "Unsuccessful Metadata Update\r\nline 2"));

// A refused definition stops the pass: the rows after it would all be refused with it.
TEST_F(PreviewTest, ARefusedDefinitionStopsThePass)
{
    const std::vector<std::string> rows{"CREATE TABLE [T] (SBSID INT)", "INSERT INTO [T] (SBSID) VALUES (1)"};
    fill({"DROP TABLE [T]", rows[0], rows[1]});
    paradox.failures[rows[0]] = "SQL error: no such type";

    show([&] { form.PushButton1->click(); });

    EXPECT_EQ(paradox.executed, std::vector<std::string>{"DROP TABLE [T]"});
    EXPECT_EQ(paradox.kept, (std::vector<ScriptedParadox::Kept>{{rows[0], "SQL error: no such type", false}}));
    EXPECT_EQ(form.ErrLine, 2);
    EXPECT_EQ(dialogs.informations(), std::vector<std::string>{"Error found."});
    EXPECT_TRUE(dialogs.errorReports().empty());
    EXPECT_TRUE(form.isLoaded());
}

// Once the run's row reports are used up, refused rows are only kept; the first is still marked.
TEST_F(PreviewTest, RowsBeyondTheRunsReportsAreKeptWithoutAReport)
{
    const std::vector<std::string> rows = numbered(5);
    fill(rows);
    for (const std::string& row : rows)
        paradox.failures[row] = "SQL error";
    paradox.rowReports = 2;

    show([&] { form.PushButton1->click(); });

    EXPECT_EQ(paradox.kept.size(), 5u);
    EXPECT_EQ(dialogs.errorReports().size(), 2u);
    EXPECT_EQ(form.ErrLine, 1);
    EXPECT_EQ(dialogs.informations(), std::vector<std::string>{"Error found."});
}

TEST_F(PreviewTest, OtherFailuresAreReportedAndThePassGoesOn)
{
    fill({"CREATE TABLE [A] (SBSID INT)", "CREATE TABLE [B] (SBSID INT)", "insert into [A] VALUES (1)",
          "INSERT INTO [A] (SBSID) VALUES (2)"});
    paradox.failures["CREATE TABLE [B] (SBSID INT)"] = "Table B already exists.";
    paradox.failures["insert into [A] VALUES (1)"] = "Syntax error in INSERT INTO statement.";

    show([&] { form.PushButton1->click(); });

    EXPECT_EQ(dialogs.errorReports(),
              (std::vector<std::string>{executeReport("Table B already exists.", 134),
                                        executeReport("Syntax error in INSERT INTO statement.", 132)}));
    EXPECT_EQ(paradox.executed,
              (std::vector<std::string>{"CREATE TABLE [A] (SBSID INT)", "INSERT INTO [A] (SBSID) VALUES (2)"}));
    EXPECT_EQ(paradox.sqlFormOK, true);
    EXPECT_FALSE(form.isLoaded());
}

TEST_F(PreviewTest, ClosingDuringAPassEndsItAndASecondClickIsIgnored)
{
    const std::vector<std::string> rows = numbered(4);
    fill(rows);
    paradox.onExecute = [&](const std::string& statement) {
        if (statement == rows[0])
            form.PushButton1->click(); // pressed again while the pass runs
        if (statement == rows[1])
            form.PushButton5->click(); // "< Back" while the pass runs
    };
    show([&] { form.PushButton1->click(); });
    EXPECT_EQ(paradox.executed, (std::vector<std::string>{rows[0], rows[1]}));
    EXPECT_FALSE(paradox.sqlFormOK.has_value());
    EXPECT_FALSE(form.isLoaded());
    EXPECT_TRUE(dialogs.errorReports().empty());
    EXPECT_EQ(appearance::mousePointer(form), appearance::Default);
}

TEST_F(PreviewTest, EmptyListHasNoSqlToRun)
{
    form.ErrLine = 5;
    preview::setExactText(*form.Text1, QStringLiteral("earlier error"));

    show([&] { form.PushButton1->click(); });

    EXPECT_EQ(dialogs.informations(), std::vector<std::string>{"No SQL to run."});
    EXPECT_TRUE(paradox.attempted.empty());
    EXPECT_FALSE(paradox.sqlFormOK.has_value());
    EXPECT_EQ(form.ErrLine, 5);
    EXPECT_EQ(form.Text1->toPlainText(), QStringLiteral("earlier error"));
    EXPECT_TRUE(form.isLoaded());
    EXPECT_EQ(appearance::mousePointer(form), appearance::Default);
}

TEST_F(PreviewTest, ExecutingAgainRunsOnlyTheRowsThatDidNotGoThrough)
{
    const std::vector<std::string> rows{"CREATE TABLE [T] (SBSID INT)", "INSERT INTO [T] (SBSID) VALUES (1)",
                                        "INSERT INTO [T] (SBSID VALUES (2)", "CREATE INDEX [T] ON [T] (SBSID) X",
                                        "INSERT INTO [T] (SBSID) VALUES (3)"};
    fill(rows);
    paradox.failures[rows[2]] = "SQL error near VALUES";
    paradox.failures[rows[3]] = "SQL error near X";

    show([&] {
        form.PushButton1->click();
        ASSERT_EQ(form.ErrLine, 4); // the stop, not the refused row before it
        form.setStatement(4, "CREATE INDEX [T] ON [T] (SBSID)");
        form.PushButton1->click();
        ASSERT_EQ(form.ErrLine, 3);
        form.setStatement(3, "INSERT INTO [T] (SBSID) VALUES (2)");
        form.PushButton1->click();
    });

    // Every statement went through exactly once.
    EXPECT_EQ(paradox.executed,
              (std::vector<std::string>{rows[0], rows[1], "CREATE INDEX [T] ON [T] (SBSID)", rows[4],
                                        "INSERT INTO [T] (SBSID) VALUES (2)"}));
    EXPECT_EQ(paradox.sqlFormOK, true);
    EXPECT_EQ(dialogs.informations(), (std::vector<std::string>{"Error found.", "Error found."}));
}

TEST_F(PreviewTest, RefillClearsErrLineSoTheNewListStartsAtRowOne)
{
    fill(numbered(3));
    paradox.failures[numbered(3)[1]] = "SQL error";
    show([&] { form.PushButton1->click(); });
    ASSERT_EQ(form.ErrLine, 2);

    const std::vector<std::string> next = {"CREATE TABLE [U] (SBSID INT)", "INSERT INTO [U] (SBSID) VALUES (1)",
                                           "INSERT INTO [U] (SBSID) VALUES (2)"};
    fill(next);
    EXPECT_EQ(form.ErrLine, 0);
    paradox.executed.clear();
    show([&] { form.PushButton1->click(); });
    EXPECT_EQ(paradox.executed, next);
}

TEST_F(PreviewTest, EachWayOfLeavingSetsItsFlagAndDiscardsTheRows)
{
    struct Way {
        const char* name;
        std::function<void(Form2&)> leave;
        bool notSkippedAfter;
    };
    const Way ways[] = {
        {"< Back", [](Form2& f) { f.PushButton5->click(); }, true},
        {"Skip Table", [](Form2& f) { f.PushButton9->click(); }, false},
        {"close box", [](Form2& f) { f.close(); }, true},
    };
    for (const Way& way : ways) {
        fill(numbered(4));
        preview::setExactText(*form.Text1, QStringLiteral("some error"));
        paradox.skipped = false;
        show([&] { way.leave(form); });
        EXPECT_EQ(!paradox.skipped, way.notSkippedAfter) << way.name;
        EXPECT_FALSE(paradox.sqlFormOK.has_value()) << way.name;
        EXPECT_FALSE(form.isLoaded()) << way.name;
        EXPECT_TRUE(paradox.attempted.empty()) << way.name;
        EXPECT_EQ(form.statementCount(), 0) << way.name;
        EXPECT_TRUE(form.Text1->toPlainText().isEmpty()) << way.name;
    }
}

TEST_F(PreviewTest, RowClickHandsIndexAndTextToEditLine)
{
    fill(numbered(9));
    int listLine = 0;
    QString text;
    onNextModal<preview::Form4>([&](preview::Form4& edit) {
        listLine = edit.ListLine;
        text = edit.Text1->toPlainText();
    });
    form.ListView1->selectionModel()->select(form.statements().index(6, 0),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    form.ListView1_Click();
    EXPECT_EQ(listLine, 7);
    EXPECT_EQ(text.toStdString(), numbered(9)[6]);

    // Without a selected row a click opens nothing.
    form.ListView1->selectionModel()->clearSelection();
    const std::size_t shownBefore = dialogs.shown.size();
    form.ListView1_Click();
    EXPECT_EQ(dialogs.shown.size(), shownBefore);
}

TEST_F(PreviewTest, JumpToErrorLineSelectsAndRevealsTheFailingRow)
{
    const std::vector<std::string> rows = numbered(300);
    fill(rows);
    paradox.failures[rows[249]] = "SQL error";
    show([&] {
        form.PushButton6->click(); // no error yet: nothing
        EXPECT_TRUE(selectedRows().empty());
        form.PushButton1->click();
        EXPECT_EQ(selectedRows(), std::vector<int>{250});
        EXPECT_TRUE(rowVisible(250));
        EXPECT_EQ(paradox.executed.size(), 299u);

        form.ListView1->selectionModel()->select(form.statements().index(2, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        form.ListView1->scrollToTop();
        ASSERT_FALSE(rowVisible(250));
        form.PushButton6->click();
        EXPECT_EQ(selectedRows(), std::vector<int>{250});
        EXPECT_TRUE(rowVisible(250));
    });
    EXPECT_EQ(dialogs.errorReports(), std::vector<std::string>{executeReport("SQL error", 132)});
}

TEST_F(PreviewTest, JumpBeyondTheListReportsBothStepsAndSelectsNothing)
{
    fill(numbered(3));
    form.ErrLine = 9;
    form.PushButton6->click();
    const std::string location = report::locationText("Form2", "PushButton6_Click");
    ASSERT_EQ(dialogs.errorReports().size(), 2u);
    EXPECT_NE(dialogs.errorReports()[0].find(location + "at line 104"), std::string::npos);
    EXPECT_NE(dialogs.errorReports()[1].find(location + "at line 106"), std::string::npos);
    EXPECT_TRUE(selectedRows().empty());
}

TEST_F(PreviewTest, CopySqlPutsEveryRowOnTheClipboard)
{
    fill({"DROP TABLE [T]   ", "CREATE TABLE [T] (SBSID INT, [Name] CHAR(20))", "  ",
          "INSERT INTO [T] (SBSID, [Name]) VALUES (1, 'a  b')"});
    form.PushButton2->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              "DROP TABLE [T]\r\nCREATE TABLE [T] (SBSID INT, [Name] CHAR(20))\r\n\r\n"
              "INSERT INTO [T] (SBSID, [Name]) VALUES (1, 'a  b')\r\n");
    EXPECT_EQ(dialogs.informations(),
              std::vector<std::string>{"Results have been copied to the clipboard.\r\rClick a text area where you "
                                       "normally type and press Ctrl+V to paste the clipboard."});
    EXPECT_EQ(dialogs.shown.back().caption, "Quillmere");

    // An empty list leaves the clipboard as it was.
    fill({});
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    form.PushButton2->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
}

TEST_F(PreviewTest, ErrorTextGoesToClipboardAndMailExactly)
{
    const std::string error = "[Microsoft][ODBC Paradox Driver] SQL error\r\nTable \xC2\xA0T exists";
    fill({"CREATE TABLE [T] (SBSID INT)"});
    paradox.failures["CREATE TABLE [T] (SBSID INT)"] = error;
    show([&] {
        form.PushButton1->click();
        form.PushButton4->click();
        form.PushButton8->click();
    });
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), error);
    EXPECT_EQ(dialogs.informations(),
              (std::vector<std::string>{"Error found.",
                                        "Error message have been copied to the clipboard.\r\rClick a text area "
                                        "where you normally type and press Ctrl+V to paste the clipboard."}));
    EXPECT_EQ(dialogs.texts(testsupport::Shown::Url),
              std::vector<std::string>{"mailto:support@wrenmoor.com?subject=Quillmere&body=Here is the error message "
                                       "that I get: \n" + error});
}

TEST_F(PreviewTest, BlankErrorBoxMakesCopyAndMailDoNothing)
{
    preview::setExactText(*form.Text1, QStringLiteral("    "));
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    form.PushButton4->click();
    form.PushButton8->click();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
}

TEST_F(PreviewTest, PointerRuleKeepsTheHourglass)
{
    form.statementCount();
    const auto moveOver = [](QWidget* w) {
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    };
    moveOver(form.PushButton7);
    EXPECT_EQ(appearance::mousePointer(form), appearance::Custom);
    moveOver(form.ListView1->viewport());
    EXPECT_EQ(appearance::mousePointer(form), appearance::Default);
    moveOver(form.PushButton1);
    moveOver(form.Frame2);
    EXPECT_EQ(appearance::mousePointer(form), appearance::Default);

    appearance::setMousePointer(form, appearance::Busy);
    moveOver(form.PushButton1);
    moveOver(&form);
    EXPECT_EQ(appearance::mousePointer(form), appearance::Busy);

    // The hourglass is up for the whole pass.
    appearance::setMousePointer(form, appearance::Default);
    fill(numbered(2));
    std::vector<int> during;
    paradox.onExecute = [&](const std::string&) {
        moveOver(form.PushButton4);
        during.push_back(appearance::mousePointer(form));
    };
    show([&] { form.PushButton1->click(); });
    EXPECT_EQ(during, (std::vector<int>{appearance::Busy, appearance::Busy}));
}

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// A run sets the bar for every row: however often the percentage moves between two passes of the
// event loop, the bar is painted once, at the pass, and then shows the last value.
TEST(ProgressBar, AValueSetForLaterIsPaintedOnceAtTheNextPass)
{
    preview::ProgressBar bar;
    bar.resize(300, 20);
    PaintCounter counter(bar);
    bar.show();
    for (int pass = 0; pass < 100 && counter.paints == 0; ++pass)
        QCoreApplication::processEvents();
    ASSERT_GT(counter.paints, 0) << "the bar was never painted";

    counter.paints = 0;
    for (int value = 1; value <= 100; ++value)
        bar.setValuePaintedLater(value);
    EXPECT_EQ(counter.paints, 0);
    EXPECT_EQ(bar.value(), 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);
}

// Execute lets events run while it works, but not once a row: every such pass painted the
// progress text the row had changed, which cost a hundred times what running the row did.
TEST_F(PreviewTest, ExecuteLetsEventsRunWithoutPaintingEveryRow)
{
    constexpr int rows = 2000;
    fill(numbered(rows));
    PaintCounter counter(*form.ProgressBar1);
    std::vector<std::size_t> executedAtPass;
    QTimer eachPass;
    eachPass.setInterval(0);
    QObject::connect(&eachPass, &QTimer::timeout, [&] { executedAtPass.push_back(paradox.executed.size()); });
    show([&] {
        counter.paints = 0;
        eachPass.start();
        form.PushButton1->click();
        eachPass.stop();
    });
    EXPECT_EQ(paradox.executed.size(), static_cast<std::size_t>(rows));
    ASSERT_FALSE(executedAtPass.empty()) << "no event was handled during the pass";
    EXPECT_LT(executedAtPass.front(), static_cast<std::size_t>(rows));
    EXPECT_LT(counter.paints, rows / 10);
}

} // namespace
} // namespace previewtest
