// The hand-over of rows from a reading thread: order across batches, a failure after the rows
// before it, and an early end that stops a reader that is ahead.

#include "db/ReadAhead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Rows (n, "row n", n bytes) for n = 1 .. rows; a failure instead of row `failAt` when given.
struct NumberedRows {
    long rows;
    long failAt = 0;
    std::atomic<long> fetched{0};

    bool operator()(db::Value* row)
    {
        const long n = fetched + 1;
        if (n == failAt)
            throw db::LastingError("the connection broke at row " + std::to_string(n));
        if (n > rows)
            return false;
        row[0] = std::int64_t{n};
        row[1] = "row " + std::to_string(n);
        row[2] = db::Bytes(static_cast<std::size_t>(n % 5000), static_cast<std::uint8_t>(n));
        fetched = n;
        return true;
    }
};

std::vector<db::Field> threeFields() { return std::vector<db::Field>(3); }

} // namespace

TEST(ReadAhead, RowsArriveWholeAndInOrderAcrossBatches)
{
    NumberedRows source{20000};
    std::vector<db::Field> fields = threeFields();
    long taken = 0;
    {
        db::ReadAhead reader(3, [&](db::Value* row) { return source(row); });
        while (reader.next(fields)) {
            ++taken;
            ASSERT_EQ(std::get<std::int64_t>(fields[0].value), taken);
            ASSERT_EQ(std::get<std::string>(fields[1].value), "row " + std::to_string(taken));
            ASSERT_EQ(std::get<db::Bytes>(fields[2].value).size(), static_cast<std::size_t>(taken % 5000));
        }
        EXPECT_FALSE(reader.next(fields));
    }
    EXPECT_EQ(taken, 20000);
}

TEST(ReadAhead, AFailureComesAfterTheRowsBeforeItAndStays)
{
    // At a batch boundary and inside a batch.
    for (const long failAt : {513L, 1000L}) {
        NumberedRows source{5000, failAt};
        std::vector<db::Field> fields = threeFields();
        db::ReadAhead reader(3, [&](db::Value* row) { return source(row); });
        long taken = 0;
        try {
            while (reader.next(fields))
                ++taken;
            ADD_FAILURE() << "no failure";
        } catch (const db::LastingError& failure) {
            EXPECT_EQ(std::string(failure.what()), "the connection broke at row " + std::to_string(failAt));
        }
        EXPECT_EQ(taken, failAt - 1);
        EXPECT_THROW(reader.next(fields), db::LastingError);
        EXPECT_EQ(source.fetched, failAt - 1);
    }
}

TEST(ReadAhead, EndingEarlyStopsAReaderThatIsAhead)
{
    // Ahead with a full queue, and before the first row is taken.
    NumberedRows plenty{1000000};
    {
        std::vector<db::Field> fields = threeFields();
        db::ReadAhead reader(3, [&](db::Value* row) { return plenty(row); });
        ASSERT_TRUE(reader.next(fields));
    }
    EXPECT_LT(plenty.fetched, 1000000);
    {
        db::ReadAhead unused(3, [&](db::Value* row) { return plenty(row); });
    }
}
