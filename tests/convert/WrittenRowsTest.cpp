// Matching the rows read back against the rows written: in order, out of order, twice the same
// row, a row missing, a row too many.
#include "convert/WrittenRows.h"

#include <gtest/gtest.h>

using convert::WrittenRows;

TEST(WrittenRows, RowsReadBackInAnyOrderMatchEachWrittenRowOnce)
{
    WrittenRows rows;
    for (std::uint64_t checksum : {10, 20, 30, 20, 40})
        rows.add(checksum);
    // In order first, then out of it: the rest is matched by search.
    EXPECT_TRUE(rows.take(10));
    EXPECT_TRUE(rows.take(20));
    EXPECT_TRUE(rows.take(40));
    EXPECT_TRUE(rows.take(20));
    EXPECT_FALSE(rows.take(20)) << "written twice, read back three times";
    EXPECT_FALSE(rows.take(50));
    EXPECT_EQ(rows.untaken(), 1);
    EXPECT_TRUE(rows.take(30));
    EXPECT_EQ(rows.untaken(), 0);

    rows.clear();
    rows.add(7);
    rows.add(8);
    EXPECT_TRUE(rows.take(7));
    EXPECT_EQ(rows.untaken(), 1) << "a row missing from the table";
    EXPECT_TRUE(rows.take(8));
    EXPECT_FALSE(rows.take(8)) << "a row too many";
}
