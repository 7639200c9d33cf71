#pragma once
// A real Form1 over a settings store of the test's own, with recorded dialogs.

#include "RecordingDialogs.h"
#include "TestPaths.h"

#include "app/Form1.h"
#include "app/Settings.h"

#include <QByteArray>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

class Form1Fixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        storeFolder = testsupport::freshFolder("settings/" + name);
        qputenv("QUILLMERE_SETTINGS_DIR", QByteArray::fromStdString(storeFolder.string()));
    }

    void store(const std::map<std::string, std::string>& values)
    {
        for (const auto& [key, value] : values)
            settings::SaveSetting(key, value);
    }

    static std::string stored(const std::string& key) { return settings::GetSetting(key, "<missing>"); }

    Form1& load()
    {
        form = std::make_unique<Form1>(dialogs);
        form->setQuitFunction([this] { ++quits; });
        form->Form_Load();
        return *form;
    }

    Form1& loadShown()
    {
        load();
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return *form;
    }

    std::filesystem::path storeFolder;
    testsupport::RecordingDialogs dialogs;
    std::unique_ptr<Form1> form;
    int quits = 0;
};
