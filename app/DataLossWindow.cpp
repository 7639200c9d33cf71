#include "app/DataLossWindow.h"

#include "platform/qt/Appearance.h"
#include "preview/Widgets.h"
#include "report/ErrorReport.h"
#include "report/ErrorTrap.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace {

using preview::twips;

// A table written in no code page of its own gets the engine's.
constexpr int kEngineCodePage = 1252;

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, QRect where)
{
    auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(where);
    return box;
}

} // namespace

DataLossWindow::DataLossWindow(QWidget* owner, platform::DialogService& dialogs, convert::CheckedRun& run)
    : QDialog(owner), dialogs_(dialogs), run_(run)
{
    setObjectName(QStringLiteral("DataLossWindow"));
    buildControls();
    Form_Load();
}

void DataLossWindow::buildControls()
{
    setFixedSize(twips(10440), twips(6960));

    summaryLabel = new QLabel(this);
    summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    summaryLabel->setGeometry(twips(120, 120, 10200, 480));
    summaryLabel->setWordWrap(true);

    lossList = new QTreeWidget(this);
    lossList->setObjectName(QStringLiteral("lossList"));
    lossList->setGeometry(twips(120, 660, 10200, 3780));
    lossList->setHeaderLabels({QStringLiteral("Table"), QStringLiteral("Column"), QStringLiteral("Problem"),
                               QStringLiteral("Rows Affected"), QStringLiteral("First Row")});
    lossList->setRootIsDecorated(false);
    lossList->setItemsExpandable(false);
    lossList->setUniformRowHeights(true);
    lossList->setAllColumnsShowFocus(true);
    lossList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lossList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lossList->header()->setStretchLastSection(false);

    choicesFrame = new QGroupBox(QStringLiteral("Keep the data"), this);
    choicesFrame->setObjectName(QStringLiteral("choicesFrame"));
    choicesFrame->setGeometry(twips(120, 4560, 10200, 1680));
    longTextAsMemo = checkBox(choicesFrame, "longTextAsMemo", "Long text as memo", twips(120, 300, 4800, 360));
    binaryAsBlob = checkBox(choicesFrame, "binaryAsBlob", "Binary as blob", twips(5160, 300, 4800, 360));
    bigIntAsDecimal = checkBox(choicesFrame, "bigIntAsDecimal", "Big integers as decimal", twips(120, 720, 4800, 360));
    codePageLabel = new QLabel(QStringLiteral("Code page:"), choicesFrame);
    codePageLabel->setObjectName(QStringLiteral("codePageLabel"));
    codePageLabel->setGeometry(twips(5160, 720, 1320, 360));
    codePageList = new QComboBox(choicesFrame);
    codePageList->setObjectName(QStringLiteral("codePageList"));
    codePageList->setGeometry(twips(6480, 700, 2400, 400));
    for (const int page : convert::WritableCodePages())
        codePageList->addItem(QString::number(page), page);
    replaceUnmappable = checkBox(choicesFrame, "replaceUnmappable", "Write characters outside the code page as '?'",
                                 twips(120, 1200, 9960, 360));

    checkAgainButton = preview::pushButton(this, "checkAgainButton", "Check Again", twips(120, 6360, 3320, 405));
    convertButton = preview::pushButton(this, "convertButton", "Convert", twips(3560, 6360, 3320, 405));
    cancelButton = preview::pushButton(this, "cancelButton", "Cancel", twips(7000, 6360, 3320, 405));
    preview::applyDesignFonts(*this);
    // The check boxes keep the window's font: the buttons' larger one would not fit them.
    for (QCheckBox* box : {longTextAsMemo, binaryAsBlob, bigIntAsDecimal, replaceUnmappable})
        box->setFont(font());

    connect(checkAgainButton, &QPushButton::clicked, this, [this] { CheckAgain_Click(); });
    connect(convertButton, &QPushButton::clicked, this, [this] { Convert_Click(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { Cancel_Click(); });
    appearance::installPointerRule(*this, {checkAgainButton, convertButton, cancelButton},
                                   {this, lossList, lossList->viewport()});
}

void DataLossWindow::Form_Load()
{
    report::ErrorTrap trap(dialogs_, report::locationText("DataLossWindow", "Form_Load"));
    trap(100, [&] { appearance::ApplyFaceColor(*this); });
    trap(102, [&] { setWindowIcon(QApplication::windowIcon()); });
    trap(104, [&] { setWindowTitle(QStringLiteral("Data Paradox cannot hold - Quillmere")); });
    trap.when(
        106, [] { return QFileInfo::exists(appearance::applicationFolder() + "/HAND-M.CUR"); },
        [&] { trap(108, [&] { appearance::LoadHandCursor(*this); }); });
    trap(110, [&] { showOptions(run_.options()); });
    trap(112, [&] { showLosses(); });
    trap(114, [&] {
        lossList->setColumnWidth(0, twips(1500));
        lossList->setColumnWidth(1, twips(2300));
        lossList->setColumnWidth(2, twips(3600));
        lossList->setColumnWidth(3, twips(1300));
        lossList->setColumnWidth(4, twips(1200));
    });
}

void DataLossWindow::showOptions(const convert::TypeOptions& options)
{
    longTextAsMemo->setChecked(options.longText == convert::LongText::Memo);
    binaryAsBlob->setChecked(options.binary == convert::BinaryColumns::Blob);
    bigIntAsDecimal->setChecked(options.bigInt == convert::BigIntegers::Decimal);
    replaceUnmappable->setChecked(options.unmappable == convert::Unmappable::Replace);
    codePageList->setCurrentIndex(codePageList->findData(options.codePage ? options.codePage : kEngineCodePage));
}

convert::TypeOptions DataLossWindow::chosenOptions() const
{
    convert::TypeOptions options = run_.options();
    options.longText = longTextAsMemo->isChecked() ? convert::LongText::Memo : convert::LongText::Text;
    options.binary = binaryAsBlob->isChecked() ? convert::BinaryColumns::Blob : convert::BinaryColumns::Placeholder;
    options.bigInt = bigIntAsDecimal->isChecked() ? convert::BigIntegers::Decimal : convert::BigIntegers::Int;
    options.unmappable = replaceUnmappable->isChecked() ? convert::Unmappable::Replace : convert::Unmappable::Reject;
    // The engine's own code page stays unnamed unless another one is chosen.
    const int page = codePageList->currentData().toInt();
    if (page != (options.codePage ? options.codePage : kEngineCodePage))
        options.codePage = page;
    return options;
}

void DataLossWindow::showLosses()
{
    lossList->clear();
    const std::vector<convert::LossLine> lines = convert::LossLines(run_.tables());
    for (const convert::LossLine& line : lines) {
        QStringList cells;
        for (const std::string* cell : {&line.table, &line.column, &line.problem, &line.rows, &line.firstRow})
            cells << QString::fromStdString(*cell);
        auto* item = new QTreeWidgetItem(lossList, cells);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(2, cells[2]);
    }
    summaryLabel->setText(
        lines.empty() ? QStringLiteral("With these choices every value fits. Click Convert to write the tables.")
                      : QStringLiteral("Paradox cannot hold these values as chosen: a row that holds one would be "
                                       "refused, or written with the value changed. Choose how to keep them "
                                       "and check again, or convert as chosen."));
}

void DataLossWindow::CheckAgain_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("DataLossWindow", "CheckAgain_Click"));
    // While the tables are read the buttons would start a second check or end the window under it.
    trap(100, [&] {
        for (QPushButton* button : {checkAgainButton, convertButton, cancelButton})
            button->setEnabled(false);
        appearance::setMousePointer(*this, appearance::Busy);
    });
    trap(102, [&] { run_.check(chosenOptions()); });
    trap(104, [&] { showLosses(); });
    trap(106, [&] {
        appearance::setMousePointer(*this, appearance::Default);
        for (QPushButton* button : {checkAgainButton, convertButton, cancelButton})
            button->setEnabled(true);
    });
}

void DataLossWindow::Convert_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("DataLossWindow", "Convert_Click"));
    trap(100, [&] { accept(); });
}

void DataLossWindow::Cancel_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("DataLossWindow", "Cancel_Click"));
    trap(100, [&] { reject(); });
}
