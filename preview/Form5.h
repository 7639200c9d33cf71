#pragma once
// The Datatypes Conversion window: how every source column of the current preview was mapped to
// a Paradox column type. Read-only; the conversion run fills it, "< Back" closes it. Its rows
// outlive the closing of the window until the run clears them.

#include "convert/DatatypeRecord.h"
#include "platform/qt/DialogService.h"

#include <QDialog>

#include <memory>

class QPushButton;
class QTreeView;

namespace preview {

class DatatypeListModel;

class Form5 : public QDialog {
    Q_OBJECT

public:
    // Runs the load step; the window is not shown.
    Form5(QWidget* owner, platform::DialogService& dialogs);
    ~Form5() override;

    void clearDatatypes();
    // One row: table as item text, then field, source type and Paradox type as sub-items.
    void appendDatatype(const convert::DatatypeRecord& record);
    int datatypeCount() const;
    // 1-based row; throws std::out_of_range outside the list.
    const convert::DatatypeRecord& datatype(int row) const;
    int showModal();

    void Form_Load();
    void PushButton5_Click(); // < Back

    QPushButton* PushButton5 = nullptr;
    QTreeView* ListView1 = nullptr;

    DatatypeListModel& datatypes() { return *model_; }

private:
    void buildControls();

    platform::DialogService& dialogs_;
    std::unique_ptr<DatatypeListModel> model_;
};

} // namespace preview
