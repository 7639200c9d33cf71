// Skin file, hand cursor and pointer rule of the main window. This program has an application
// folder of its own (see CMakeLists.txt), so it can place and remove x/o.cjs and HAND-M.CUR
// without touching any other test's windows.

#include "RecordingDialogs.h"
#include "TestPaths.h"

#include "app/Form1.h"
#include "platform/qt/Appearance.h"
#include "preview/Form2.h"
#include "preview/Form3.h"
#include "preview/Form4.h"
#include "preview/Form5.h"
#include "report/ErrorReport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;

namespace {

fs::path appFolder() { return QCoreApplication::applicationDirPath().toStdString(); }

class Form1Appearance : public ::testing::Test {
protected:
    void SetUp() override { removeFiles(); }
    void TearDown() override { removeFiles(); }

    static void removeFiles()
    {
        fs::remove_all(appFolder() / "x");
        fs::remove(appFolder() / "HAND-M.CUR");
    }

    void writeSkin(const std::string& css)
    {
        fs::create_directories(appFolder() / "x");
        std::ofstream(appFolder() / "x" / "o.cjs") << css;
    }

    std::unique_ptr<Form1> loadedForm()
    {
        auto form = std::make_unique<Form1>(dialogs);
        form->Form_Load();
        return form;
    }

    static void moveOver(QWidget& control)
    {
        const QPointF centre(control.width() / 2.0, control.height() / 2.0);
        QMouseEvent move(QEvent::MouseMove, centre, control.mapToGlobal(centre), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(&control, &move);
    }

    static QColor background(const QWidget& w) { return w.palette().color(QPalette::Window); }

    testsupport::RecordingDialogs dialogs;
};

// The colour that covers most of a control as the window draws it: its background, since text
// and indicator take a small part of each control. A frame is read above its line, right of its
// title, where the style draws nothing over the background and no control lies.
QColor renderedBackground(QWidget& window, const QWidget& control)
{
    const QImage shot = window.grab().toImage();
    QRect area(control.mapTo(&window, QPoint(0, 0)), control.size());
    if (qobject_cast<const QGroupBox*>(&control))
        area = QRect(area.left() + area.width() / 2, area.top(), area.width() / 2 - 4, 3);
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[shot.pixel(x, y)];
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    return QColor(most->first);
}

QColor faceColour() { return QPalette().color(QPalette::Button); }

TEST_F(Form1Appearance, ControlsAreRenderedWhiteWithoutSkinAndInTheFaceColourWithIt)
{
    auto plain = loadedForm();
    auto controls = [](Form1& f) {
        return std::vector<QWidget*>{f.Check1, f.Check4, f.Option1, f.Option2, f.Frame1,
                                     f.Frame2, f.Frame3, f.Label1, f.Label2};
    };
    for (QWidget* control : controls(*plain))
        EXPECT_EQ(renderedBackground(*plain, *control), QColor(Qt::white)) << control->objectName().toStdString();

    writeSkin("QPushButton { color: rgb(10, 20, 30); }");
    auto skinned = loadedForm();
    ASSERT_NE(faceColour(), QColor(Qt::white));
    for (QWidget* control : controls(*skinned))
        EXPECT_EQ(renderedBackground(*skinned, *control), faceColour()) << control->objectName().toStdString();
    const QImage shot = skinned->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(2, 2)), faceColour());
}

TEST_F(Form1Appearance, TheWorkbenchWindowsAreRenderedInTheFaceColourWithoutSkin)
{
    struct NoParadox : preview::Host {
        void executeOnParadox(const std::string&) override {}
        void setSQLFormOK(bool) override {}
        void skipTable() override {}
    } host;
    preview::Form2 form2(nullptr, dialogs, host);
    form2.Form_Load();
    preview::Form3 form3(form2);
    preview::Form4 form4(form2);
    preview::Form5& form5 = form2.form5();
    for (QWidget* window : std::initializer_list<QWidget*>{&form2, &form3, &form4, &form5})
        EXPECT_EQ(QColor(window->grab().toImage().pixel(2, 2)), faceColour()) << window->objectName().toStdString();
    EXPECT_EQ(renderedBackground(form2, *form2.Frame2), faceColour());
    EXPECT_EQ(renderedBackground(form3, *form3.Label2), faceColour());
    EXPECT_EQ(renderedBackground(form3, *form3.Label6), faceColour());
    EXPECT_TRUE(dialogs.errorReports().empty());
}

