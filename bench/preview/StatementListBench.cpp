// Appends a million INSERT statements to the SQL Preview window the way a run does, then scrolls
// through the list, selects rows, edits some, replaces a text in all and executes them all (into a
// target that takes every statement), and prints times and memory per row. Then executes the same
// statements into a Paradox folder through the window and, as the baseline, straight into the
// engine, and prints the ratio of the two.
// Run under QT_QPA_PLATFORM=offscreen (or any display): bench_statement_list [rows]

#include "paradox/Database.h"
#include "platform/qt/Yield.h"
#include "preview/Form2.h"
#include "preview/Form3.h"
#include "preview/ListModels.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTreeView>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class NoDialogs : public platform::DialogService {
public:
    void information(const std::string&, const std::string&) override {}
    bool question(const std::string&, const std::string&) override { return false; }
    void errorReport(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    bool startCommandLine(const std::string&) override { return false; }
    bool openUrl(const std::string&) override { return false; }
    int execModal(QDialog&) override { return 0; }
    QString chooseFolder(QWidget*, const QString&, const QString&) override { return {}; }
};

class NoTarget : public preview::Host {
public:
    void executeOnParadox(const std::string&) override {}
    void setSQLFormOK(bool) override {}
    void skipTable() override {}
};

class FolderTarget : public preview::Host {
public:
    explicit FolderTarget(const std::filesystem::path& folder) : database(folder) {}
    void executeOnParadox(const std::string& statement) override { database.execute(statement); }
    void setSQLFormOK(bool) override {}
    void skipTable() override {}
    paradox::Database database;
};

std::string insertStatement(int i)
{
    return "INSERT INTO [Orders] (SBSID, [OrderID], [Customer], [Amount]) VALUES (" + std::to_string(i) + ", "
           + std::to_string(10000 + i) + ", 'Customer " + std::to_string(i % 977) + "', 12.5)";
}

const char* const kCreateOrders = "CREATE TABLE [Orders] (SBSID INT, [OrderID] INT, [Customer] TEXT(40), [Amount] CURRENCY)";
const char* const kIndexOrders = "CREATE INDEX [Orders] ON [Orders] (SBSID) WITH PRIMARY";

long residentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

