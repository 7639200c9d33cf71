#pragma once
// The window "Data Paradox cannot hold": what the check before a run found that Paradox would
// not take, one line per column and kind of problem, with the choices that keep the data. "Check
// Again" checks the tables anew with the choices made; "Convert" closes it accepted, the choices
// in chosenOptions(); "Cancel" closes it rejected.

#include "convert/CheckedRun.h"
#include "platform/qt/DialogService.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;

class DataLossWindow : public QDialog {
    Q_OBJECT

public:
    DataLossWindow(QWidget* owner, platform::DialogService& dialogs, convert::CheckedRun& run);

    void Form_Load();
    void CheckAgain_Click();
    void Convert_Click();
    void Cancel_Click();

    // The run's options as the controls choose them; a code page for single tables is kept.
    convert::TypeOptions chosenOptions() const;

    QLabel* summaryLabel = nullptr;
    QTreeWidget* lossList = nullptr; // table, column, problem, rows affected, first row
    QGroupBox* choicesFrame = nullptr;
    QCheckBox* longTextAsMemo = nullptr;
    QCheckBox* binaryAsBlob = nullptr;
    QCheckBox* bigIntAsDecimal = nullptr;
    QCheckBox* replaceUnmappable = nullptr;
    QLabel* codePageLabel = nullptr;
    QComboBox* codePageList = nullptr;
    QPushButton* checkAgainButton = nullptr;
    QPushButton* convertButton = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    void buildControls();
    void showOptions(const convert::TypeOptions& options);
    // The list and the summary from the run's last check.
    void showLosses();

    platform::DialogService& dialogs_;
    convert::CheckedRun& run_;
};
