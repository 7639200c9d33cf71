#include "preview/Form2.h"

#include "platform/qt/Appearance.h"
#include "platform/qt/Clipboard.h"
#include "platform/qt/Yield.h"
#include "preview/Execution.h"
#include "preview/Form3.h"
#include "preview/Form4.h"
#include "preview/Form5.h"
#include "preview/ListModels.h"
#include "preview/Widgets.h"
#include "report/ErrorReport.h"
#include "report/ErrorTrap.h"

#include <QApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>

#include <optional>
#include <stdexcept>

namespace preview {

namespace {

const char* const kListTip = "Click item to edit it. Move | line to right and out of window to reveal full names.";
const char* const kCopyHint = "Click a text area where you normally type and press Ctrl+V to paste the clipboard.";

std::string trimmedOfSpaces(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

Form2::Form2(QWidget* owner, platform::DialogService& dialogs, Host& host)
    : QDialog(owner), dialogs_(dialogs), host_(host), model_(std::make_unique<StatementListModel>())
{
    setObjectName(QStringLiteral("Form2"));
    buildControls();
}

Form2::~Form2() = default;

void Form2::buildControls()
{
    setFixedSize(twips(8040), twips(8430));
    PushButton5 = pushButton(this, "PushButton5", "< Back", twips(120, 120, 3720, 405));
    PushButton9 = pushButton(this, "PushButton9", "Skip Table / Do Not Execute SQL", twips(3960, 120, 3960, 405));

    ListView1 = new QTreeView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(twips(120, 630, 7800, 3315));
    ListView1->setModel(model_.get());
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setTextElideMode(Qt::ElideNone);
    ListView1->setWordWrap(false);
    ListView1->header()->setStretchLastSection(false);
    ListView1->setToolTip(QString::fromUtf8(kListTip));

    PushButton1 = pushButton(this, "PushButton1", "Execute SQL", twips(120, 4040, 7800, 405));
    PushButton3 = pushButton(this, "PushButton3", "Find and Replace", twips(120, 4550, 3840, 405));
    PushButton2 = pushButton(this, "PushButton2", "Copy SQL To Clipboard", twips(4080, 4550, 3840, 405));

    Frame2 = new QGroupBox(QStringLiteral("Error:"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twips(120, 5010, 7800, 1785));
    Text1 = new QPlainTextEdit(Frame2);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twips(240, 300, 7320, 1290));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    PushButton6 = pushButton(this, "PushButton6", "Jump To Error Line", twips(120, 6900, 3840, 405));
    PushButton4 = pushButton(this, "PushButton4", "Copy Error Message To Clipboard", twips(4080, 6900, 3840, 405));
    PushButton8 = pushButton(this, "PushButton8", " Email Error Message To Wrenmoor", twips(120, 7410, 3840, 405));
    PushButton7 = pushButton(this, "PushButton7", "View Datatype Conversion", twips(4080, 7410, 3840, 405));

    ProgressBar1 = new ProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(twips(120, 7920, 7800, 405));
    ProgressBar1->setValue(0);
    ProgressBar1->setText(QStringLiteral("Progress Bar"));

    applyDesignFonts(*this);

    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    connect(PushButton8, &QPushButton::clicked, this, [this] { PushButton8_Click(); });
    connect(PushButton9, &QPushButton::clicked, this, [this] { PushButton9_Click(); });
    connect(ListView1, &QTreeView::clicked, this, [this] { ListView1_Click(); });

    appearance::installPointerRule(*this,
                                   {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6,
                                    PushButton7, PushButton8, PushButton9},
                                   {this, ListView1, ListView1->viewport(), Frame2});
}

void Form2::ensureLoaded()
{
    if (!loaded_)
        Form_Load();
}

void Form2::Form_Load()
{
    loaded_ = true;
    report::ErrorTrap trap(dialogs_, report::locationText("Form2", "Form_Load"));
    trap(100, [&] { appearance::ApplyFaceColor(*this); });
    trap(104, [&] { setWindowIcon(QApplication::windowIcon()); });
    trap(106, [&] { setWindowTitle(QStringLiteral("SQL Preview - Quillmere")); });
    trap.when(108, [] { return QFileInfo::exists(appearance::applicationFolder() + "/HAND-M.CUR"); },
              [&] { trap(110, [&] { appearance::LoadHandCursor(*this); }); });
    trap(112, [&] { model_->setHeading(QStringLiteral("SQL Preview")); });
    trap(114, [&] { ListView1->setColumnWidth(0, twips(7000)); });
}

void Form2::discardState()
{
    model_->clear();
    model_->setHeading(QString());
    setExactText(*Text1, QString());
    ProgressBar1->setValue(0);
    ProgressBar1->setText(QStringLiteral("Progress Bar"));
    ErrLine = 0;
    through_.clear();
    loaded_ = false;
}

void Form2::done(int result)
{
    QDialog::done(result);
    discardState();
}

void Form2::clearStatements()
{
    ensureLoaded();
    model_->clear();
    ErrLine = 0;
    through_.clear();
}

void Form2::appendStatement(std::string_view statement)
{
    ensureLoaded();
    model_->append(statement);
}

int Form2::statementCount()
{
    ensureLoaded();
    return model_->rowCount();
}

std::string Form2::statement(int row)
{
    ensureLoaded();
    return std::string(model_->text(row - 1));
}

void Form2::setStatement(int row, std::string_view text)
{
    ensureLoaded();
    model_->setText(row - 1, text);
}

int Form2::showModal()
{
    ensureLoaded();
    return dialogs_.execModal(*this);
}

Form5& Form2::form5()
{
    if (!form5_)
        form5_ = std::make_unique<Form5>(this, dialogs_);
    return *form5_;
}

void Form2::selectRow(int row)
{
    const QModelIndex index = model_->index(row - 1, 0);
    if (!index.isValid())
        throw std::out_of_range("Index out of bounds: row " + std::to_string(row) + " of "
                                + std::to_string(model_->rowCount()) + ".");
    ListView1->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void Form2::revealRow(int row)
{
    const QModelIndex index = model_->index(row - 1, 0);
    if (!index.isValid())
        throw std::out_of_range("Index out of bounds: row " + std::to_string(row) + " of "
                                + std::to_string(model_->rowCount()) + ".");
    ListView1->scrollTo(index, QAbstractItemView::EnsureVisible);
}

void Form2::PushButton1_Click()
{
    if (executing_)
        return;
    report::ErrorTrap trap(dialogs_, report::locationText("Form2", "PushButton1_Click"));
    // A recognised SQL error of a statement that is no row ends the pass wherever it rises (the
    // rows after it would fail with it); every other failure is reported.
    std::optional<std::string> sqlError;
    // The first row the folder refused in this pass; the pass goes on after it, as one bad row
    // must not cost the rest.
    int refusedRow = 0;
    std::string refusal;
    int row = 0;
    const auto step = [&](int line, auto&& body) {
        trap(line, [&] {
            try {
                body();
            } catch (...) {
                std::string description = report::ErrorTrap::describe(std::current_exception());
                if (!isRecognisedSqlError(description))
                    throw;
                sqlError = std::move(description);
            }
        });
        return !sqlError;
    };

    const std::optional<bool> empty = trap.value<bool>(104, [&] { return model_->rowCount() == 0; });
    if (empty && *empty) {
        trap(148, [&] { dialogs_.information("No SQL to run."); });
        return;
    }
    executing_ = true;
    bool passed = step(106, [&] { appearance::setMousePointer(*this, appearance::Busy); });
    int last = 0;
    if (passed)
        passed = step(110, [&] { last = model_->rowCount(); });
    // Passed once a row, the event loop painted the changed progress text every time: that cost
    // 0.27 ms a row, a hundred times what a statement takes to run.
    platform::PacedEvents events;
    for (row = 1; passed && row <= last; ++row) {
        if (!step(112, [&] { events.letRun(); }) || !loaded_)
            break;
        if (!step(114, [&] { ProgressBar1->setValuePaintedLater(progressValue(row, model_->rowCount())); })
            || !step(116, [&] { ProgressBar1->setText(progressText(row, model_->rowCount())); }))
            break;
        // A row that went through in an earlier pass is not run twice.
        if (wentThrough(row))
            continue;
        std::string text;
        const std::optional<bool> blank = trap.value<bool>(118, [&] {
            text = std::string(model_->text(row - 1));
            return isBlankStatement(text);
        });
        if (blank && *blank)
            continue;
        const std::optional<bool> insert = trap.value<bool>(120, [&] { return isInsertStatement(text); });
        if (!insert)
            continue;
        const int execute = *insert ? 132 : 134;
        std::exception_ptr failure;
        trap(execute, [&] {
            try {
                host_.executeOnParadox(text);
            } catch (...) {
                failure = std::current_exception();
            }
        });
        if (failure) {
            const std::string description = report::ErrorTrap::describe(failure);
            const bool recognised = isRecognisedSqlError(description);
            bool reported = true;
            // A rejected-rows file that cannot be written is reported at the same step.
            trap(execute, [&] { reported = host_.keepRejected(text, description, *insert); });
            if (recognised && !*insert) {
                sqlError = description;
                break;
            }
            if (recognised && refusedRow == 0) {
                refusedRow = row;
                refusal = description;
            }
            if (reported)
                trap(execute, [&] { std::rethrow_exception(failure); });
            // Other failures count as done, as the pass always had them.
            if (recognised)
                continue;
        }
        markThrough(row);
        trap(136, [] {});
    }
    passed = !sqlError && refusedRow == 0;
    executing_ = false;

    if (!loaded_) {
        // Closed during the pass: nothing after the closing runs, and the pass did not complete.
        appearance::setMousePointer(*this, appearance::Default);
        return;
    }
    if (passed) {
        trap(138, [&] { host_.setSQLFormOK(true); });
        trap(144, [&] { appearance::setMousePointer(*this, appearance::Default); });
        trap(140, [&] { ProgressBar1->setValue(0); });
        trap(142, [&] { ProgressBar1->setText(QStringLiteral("Progress Bar")); });
        trap(146, [&] { accept(); });
        return;
    }
    // The row that stopped the pass, else the first refused row.
    if (!sqlError) {
        row = refusedRow;
        sqlError = refusal;
    }
    trap(152, [&] { ErrLine = row; });
    trap(154, [&] { selectRow(ErrLine); });
    trap(156, [&] { revealRow(ErrLine); });
    trap(158, [&] { setExactText(*Text1, QString::fromStdString(*sqlError)); });
    trap(164, [&] { appearance::setMousePointer(*this, appearance::Default); });
    trap(160, [&] { ProgressBar1->setValue(0); });
    trap(162, [&] { ProgressBar1->setText(QStringLiteral("Progress Bar")); });
    trap(166, [&] { dialogs_.information("Error found."); });
}

bool Form2::wentThrough(int row) const
{
    return static_cast<std::size_t>(row) <= through_.size() && through_[static_cast<std::size_t>(row) - 1];
}

void Form2::markThrough(int row)
{
    // Closed meanwhile: the rows are gone, and the next list starts afresh.
    if (!loaded_)
        return;
    if (through_.size() < static_cast<std::size_t>(row))
        through_.resize(static_cast<std::size_t>(row), false);
    through_[static_cast<std::size_t>(row) - 1] = true;
}

void Form2::PushButton2_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("Form2", "PushButton2_Click"));
    trap(106, [&] { platform::CopyCheckedRowsToClipboard(*model_); });
    trap(108, [&] {
        dialogs_.information(std::string("Results have been copied to the clipboard.") + "\r\r" + kCopyHint);
    });
}

void Form2::PushButton3_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("Form2", "PushButton3_Click"));
    trap(100, [&] {
        Form3 form3(*this);
        dialogs_.execModal(form3);
    });
}

