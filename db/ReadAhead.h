#pragma once
// Reading a result ahead of the one who uses its rows: a thread of its own fetches the next rows
// while the rows before are being written, and hands them over in order, in batches, through a
// short queue. The queue holds a few batches of bounded size, so memory does not grow with the
// result; a reader that gets ahead waits for room. A failure of the fetch reaches the consumer
// after the rows before it, exactly where a fetch of its own would have met it.

#include "db/Ado.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace db {

class ReadAhead {
public:
    // Fills `row` (one value per column) with the next row; false after the last. Called on the
    // reading thread only, one call at a time, and never again after it returned false or threw.
    using Fetch = std::function<bool(Value* row)>;

    ReadAhead(std::size_t columns, Fetch fetch);
    // Stops the reading thread and waits for it; a fetch under way is finished first.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Puts the next row's values into `fields` (one per column); false after the last row. A
    // failure of the fetch is raised here once the rows before it are taken, and again at every
    // later call.
    bool next(std::vector<Field>& fields);

private:
    struct Batch {
        std::vector<Value> values; // rows one after the other, `columns_` values each
        std::size_t rows = 0;
        bool last = false;         // no batch follows
        std::exception_ptr failure;
    };

    void read();
    void fill(Batch& batch);

    const std::size_t columns_;
    const Fetch fetch_;

    std::mutex mutex_;
    std::condition_variable room_;      // the reader waits for a place in the queue
    std::condition_variable rowsReady_; // the consumer waits for a batch
    std::deque<Batch> full_;            // batches in the order read
    std::vector<Batch> spare_;          // taken batches, kept for their storage
    std::atomic<bool> stopping_{false};
    // The consumer waits for rows: the batch being filled goes over early.
    std::atomic<bool> consumerWaiting_{false};

    Batch current_; // the consumer's batch
    std::size_t taken_ = 0;

    std::thread reader_; // last: started once everything above is ready
};

} // namespace db
