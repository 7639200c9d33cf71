#include "paradox/RowChecksum.h"

#include "paradox/CodePage.h"
#include "paradox/Values.h"

#include <bit>
#include <cstring>
#include <functional>
#include <string_view>

namespace paradox {

namespace {

// Four lanes take the words of a piece in turn, so that the multiplications of neighbouring
// words overlap. Each step is a bijection of its lane for a given word, and so is the final
// mix of the lanes: a change confined to one word of a record always changes the result, wider
// changes escape with a chance of 2^-64. Every piece ends with its length, so the same bytes
// cut into other pieces give another value.
class Checksum {
public:
    void add(const unsigned char* bytes, std::size_t size)
    {
        std::size_t at = 0;
        // The lanes in locals: the bytes are chars, which may alias the members, so stores to
        // the members would make every word reload every lane.
        std::uint64_t l0 = lanes_[0], l1 = lanes_[1], l2 = lanes_[2], l3 = lanes_[3];
        for (; at + 32 <= size; at += 32) {
            l0 = round(l0, word(bytes + at));
            l1 = round(l1, word(bytes + at + 8));
            l2 = round(l2, word(bytes + at + 16));
            l3 = round(l3, word(bytes + at + 24));
        }
        lanes_[0] = l0;
        lanes_[1] = l1;
        lanes_[2] = l2;
        lanes_[3] = l3;
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
        std::uint64_t s = std::rotl(lanes_[0], 1) + std::rotl(lanes_[1], 7) + std::rotl(lanes_[2], 12) + std::rotl(lanes_[3], 18);
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
    std::uint64_t place = 0;
    table->forEach([&](const unsigned char* record) {
        ++place;
        const std::uint64_t sum = checksumOf(*table, record, [&](int field, const unsigned char* r) { return table->blob(field, r); });
        // Handed on by reference: a function object of its own would be allocated for every row.
        const auto name = [&] { return recordName(*table, record, place); };
        row(sum, std::cref(name));
    });
}

}  // namespace paradox