TEST_F(Form1Appearance, ASkinFileTheStyleEngineRejectsReachesTheLoadTrap)
{
    writeSkin("QPushButton { color: red; ");
    auto form = loadedForm();
    const std::string path = (appFolder() / "x" / "o.cjs").string();
    EXPECT_EQ(dialogs.errorReports(),
              std::vector<std::string>{report::errorReportText("The skin file " + path + " cannot be parsed.",
                                                               "in Quillport2021/08/31.Form1.Form_Load ", 100)});
    // Start-up went on with the steps after the skin.
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quillmere"));
    EXPECT_TRUE(form->styleSheet().isEmpty());
}

TEST_F(Form1Appearance, ACorruptCursorFileReachesTheLoadTrapAndLeavesTheArrow)
{
    std::ofstream(appFolder() / "HAND-M.CUR") << "not a cursor";
    auto form = loadedForm();
    const std::string path = (appFolder() / "HAND-M.CUR").string();
    EXPECT_EQ(dialogs.errorReports(),
              std::vector<std::string>{report::errorReportText("Invalid picture: " + path,
                                                               "in Quillport2021/08/31.Form1.Form_Load ", 104)});
    moveOver(*form->PushButton6);
    EXPECT_EQ(appearance::mousePointer(*form), appearance::Custom);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Form1Appearance, WithoutSkinFileTheMainWindowKeepsItsDesignColours)
{
    auto form = loadedForm();
    EXPECT_TRUE(form->styleSheet().isEmpty());
    EXPECT_NE(background(*form->Frame1), QPalette().color(QPalette::Button));
    EXPECT_TRUE(dialogs.errorReports().empty());
}

TEST_F(Form1Appearance, SkinFileIsAppliedAndRecoloursTheMainWindow)
{
    const std::string css = "QPushButton { color: rgb(10, 20, 30); }";
    writeSkin(css);
    auto form = loadedForm();
    EXPECT_EQ(form->styleSheet().toStdString(), css);
    const QColor face = QPalette().color(QPalette::Button);
    EXPECT_EQ(background(*form), face);
    EXPECT_EQ(background(*form->Frame1), face);
    EXPECT_EQ(background(*form->Frame3), face);
    EXPECT_TRUE(dialogs.errorReports().empty());
}

TEST_F(Form1Appearance, AFolderNamedLikeTheSkinFileCountsAsAbsent)
{
    fs::create_directories(appFolder() / "x" / "o.cjs");
    auto form = loadedForm();
    EXPECT_TRUE(form->styleSheet().isEmpty());
    EXPECT_TRUE(dialogs.errorReports().empty());
}

TEST_F(Form1Appearance, PointerRuleWithoutCursorFileShowsTheArrowOverButtons)
{
    auto form = loadedForm();
    moveOver(*form->PushButton7);
    EXPECT_EQ(appearance::mousePointer(*form), appearance::Custom);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
    moveOver(*form->Text5);
    EXPECT_EQ(appearance::mousePointer(*form), appearance::Default);
    moveOver(*form->PushButton1);
    EXPECT_EQ(appearance::mousePointer(*form), appearance::Custom);
    moveOver(*form->Frame1);
    EXPECT_EQ(appearance::mousePointer(*form), appearance::Default);
}

TEST_F(Form1Appearance, HandCursorFileGivesTheButtonsTheHand)
{
    fs::copy_file(testsupport::binDir() / "HAND-M.CUR", appFolder() / "HAND-M.CUR");
    auto form = loadedForm();
    moveOver(*form->PushButton6);
    EXPECT_EQ(appearance::mousePointer(*form), appearance::Custom);
    EXPECT_EQ(form->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(form->cursor().hotSpot(), QPoint(5, 0));
}

TEST_F(Form1Appearance, TheBusyPointerIsNeverReplaced)
{
    auto form = loadedForm();
    appearance::setMousePointer(*form, appearance::Busy);
    for (QWidget* control : std::initializer_list<QWidget*>{form->PushButton7, form->Text1, form->Frame2, form.get()})
        moveOver(*control);
    EXPECT_EQ(appearance::mousePointer(*form), appearance::Busy);
    EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
}

} // namespace
