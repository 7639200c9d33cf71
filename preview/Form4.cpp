#include "preview/Form4.h"

#include "platform/qt/Appearance.h"
#include "preview/Form2.h"
#include "preview/Widgets.h"
#include "report/ErrorReport.h"
#include "report/ErrorTrap.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>

namespace preview {

Form4::Form4(Form2& owner) : QDialog(&owner), owner_(owner)
{
    setObjectName(QStringLiteral("Form4"));
    setFixedSize(twips(8040), twips(2580));

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twips(120, 120, 7800, 1905));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setTabChangesFocus(true);
    Text1->installEventFilter(this);
    PushButton2 = pushButton(this, "PushButton2", "OK", twips(120, 2130, 3840, 405));
    PushButton1 = pushButton(this, "PushButton1", "Cancel", twips(4080, 2130, 3840, 405));
    applyDesignFonts(*this);

    setTabOrder(Text1, PushButton2);
    setTabOrder(PushButton2, PushButton1);
    Text1->setFocus();

    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    appearance::installPointerRule(*this, {PushButton1, PushButton2}, {this});

    Form_Load();
}

void Form4::Form_Load()
{
    report::ErrorTrap trap(owner_.dialogs(), report::locationText("Form4", "Form_Load"));
    trap(102, [&] { appearance::ApplyFaceColor(*this); });
    trap(104, [&] { setWindowIcon(QApplication::windowIcon()); });
    trap(106, [&] { setWindowTitle(QStringLiteral("Edit Line - Quillmere")); });
    trap.when(108, [] { return QFileInfo::exists(appearance::applicationFolder() + "/HAND-M.CUR"); },
              [&] { trap(110, [&] { appearance::LoadHandCursor(*this); }); });
}

void Form4::PushButton1_Click()
{
    report::ErrorTrap trap(owner_.dialogs(), report::locationText("Form4", "PushButton1_Click"));
    trap(100, [&] { reject(); });
}

void Form4::PushButton2_Click()
{
    report::ErrorTrap trap(owner_.dialogs(), report::locationText("Form4", "PushButton2_Click"));
    trap(100, [&] { owner_.setStatement(ListLine, exactText(*Text1).toStdString()); });
    trap(102, [&] { accept(); });
}

void Form4::Text1_GotFocus()
{
    Text1->selectAll();
}

bool Form4::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text1 && event->type() == QEvent::FocusIn)
        Text1_GotFocus();
    return QDialog::eventFilter(watched, event);
}

} // namespace preview
