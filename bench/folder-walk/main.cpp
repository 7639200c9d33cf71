// bench-folder-walk [--width W] [--depth D] [--folder DIR]
// Builds a tree of W sub-folders per folder down to depth D (two table files in each folder)
// and lists its tables with ListParadoxTables under a running QApplication, so every yield to
// window events really enters the event loop. Prints the folders walked, the time per folder,
// and the cost of one yield alone, against the time spent listing the folders.
#include "db/Paradox.h"
#include "platform/qt/Yield.h"
#include "report/MessageService.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Answers nothing: the walk of a readable tree shows no messages. Its event pass is the window's.
class SilentMessages : public report::MessageService {
public:
    void letEventsRun() override { platform::DoEvents(); }
    void information(const std::string&, const std::string&) override {}
    bool question(const std::string&, const std::string&) override { return false; }
    void errorReport(const std::string& text) override { std::fprintf(stderr, "report: %s\n", text.c_str()); }
    bool startCommandLine(const std::string&) override { return false; }
    bool openUrl(const std::string&) override { return false; }
};

long makeTree(const fs::path& folder, int width, int depth)
{
    fs::create_directories(folder);
    std::ofstream(folder / "orders.db") << "x";
    std::ofstream(folder / "lines.db") << "x";
    long folders = 1;
    if (depth > 0)
        for (int i = 0; i < width; ++i)
            folders += makeTree(folder / ("f" + std::to_string(i)), width, depth - 1);
    return folders;
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

} // namespace

int main(int argc, char** argv)
{
    int width = 8, depth = 4;
    fs::path folder = fs::temp_directory_path() / "bench-folder-walk";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--width"))
            width = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--depth"))
            depth = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--folder"))
            folder = argv[i + 1];
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    fs::remove_all(folder);
    const long folders = makeTree(folder, width, depth);

    SilentMessages messages;
    platform::ListBox tables;
    const auto walkStart = Clock::now();
    Paradox::ListParadoxTables(folder.string(), tables, messages);
    const double walk = seconds(Clock::now() - walkStart);

    const long yields = 1000000;
    const auto yieldStart = Clock::now();
    for (long i = 0; i < yields; ++i)
        platform::DoEvents();
    const double yield = seconds(Clock::now() - yieldStart) / static_cast<double>(yields);

    std::printf("folders walked:        %ld (width %d, depth %d)\n", folders, width, depth);
    std::printf("tables listed:         %d\n", tables.ListCount());
    std::printf("walk and listing:      %.3f s, %.1f us per folder\n", walk, walk * 1e6 / static_cast<double>(folders));
    std::printf("one yield, idle:       %.2f us\n", yield * 1e6);
    std::printf("yield share of walk:   %.1f %%\n", 100.0 * yield * static_cast<double>(folders) / walk);
    fs::remove_all(folder);
    return tables.ListCount() == 2 * folders ? 0 : 1;
}