double ms(QElapsedTimer& timer)
{
    const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    NoDialogs dialogs;
    NoTarget target;
    QWidget owner;
    preview::Form2 form(&owner, dialogs, target);
    form.clearStatements();
    form.show();
    QApplication::processEvents();

    const long before = residentKilobytes();
    std::size_t textBytes = 0;
    QElapsedTimer timer;
    timer.start();
    for (int i = 1; i <= rows; ++i) {
        std::string sql = insertStatement(i);
        textBytes += sql.size();
        form.appendStatement(sql);
    }
    const double appendMs = ms(timer);
    QApplication::processEvents();
    const double firstPaintMs = ms(timer);
    const long after = residentKilobytes();

    QScrollBar* bar = form.ListView1->verticalScrollBar();
    const int steps = 200;
    for (int s = 0; s <= steps; ++s) {
        bar->setValue(static_cast<int>(static_cast<long long>(bar->maximum()) * s / steps));
        form.ListView1->viewport()->repaint();
    }
    const double scrollMs = ms(timer);

    const int selections = 1000;
    for (int s = 0; s < selections; ++s) {
        const QModelIndex index = form.statements().index(static_cast<int>((static_cast<long long>(s) * 7919) % rows), 0);
        form.ListView1->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        form.ListView1->scrollTo(index);
    }
    QApplication::processEvents();
    const double selectMs = ms(timer);

    for (int s = 1; s <= 10000; ++s)
        form.setStatement((s * 97) % rows + 1, form.statement((s * 97) % rows + 1) + " ");
    const double editMs = ms(timer);
    // Taken before the complete Execute closes the window, which discards the rows.
    const auto listBytes = static_cast<double>(form.statements().bytesUsed());

    {
        preview::Form3 replace(form);
        replace.Text1->setText(QStringLiteral("Customer 97'"));
        replace.Text2->setText(QStringLiteral("Customer 97 Ltd'"));
        timer.restart();
        replace.PushButton2_Click();
    }
    const double replaceMs = ms(timer);

    form.PushButton1_Click();
    const double executeMs = ms(timer);

    // The baseline: a loop that let events run once a row would cost at least this much a row.
    constexpr int idlePasses = 100'000;
    for (int pass = 0; pass < idlePasses; ++pass)
        platform::DoEvents();
    const double idlePassUs = ms(timer) * 1000 / idlePasses;

    // Into a Paradox folder: through the window's Execute, and straight into the engine.
    char folderTemplate[] = "/tmp/bench-statement-list-XXXXXX";
    if (!mkdtemp(folderTemplate)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path folder = folderTemplate;
    std::filesystem::create_directory(folder / "window");
    std::filesystem::create_directory(folder / "engine");
    double windowExecuteMs = 0;
    {
        FolderTarget paradox(folder / "window");
        preview::Form2 executing(&owner, dialogs, paradox);
        executing.clearStatements();
        executing.appendStatement(kCreateOrders);
        executing.appendStatement(kIndexOrders);
        for (int i = 1; i <= rows; ++i)
            executing.appendStatement(insertStatement(i));
        executing.show();
        QApplication::processEvents();
        timer.restart();
        executing.PushButton1_Click();
        windowExecuteMs = ms(timer);
    }
    double engineMs = 0;
    {
        paradox::Database database(folder / "engine");
        timer.restart();
        database.execute(kCreateOrders);
        database.execute(kIndexOrders);
        for (int i = 1; i <= rows; ++i)
            database.execute(insertStatement(i));
        engineMs = ms(timer);
    }
    // Both ways must have written the same table, or the figures compare nothing.
    std::error_code sizeError;
    const bool sameSize = std::filesystem::file_size(folder / "window" / "Orders.DB", sizeError)
                          == std::filesystem::file_size(folder / "engine" / "Orders.DB", sizeError);
    std::filesystem::remove_all(folder);
    if (sizeError || !sameSize) {
        std::fprintf(stderr, "the window and the engine wrote different tables\n");
        return 1;
    }

    std::printf("rows                      %d\n", rows);
    std::printf("append                    %.0f ms (%.2f us per row)\n", appendMs, appendMs * 1000 / rows);
    std::printf("first paint               %.1f ms\n", firstPaintMs);
    std::printf("scroll, %d pages         %.1f ms (%.2f ms per page)\n", steps + 1, scrollMs, scrollMs / (steps + 1));
    std::printf("select+reveal, %d rows  %.1f ms\n", selections, selectMs);
    std::printf("edit 10000 rows           %.1f ms\n", editMs);
    std::printf("find and replace           %.0f ms (%.2f us per row)\n", replaceMs, replaceMs * 1000 / rows);
    std::printf("execute, no-op target      %.0f ms (%.2f us per row)\n", executeMs, executeMs * 1000 / rows);
    std::printf("one idle event-loop pass   %.2f us\n", idlePassUs);
    std::printf("replace, execute per row / idle pass  %.2f, %.2f\n", replaceMs * 1000 / rows / idlePassUs,
                executeMs * 1000 / rows / idlePassUs);
    std::printf("execute into a folder      %.0f ms (%.2f us per row)\n", windowExecuteMs, windowExecuteMs * 1000 / rows);
    std::printf("the same, engine alone     %.0f ms (%.2f us per row)\n", engineMs, engineMs * 1000 / rows);
    std::printf("window / engine alone      %.2f\n", windowExecuteMs / engineMs);
    std::printf("statement text            %.1f bytes per row\n", static_cast<double>(textBytes) / rows);
    std::printf("list store                %.1f bytes per row\n", listBytes / rows);
    std::printf("process growth            %.1f bytes per row\n", (after - before) * 1024.0 / rows);
    return 0;
}
