#include "preview/Form3.h"

#include "platform/qt/Appearance.h"
#include "platform/qt/Yield.h"
#include "preview/Execution.h"
#include "preview/Form2.h"
#include "preview/ListModels.h"
#include "preview/Widgets.h"
#include "report/ErrorReport.h"
#include "report/ErrorTrap.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace preview {

Form3::Form3(Form2& owner) : QDialog(&owner), owner_(owner)
{
    setObjectName(QStringLiteral("Form3"));
    setFixedSize(twips(8040), twips(1500));

    Label2 = new QLabel(QStringLiteral("Find what:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twips(120, 165, 1215, 255));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twips(1560, 120, 6360, 345));
    Label6 = new QLabel(QStringLiteral("Replace with:"), this);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setGeometry(twips(120, 645, 1215, 255));
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(twips(1560, 600, 6360, 345));
    PushButton2 = pushButton(this, "PushButton2", "Replace", twips(120, 1050, 3840, 405));
    PushButton1 = pushButton(this, "PushButton1", "Cancel", twips(4080, 1050, 3840, 405));
    applyDesignFonts(*this);

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, PushButton2);
    setTabOrder(PushButton2, PushButton1);
    Text1->setFocus();

    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    appearance::installPointerRule(*this, {PushButton1, PushButton2}, {this});

    Form_Load();
}

void Form3::Form_Load()
{
    report::ErrorTrap trap(owner_.dialogs(), report::locationText("Form3", "Form_Load"));
    trap(102, [&] { appearance::ApplyFaceColor(*this); });
    trap(104, [&] { setWindowIcon(QApplication::windowIcon()); });
    trap(106, [&] { setWindowTitle(QStringLiteral("Find and Replace - Quillmere")); });
    trap.when(108, [] { return QFileInfo::exists(appearance::applicationFolder() + "/HAND-M.CUR"); },
              [&] { trap(110, [&] { appearance::LoadHandCursor(*this); }); });
}

void Form3::PushButton1_Click()
{
    report::ErrorTrap trap(owner_.dialogs(), report::locationText("Form3", "PushButton1_Click"));
    trap(100, [&] { reject(); });
}

void Form3::PushButton2_Click()
{
    report::ErrorTrap trap(owner_.dialogs(), report::locationText("Form3", "PushButton2_Click"));
    StatementListModel& list = owner_.statements();
    const std::optional<bool> empty = trap.value<bool>(100, [&] { return list.rowCount() == 0; });
    if (empty && *empty) {
        trap(128, [&] { owner_.dialogs().information("No SQL to run."); });
        return;
    }
    trap(102, [&] { appearance::setMousePointer(*this, appearance::Busy); });
    const QString find = Text1->text();
    const QString replacement = Text2->text();
    int rows = 0;
    trap(104, [&] { rows = list.rowCount(); });
    platform::PacedEvents events;
    for (int row = 0; row < rows; ++row) {
        trap(106, [&] { events.letRun(); });
        // Steps 108 to 118 find the first occurrence and build the new text; none means no change.
        std::optional<QString> changed;
        trap(108, [&] {
            const std::string_view text = list.text(row);
            changed = replaceFirst(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), find,
                                   replacement);
        });
        if (!changed)
            continue;
        trap(120, [&] { list.setText(row, changed->toStdString()); });
        trap(122, [] {});
    }
    trap(124, [&] { owner_.dialogs().information("Done."); });
    trap(126, [&] { accept(); });
}

} // namespace preview
