// Start-up from the settings store and the saving of every field, on the real window.
#include "Form1Fixture.h"

#include "report/ErrorReport.h"

#include <QCheckBox>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <sys/stat.h>

namespace {

using Store = std::map<std::string, std::string>;

void clickBox(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

class Restore : public Form1Fixture {};

TEST_F(Restore, EmptyStoreGivesTheDefaultsAndWritesPortAndCheck1Back)
{
    Form1& f = load();
    for (QLineEdit* t : {f.Text1, f.Text3, f.Text4, f.Text5, f.Text8})
        EXPECT_EQ(t->text(), "") << t->objectName().toStdString();
    EXPECT_EQ(f.Text6->text(), "1433");
    EXPECT_EQ(f.Check1->checkState(), Qt::Checked);
    EXPECT_TRUE(f.Option1->isChecked());
    EXPECT_FALSE(f.Option2->isChecked());
    EXPECT_TRUE(f.Option1->isEnabled());
    EXPECT_TRUE(f.Option2->isEnabled());
    EXPECT_EQ(f.Check4->checkState(), Qt::Unchecked);
    EXPECT_EQ(f.windowTitle(), "Quillmere");
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(stored("MSSQL Port"), "1433");
    EXPECT_EQ(stored("Check1"), "1");
    EXPECT_EQ(std::filesystem::path(settings::storeFile()), storeFolder / "Wrenmoor.ini");
}

TEST_F(Restore, EveryTextFieldComesBackAsStored)
{
    store({{"ParadoxFolder", "/data/Paradox Tables"}, {"MSSQL Server", "db01\\SQLEXPRESS"},
           {"MSSQL User", "sa"}, {"MSSQL Password", "p@ss, word;=#\"x\" "}, {"MSSQL Database", "Sales"},
           {"MSSQL Port", "14330"}});
    Form1& f = load();
    EXPECT_EQ(f.Text1->text(), "/data/Paradox Tables");
    EXPECT_EQ(f.Text5->text(), "db01\\SQLEXPRESS");
    EXPECT_EQ(f.Text3->text(), "sa");
    EXPECT_EQ(f.Text4->text(), "p@ss, word;=#\"x\" ");
    EXPECT_EQ(f.Text8->text(), "Sales");
    EXPECT_EQ(f.Text6->text(), "14330");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Restore, Check1OffDisablesTheOptionsButShowsTheirValues)
{
    store({{"Check1", "0"}, {"Option1", "False"}, {"Option2", "True"}});
    Form1& f = load();
    EXPECT_EQ(f.Check1->checkState(), Qt::Unchecked);
    EXPECT_FALSE(f.Option1->isEnabled());
    EXPECT_FALSE(f.Option2->isEnabled());
    EXPECT_FALSE(f.Option1->isChecked());
    EXPECT_TRUE(f.Option2->isChecked());
    EXPECT_EQ(stored("Check1"), "0");
}

TEST_F(Restore, Check1GreyedDisablesTheOptionsAndStays2)
{
    store({{"Check1", "2"}});
    Form1& f = load();
    EXPECT_EQ(f.Check1->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(f.Option1->isEnabled());
    EXPECT_EQ(stored("Check1"), "2");
}

TEST_F(Restore, Check1HoldingLettersReportsStep128AndStartUpGoesOn)
{
    store({{"Check1", "abc"}, {"MSSQL Server", "db01"}});
    Form1& f = load();
    const auto reports = dialogs.errorReports();
    ASSERT_EQ(reports.size(), 1u);
    const std::string tail = "\r\n" + report::locationText("Form1", "Form_Load") + "at line 128\r\r"
        + "Please email screenshot of this message to " + report::kSupportEmail;
    ASSERT_GE(reports[0].size(), tail.size());
    EXPECT_EQ(reports[0].substr(reports[0].size() - tail.size()), tail);
    EXPECT_GT(reports[0].size(), tail.size()) << "the report starts with the failure's description";
    EXPECT_EQ(f.Text5->text(), "db01");
    EXPECT_EQ(f.Text6->text(), "1433");
    // Check1_Click still ran last and wrote the box's actual state over the letters.
    EXPECT_EQ(stored("Check1"), f.Check1->checkState() == Qt::Checked ? "1" : "0");
}

struct OptionCase {
    const char* option1;
    const char* option2;
    bool on1;
    bool on2;
    const char* stored1; // after start-up
    const char* stored2;
};

class RestoreOptions : public Form1Fixture, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(RestoreOptions, TruthValuesOfBothKeys)
{
    const OptionCase& c = GetParam();
    store({{"Option1", c.option1}, {"Option2", c.option2}});
    Form1& f = load();
    EXPECT_EQ(f.Option1->isChecked(), c.on1);
    EXPECT_EQ(f.Option2->isChecked(), c.on2);
    EXPECT_EQ(stored("Option1"), c.stored1);
    EXPECT_EQ(stored("Option2"), c.stored2);
    EXPECT_TRUE(dialogs.errorReports().empty());
}

INSTANTIATE_TEST_SUITE_P(Values, RestoreOptions,
                         ::testing::Values(OptionCase{"False", "False", false, false, "False", "False"},
                                           OptionCase{"True", "True", false, true, "False", "True"},
                                           OptionCase{"0", "1", false, true, "False", "True"},
                                           OptionCase{"-1", "0", true, false, "-1", "0"},
                                           OptionCase{"True", "False", true, false, "True", "False"}));

TEST_F(Restore, OptionHoldingLettersIsReportedWithItsStep)
{
    store({{"Option2", "maybe"}});
    Form1& f = load();
    const auto reports = dialogs.errorReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("at line 132\r\r"), std::string::npos);
    EXPECT_TRUE(f.Option1->isChecked());
    EXPECT_FALSE(f.Option2->isChecked());
}

class RestoreLocalConnection : public Form1Fixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(RestoreLocalConnection, AnyTextButZeroChecksAndClicksStore0Then1)
{
    store({{"Local Connection", GetParam()}});
    Form1& f = loadShown();
    EXPECT_EQ(f.Check4->checkState(), Qt::Checked);
    clickBox(f.Check4);
    EXPECT_EQ(f.Check4->checkState(), Qt::Unchecked);
    EXPECT_EQ(stored("Local Connection"), "0");
    clickBox(f.Check4);
    EXPECT_EQ(stored("Local Connection"), "1");
}

INSTANTIATE_TEST_SUITE_P(Texts, RestoreLocalConnection, ::testing::Values("True", "1", "yes", "00"));

class Saving : public Form1Fixture {};

TEST_F(Saving, ClickingOption2StoresBothOptionKeys)
{
    Form1& f = loadShown();
    clickBox(f.Option2);
    EXPECT_TRUE(f.Option2->isChecked());
    EXPECT_FALSE(f.Option1->isChecked());
    EXPECT_EQ(stored("Option1"), "False");
    EXPECT_EQ(stored("Option2"), "True");
    clickBox(f.Option1);
    EXPECT_EQ(stored("Option1"), "True");
    EXPECT_EQ(stored("Option2"), "False");
}

TEST_F(Saving, Check1ClickTogglesTheOptionsAndIsStored)
{
    Form1& f = loadShown();
    clickBox(f.Check1);
    EXPECT_EQ(stored("Check1"), "0");
    EXPECT_FALSE(f.Option1->isEnabled());
    clickBox(f.Check1);
    EXPECT_EQ(stored("Check1"), "1");
    EXPECT_TRUE(f.Option2->isEnabled());
}

TEST_F(Saving, AClickNeverMakesCheck1Grey)
{
    store({{"Check1", "2"}});
    Form1& f = loadShown();
    std::vector<std::string> states;
    for (int click = 0; click < 4; ++click) {
        clickBox(f.Check1);
        states.push_back(stored("Check1"));
    }
    // From grey a click checks the box; from there clicks toggle between off and on.
    EXPECT_EQ(states, (std::vector<std::string>{"1", "0", "1", "0"}));
}

TEST_F(Saving, EveryKeystrokeInThePasswordFieldIsStoredAndShownMasked)
{
    Form1& f = loadShown();
    f.Text4->setFocus();
    const QString password = "s3, @cr=t";
    QString typed;
    for (QChar c : password) {
        QTest::keyClicks(f.Text4, QString(c));
        typed += c;
        EXPECT_EQ(stored("MSSQL Password"), typed.toStdString());
        EXPECT_EQ(f.Text4->displayText(), QString(typed.size(), '*'));
    }
    QTest::keyClick(f.Text4, Qt::Key_Backspace);
    EXPECT_EQ(stored("MSSQL Password"), "s3, @cr=");
    EXPECT_EQ(f.Text4->echoMode(), QLineEdit::Password);
}

TEST_F(Saving, TypedFieldsSurviveARestart)
{
    {
        Form1& f = loadShown();
        const std::pair<QLineEdit*, QString> typing[] = {
            {f.Text5, "db01"}, {f.Text3, "sa"}, {f.Text8, "Sales"}, {f.Text1, "/srv/px"}};
        for (const auto& [field, text] : typing) {
            field->setFocus();
            QTest::keyClicks(field, text);
        }
        f.Text6->setFocus();
        QTest::keyClick(f.Text6, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(f.Text6, "1500");
        form.reset();
    }
    Form1& f = load();
    EXPECT_EQ(f.Text5->text(), "db01");
    EXPECT_EQ(f.Text3->text(), "sa");
    EXPECT_EQ(f.Text8->text(), "Sales");
    EXPECT_EQ(f.Text1->text(), "/srv/px");
    EXPECT_EQ(f.Text6->text(), "1500");
}

TEST_F(Saving, StoreFileIsPrivateFromItsFirstWrite)
{
    settings::SaveSetting("MSSQL Password", "secret");
    struct stat st {};
    ASSERT_EQ(::stat(settings::storeFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600);
    load();
    ASSERT_EQ(::stat(settings::storeFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600);
    QFile file(QString::fromStdString(settings::storeFile()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("[Quillmere]"));
}

struct FocusCase {
    const char* field;
    bool selectsAll;
};

class FocusSelection : public Form1Fixture, public ::testing::WithParamInterface<FocusCase> {};

TEST_P(FocusSelection, ByKeyboardAndByMouse)
{
    const FocusCase& c = GetParam();
    Form1& f = loadShown();
    auto* field = f.findChild<QLineEdit*>(c.field);
    ASSERT_NE(field, nullptr);
    field->setText("some text");

    f.PushButton7->setFocus(Qt::OtherFocusReason);
    field->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(field->hasFocus());
    EXPECT_EQ(field->selectionLength(), c.selectsAll ? 9 : 0) << "keyboard";

    f.PushButton7->setFocus(Qt::OtherFocusReason);
    QTest::mouseClick(field, Qt::LeftButton, {}, field->rect().center());
    ASSERT_TRUE(field->hasFocus());
    EXPECT_EQ(field->selectionLength(), c.selectsAll ? 9 : 0) << "mouse";
}

INSTANTIATE_TEST_SUITE_P(Fields, FocusSelection,
                         ::testing::Values(FocusCase{"Text1", true}, FocusCase{"Text5", true}, FocusCase{"Text6", true},
                                           FocusCase{"Text3", false}, FocusCase{"Text4", false},
                                           FocusCase{"Text8", false}));

} // namespace

namespace {

class TabOrder : public Form1Fixture {};

TEST_F(TabOrder, TabWalksTheDesignedOrderAndOnlyTheFocusFieldsSelect)
{
    store({{"ParadoxFolder", "/srv/px"}, {"MSSQL Server", "db01"}, {"MSSQL User", "sa"},
           {"MSSQL Password", "pw"}, {"MSSQL Database", "Sales"}});
    Form1& f = loadShown();
    ASSERT_EQ(QApplication::focusWidget(), f.Check1);
    std::vector<std::string> walked;
    std::vector<std::string> selected;
    for (int i = 0; i < 17; ++i) {
        QWidget* now = QApplication::focusWidget();
        ASSERT_NE(now, nullptr);
        walked.push_back(now->objectName().toStdString());
        if (auto* field = qobject_cast<QLineEdit*>(now); field && field->selectionLength() == field->text().size())
            selected.push_back(walked.back());
        QTest::keyClick(now, Qt::Key_Tab);
    }
    // The option group is one stop, at the button that is on, as on the desktop; then back to the start.
    EXPECT_EQ(walked, (std::vector<std::string>{"Check1", "Option1", "PushButton7", "PushButton5", "Check4", "Text8",
                                                "Text5", "Text3", "Text4", "Text6", "PushButton6", "PushButton4",
                                                "Text1", "PushButton1", "PushButton3", "PushButton2", "Check1"}));
    EXPECT_EQ(selected, (std::vector<std::string>{"Text5", "Text6", "Text1"}));
}

} // namespace
