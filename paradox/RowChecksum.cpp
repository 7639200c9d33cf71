#include "paradox/RowChecksum.h"

#include "paradox/CodePage.h"
#include "paradox/Values.h"

#include <algorithm>
#include <bit>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

namespace paradox {

namespace {

// Four lanes take the words of a 32-byte stripe in turn, so that the multiplications of
// neighbouring words overlap. A stripe of zeros, most of a record whose alpha fields are short,
// is only counted: a fifth lane takes the place of every other stripe, so the same bytes in
// another place give another sequence. Each step is a bijection of its lane for a given word,
// and so is the final mix of the lanes: a change confined to one word of a stripe that holds
// other bytes always changes the result; other changes escape with a chance of about 2^-64.
// Every piece ends with its length, so the same bytes cut into other pieces give another value.
class Checksum {
public:
    void add(const unsigned char* bytes, std::size_t size)
    {
        std::size_t at = 0;
        // The lanes in locals: the bytes are chars, which may alias the members, so stores to
        // the members would make every word reload every lane.
        std::uint64_t l0 = lanes_[0], l1 = lanes_[1], l2 = lanes_[2], l3 = lanes_[3], places = places_;
        for (std::uint64_t stripe = 0; at + 32 <= size; at += 32, ++stripe) {
            const std::uint64_t w0 = word(bytes + at), w1 = word(bytes + at + 8), w2 = word(bytes + at + 16), w3 = word(bytes + at + 24);
            if ((w0 | w1 | w2 | w3) == 0) continue;
            places = round(places, stripe);
            l0 = round(l0, w0);
            l1 = round(l1, w1);
            l2 = round(l2, w2);
            l3 = round(l3, w3);
        }
        lanes_[0] = l0;
        lanes_[1] = l1;
        lanes_[2] = l2;
        lanes_[3] = l3;
        places_ = places;
        for (; at + 8 <= size; at += 8)
            step(word(bytes + at));
        if (at < size) {
            std::uint64_t tail = 0;
            std::memcpy(&tail, bytes + at, size - at);
            step(tail);
        }
        step(size);
    }
    void add(std::string_view bytes) { add(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()); }

    std::uint64_t value() const
    {
        std::uint64_t s = std::rotl(lanes_[0], 1) + std::rotl(lanes_[1], 7) + std::rotl(lanes_[2], 12) + std::rotl(lanes_[3], 18) +
                          std::rotl(places_, 27);
        s ^= s >> 33;
        s *= 0xC2B2AE3D27D4EB4Full;
        s ^= s >> 29;
        s *= 0x165667B19E3779F9ull;
        s ^= s >> 32;
        return s;
    }

private:
    static constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull, kPrime2 = 0xC2B2AE3D27D4EB4Full;

    static std::uint64_t word(const unsigned char* at)
    {
        std::uint64_t w;
        std::memcpy(&w, at, 8);
        return w;
    }
    static std::uint64_t round(std::uint64_t lane, std::uint64_t w) { return std::rotl(lane + w * kPrime2, 31) * kPrime1; }
    // A word outside the 32-byte stripes goes to the next lane in turn.
    void step(std::uint64_t w)
    {
        lanes_[next_] = round(lanes_[next_], w);
        next_ = (next_ + 1) & 3;
    }

