// Window titles and message boxes as the user gets them. The program runs on a virtual X server
// (see CMakeLists.txt), the windows and boxes are the real ones of the Qt dialog service, and each
// title is read back from the window's _NET_WM_NAME property, where a window manager reads it.

#include "app/Form1.h"
#include "preview/Form2.h"
#include "preview/Form3.h"
#include "preview/Form4.h"
#include "preview/Form5.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return value;
}

// The title the X server holds for the window. The request goes through Qt's own connection, so
// the server answers it after every change Qt has sent before.
std::string windowSystemTitle(QWidget& window)
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return "(not on an X server)";
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, id, atom(connection, "_NET_WM_NAME"), atom(connection, "UTF8_STRING"), 0, 1024),
        nullptr);
    std::string title;
    if (reply)
        title.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return title;
}

// Runs `open`, which shows a modal window and waits for it; `inspect` gets the window once it is
// up, and the window is then closed. The check waits for the event loop of the modal window.
void whileModal(const std::function<void()>& open, const std::function<void(QDialog&)>& inspect)
{
    bool inspected = false;
    // Pending looks end with this object, should `open` return without a modal window.
    QObject scope;
    std::function<void()> look = [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            QTimer::singleShot(0, &scope, look);
            return;
        }
        inspect(*dialog);
        inspected = true;
        dialog->reject();
    };
    QTimer::singleShot(0, &scope, look);
    open();
    EXPECT_TRUE(inspected);
}

struct Box {
    std::string title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool iconShown = false;
    QMessageBox::StandardButtons buttons;
};

Box boxOf(QDialog& dialog)
{
    auto& box = dynamic_cast<QMessageBox&>(dialog);
    return Box{windowSystemTitle(box), box.icon(), !box.iconPixmap().isNull(), box.standardButtons()};
}

class WindowTitles : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<Form1>(dialogs);
        form->setQuitFunction([] {});
        // Start-up gives the program its application title; no title may change by it.
        form->Form_Load();
        form->show();
    }

    platform::QtDialogService dialogs;
    std::unique_ptr<Form1> form;
};

TEST_F(WindowTitles, MainWindowAndWorkbenchWindowsCarryExactlyTheirCaptions)
{
    EXPECT_EQ(windowSystemTitle(*form), "Quillmere");

    struct NoParadox : preview::Host {
        void executeOnParadox(const std::string&) override {}
        void setSQLFormOK(bool) override {}
        void skipTable() override {}
    } host;
    preview::Form2 form2(form.get(), dialogs, host);
    form2.Form_Load();
    form2.show();
    EXPECT_EQ(windowSystemTitle(form2), "SQL Preview - Quillmere");
    preview::Form3 form3(form2);
    form3.show();
    EXPECT_EQ(windowSystemTitle(form3), "Find and Replace - Quillmere");
    preview::Form4 form4(form2);
    form4.show();
    EXPECT_EQ(windowSystemTitle(form4), "Edit Line - Quillmere");
    preview::Form5& form5 = form2.form5();
    form5.show();
    EXPECT_EQ(windowSystemTitle(form5), "Datatypes Conversion - Quillmere");
}

TEST_F(WindowTitles, MessageBoxesCarryTheirCaptionsAndQuestionsNoIcon)
{
    Box report;
    whileModal([&] { dialogs.errorReport("Failure\r\nin Quillport2021/08/31.Form1.Form_Load at line 100"); },
               [&](QDialog& d) { report = boxOf(d); });
    EXPECT_EQ(report.title, "Application Error");
    EXPECT_EQ(report.icon, QMessageBox::Warning);
    EXPECT_EQ(report.buttons, QMessageBox::Ok);

    Box done;
    whileModal([&] { dialogs.information("Done."); }, [&](QDialog& d) { done = boxOf(d); });
    EXPECT_EQ(done.title, "Quillmere");
    EXPECT_FALSE(done.iconShown);
    EXPECT_EQ(done.buttons, QMessageBox::Ok);

    Box overwrite;
    whileModal([&] { dialogs.question("Would you like to overwrite Orders?", "Overwrite?"); },
               [&](QDialog& d) { overwrite = boxOf(d); });
    EXPECT_EQ(overwrite.title, "Overwrite?");
    EXPECT_FALSE(overwrite.iconShown);
    EXPECT_EQ(overwrite.buttons, QMessageBox::Yes | QMessageBox::No);

    Box picture;
    whileModal([&] { dialogs.question("Would you like to see an image of how I connect locally?"); },
               [&](QDialog& d) { picture = boxOf(d); });
    EXPECT_EQ(picture.title, "Quillmere");
    EXPECT_FALSE(picture.iconShown);
    EXPECT_EQ(picture.buttons, QMessageBox::Yes | QMessageBox::No);
}

TEST_F(WindowTitles, TheFolderBrowserIsTitledWithItsPrompt)
{
    std::string title;
    whileModal([&] { dialogs.chooseFolder(form.get(), "Please select folder:", QString()); },
               [&](QDialog& d) { title = windowSystemTitle(d); });
    EXPECT_EQ(title, "Please select folder:");
}

} // namespace
