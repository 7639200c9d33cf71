#include "paradox/RowChecksum.h"

#include "paradox/Values.h"

#include <cstring>
#include <string_view>

namespace paradox {

namespace {

// Each step is a bijection of the state for a given word, so a change confined to one word of
// a record always changes the result; wider changes escape with a chance of 2^-64. Every piece
// ends with its length, so the same bytes cut into other pieces give another value.
class Checksum {
public:
    void add(const unsigned char* bytes, std::size_t size)
    {
        std::size_t at = 0;
        for (; at + 8 <= size; at += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + at, 8);
            step(word);
        }
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
        std::uint64_t s = state_;
        s ^= s >> 33;
        s *= 0xFF51AFD7ED558CCDull;
        s ^= s >> 33;
        s *= 0xC4CEB9FE1A85EC53ull;
        s ^= s >> 33;
        return s;
    }

private:
    void step(std::uint64_t word)
    {
        state_ = (state_ ^ word) * 0x9E3779B97F4A7C15ull;
        state_ ^= state_ >> 29;
        state_ *= 0xBF58476D1CE4E5B9ull;
        state_ ^= state_ >> 32;
    }

    std::uint64_t state_ = 0x243F6A8885A308D3ull;
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
    std::string values;
    for (int k = 0; k < h.keyFields; ++k) {
        const FieldType type = h.fields[std::size_t(k)].type;
        const bool quoted = type == FieldType::Alpha || type == FieldType::Date || type == FieldType::Time || type == FieldType::Timestamp;
        const std::string value = fieldText(table, k, record);
        values += (k ? ", " : "") + (quoted ? shownText(value) : value);
    }
    return "key " + (h.keyFields > 1 ? "(" + values + ")" : values);
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
        row(sum, [&] { return recordName(*table, record, place); });
    });
}

}  // namespace paradox
