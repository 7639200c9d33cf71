// Quillmere: copies the user tables of a SQL Server database into Paradox tables.
#include "QuillmereVersion.h"
#include "app/Form1.h"
#include "db/Paradox.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

void printHelp()
{
    std::printf("Usage: quillmere [--help | --version] [Qt options]\n"
                "\n"
                "Opens the window that copies the user tables of a SQL Server database into Paradox\n"
                "tables in a folder. Every setting is made in the window.\n"
                "\n"
                "  --help      this text\n"
                "  --version   the version\n"
                "  Qt options  those of every Qt program, e.g. -platform offscreen, -style NAME\n"
                "\n"
                "Environment:\n"
                "  QUILLMERE_SETTINGS_DIR  keep the saved fields in this folder instead of the user's own\n"
                "  TDSPORT, TDSVER         the port and TDS version FreeTDS uses (see the README)\n"
                "\n"
                "Sample Paradox tables: %s\n",
                Paradox::SampleFolder().c_str());
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printHelp();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("quillmere %s\n", QUILLMERE_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    platform::QtDialogService dialogs;
    Form1 form(dialogs);
    form.Form_Load();
    form.show();
    return app.exec();
}
