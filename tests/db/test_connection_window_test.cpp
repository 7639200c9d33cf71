// "Test Connection" of the main window against the demo server through the real FreeTDS driver.

#include "DemoServer.h"
#include "RecordingDialogs.h"

#include "app/Form1.h"
#include "platform/qt/Appearance.h"

#include <QCheckBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Notes the window's pointer value at each message, since the busy pointer must stay until the
// message is closed.
class PointerWatchingDialogs : public testsupport::RecordingDialogs {
public:
    QWidget* window = nullptr;
    std::vector<int> pointerAtMessage;

    void information(const std::string& text, const std::string& caption = {}) override
    {
        pointerAtMessage.push_back(window ? appearance::mousePointer(*window) : -1);
        RecordingDialogs::information(text, caption);
    }
};

class TestConnectionWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::registerSqlServerDriver();
        server = std::make_unique<testsupport::DemoServer>();
    }
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override
    {
        form = std::make_unique<Form1>(dialogs);
        dialogs.window = form.get();
        form->Text5->setText("127.0.0.1");
        form->Text6->setText(QString::number(server->port()));
        form->Text8->setText("Sales");
        form->Text3->setText(QString::fromStdString(server->user()));
        form->Text4->setText(QString::fromStdString(server->password()));
        form->Check4->setChecked(false);
    }

    std::vector<std::string> clickTest()
    {
        dialogs.clear();
        dialogs.pointerAtMessage.clear();
        form->PushButton6_Click();
        return dialogs.informations();
    }

    static inline std::unique_ptr<testsupport::DemoServer> server;
    PointerWatchingDialogs dialogs;
    std::unique_ptr<Form1> form;
};

const std::string kSuccess = "Connection successful.";
const std::string kFailure = "Could not connect. Please check with your administrator.";

TEST_F(TestConnectionWindow, RightLoginShowsOnlyTheSuccessMessageUnderTheBusyPointer)
{
    EXPECT_EQ(clickTest(), std::vector<std::string>{kSuccess});
    EXPECT_EQ(dialogs.pointerAtMessage, std::vector<int>{appearance::Busy});
    EXPECT_EQ(appearance::mousePointer(*form), appearance::Default);
    EXPECT_TRUE(dialogs.errorReports().empty());
    EXPECT_EQ(dialogs.shown.front().caption, dialogs.applicationTitle());
}

TEST_F(TestConnectionWindow, EveryFailureShowsOnlyTheFailureMessage)
{
    struct Case {
        const char* name;
        void (*spoil)(Form1&);
    };
    const Case cases[] = {
        {"wrong password", [](Form1& f) { f.Text4->setText("not-the-password"); }},
        {"unknown database", [](Form1& f) { f.Text8->setText("NoSuchDatabase"); }},
        {"nothing listening", [](Form1& f) { f.Text6->setText("1"); }},
        {"empty port", [](Form1& f) { f.Text6->clear(); }},
        {"password split by a semicolon", [](Form1& f) { f.Text4->setText(f.Text4->text() + ";x"); }},
    };
    for (const auto& c : cases) {
        SetUp();
        c.spoil(*form);
        EXPECT_EQ(clickTest(), std::vector<std::string>{kFailure}) << c.name;
        EXPECT_EQ(dialogs.pointerAtMessage, std::vector<int>{appearance::Busy}) << c.name;
        EXPECT_EQ(appearance::mousePointer(*form), appearance::Default) << c.name;
        EXPECT_TRUE(dialogs.errorReports().empty()) << c.name;
    }
}

TEST_F(TestConnectionWindow, LocalConnectionLeavesThePortOut)
{
    // Without a port the driver is handed TDSPORT, the way a local default instance is reached.
    qputenv("TDSPORT", QByteArray::number(server->port()));
    form->Text6->setText("1");
    form->Check4->setChecked(true);
    EXPECT_EQ(clickTest(), std::vector<std::string>{kSuccess});
    qunsetenv("TDSPORT");
}

} // namespace
