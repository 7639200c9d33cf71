#pragma once
// The main window against the demo server's Sales database and a fresh copy of the Samples folder,
// its settings filled in, for tests of "Start Converting" through the real windows, offscreen.

#include "../convert/RunFixture.h"

#include "RecordingDialogs.h"
#include "app/Form1.h"
#include "app/Settings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace windowtest {

namespace fs = std::filesystem;

class WindowRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = runtest::samplesCopy(::testing::UnitTest::GetInstance()->current_test_info()->name());
        form = std::make_unique<Form1>(dialogs);
        const MSSQL::Login login = runtest::salesLogin();
        form->Text5->setText(QString::fromStdString(login.server));
        form->Text6->setText(QString::fromStdString(login.port));
        form->Text8->setText(QString::fromStdString(login.database));
        form->Text3->setText(QString::fromStdString(login.user));
        form->Text4->setText(QString::fromStdString(login.password));
        form->Check4->setChecked(login.localConnection);
        form->Text1->setText(QString::fromStdString(folder.string()));
        // Every overwrite question is answered Yes.
        dialogs.answers.assign(50, true);
        // These tests are about the run itself; the check before it has tests of its own.
        settings::SaveSetting("CheckBeforeConverting", "0");
    }

    void usePreview(bool perTable)
    {
        form->Check1->setChecked(true);
        form->Option1->setChecked(!perTable);
        form->Option2->setChecked(perTable);
    }

    bool hasTable(const std::string& table) const
    {
        return fs::exists(runtest::tableFile(folder, table));
    }

    std::size_t rowsOf(const std::string& table) const
    {
        return runtest::readBack(runtest::tableFile(folder, table)).records.size();
    }

    // The type letter of each field of a written table, by field name.
    std::map<std::string, char> fieldTypes(const std::string& table) const
    {
        const auto written = runtest::readBack(runtest::tableFile(folder, table));
        std::map<std::string, char> types;
        for (std::size_t i = 0; i < written.names.size(); ++i)
            types[written.names[i]] = written.types[i];
        return types;
    }

    int doneMessages() const
    {
        const auto infos = dialogs.informations();
        return static_cast<int>(std::count(infos.begin(), infos.end(), "Done."));
    }

    fs::path folder;
    testsupport::RecordingDialogs dialogs;
    std::unique_ptr<Form1> form;
};

} // namespace windowtest
