#pragma once
// The main window: the SQL Server login, the Paradox folder, the SQL Preview choices, the command
// buttons and the progress of a conversion run. Every field is remembered in the settings store
// the moment it changes. The handlers of the commands live in one file per command
// (Form1_SqlServer.cpp, Form1_ParadoxFolder.cpp, Form1_Convert.cpp, Form1.cpp for the rest).

#include "convert/Run.h"
#include "platform/qt/DialogService.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QCloseEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace preview {
class ProgressBar;
}

class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(platform::DialogService& dialogs, QWidget* parent = nullptr);
    ~Form1() override;

    platform::DialogService& dialogs() { return dialogs_; }

    bool busy() const { return conversion.state().busy; }
    void setBusy(bool busy) { conversion.state().busy = busy; }

    // What ends the program when the window closes; tests replace it to stay alive.
    void setQuitFunction(std::function<void()> quit) { quit_ = std::move(quit); }
    // Where the space-free copy of a folder is made (its TestDB folder): the drive of the
    // application folder, unless set to another folder ending in "/".
    void setSpaceFreeDriveRoot(std::string driveRoot) { spaceFreeDriveRoot_ = std::move(driveRoot); }
    // The offer of a space-free copy of the folder in Text1 (CopyDB); on acceptance Text1 names
    // the copy, which saves "ParadoxFolder".
    void offerSpaceFreeCopy(bool sample);

    // Start-up: appearance, caption, icon, application title and every field from the store.
    void Form_Load();
    // Ends the whole program at once, other windows included.
    void Form_Unload();

    void Text1_Change();
    void Text3_Change();
    void Text4_Change();
    void Text5_Change();
    void Text6_Change();
    void Text8_Change();
    void Check1_Click();
    void Check4_Click();
    void Option1_Click();
    void Option2_Click();
    void Text1_GotFocus();
    void Text5_GotFocus();
    void Text6_GotFocus();

    void PushButton1_Click(); // choose the Paradox folder (Form1_ParadoxFolder.cpp)
    void PushButton2_Click(); // load the sample database (Form1_ParadoxFolder.cpp)
    void PushButton3_Click(); // test the Paradox folder (Form1_ParadoxFolder.cpp)
    void PushButton4_Click(); // SQL Server connection help
    void PushButton5_Click(); // general help
    void PushButton6_Click(); // test the SQL Server login (Form1_SqlServer.cpp)
    void PushButton7_Click(); // Start Converting (Form1_Convert.cpp)

    // Controls; each one's object name is its member name.
    QPushButton* PushButton5 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text5 = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* Text6 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text8 = nullptr;
    QCheckBox* Check4 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QCheckBox* Check1 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QPushButton* PushButton7 = nullptr;
    preview::ProgressBar* ProgressBar1 = nullptr;

    // The conversion run, with the hidden lists List1 and List2, the connections mssql_conn and
    // Paradox_conn, the table being processed (tbl) and the preview's outcome (SQLFormOK) of the
    // current or last run.
    convert::Conversion conversion;

    // ---- Members added by the command handlers of the other files ------------------------
    // The SQL Preview window and the conversion run's links to this window, made at the first
    // Start Converting (Form1_Convert.cpp).
    struct ConvertLinks;
    std::shared_ptr<ConvertLinks> convertLinks_;
    // ---- End of the members added by the command handlers ------------------------------

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void connectHandlers();

    platform::DialogService& dialogs_;
    std::function<void()> quit_;
    std::string spaceFreeDriveRoot_;
    // A text field entered with the mouse keeps the whole-text selection its focus handler made.
    QLineEdit* selectedByFocus_ = nullptr;
};
