#pragma once
// The SQL Preview window: the statements a conversion run generated, shown before they run, with
// the commands that execute, edit, replace, copy and explain them.
//
// How the run uses it (the main window keeps one Form2 for the program's life):
//
//     form2.clearStatements();
//     form2.form5().clearDatatypes();
//     form2.form5().appendDatatype(record); // once per source column
//     form2.appendStatement(sql);           // once per statement, in generation order
//     form2.showModal();                    // returns when the window has closed; the host
//                                           // heard of a complete "Execute SQL" or a skip
//
// The window object is "created" at its first access: every public call below first runs the load
// step (Form_Load) when the window is not loaded. Closing the window (any way) discards its rows,
// the error box and the progress display and unloads it, so the next access loads it afresh with
// one column and no rows. Form5, the datatype viewer, is created at the first call of form5() and
// keeps its rows until the run clears them.

#include "platform/qt/DialogService.h"

#include <QDialog>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class QTreeView;

namespace preview {

class Form5;
class ProgressBar;
class StatementListModel;

// What the SQL Preview window needs from the main window that owns it.
class Host {
public:
    virtual ~Host() = default;
    // Runs one statement on the run's Paradox_conn (db::Connection::Execute); a failure raises an
    // exception whose what() is the driver's description.
    virtual void executeOnParadox(const std::string& statement) = 0;
    // The run's SQLFormOK: "Execute SQL" went through every statement.
    virtual void setSQLFormOK(bool ok) = 0;
    // "Skip Table / Do Not Execute SQL": the run goes on to its next table.
    virtual void skipTable() = 0;
    // Keeps a statement the Paradox folder refused in the run's rejected-rows file; `row` marks
    // an INSERT. True when the failure is still to be reported on its own: after the run's
    // tenth row report the rest are only counted. Throws when the file cannot be written.
    virtual bool keepRejected(const std::string& /*statement*/, const std::string& /*reason*/, bool /*row*/)
    {
        return true;
    }
};

class Form2 : public QDialog {
    Q_OBJECT

public:
    Form2(QWidget* owner, platform::DialogService& dialogs, Host& host);
    ~Form2() override;

    // ---- The hand-over with the conversion run ---------------------------------------------
    // Removes every row and clears ErrLine.
    void clearStatements();
    // Appends one row holding exactly this text.
    void appendStatement(std::string_view statement);
    int statementCount();
    // Row text by 1-based row number; throws std::out_of_range outside 1..statementCount().
    std::string statement(int row);
    // Replaces the text of a 1-based row; throws std::out_of_range outside the list.
    void setStatement(int row, std::string_view text);
    // Shows the window modally over its owner through the dialog service and returns when the
    // service returns; the window's result code.
    int showModal();
    // The Datatypes Conversion window, created (and loaded, not shown) at the first call.
    Form5& form5();

    // True between the load step and the next closing.
    bool isLoaded() const { return loaded_; }

    // ---- Handlers: control name, underscore, event -------------------------------------------
    void Form_Load();
    // Execute SQL. A refused row is reported and the pass goes on; a recognised SQL error of a
    // statement that is no row stops it. Either way the window stays open at the row (ErrLine),
    // and the next pass runs only the rows that have not gone through. A click during a pass is
    // ignored, and closing the window ends it.
    void PushButton1_Click();
    void PushButton2_Click(); // Copy SQL To Clipboard
    void PushButton3_Click(); // Find and Replace
    void PushButton4_Click(); // Copy Error Message To Clipboard
    void PushButton5_Click(); // < Back
    void PushButton6_Click(); // Jump To Error Line
    void PushButton7_Click(); // View Datatype Conversion
    void PushButton8_Click(); // Email Error Message
    void PushButton9_Click(); // Skip Table / Do Not Execute SQL
    void ListView1_Click();

    // 1-based row where the last pass stopped, or of its first refused row; 0 while there has
    // been none in this list.
    int ErrLine = 0;

    // Controls; each one's object name is its member name.
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton9 = nullptr;
    QTreeView* ListView1 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton8 = nullptr;
    QPushButton* PushButton7 = nullptr;
    ProgressBar* ProgressBar1 = nullptr;

    StatementListModel& statements() { return *model_; }
    platform::DialogService& dialogs() { return dialogs_; }

    // Closing, by any way, discards the window's visible state.
    void done(int result) override;

private:
    void ensureLoaded();
    // 1-based; throw std::out_of_range for a row beyond the list.
    void selectRow(int row);
    void revealRow(int row);
    void buildControls();
    void discardState();
    bool wentThrough(int row) const;
    void markThrough(int row);

    platform::DialogService& dialogs_;
    Host& host_;
    std::unique_ptr<StatementListModel> model_;
    std::unique_ptr<Form5> form5_;
    bool loaded_ = false;
    bool executing_ = false;
    // Per row: executed without failure (or with one that counts as done) in an earlier pass.
    std::vector<bool> through_;
};

// The mail link of "Email Error Message": mailto:<support>?subject=Quillmere&body=<opening words>
// LF <error text>, without percent-encoding.
std::string mailLink(const std::string& errorText);

} // namespace preview
