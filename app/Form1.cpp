#include "app/Form1.h"

#include "app/Settings.h"
#include "app/ShellTexts.h"
#include "platform/qt/Appearance.h"
#include "db/Ado.h"
#include "preview/Widgets.h"
#include "report/ErrorReport.h"
#include "report/ErrorTrap.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFocusEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

// Layouts are designed in twips; the screen has 15 twips per pixel.
int px(int twips)
{
    return (twips + 7) / 15;
}

QRect twipRect(int left, int top, int width, int height)
{
    return {px(left), px(top), px(width), px(height)};
}

QFont controlFont()
{
    QFont font("Arial");
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont buttonFont()
{
    QFont font("Arial");
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

// Group boxes, labels, check boxes and option buttons are white in the window's design.
void whiteBackground(QWidget& widget)
{
    appearance::paintBackground(widget, Qt::white);
}

// The application icon: a quill-blue tile with the initial.
QIcon applicationIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(30, 80, 160));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    QFont font("Arial");
    font.setBold(true);
    font.setPixelSize(22);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("Q"));
    return QIcon(pixmap);
}

// "1"/"0"/"2" as a check box state; anything else is a type mismatch.
Qt::CheckState checkStateOf(const std::string& stored)
{
    bool ok = false;
    const int v = QString::fromStdString(stored).trimmed().toInt(&ok);
    if (!ok)
        throw std::runtime_error("Type mismatch");
    switch (v) {
    case 0:
        return Qt::Unchecked;
    case 1:
        return Qt::Checked;
    case 2:
        return Qt::PartiallyChecked;
    default:
        throw std::runtime_error("Invalid property value");
    }
}

// "True", "False" or a number (non-zero is true).
bool truthOf(const std::string& stored)
{
    const QString text = QString::fromStdString(stored).trimmed();
    if (text.compare("True", Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare("False", Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok)
        throw std::runtime_error("Type mismatch");
    return v != 0;
}

const char* boolText(bool v)
{
    return v ? "True" : "False";
}

// An option button set off by code may leave its group with none on, as a restored store can ask.
void setOption(QRadioButton& button, bool on)
{
    if (on) {
        button.setChecked(true);
        return;
    }
    button.setAutoExclusive(false);
    button.setChecked(false);
    button.setAutoExclusive(true);
}

// A text field entered with the keyboard keeps its caret where it was; Qt's own field would
// select its whole text on Tab, which only the fields with a focus handler may do.
class CaretLineEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent* event) override
    {
        const int caret = cursorPosition();
        QLineEdit::focusInEvent(event);
        const Qt::FocusReason reason = event->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
            setCursorPosition(caret);
    }
};

// A box that can show the greyed state when it is set so, but never reaches it by a click: a
// click on a greyed box checks it, and from there clicks toggle between off and on.
class TwoStateClickCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override
    {
        const Qt::CheckState next = checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked;
        setTristate(false);
        setCheckState(next);
    }
};

} // namespace

