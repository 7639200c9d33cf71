// The error trap: step numbers in the report, resumption, skipped conditions, the report's bytes.
#include "report/ErrorReport.h"
#include "report/ErrorTrap.h"
#include "report/MessageService.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

class Reports : public report::MessageService {
public:
    std::vector<std::string> shown;
    bool failToShow = false;

    void information(const std::string&, const std::string&) override {}
    bool question(const std::string&, const std::string&) override { return false; }
    void errorReport(const std::string& text) override
    {
        shown.push_back(text);
        if (failToShow)
            throw std::runtime_error("message box failed");
    }
    bool startCommandLine(const std::string&) override { return true; }
    bool openUrl(const std::string&) override { return true; }
};

const std::string kLocation = "in Quillport2021/08/31.Form1.Form_Load ";

std::string reportFor(const std::string& description, int step)
{
    return report::errorReportText(description, kLocation, step);
}

// A trap-less operation several calls below the handler.
void openCatalog()
{
    throw std::runtime_error("Login failed for user 'sa'.");
}
void listTables()
{
    openCatalog();
}

class ErrorTrapTest : public ::testing::Test {
protected:
    Reports messages;
    report::ErrorTrap trap{messages, kLocation};
    std::vector<int> reached;
};

TEST_F(ErrorTrapTest, FailureOnTheFirstLineReportsStep100AndGoesOn)
{
    trap(100, [&] { throw std::runtime_error("Type mismatch"); });
    trap(102, [&] { reached.push_back(102); });
    EXPECT_EQ(messages.shown, std::vector<std::string>{reportFor("Type mismatch", 100)});
    EXPECT_EQ(reached, std::vector<int>{102});
}

TEST_F(ErrorTrapTest, HelperFailureIsReportedWithTheCallingStepAndTheNextStepRuns)
{
    trap(124, [&] { reached.push_back(124); });
    trap(126, [&] {
        listTables();
        reached.push_back(-1);
    });
    trap(128, [&] { reached.push_back(128); });
    EXPECT_EQ(messages.shown, std::vector<std::string>{reportFor("Login failed for user 'sa'.", 126)});
    EXPECT_EQ(reached, (std::vector<int>{124, 128}));
}

TEST_F(ErrorTrapTest, TwoFailuresGiveTwoReportsAndTheLastLineIsReached)
{
    trap(100, [&] {});
    trap(102, [&] { throw std::runtime_error("first"); });
    trap(104, [&] {});
    trap(106, [&] { throw std::runtime_error("second"); });
    trap(108, [&] { reached.push_back(108); });
    EXPECT_EQ(messages.shown, (std::vector<std::string>{reportFor("first", 102), reportFor("second", 106)}));
    EXPECT_EQ(reached, std::vector<int>{108});
    EXPECT_EQ(trap.reportsShown(), 2);
}

TEST_F(ErrorTrapTest, FailingConditionSkipsBothBranches)
{
    trap.when(
        116, [&]() -> bool { throw std::runtime_error("Object required"); },
        [&] { reached.push_back(1); }, [&] { reached.push_back(2); });
    trap(120, [&] { reached.push_back(120); });
    EXPECT_EQ(messages.shown, std::vector<std::string>{reportFor("Object required", 116)});
    EXPECT_EQ(reached, std::vector<int>{120});
}

TEST_F(ErrorTrapTest, ConditionChoosesItsBranchAndInnerStepsKeepTheirNumbers)
{
    for (bool condition : {true, false}) {
        messages.shown.clear();
        reached.clear();
        trap.when(
            116, [&] { return condition; },
            [&] {
                trap(118, [&] { throw std::runtime_error("then"); });
                trap(120, [&] { reached.push_back(120); });
            },
            [&] { trap(124, [&] { throw std::runtime_error("else"); }); });
        trap(126, [&] { reached.push_back(126); });
        if (condition) {
            EXPECT_EQ(messages.shown, std::vector<std::string>{reportFor("then", 118)});
            EXPECT_EQ(reached, (std::vector<int>{120, 126}));
        } else {
            EXPECT_EQ(messages.shown, std::vector<std::string>{reportFor("else", 124)});
            EXPECT_EQ(reached, std::vector<int>{126});
        }
    }
}

TEST_F(ErrorTrapTest, LoopConditionFailureEndsTheLoop)
{
    int passes = 0;
    trap.loop(
        110,
        [&]() -> bool {
            if (passes == 2)
                throw std::runtime_error("EOF failed");
            return true;
        },
        [&] { trap(112, [&] { ++passes; }); });
    trap(114, [&] { reached.push_back(114); });
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(messages.shown, std::vector<std::string>{reportFor("EOF failed", 110)});
    EXPECT_EQ(reached, std::vector<int>{114});
}

TEST_F(ErrorTrapTest, FailedValueStepYieldsNothing)
{
    const auto v = trap.value<int>(130, []() -> int { throw std::runtime_error("Overflow"); });
    EXPECT_FALSE(v.has_value());
    EXPECT_EQ(trap.value<int>(132, [] { return 7; }), 7);
    EXPECT_EQ(messages.shown, std::vector<std::string>{reportFor("Overflow", 130)});
}

TEST_F(ErrorTrapTest, FailureWithoutStandardExceptionIsStillReported)
{
    trap(100, [] { throw 42; });
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find("\r\n" + kLocation + "at line 100\r\r"), std::string::npos);
}

TEST_F(ErrorTrapTest, ReportThatCannotBeShownDoesNotStopTheHandler)
{
    messages.failToShow = true;
    trap(100, [] { throw std::runtime_error("x"); });
    trap(102, [&] { reached.push_back(102); });
    EXPECT_EQ(reached, std::vector<int>{102});
}

struct ReportCase {
    std::string description;
    std::string location;
    int step;
    std::string bytes;
};

class ErrorReportBytes : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ErrorReportBytes, ExactText)
{
    const ReportCase& c = GetParam();
    EXPECT_EQ(report::errorReportText(c.description, c.location, c.step), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ErrorReportBytes,
    ::testing::Values(
        ReportCase{"Type mismatch", report::locationText("Form1", "Form_Load"), 128,
                   "Type mismatch\r\nin Quillport2021/08/31.Form1.Form_Load at line 128\r\r"
                   "Please email screenshot of this message to support@wrenmoor.com"},
        ReportCase{"", report::locationText("Form1", "PushButton3_Click"), 100,
                   "\r\nin Quillport2021/08/31.Form1.PushButton3_Click at line 100\r\r"
                   "Please email screenshot of this message to support@wrenmoor.com"},
        ReportCase{"first\r\nsecond", report::locationText("Form2", "PushButton9_Click"), 1024,
                   "first\r\nsecond\r\nin Quillport2021/08/31.Form2.PushButton9_Click at line 1024\r\r"
                   "Please email screenshot of this message to support@wrenmoor.com"},
        ReportCase{"Permission denied", report::locationText("Marrowdale", "AddFolder", "GetSubDirectories2016"), 104,
                   "Permission denied\r\nin Marrowdale2021/08/31.AddFolder.GetSubDirectories2016 at line 104\r\r"
                   "Please email screenshot of this message to support@wrenmoor.com"}));

} // namespace