    std::uint64_t lanes_[4] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull, 0x082EFA98EC4E6C89ull};
    std::uint64_t places_ = 0x452821E638D01377ull;
    int next_ = 0;
};

// The record's bytes with each blob field's place in the blob file (offset and modification
// number) left out, and the blob's contents in their stead.
template <class BlobOf>
std::uint64_t checksumOf(const Table& table, const unsigned char* record, BlobOf&& blobOf)
{
    Checksum sum;
    const Header& h = table.header();
    int from = 0;
    for (int i = 0; i < int(h.fields.size()); ++i) {
        const Field& f = h.fields[std::size_t(i)];
        if (!f.isBlob()) continue;
        const int length = table.fieldOffset(i) + f.leader() + 4;
        sum.add(record + from, std::size_t(table.fieldOffset(i) + f.leader() - from));
        sum.add(record + length, 4);
        sum.add(blobOf(i, record));
        from = table.fieldOffset(i) + f.bytes();
    }
    sum.add(record + from, std::size_t(h.recordSize - from));
    return sum.value();
}

std::string recordName(const Table& table, const unsigned char* record, std::uint64_t place)
{
    const Header& h = table.header();
    if (!h.keyed()) return "record " + std::to_string(place);
    std::string names, values;
    for (int k = 0; k < h.keyFields; ++k) {
        const Field& f = h.fields[std::size_t(k)];
        const bool quoted = f.type == FieldType::Alpha || f.type == FieldType::Date || f.type == FieldType::Time || f.type == FieldType::Timestamp;
        const std::string value = fieldText(table, k, record);
        names += (k ? ", " : "") + tableText(h, f.name);
        values += (k ? ", " : "") + (quoted ? shownText(value) : value);
    }
    return h.keyFields > 1 ? "(" + names + ") (" + values + ")" : names + " " + values;
}

// A record read from the table's files: its blobs from the blob file.
std::uint64_t checksumOf(const Table& table, const unsigned char* record)
{
    return checksumOf(table, record, [&](int field, const unsigned char* r) { return table.blob(field, r); });
}

// The blocks of a share of the chain that a read-back hands to a thread: enough that handing
// one over costs little against reading it, few enough that the shares in hand stay small.
std::size_t blocksPerShare(const Table& table)
{
    return std::max<std::size_t>(1, (std::size_t(1) << 20) / std::size_t(table.header().blockSize()));
}

// Takes the odd shares of a table's chain (the second, the fourth, …) on a thread of its own,
// while the caller reads the even ones: a table is read back in about half the time on a
// second core. The checksums of a share wait for the caller in order, two shares at most.
class OddShares {
public:
    OddShares(const Table& table, std::size_t share) : table_(table), share_(share), thread_([this] { work(); }) {}
    OddShares(const OddShares&) = delete;
    OddShares& operator=(const OddShares&) = delete;
    ~OddShares()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    // What a share read: the checksums of its records in chain order, up to the failure that
    // stopped it, if any.
    struct Share {
        std::vector<std::uint64_t> sums;
        std::exception_ptr failure;
    };

    // The next odd share.
    Share next()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !done_.empty(); });
        Share share = std::move(done_.front());
        done_.pop_front();
        lock.unlock();
        changed_.notify_all();
        return share;
    }

private:
    void work()
    {
        const std::size_t length = table_.chainLength();
        for (std::size_t index = 1; index * share_ < length; index += 2) {
            Share share;
            try {
                table_.forEachIn(index * share_, std::min((index + 1) * share_, length),
                                 [&](const unsigned char* record) { share.sums.push_back(checksumOf(table_, record)); });
            } catch (...) {
                share.failure = std::current_exception();
            }
            const bool failed = bool(share.failure);
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stop_ || done_.size() < 2; });
                if (stop_) return;
                done_.push_back(std::move(share));
            }
            changed_.notify_all();
            if (failed) return;
        }
    }

    const Table& table_;
    const std::size_t share_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Share> done_;
    bool stop_ = false;
    std::thread thread_;  // last: started once everything above is ready
};

}  // namespace

std::uint64_t rowChecksum(const Table& table, const unsigned char* record, const std::vector<Table::Blob>& blobs)
{
    return checksumOf(table, record, [&](int field, const unsigned char*) {
        for (const Table::Blob& blob : blobs)
            if (blob.field == field) return std::string_view(blob.data);
        return std::string_view();
    });
}

void readRowChecksums(const std::filesystem::path& dbPath,
                      const std::function<void(std::uint64_t checksum, const std::function<std::string()>& name)>& row)
{
    const std::unique_ptr<Table> table = Table::open(dbPath);
    const std::size_t length = table->chainLength(), share = blocksPerShare(*table);
    std::optional<OddShares> odd;
    if (length > share) {
        try {
            odd.emplace(*table, share);
        } catch (const std::system_error&) {
            // No thread to be had: this one reads every share.
        }
    }
    std::uint64_t place = 0;
    for (std::size_t first = 0, index = 0; first < length; first += share, ++index) {
        const std::size_t last = std::min(first + share, length);
        if (!odd || index % 2 == 0) {
            table->forEachIn(first, last, [&](const unsigned char* record) {
                ++place;
                // Handed on by reference: a function object of its own would be allocated for every row.
                const auto name = [&] { return recordName(*table, record, place); };
                row(checksumOf(*table, record), std::cref(name));
            });
            continue;
        }
        const OddShares::Share taken = odd->next();
        const std::vector<std::uint64_t>& sums = taken.sums;
        for (std::size_t i = 0; i < sums.size(); ++i) {
            ++place;
            // The record is read again only to be named, which happens once in a run at most.
            const auto name = [&] {
                std::string named;
                std::size_t at = 0;
                table->forEachIn(first, last, [&](const unsigned char* record) {
                    if (at++ == i) named = recordName(*table, record, place);
                });
                return named;
            };
            row(sums[i], std::cref(name));
        }
        if (taken.failure) std::rethrow_exception(taken.failure);
    }
}

}  // namespace paradox
