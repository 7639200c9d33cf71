// Find and Replace, Edit Line and the Datatypes Conversion viewer, opened from the SQL Preview window.

#include "PreviewFixture.h"

#include "platform/qt/Appearance.h"
#include "preview/Form3.h"
#include "preview/Form4.h"
#include "preview/Form5.h"
#include "preview/Widgets.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

namespace previewtest {
namespace {

using preview::Form3;
using preview::Form4;
using preview::Form5;

std::vector<std::string> rowsOf(preview::Form2& form)
{
    std::vector<std::string> rows;
    for (int row = 1; row <= form.statementCount(); ++row)
        rows.push_back(form.statement(row));
    return rows;
}

// The next control that the Tab key reaches from `from`.
QWidget* nextTabStop(QWidget* from)
{
    for (QWidget* w = from->nextInFocusChain(); w && w != from; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && !from->isAncestorOf(w))
            return w;
    return nullptr;
}

class FindAndReplace : public PreviewTest {
protected:
    // Opens Find and Replace from the preview, types both texts and presses Replace.
    void replace(const QString& find, const QString& replacement)
    {
        onNextModal<Form3>([&](Form3& window) {
            EXPECT_TRUE(window.Text1->text().isEmpty());
            EXPECT_TRUE(window.Text2->text().isEmpty());
            window.Text1->setText(find);
            window.Text2->setText(replacement);
            window.PushButton2->click();
            closedAccepted = window.result() == QDialog::Accepted;
        });
        form.PushButton3->click();
    }
    bool closedAccepted = false;
};

TEST_F(FindAndReplace, ReplacesTheFirstOccurrenceInEveryRow)
{
    struct Case {
        std::vector<std::string> rows;
        QString find, replacement;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{"a VARCHAR, b VARCHAR", "c varchar"}, "varchar", "TEXT", {"a TEXT, b VARCHAR", "c TEXT"}},
        {{"x VARCHAR(10)"}, "VARCHAR", "CHAR", {"x CHAR(10)"}},
        {{"x VARCHAR(10)", "no match"}, "VARCHAR", "", {"x (10)", "no match"}},
        {{"x VARCHAR(10)", "  "}, "", "CHAR", {"x VARCHAR(10)", "  "}},
    };
    for (const Case& c : cases) {
        fill(c.rows);
        dialogs.clear();
        replace(c.find, c.replacement);
        EXPECT_EQ(rowsOf(form), c.expected) << c.find.toStdString();
        EXPECT_EQ(dialogs.informations(), std::vector<std::string>{"Done."});
        EXPECT_TRUE(closedAccepted);
    }
}

TEST_F(FindAndReplace, ASecondPassReplacesTheNextOccurrence)
{
    fill({"a VARCHAR, b VARCHAR, c VARCHAR"});
    replace("varchar", "TEXT");
    replace("varchar", "TEXT");
    EXPECT_EQ(rowsOf(form), std::vector<std::string>{"a TEXT, b TEXT, c VARCHAR"});
}

TEST_F(FindAndReplace, EmptyListHasNoSqlToRunAndStaysOpen)
{
    onNextModal<Form3>([&](Form3& window) {
        window.Text1->setText("x");
        window.PushButton2->click();
        EXPECT_EQ(window.result(), 0);
        EXPECT_EQ(appearance::mousePointer(window), appearance::Default);
        window.PushButton1->click();
    });
    form.PushButton3->click();
    EXPECT_EQ(dialogs.informations(), std::vector<std::string>{"No SQL to run."});
}

TEST_F(FindAndReplace, LayoutAndTabOrder)
{
    Form3 window(form);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Find and Replace - Quillmere"));
    EXPECT_EQ(window.size(), QSize(536, 100));
    EXPECT_EQ(window.Label2->text(), QStringLiteral("Find what:"));
    EXPECT_EQ(window.Label6->text(), QStringLiteral("Replace with:"));
    EXPECT_EQ(window.Text1->geometry(), preview::twips(1560, 120, 6360, 345));
    EXPECT_EQ(window.Text2->geometry(), preview::twips(1560, 600, 6360, 345));
    EXPECT_EQ(window.PushButton2->text(), QStringLiteral("Replace"));
    EXPECT_EQ(window.PushButton2->geometry(), preview::twips(120, 1050, 3840, 405));
    EXPECT_EQ(window.PushButton1->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(window.PushButton1->geometry(), preview::twips(4080, 1050, 3840, 405));
    EXPECT_EQ(nextTabStop(window.Text1), window.Text2);
    EXPECT_EQ(nextTabStop(window.Text2), window.PushButton2);
    EXPECT_EQ(nextTabStop(window.PushButton2), window.PushButton1);
    // Face colour on the labels, not on the text boxes.
    EXPECT_TRUE(window.Label2->autoFillBackground());
    EXPECT_FALSE(window.Text1->autoFillBackground());
}

class EditLine : public PreviewTest {
protected:
    void SetUp() override { fill(rows); }

    // Clicks row `row` of the preview and lets `act` work on the Edit Line window.
    void edit(int row, std::function<void(Form4&)> act)
    {
        onNextModal<Form4>(std::move(act));
        form.ListView1->selectionModel()->select(form.statements().index(row - 1, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        form.ListView1_Click();
    }

    std::vector<std::string> rows = {"CREATE TABLE [T] (SBSID INT)", "INSERT INTO [T] (SBSID) VALUES (1)",
                                     "INSERT INTO [T] (SBSID) VALUES (2)", "INSERT INTO [T] (SBSID) VALUES (3)",
                                     "INSERT INTO [T] (SBSID) VALUES (4)", "INSERT INTO [T] (SBSID) VALUES (5)",
                                     "INSERT INTO [T] (SBSID) VALUES ('a\r\nb\xC2\xA0' )"};
};

TEST_F(EditLine, OkWritesTheTextBackIntoThatRowOnly)
{
    edit(7, [](Form4& window) {
        window.Text1->selectAll();
        window.Text1->insertPlainText("INSERT INTO [T] (SBSID) VALUES (7)\nline two");
        window.PushButton2->click();
    });
    std::vector<std::string> expected = rows;
    expected[6] = "INSERT INTO [T] (SBSID) VALUES (7)\r\nline two";
    EXPECT_EQ(rowsOf(form), expected) << "line breaks keep the row's own CR LF style";

    // The next Execute SQL sends the new text.
    show([&] { form.PushButton1->click(); });
    EXPECT_EQ(paradox.executed.back(), expected[6]);
}

TEST_F(EditLine, OkWithoutEditingKeepsTheTextByteForByte)
{
    edit(7, [](Form4& window) { window.PushButton2->click(); });
    EXPECT_EQ(rowsOf(form), rows);
}

TEST_F(EditLine, CancelAndCloseBoxLeaveTheRowAlone)
{
    edit(3, [](Form4& window) {
        window.Text1->setPlainText("changed");
        window.PushButton1->click();
    });
    edit(3, [](Form4& window) {
        window.Text1->setPlainText("changed");
        window.close();
    });
    EXPECT_EQ(rowsOf(form), rows);
}

TEST_F(EditLine, BlankRowIsPassedOverByExecution)
{
    edit(2, [](Form4& window) {
        window.Text1->clear();
        window.PushButton2->click();
    });
    EXPECT_EQ(form.statement(2), "");
    show([&] { form.PushButton1->click(); });
    std::vector<std::string> expected = rows;
    expected.erase(expected.begin() + 1);
    EXPECT_EQ(paradox.executed, expected);
}

TEST_F(EditLine, FocusSelectsTheWholeTextAndTheLayoutIsAsDesigned)
{
    edit(1, [](Form4& window) {
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Edit Line - Quillmere"));
        EXPECT_EQ(window.size(), QSize(536, 172));
        EXPECT_EQ(window.Text1->geometry(), preview::twips(120, 120, 7800, 1905));
        EXPECT_EQ(window.PushButton2->text(), QStringLiteral("OK"));
        EXPECT_EQ(window.PushButton2->geometry(), preview::twips(120, 2130, 3840, 405));
        EXPECT_EQ(window.PushButton1->text(), QStringLiteral("Cancel"));
        EXPECT_EQ(window.PushButton1->geometry(), preview::twips(4080, 2130, 3840, 405));
        EXPECT_EQ(nextTabStop(window.Text1), window.PushButton2);
        for (int time = 0; time < 2; ++time) {
            QTextCursor cursor = window.Text1->textCursor();
            cursor.clearSelection();
            window.Text1->setTextCursor(cursor);
            QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
            QApplication::sendEvent(window.Text1, &focus);
            EXPECT_EQ(window.Text1->textCursor().selectedText(), QStringLiteral("CREATE TABLE [T] (SBSID INT)"));
            EXPECT_EQ(window.Text1->textCursor().selectionStart(), 0);
        }
        window.PushButton1->click();
    });
}

class DatatypeViewer : public PreviewTest {
protected:
    static std::vector<convert::DatatypeRecord> table(const std::string& name, int columns)
    {
        std::vector<convert::DatatypeRecord> records;
        for (int i = 1; i <= columns; ++i)
            records.push_back({name, "Col" + std::to_string(i), "varchar", "CHAR(" + std::to_string(i * 10) + ")"});
        return records;
    }

    // Opens the viewer from the preview; the rows it shows, cell by cell.
    std::vector<std::vector<std::string>> view()
    {
        std::vector<std::vector<std::string>> shown;
        onNextModal<Form5>([&](Form5& window) {
            const auto& model = *window.ListView1->model();
            for (int r = 0; r < model.rowCount(); ++r) {
                std::vector<std::string> cells;
                for (int c = 0; c < model.columnCount(); ++c)
                    cells.push_back(model.index(r, c).data().toString().toStdString());
                shown.push_back(cells);
            }
            window.PushButton5->click();
        });
        form.PushButton7->click();
        return shown;
    }
};

TEST_F(DatatypeViewer, LoadsAtFirstAccessWithFourColumns)
{
    Form5& viewer = form.form5();
    EXPECT_EQ(viewer.windowTitle(), QStringLiteral("Datatypes Conversion - Quillmere"));
    EXPECT_FALSE(viewer.isVisible());
    EXPECT_EQ(viewer.size(), QSize(536, 562));
    EXPECT_EQ(viewer.PushButton5->text(), QStringLiteral("< Back"));
    EXPECT_EQ(viewer.PushButton5->geometry(), preview::twips(120, 120, 7800, 405));
    EXPECT_EQ(viewer.ListView1->geometry(), preview::twips(120, 630, 7800, 7605));
    const QStringList headings{"MS SQL Server Table", "MS SQL Server Table Field", "MS SQL Server Field Datatype",
                               "New Paradox Datatype"};
    ASSERT_EQ(viewer.ListView1->model()->columnCount(), 4);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(viewer.ListView1->model()->headerData(c, Qt::Horizontal).toString(), headings[c]);
        EXPECT_EQ(viewer.ListView1->columnWidth(c), 113); // 1700 twips
    }
    EXPECT_TRUE(viewer.ListView1->toolTip().isEmpty());
    EXPECT_EQ(&form.form5(), &viewer);
}

TEST_F(DatatypeViewer, FiveColumnTableShowsFiveRowsAgainAfterClosing)
{
    fill({"CREATE TABLE [Orders] (SBSID INT)"});
    for (const auto& record : table("Orders", 5))
        form.form5().appendDatatype(record);
    const auto first = view();
    ASSERT_EQ(first.size(), 5u);
    for (const auto& row : first)
        EXPECT_EQ(row[0], "Orders");
    EXPECT_EQ(first[2], (std::vector<std::string>{"Orders", "Col3", "varchar", "CHAR(30)"}));
    EXPECT_EQ(view(), first);

    form.form5().clearDatatypes();
    EXPECT_TRUE(view().empty());
}

TEST_F(DatatypeViewer, WholeRunListsTableAfterTable)
{
    form.form5().clearDatatypes();
    for (const auto& record : table("B", 2))
        form.form5().appendDatatype(record);
    for (const auto& record : table("A", 3))
        form.form5().appendDatatype(record);
    const auto rows = view();
    std::vector<std::string> tables;
    for (const auto& row : rows)
        tables.push_back(row[0] + "." + row[1]);
    EXPECT_EQ(tables, (std::vector<std::string>{"B.Col1", "B.Col2", "A.Col1", "A.Col2", "A.Col3"}));
    EXPECT_EQ(form.form5().datatype(4).paradoxType, "CHAR(20)");
}

TEST(ToolWindowPointers, HandOverButtonsDefaultElsewhereNeverOverTheHourglass)
{
    QWidget owner;
    testsupport::RecordingDialogs dialogs;
    ScriptedParadox paradox;
    preview::Form2 form(&owner, dialogs, paradox);
    Form3 find(form);
    Form4 edit(form);
    Form5& viewer = form.form5();
    const auto moveOver = [](QWidget* w) {
        QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    };
    struct Case {
        QWidget* window;
        QWidget* button;
        QWidget* other;
    };
    const Case cases[] = {{&find, find.PushButton2, &find},
                          {&edit, edit.PushButton1, &edit},
                          {&viewer, viewer.PushButton5, viewer.ListView1->viewport()}};
    for (const Case& c : cases) {
        const std::string name = c.window->objectName().toStdString();
        moveOver(c.button);
        EXPECT_EQ(appearance::mousePointer(*c.window), appearance::Custom) << name;
        moveOver(c.other);
        EXPECT_EQ(appearance::mousePointer(*c.window), appearance::Default) << name;
        appearance::setMousePointer(*c.window, appearance::Busy);
        moveOver(c.button);
        moveOver(c.other);
        EXPECT_EQ(appearance::mousePointer(*c.window), appearance::Busy) << name;
    }
}

} // namespace
} // namespace previewtest
