// The clipboard helpers: the aligned text of a list's checked rows and the retry rule.

#include "platform/qt/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QStandardItemModel>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace {

// Rows of texts; a row whose first cell is given a check state gets a check box.
std::unique_ptr<QStandardItemModel> listOf(const std::vector<std::vector<QString>>& rows, const std::vector<int>& checkStates = {})
{
    auto model = std::make_unique<QStandardItemModel>();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        QList<QStandardItem*> cells;
        for (const QString& text : rows[r])
            cells.append(new QStandardItem(text));
        if (r < checkStates.size() && checkStates[r] >= 0) {
            cells.front()->setCheckable(true);
            cells.front()->setCheckState(checkStates[r] ? Qt::Checked : Qt::Unchecked);
        }
        model->appendRow(cells);
    }
    return model;
}

TEST(CheckedRowsText, PadsToTheWidestTextOfEachColumnOverAllRows)
{
    // Widths 5 and 3 come from the unchecked row.
    const auto model = listOf({{"ab", "x"}, {"abcde", "xyz"}}, {1, 0});
    EXPECT_EQ(platform::checkedRowsText(*model), QStringLiteral("ab   \tx\r\n"));
}

TEST(CheckedRowsText, EmptyLastCellsKeepTheirTabs)
{
    const auto model = listOf({{"a", "", ""}, {"bbb", "cc", "d"}});
    EXPECT_EQ(platform::checkedRowsText(*model), QStringLiteral("a  \t  \t\r\nbbb\tcc\td\r\n"));
}

TEST(CheckedRowsText, SingleColumnRowsLoseTrailingSpacesOnly)
{
    const auto model = listOf({{"  CREATE TABLE T  "}, {"   "}, {"INSERT INTO T VALUES (1)"}});
    EXPECT_EQ(platform::checkedRowsText(*model),
              QStringLiteral("  CREATE TABLE T\r\n\r\nINSERT INTO T VALUES (1)\r\n"));
}

TEST(CheckedRowsText, NoRowCheckedGivesAnEmptyText)
{
    const auto model = listOf({{"a"}, {"b"}}, {0, 0});
    EXPECT_EQ(platform::checkedRowsText(*model), QString());
}

TEST(CopyCheckedRows, EmptyListLeavesTheClipboardUntouched)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    const auto empty = listOf({});
    platform::CopyCheckedRowsToClipboard(*empty);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));

    const auto unchecked = listOf({{"a"}}, {0});
    platform::CopyCheckedRowsToClipboard(*unchecked);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
}

// A clipboard that another program holds for the first `busyAttempts` attempts of each operation.
class BusyClipboard : public platform::ClipboardAccess {
public:
    explicit BusyClipboard(int busyAttempts) : busy_(busyAttempts) {}
    bool tryClear() override
    {
        ++clearAttempts;
        if (clearAttempts <= busy_)
            return false;
        text.reset();
        return true;
    }
    bool trySetText(const QString& t, int) override
    {
        ++setAttempts;
        if (setAttempts <= busy_)
            return false;
        text = t;
        return true;
    }
    int clearAttempts = 0;
    int setAttempts = 0;
    std::optional<QString> text = QStringLiteral("old");

private:
    int busy_;
};

TEST(ClipboardRetry, AHeldClipboardIsRetriedUntilItTakesTheText)
{
    BusyClipboard clipboard(3);
    const auto model = listOf({{"DROP TABLE T"}});
    platform::CopyCheckedRowsToClipboard(*model, clipboard);
    EXPECT_EQ(clipboard.clearAttempts, 4);
    EXPECT_EQ(clipboard.setAttempts, 4);
    EXPECT_EQ(clipboard.text, QStringLiteral("DROP TABLE T\r\n"));
}

TEST(ClipboardRetry, GivesUpSilentlyAfterAThousandAttempts)
{
    BusyClipboard clipboard(1'000'000);
    platform::ClearClipboard(clipboard);
    EXPECT_FALSE(platform::SetClipboardText(QStringLiteral("x"), 0, clipboard));
    EXPECT_EQ(clipboard.clearAttempts, 1000);
    EXPECT_EQ(clipboard.setAttempts, 1000);
    EXPECT_EQ(clipboard.text, QStringLiteral("old"));
}

TEST(SystemClipboard, PlacesAndClearsPlainText)
{
    EXPECT_TRUE(platform::SetClipboardText(QStringLiteral("line 1\r\nline 2")));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("line 1\r\nline 2"));
    platform::ClearClipboard();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
}

} // namespace
