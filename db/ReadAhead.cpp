#include "db/ReadAhead.h"

#include "platform/Clock.h"

#include <chrono>
#include <utility>

namespace db {

namespace {

// A batch goes over at this many rows or bytes of text and binary values, whichever comes first;
// the queue holds this many batches besides the one being filled and the one being used.
constexpr std::size_t kBatchRows = 512;
constexpr std::size_t kBatchBytes = 256 * 1024;
constexpr std::size_t kQueuedBatches = 4;
// How long a consumer that waits may wait for a batch to fill before it gets what is there. Timed
// on the coarse clock, which is read for every row while the consumer waits, as it mostly does
// in a check: judging a row takes less than reading it.
constexpr auto kWaitingConsumerDelay = std::chrono::milliseconds(4);

// A value handed back by the consumer keeps its storage for the next value read into its place,
// unless it is this large.
constexpr std::size_t kKeptValueBytes = 4096;

std::size_t heldBytes(const Value& value)
{
    if (const auto* text = std::get_if<std::string>(&value))
        return text->size();
    if (const auto* bytes = std::get_if<Bytes>(&value))
        return bytes->size();
    return sizeof(Value);
}

std::size_t storageBytes(const Value& value)
{
    if (const auto* text = std::get_if<std::string>(&value))
        return text->capacity();
    if (const auto* bytes = std::get_if<Bytes>(&value))
        return bytes->capacity();
    return 0;
}

} // namespace

ReadAhead::ReadAhead(std::size_t columns, Fetch fetch)
    : columns_(columns), fetch_(std::move(fetch)), reader_([this] { read(); })
{
}

ReadAhead::~ReadAhead()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    room_.notify_all();
    reader_.join();
}

void ReadAhead::read()
{
    for (;;) {
        Batch batch;
        {
            std::unique_lock lock(mutex_);
            room_.wait(lock, [&] { return stopping_ || full_.size() < kQueuedBatches; });
            if (stopping_)
                return;
            if (!spare_.empty()) {
                batch = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        fill(batch);
        const bool last = batch.last;
        {
            const std::lock_guard lock(mutex_);
            full_.push_back(std::move(batch));
        }
        rowsReady_.notify_one();
        if (last)
            return;
    }
}

void ReadAhead::fill(Batch& batch)
{
    batch.rows = 0;
    batch.last = false;
    batch.failure = nullptr;
    batch.values.resize(kBatchRows * columns_);
    std::size_t bytes = 0;
    const auto started = platform::CoarseNow();
    while (batch.rows < kBatchRows && bytes < kBatchBytes && !stopping_.load(std::memory_order_relaxed)) {
        if (batch.rows > 0 && consumerWaiting_.load(std::memory_order_relaxed) &&
            platform::CoarseNow() - started >= kWaitingConsumerDelay)
            return;
        Value* row = batch.values.data() + batch.rows * columns_;
        for (std::size_t column = 0; column < columns_; ++column)
            if (storageBytes(row[column]) > kKeptValueBytes)
                row[column] = Null{};
        try {
            if (!fetch_(row)) {
                batch.last = true;
                return;
            }
        } catch (...) {
            batch.failure = std::current_exception();
            batch.last = true;
            return;
        }
        for (std::size_t column = 0; column < columns_; ++column)
            bytes += heldBytes(row[column]);
        ++batch.rows;
    }
}

bool ReadAhead::next(std::vector<Field>& fields)
{
    while (taken_ == current_.rows) {
        if (current_.last) {
            if (current_.failure)
                std::rethrow_exception(current_.failure);
            return false;
        }
        {
            std::unique_lock lock(mutex_);
            if (!current_.values.empty())
                spare_.push_back(std::move(current_));
            consumerWaiting_ = true;
            rowsReady_.wait(lock, [&] { return !full_.empty(); });
            consumerWaiting_ = false;
            current_ = std::move(full_.front());
            full_.pop_front();
        }
        room_.notify_one();
        taken_ = 0;
    }
    // Swapped: the previous row's values go back with the batch, and the reading thread, which
    // made them, reuses or frees their storage.
    Value* row = current_.values.data() + taken_ * columns_;
    for (std::size_t column = 0; column < columns_; ++column)
        std::swap(fields[column].value, row[column]);
    ++taken_;
    return true;
}

} // namespace db