Form1::Form1(platform::DialogService& dialogs, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), quit_([] {
          std::fflush(nullptr);
          std::_Exit(0);
      })
{
    buildControls();
    connectHandlers();
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    setObjectName("Form1");
    setFont(controlFont());
    setFixedSize(px(8040), px(7515));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto button = [](QWidget* parent, const char* name, const char* caption, QRect where) {
        auto* b = new QPushButton(caption, parent);
        b->setObjectName(name);
        b->setFont(buttonFont());
        b->setGeometry(where);
        return b;
    };
    auto group = [](QWidget* parent, const char* name, const char* caption, QRect where) {
        auto* g = new QGroupBox(caption, parent);
        g->setObjectName(name);
        g->setGeometry(where);
        whiteBackground(*g);
        return g;
    };
    auto label = [](QWidget* parent, const char* name, const char* caption, QRect where) {
        auto* l = new QLabel(caption, parent);
        l->setObjectName(name);
        l->setGeometry(where);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        whiteBackground(*l);
        return l;
    };
    auto field = [](QWidget* parent, const char* name, QRect where, bool keepsCaret = false) {
        QLineEdit* t = keepsCaret ? new CaretLineEdit(parent) : new QLineEdit(parent);
        t->setObjectName(name);
        t->setGeometry(where);
        return t;
    };
    auto check = [](QWidget* parent, const char* name, const char* caption, QRect where) {
        auto* c = new TwoStateClickCheckBox(caption, parent);
        c->setObjectName(name);
        c->setGeometry(where);
        whiteBackground(*c);
        return c;
    };
    auto option = [](QWidget* parent, const char* name, const char* caption, QRect where) {
        auto* o = new QRadioButton(caption, parent);
        o->setObjectName(name);
        o->setGeometry(where);
        whiteBackground(*o);
        return o;
    };

    PushButton5 = button(this, "PushButton5", "Help", twipRect(120, 120, 7800, 405));

    // Rows inside the groups: labels on the left, fields after them, buttons along the bottom.
    Frame3 = group(this, "Frame3", "MS SQL Server Login", twipRect(120, 600, 7800, 3135));
    Label2 = label(Frame3, "Label2", "Server:", twipRect(180, 360, 1320, 315));
    Text5 = field(Frame3, "Text5", twipRect(1560, 360, 3780, 315));
    Label10 = label(Frame3, "Label10", "Port:", twipRect(5520, 360, 1140, 315));
    Text6 = field(Frame3, "Text6", twipRect(6660, 360, 960, 315));
    Label4 = label(Frame3, "Label4", "Username:", twipRect(180, 780, 1320, 315));
    Text3 = field(Frame3, "Text3", twipRect(1560, 780, 6060, 315), true);
    Label5 = label(Frame3, "Label5", "Password:", twipRect(180, 1200, 1320, 315));
    Text4 = field(Frame3, "Text4", twipRect(1560, 1200, 6060, 315), true);
    Text4->setEchoMode(QLineEdit::Password);
    Text4->setStyleSheet("lineedit-password-character: 42;"); // one "*" per character
    Label3 = label(Frame3, "Label3", "Database:", twipRect(180, 1620, 1320, 315));
    Text8 = field(Frame3, "Text8", twipRect(1560, 1620, 6060, 315), true);
    Check4 = check(Frame3, "Check4", "Local Connection", twipRect(1560, 2040, 3000, 315));
    PushButton6 = button(Frame3, "PushButton6", "Test Connection", twipRect(180, 2520, 3660, 405));
    PushButton4 = button(Frame3, "PushButton4", "Help", twipRect(3960, 2520, 3660, 405));

    Frame1 = group(this, "Frame1", "Paradox Database", twipRect(120, 3810, 7800, 1425));
    Label1 = label(Frame1, "Label1", "Paradox Folder:", twipRect(180, 390, 1620, 315));
    Text1 = field(Frame1, "Text1", twipRect(1860, 390, 4980, 315));
    PushButton1 = button(Frame1, "PushButton1", "...", twipRect(6900, 360, 720, 375));
    PushButton2 = button(Frame1, "PushButton2", "Load Sample/Example Database", twipRect(180, 870, 4500, 405));
    PushButton3 = button(Frame1, "PushButton3", "Test Connection", twipRect(4800, 870, 2820, 405));

    Frame2 = group(this, "Frame2", "SQL Preview", twipRect(120, 5310, 7800, 1065));
    Check1 = check(Frame2, "Check1", "Enable SQL Preview mode to see SQL commands or check for errors",
                   twipRect(180, 330, 7440, 315));
    Option1 = option(Frame2, "Option1", "Show SQL Preview For Each File", twipRect(180, 690, 3660, 315));
    Option2 = option(Frame2, "Option2", "Show SQL Preview For Each Table", twipRect(3960, 690, 3660, 315));
    Option1->setChecked(true);

    PushButton7 = button(this, "PushButton7", "Start Converting", twipRect(120, 6490, 7800, 405));
    // The bar carries its text as given: a format would expand %p, %v and %m in a table name.
    ProgressBar1 = new preview::ProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(twipRect(120, 7010, 7800, 405));
    ProgressBar1->setValue(0);
    ProgressBar1->setText("Progress Bar");

    QWidget* order[] = {Check1,      Option1, Option2, PushButton7, PushButton5, Check4,      Text8,      Text5, Text3,
                        Text4,       Text6,   PushButton6, PushButton4, Text1,   PushButton1, PushButton3, PushButton2};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    for (QWidget* w : order)
        w->setFocusPolicy(Qt::StrongFocus);
    Check1->setFocus();
}

