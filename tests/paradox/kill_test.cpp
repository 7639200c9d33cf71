// A process killed with SIGKILL at random moments while it inserts leaves a table that
// pxcheck and the engine read cleanly, holding every row whose INSERT had returned: its
// guardian finishes a commit the kill cut short.
#include "Helpers.h"

#include "TestPaths.h"
#include "paradox/CommitGuard.h"
#include "paradox/Database.h"
#include "paradox/Table.h"
#include "paradox/Values.h"

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <random>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace paradox;

namespace {

[[noreturn]] void insertForever(const std::filesystem::path& folder, std::uint32_t first, int ackFd)
{
    try {
        Database db(folder);
        for (std::uint32_t i = first;; ++i) {
            db.execute("INSERT INTO \"Orders\" (\"SBSID\", \"Customer\", \"Amount\", \"Placed\", \"Notes\") VALUES (" +
                       std::to_string(i) + ",'customer " + std::to_string(i) + "'," + std::to_string(i % 1000) +
                       ".25,'08/31/2021 10:15:00','" + std::string(i % 7 ? 5 : 300, 'm') + "');");
            const std::uint32_t done = i + 1;
            if (write(ackFd, &done, sizeof done) != sizeof done) _exit(3);
        }
    } catch (...) {
        _exit(2);
    }
}

}  // namespace

TEST(Kill, EveryReturnedInsertSurvivesSigkill)
{
    // The guardians of the killed children are handed to this process, to be waited for.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const auto folder = testsupport::freshFolder("kill");
    {
        Database db(folder);
        db.execute(R"(CREATE TABLE "Orders" ("SBSID" INT, "Customer" VARCHAR(40), "Amount" FLOAT, "Placed" TIMESTAMP, "Notes" MEMO, "Id" AUTOINCREMENT);)");
        db.execute(R"(CREATE INDEX "Orders" ON "Orders" ("SBSID") with primary)");
    }
    std::mt19937 random(20260831);
    std::uint32_t rows = 0;
    constexpr int kKills = 60;
    int finished = 0;
    for (int round = 0; round < kKills; ++round) {
        int acks[2];
        ASSERT_EQ(pipe(acks), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(acks[0]);
            insertForever(folder, rows, acks[1]);
        }
        close(acks[1]);
        // Kill once the child has returned from a random number of inserts: it is busy
        // with the next one on the other core when the signal lands.
        const std::uint32_t target = rows + 1 + random() % 1000;
        std::uint32_t acked = rows, value = 0;
        while (acked < target && read(acks[0], &value, sizeof value) == sizeof value) acked = value;
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        while (read(acks[0], &value, sizeof value) == sizeof value) acked = value;
        close(acks[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself, status " << status;
        int guardians = 0;
        pid_t guardian;
        while ((guardian = waitpid(-1, &status, 0)) > 0) {
            ++guardians;
            ASSERT_TRUE(WIFEXITED(status)) << "round " << round << ": the guardian was killed, status " << status;
            ASSERT_NE(WEXITSTATUS(status), int(CommitGuard::Failed)) << "round " << round;
            if (WEXITSTATUS(status) == CommitGuard::Finished) ++finished;
        }
        ASSERT_EQ(guardians, 1) << "round " << round;

        const auto check = ptest::pxcheck(folder / "Orders.DB");
        const auto index = ptest::pxcheckIndex(folder / "Orders.PX");
        ASSERT_EQ(check.status, 0) << "round " << round << "\n" << check.out.substr(0, 3000);
        ASSERT_EQ(index.status, 0) << "round " << round << "\n" << index.out.substr(0, 3000);

        Database db(folder);
        Table& t = db.table("Orders");
        ASSERT_GE(t.recordCount(), acked) << "round " << round;
        ASSERT_LE(t.recordCount(), acked + 1) << "round " << round;   // the insert under way may have completed
        std::uint32_t expect = 0;
        t.forEach([&](const unsigned char* r) {
            ASSERT_EQ(fieldText(t, 0, r), std::to_string(expect));
            ASSERT_EQ(fieldText(t, 4, r), std::string(expect % 7 ? 5 : 300, 'm'));
            ++expect;
        });
        // The next auto-increment value is stored in the commit of the row that used it.
        ASSERT_EQ(t.header().autoInc, t.recordCount() + 1) << "round " << round;
        rows = t.recordCount();
    }
    EXPECT_GT(rows, std::uint32_t(kKills));
    // How often a kill fell inside a commit, which the guardian then finished.
    std::cout << finished << " of " << kKills << " kills fell inside a commit\n";

    Database db(folder);
    db.execute("INSERT INTO \"Orders\" VALUES (" + std::to_string(rows) + ", 'last', 1, '01/01/2000', 'm', NULL)");
    EXPECT_EQ(ptest::pxcheck(folder / "Orders.DB").status, 0);
    EXPECT_EQ(ptest::pxcheckIndex(folder / "Orders.PX").status, 0);
}
