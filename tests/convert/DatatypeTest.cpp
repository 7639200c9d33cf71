// The type names decide the Paradox types by their letters, so every row is checked exactly.
#include "convert/Datatype.h"

#include <gtest/gtest.h>

#include <map>

namespace {

TEST(AdoTypeName, EveryCodeOfTheTableGivesItsName)
{
    const std::map<int, std::string> expected{
        {0, "adEmpty"}, {2, "adSmallInt"}, {3, "adInteger"}, {4, "adSingle"}, {5, "adDouble"},
        {6, "adCurrency"}, {7, "adDate"}, {8, "adBSTR"}, {9, "adIDispatch"}, {10, "adError"},
        {11, "adBoolean"}, {12, "adVariant"}, {13, "adIUnknown"}, {14, "adDecimal"}, {16, "adTinyInt"},
        {17, "adUnsignedTinyInt"}, {18, "adUnsignedSmallInt"}, {19, "adUnsignedInt"}, {20, "adBigInt"},
        {21, "adUnsignedBigInt"}, {64, "adFileTime"}, {72, "adGUID"}, {128, "adBinary"}, {129, "adChar"},
        {130, "adWChar"}, {131, "adNumeric"}, {132, "adUserDefined"}, {133, "adDBDate"}, {134, "adDBTime"},
        {135, "adDBTimeStamp"}, {136, "adChapter"}, {138, "adPropVariant"}, {139, "adVarNumeric"},
        {200, "adVarChar"}, {201, "adLongVarChar"}, {202, "adVarWChar"}, {203, "adLongVarWChar"},
        {204, "adVarBinary"}, {205, "adLongVarBinary"}};
    int named = 0;
    for (int code = -32768; code <= 32767; ++code) {
        const auto name = Datatype::AdoTypeName(static_cast<std::int16_t>(code));
        const auto row = expected.find(code);
        if (row == expected.end()) {
            EXPECT_FALSE(name.has_value()) << "code " << code;
        } else {
            ASSERT_TRUE(name.has_value()) << "code " << code;
            EXPECT_EQ(*name, row->second) << "code " << code;
            ++named;
        }
    }
    EXPECT_EQ(named, 39);
}

TEST(AdoTypeName, ZeroIsANameAndTheArrayFlagIsNot)
{
    EXPECT_EQ(Datatype::AdoTypeName(0).value_or("<none>"), "adEmpty");
    for (std::int16_t code : {1, 15, 22, 8192, 8192 + 3})
        EXPECT_FALSE(Datatype::AdoTypeName(code).has_value()) << code;
}

} // namespace
