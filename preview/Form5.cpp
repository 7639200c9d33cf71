#include "preview/Form5.h"

#include "platform/qt/Appearance.h"
#include "preview/ListModels.h"
#include "preview/Widgets.h"
#include "report/ErrorReport.h"
#include "report/ErrorTrap.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>

namespace preview {

Form5::Form5(QWidget* owner, platform::DialogService& dialogs)
    : QDialog(owner), dialogs_(dialogs), model_(std::make_unique<DatatypeListModel>())
{
    setObjectName(QStringLiteral("Form5"));
    buildControls();
    Form_Load();
}

Form5::~Form5() = default;

void Form5::buildControls()
{
    setFixedSize(twips(8040), twips(8430));
    PushButton5 = pushButton(this, "PushButton5", "< Back", twips(120, 120, 7800, 405));

    // A click on a row does nothing here, so the list carries no tooltip inviting one.
    ListView1 = new QTreeView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(twips(120, 630, 7800, 7605));
    ListView1->setModel(model_.get());
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->header()->setStretchLastSection(false);
    applyDesignFonts(*this);

    connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
    appearance::installPointerRule(*this, {PushButton5}, {this, ListView1, ListView1->viewport()});
}

void Form5::Form_Load()
{
    report::ErrorTrap trap(dialogs_, report::locationText("Form5", "Form_Load"));
    trap(100, [&] { appearance::ApplyFaceColor(*this); });
    trap(104, [&] { setWindowIcon(QApplication::windowIcon()); });
    trap(106, [&] { setWindowTitle(QStringLiteral("Datatypes Conversion - Quillmere")); });
    trap.when(108, [] { return QFileInfo::exists(appearance::applicationFolder() + "/HAND-M.CUR"); },
              [&] { trap(110, [&] { appearance::LoadHandCursor(*this); }); });
    trap(112, [&] { model_->addColumn(QStringLiteral("MS SQL Server Table")); });
    trap(114, [&] { model_->addColumn(QStringLiteral("MS SQL Server Table Field")); });
    trap(116, [&] { model_->addColumn(QStringLiteral("MS SQL Server Field Datatype")); });
    trap(118, [&] { model_->addColumn(QStringLiteral("New Paradox Datatype")); });
    for (int column = 0; column < 4; ++column)
        trap(120 + 2 * column, [&] { ListView1->setColumnWidth(column, twips(1700)); });
}

void Form5::clearDatatypes()
{
    model_->clear();
}

void Form5::appendDatatype(const convert::DatatypeRecord& record)
{
    model_->append(record);
}

int Form5::datatypeCount() const
{
    return model_->rowCount();
}

const convert::DatatypeRecord& Form5::datatype(int row) const
{
    return model_->record(row - 1);
}

int Form5::showModal()
{
    return dialogs_.execModal(*this);
}

void Form5::PushButton5_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("Form5", "PushButton5_Click"));
    trap(100, [&] { reject(); });
}

} // namespace preview
