// The decisions behind execution and replacement, and the packed statement store.

#include "preview/Execution.h"
#include "preview/StatementStore.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

TEST(RecognisedSqlError, ThreePhrasesInAnyLetterCase)
{
    struct Case {
        const char* description;
        bool recognised;
    };
    const Case cases[] = {
        {"[Microsoft][ODBC Paradox Driver] SQL error near CREATE", true},
        {"SQL ERROR IN STATEMENT", true},
        {"java.sql.sqlexception: table exists", true},
        {"Unsuccessful Metadata Update", true},
        {"prefix SQLException", true},
        {"Syntax error in INSERT INTO statement.", false},
        {"SQL-error with a hyphen", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(preview::isRecognisedSqlError(c.description), c.recognised) << c.description;
}

TEST(StatementRows, BlankMeansOnlySpacesAndInsertIsFoundInAnyCase)
{
    EXPECT_TRUE(preview::isBlankStatement(""));
    EXPECT_TRUE(preview::isBlankStatement("     "));
    EXPECT_FALSE(preview::isBlankStatement("\t"));
    EXPECT_FALSE(preview::isBlankStatement("  x  "));
    EXPECT_TRUE(preview::isInsertStatement("insert into [T] VALUES (1)"));
    EXPECT_TRUE(preview::isInsertStatement("  INSERT INTO T"));
    EXPECT_FALSE(preview::isInsertStatement("INSERT  INTO T"));
    EXPECT_FALSE(preview::isInsertStatement("CREATE TABLE T (SBSID INT)"));
}

TEST(Progress, ValueAndTextPerRow)
{
    EXPECT_EQ(preview::progressValue(1, 3), 33);
    EXPECT_EQ(preview::progressValue(2, 3), 67);
    EXPECT_EQ(preview::progressValue(3, 3), 100);
    EXPECT_EQ(preview::progressValue(1, 8), 12); // 12.5 rounds half to even
    EXPECT_EQ(preview::progressValue(1, 0), 0);
    EXPECT_EQ(preview::progressText(3, 120), QStringLiteral("Please wait.. Processing row: 3 of 120"));
}

TEST(ReplaceFirst, FirstOccurrenceLetterCaseIgnoredReplacementAsTyped)
{
    struct Case {
        QString text, find, replacement;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"a VARCHAR, b VARCHAR", "varchar", "TEXT", QString("a TEXT, b VARCHAR")},
        {"x VARCHAR(10)", "VARCHAR", "CHAR", QString("x CHAR(10)")},
        {"x VARCHAR(10)", "", "CHAR", std::nullopt},
        {"x VARCHAR(10)", "VARCHAR", "", QString("x (10)")},
        {"no match here", "VARCHAR", "CHAR", std::nullopt},
        {"a TEXT, b VARCHAR", "varchar", "TEXT", QString("a TEXT, b TEXT")},
        {QString::fromUtf8("Ärger ärger"), QString::fromUtf8("ÄRGER"), "X", QString::fromUtf8("X ärger")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(preview::replaceFirst(c.text, c.find, c.replacement), c.expected) << c.text.toStdString();
}

TEST(StatementStore, KeepsTextsExactlyThroughEditsAndCompaction)
{
    preview::StatementStore store;
    for (int i = 0; i < 100; ++i)
        store.append("INSERT INTO T VALUES (" + std::to_string(i) + ")");
    store.append("");
    store.append(std::string("with\0nul", 8));
    ASSERT_EQ(store.size(), 102u);
    EXPECT_EQ(store.at(101), std::string_view("with\0nul", 8));
    EXPECT_EQ(store.at(100), "");

    store.set(5, "short");
    EXPECT_EQ(store.at(5), "short");
    EXPECT_EQ(store.at(6), "INSERT INTO T VALUES (6)");
    // Growing every row many times forces the space of old texts to be reclaimed.
    for (int round = 0; round < 5; ++round)
        for (std::size_t i = 0; i < 100; ++i)
            store.set(i, std::string(std::string(store.at(i)) + " -- edit " + std::to_string(round)));
    EXPECT_EQ(store.at(7), "INSERT INTO T VALUES (7) -- edit 0 -- edit 1 -- edit 2 -- edit 3 -- edit 4");
    EXPECT_EQ(store.at(5), "short -- edit 0 -- edit 1 -- edit 2 -- edit 3 -- edit 4");
    EXPECT_LT(store.bytesUsed(), 4u * 100u * 80u);
    // A row set from a view into the store itself.
    store.set(0, store.at(99));
    EXPECT_EQ(store.at(0), store.at(99));

    EXPECT_THROW(store.at(102), std::out_of_range);
    EXPECT_THROW(store.set(102, "x"), std::out_of_range);
    store.clear();
    EXPECT_TRUE(store.empty());
}

} // namespace