void Form1::connectHandlers()
{
    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
    connect(Text3, &QLineEdit::textChanged, this, [this] { Text3_Change(); });
    connect(Text4, &QLineEdit::textChanged, this, [this] { Text4_Change(); });
    connect(Text5, &QLineEdit::textChanged, this, [this] { Text5_Change(); });
    connect(Text6, &QLineEdit::textChanged, this, [this] { Text6_Change(); });
    connect(Text8, &QLineEdit::textChanged, this, [this] { Text8_Change(); });
    connect(Check1, &QCheckBox::stateChanged, this, [this] { Check1_Click(); });
    connect(Check4, &QCheckBox::stateChanged, this, [this] { Check4_Click(); });
    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option1_Click();
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option2_Click();
    });
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    for (QLineEdit* t : {Text1, Text5, Text6})
        t->installEventFilter(this);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field && event->type() == QEvent::FocusIn) {
        if (field == Text1)
            Text1_GotFocus();
        else if (field == Text5)
            Text5_GotFocus();
        else if (field == Text6)
            Text6_GotFocus();
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        selectedByFocus_ = reason == Qt::MouseFocusReason ? field : nullptr;
    } else if (field && event->type() == QEvent::MouseButtonPress && field == selectedByFocus_) {
        // The click that gave the focus would place the caret and drop the selection.
        selectedByFocus_ = nullptr;
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::Form_Load()
{
    report::ErrorTrap trap(dialogs_, report::locationText("Form1", "Form_Load"));
    trap(100, [&] { appearance::ApplySkinFile(*this); });
    trap(104, [&] { appearance::LoadHandCursor(*this); });
    trap(106, [&] {
        appearance::installPointerRule(*this, {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5,
                                               PushButton6, PushButton7},
                                       {this, Frame1, Frame2, Frame3, Text1, Text5, Text6});
    });
    trap(126, [&] {
        setWindowTitle(QString::fromStdString(shell::kProductTitle));
        setWindowIcon(applicationIcon());
        // Message boxes name the application title themselves. It is not made the display name:
        // that would make the window system add it to every title.
        dialogs_.setApplicationTitle(shell::SetShortAppTitle(shell::kProductTitle));
    });
    trap(128, [&] { Check1->setCheckState(checkStateOf(settings::GetSetting("Check1", "1"))); });
    trap(130, [&] { setOption(*Option1, truthOf(settings::GetSetting("Option1", "1"))); });
    trap(132, [&] { setOption(*Option2, truthOf(settings::GetSetting("Option2", "0"))); });
    trap(134, [&] { Text1->setText(QString::fromStdString(settings::GetSetting("ParadoxFolder", ""))); });
    trap(136, [&] { Text5->setText(QString::fromStdString(settings::GetSetting("MSSQL Server", ""))); });
    trap(138, [&] { Text3->setText(QString::fromStdString(settings::GetSetting("MSSQL User", ""))); });
    trap(140, [&] { Text4->setText(QString::fromStdString(settings::GetSetting("MSSQL Password", ""))); });
    trap(142, [&] { Text8->setText(QString::fromStdString(settings::GetSetting("MSSQL Database", ""))); });
    trap(144, [&] { Text6->setText(QString::fromStdString(settings::GetSetting("MSSQL Port", "1433"))); });
    trap(146, [&] {
        Check4->setCheckState(settings::GetSetting("Local Connection", "0") == "0" ? Qt::Unchecked : Qt::Checked);
    });
    trap(148, [&] { Check1_Click(); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    Form_Unload();
}

void Form1::Form_Unload()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this)
            window->hide();
    quit_();
}

void Form1::Text1_Change()
{
    settings::SaveSetting("ParadoxFolder", Text1->text().toStdString());
}

void Form1::Text3_Change()
{
    settings::SaveSetting("MSSQL User", Text3->text().toStdString());
}

void Form1::Text4_Change()
{
    settings::SaveSetting("MSSQL Password", Text4->text().toStdString());
}

void Form1::Text5_Change()
{
    settings::SaveSetting("MSSQL Server", Text5->text().toStdString());
}

void Form1::Text6_Change()
{
    settings::SaveSetting("MSSQL Port", Text6->text().toStdString());
}

void Form1::Text8_Change()
{
    settings::SaveSetting("MSSQL Database", Text8->text().toStdString());
}

void Form1::Check1_Click()
{
    const bool on = Check1->checkState() == Qt::Checked;
    Option1->setEnabled(on);
    Option2->setEnabled(on);
    // Stored as the window's own numbers: 0 off, 1 on, 2 greyed (Qt counts greyed as 1).
    const Qt::CheckState state = Check1->checkState();
    settings::SaveSetting("Check1", state == Qt::Checked ? "1" : state == Qt::PartiallyChecked ? "2" : "0");
}

void Form1::Check4_Click()
{
    settings::SaveSetting("Local Connection", Check4->checkState() == Qt::Checked ? "1" : "0");
}

void Form1::Option1_Click()
{
    settings::SaveSetting("Option1", boolText(Option1->isChecked()));
    settings::SaveSetting("Option2", boolText(Option2->isChecked()));
}

void Form1::Option2_Click()
{
    settings::SaveSetting("Option1", boolText(Option1->isChecked()));
    settings::SaveSetting("Option2", boolText(Option2->isChecked()));
}

void Form1::Text1_GotFocus()
{
    Text1->setSelection(0, static_cast<int>(Text1->text().size()));
}

void Form1::Text5_GotFocus()
{
    Text5->setSelection(0, static_cast<int>(Text5->text().size()));
}

void Form1::Text6_GotFocus()
{
    Text6->setSelection(0, static_cast<int>(Text6->text().size()));
}

void Form1::PushButton5_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("Form1", "PushButton5_Click"));
    trap(100, [&] { dialogs_.information(shell::generalHelpText()); });
}

void Form1::PushButton4_Click()
{
    report::ErrorTrap trap(dialogs_, report::locationText("Form1", "PushButton4_Click"));
    std::string text;
    trap(104, [&] { text = shell::connectionHelpText(); });
    trap(114, [&] { dialogs_.information(text); });
    trap.when(116, [&] { return dialogs_.question(shell::kPictureQuestion); }, [&] {
        trap(118, [&] {
            const std::string command = shell::pictureCommandLine(appearance::applicationFolder().toStdString());
            if (!dialogs_.startCommandLine(command))
                throw std::runtime_error("File not found: " + command);
        });
    });
}
