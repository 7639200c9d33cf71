// bench-convert-window: one "Start Converting" run of the real main window in direct mode
// (offscreen, with the window's own yields to pending events), timed around the click.
//
//   bench-convert-window --port N --password-env VAR --folder PARADOX_FOLDER [--database NAME]
//     (NAME defaults to Sales)
//
// Prints the seconds of the run on standard output; bench-convert starts it.

#include "RecordingDialogs.h"
#include "app/Form1.h"
#include "app/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string port, password, folder, database = "Sales";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--port")
            port = argv[i + 1];
        else if (a == "--password-env")
            password = std::getenv(argv[i + 1]) ? std::getenv(argv[i + 1]) : "";
        else if (a == "--folder")
            folder = argv[i + 1];
        else if (a == "--database")
            database = argv[i + 1];
    }
    if (port.empty() || folder.empty()) {
        std::fprintf(stderr, "usage: bench-convert-window --port N --password-env VAR --folder PARADOX_FOLDER "
                             "[--database NAME]\n");
        return 2;
    }
    testsupport::RecordingDialogs dialogs;
    // The Samples folder holds an ORDERS table already: every overwrite question is answered Yes,
    // as quillmere-cli's --overwrite yes does.
    dialogs.answers.assign(50, true);
    // quillmere-cli converts without checking first; so does the window here, or the two would not
    // be doing the same work (and the dialog double would cancel at the window of what the check found).
    settings::SaveSetting("CheckBeforeConverting", "0");
    Form1 form(dialogs);
    form.Text5->setText("127.0.0.1");
    form.Text6->setText(QString::fromStdString(port));
    form.Text8->setText(QString::fromStdString(database));
    form.Text3->setText("sa");
    form.Text4->setText(QString::fromStdString(password));
    form.Check4->setChecked(false);
    form.Text1->setText(QString::fromStdString(folder));
    form.Check1->setChecked(false);
    form.show();

    const auto start = std::chrono::steady_clock::now();
    form.PushButton7_Click();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f %zu\n", seconds, dialogs.errorReports().size());
    return 0;
}