void Form2::PushButton4_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("Form2", "PushButton4_Click"));
    const std::string error = exactText(*Text1).toStdString();
    trap.when(100, [&] { return !trimmedOfSpaces(error).empty(); }, [&] {
        trap(102, [&] { platform::ClearClipboard(); });
        trap(104, [&] { platform::SetClipboardText(QString::fromStdString(error), 0); });
        trap(106, [&] {
            dialogs_.information(std::string("Error message have been copied to the clipboard.") + "\r\r"
                                 + kCopyHint);
        });
    });
}

void Form2::PushButton5_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("Form2", "PushButton5_Click"));
    trap(100, [&] { reject(); });
}

void Form2::PushButton6_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("Form2", "PushButton6_Click"));
    trap.when(100, [&] { return model_->rowCount() > 0; }, [&] {
        trap.when(102, [&] { return ErrLine >= 1; }, [&] {
            trap(104, [&] { selectRow(ErrLine); });
            trap(106, [&] { revealRow(ErrLine); });
        });
    });
}

void Form2::PushButton7_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("Form2", "PushButton7_Click"));
    trap(100, [&] { form5().showModal(); });
}

void Form2::PushButton8_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("Form2", "PushButton8_Click"));
    const std::string error = exactText(*Text1).toStdString();
    std::string link;
    trap.when(100, [&] { return !trimmedOfSpaces(error).empty(); }, [&] {
        trap(102, [&] { link = mailLink(error); });
        trap(104, [&] { dialogs_.openUrl(link); });
    });
}

void Form2::PushButton9_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("Form2", "PushButton9_Click"));
    trap(100, [&] { host_.skipTable(); });
    trap(102, [&] { reject(); });
}

void Form2::ListView1_Click()
{
    const QModelIndexList selected = ListView1->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const int row = selected.front().row() + 1;
    Form4 form4(*this);
    form4.ListLine = row;
    const std::string_view text = model_->text(row - 1);
    setExactText(*form4.Text1, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    dialogs_.execModal(form4);
}

std::string mailLink(const std::string& errorText)
{
    return std::string("mailto:") + report::kSupportEmail + "?subject=" + "Quillmere" + "&"
        + "body=Here is the error message that I get: " + "\n" + errorText;
}

} // namespace preview
