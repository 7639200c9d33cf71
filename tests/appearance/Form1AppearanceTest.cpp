// Skin file, hand cursor and pointer rule of the main window. This program has an application
// folder of its own (see CMakeLists.txt), so it can place and remove x/o.cjs and HAND-M.CUR
// without touching any other test's windows.

#include "RecordingDialogs.h"
#include "TestPaths.h"

#include "app/Form1.h"
#include "appearance/Appearance.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>
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
