// pxsample DIR: writes small Paradox 5.x tables with pxlib into DIR, so that the engine's tests
// meet tables another writer made:
//
//   keyed.db + keyed.px   key ID (Long), Name (A20), Amount (Money); IDs 0..299 in key order,
//                         2 KB blocks: several data blocks and one index level
//   empty.db + empty.px   the same fields and key, no rows (no data block, no index block)
//   types.db              no key, 4 KB blocks: Alpha, Long, Short, Number, Money, Date, Timestamp,
//                         Logical with signs, zeros, extremes and NULLs
//   memo.db + memo.mb     no key: ID (Long), Notes (memo with a 10-byte leader) holding values in
//                         the leader, in a shared .mb block and in a .mb block of their own
//   extra.db              no key, 1 KB blocks: Time, BCD with 2 decimals, Bytes(4), Short
//
// pxlib 0.6.8 starts every file as version 7.x and fills some header bytes at random, so each
// header is set to 5.x before the first record and the unused bytes are cleared afterwards; its
// .mb writer leaves the file short of a whole 4 KB block, so the .mb is padded.

extern "C" {
#include <paradox.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string folder;

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "pxsample: %s\n", what.c_str());
    std::exit(2);
}

void onPxlibError(pxdoc_t*, int level, const char* message, void*)
{
    std::fprintf(stderr, "pxlib: %s\n", message);
    if (level != PX_Warning)
        std::exit(2);
}

std::string pathOf(const std::string& file) { return folder + "/" + file; }

struct FieldSpec {
    const char* name;
    int type;
    int length;      // for BCD: the number of decimals
};

pxdoc_t* createFile(const std::string& file, const std::vector<FieldSpec>& specs, int fileType, int blockCode, int keyFields)
{
    pxdoc_t* px = PX_new3(onPxlibError, nullptr, nullptr, nullptr, nullptr);
    if (!px)
        fail("out of memory");
    // pxlib takes the field array over and frees it with the document.
    auto* fields = static_cast<pxfield_t*>(px->malloc(px, specs.size() * sizeof(pxfield_t), "fields"));
    for (std::size_t i = 0; i < specs.size(); ++i) {
        fields[i].px_fname = PX_strdup(px, specs[i].name);
        fields[i].px_ftype = char(specs[i].type);
        fields[i].px_flen = specs[i].type == pxfBCD ? 17 : specs[i].length;
        fields[i].px_fdc = specs[i].type == pxfBCD ? specs[i].length : 0;
    }
    if (PX_create_file(px, fields, int(specs.size()), pathOf(file).c_str(), fileType) < 0)
        fail("cannot create " + pathOf(file));
    px->px_head->px_fileversion = 50;
    px->px_head->px_maxtablesize = blockCode;
    px->px_head->px_refintegrity = 0;
    if (keyFields)
        PX_set_value(px, "numprimkeys", float(keyFields));
    PX_set_tablename(px, file.c_str());   // writes the header again, now as 5.x
    return px;
}

unsigned le16(const unsigned char* p) { return p[0] | unsigned(p[1]) << 8; }

// Clears what pxlib leaves in a closed file's header: the run-time pointers of the fixed part,
// the table and field name pointers after the field descriptors, and everything between the end
// of the used header and the first block.
void clearHeader(const std::string& file)
{
    FILE* f = std::fopen(pathOf(file).c_str(), "r+b");
    unsigned char fixed[0x58];
    if (!f || std::fread(fixed, 1, sizeof fixed, f) != sizeof fixed)
        fail("cannot read back " + pathOf(file));
    const long used = le16(fixed + 0x51), headerSize = le16(fixed + 0x02);
    const long fields = le16(fixed + 0x21);
    const bool table = fixed[4] == pxfFileTypIndexDB || fixed[4] == pxfFileTypNonIndexDB;
    auto zero = [&](long at, long count) {
        const std::vector<unsigned char> zeros(std::size_t(count > 0 ? count : 0), 0);
        if (std::fseek(f, at, SEEK_SET) != 0 || std::fwrite(zeros.data(), 1, zeros.size(), f) != zeros.size())
            fail("cannot clear the header of " + pathOf(file));
    };
    for (long pointer : {0x16L, 0x1AL, 0x30L, 0x34L})
        zero(pointer, 4);
    const long descriptorsEnd = (table ? 0x78 : 0x58) + 2 * fields;
    zero(descriptorsEnd, table ? 4 + 4 * fields : 4);
    zero(used, headerSize - used);
    std::fclose(f);
}

void put(pxdoc_t* px, std::vector<char>& record)
{
    if (PX_put_record(px, record.data()) < 0)
        fail("cannot write a record");
    std::fill(record.begin(), record.end(), 0);
}

const std::vector<FieldSpec> keyedFields{{"ID", pxfLong, 4}, {"Name", pxfAlpha, 20}, {"Amount", pxfCurrency, 8}};

void writeKeyed(const std::string& name, int rows)
{
    const std::string db = name + ".db", px = name + ".px";
    pxdoc_t* table = createFile(db, keyedFields, pxfFileTypIndexDB, 2, 1);
    std::vector<char> record(32, 0);
    for (int id = 0; id < rows; ++id) {
        std::string text = "item " + std::to_string(id);
        PX_put_data_long(table, record.data(), 4, id);
        PX_put_data_alpha(table, record.data() + 4, 20, text.data());
        PX_put_data_double(table, record.data() + 24, 8, id * 0.75);
        put(table, record);
    }
    pxdoc_t* index = createFile(px, {keyedFields.front()}, pxfFileTypPrimIndex, 2, 0);
    if (PX_write_primary_index(table, index) < 0)
        fail("cannot write " + pathOf(px));
    PX_delete(index);
    PX_delete(table);
    clearHeader(db);
    clearHeader(px);
}

struct TypesRow {
    const char* name;
    bool numbersNull;
    int count;
    short small;
    double ratio, price;
    int year, month, day, hour, minute, second;
    int flag;          // -1 NULL
};

void writeTypes()
{
    const std::vector<FieldSpec> fields{{"Name", pxfAlpha, 10}, {"Count", pxfLong, 4},   {"Small", pxfShort, 2},
                                        {"Ratio", pxfNumber, 8}, {"Price", pxfCurrency, 8}, {"Day", pxfDate, 4},
                                        {"Stamp", pxfTimestamp, 8}, {"Flag", pxfLogical, 1}};
    const TypesRow rows[] = {
        {"plain", false, 42, 7, 2.5, 19.99, 2020, 2, 29, 8, 30, 15, 1},
        {"Said \"hi\",", false, -42, -7, -0.125, -0.5, 1899, 12, 31, 23, 59, 59, 0},
        {"", true, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1},
        {"ten chars!", false, 2147483647, 32767, 1e308, 0.0, 1, 1, 1, 0, 0, 0, 1},
        {"low", false, -2147483647, -32767, -1e-308, 1e14, 9999, 12, 31, 23, 59, 58, 0},
    };
    pxdoc_t* px = createFile("types.db", fields, pxfFileTypNonIndexDB, 4, 0);
    std::vector<char> record(45, 0);
    for (const TypesRow& r : rows) {
        std::string name = r.name;
        PX_put_data_alpha(px, record.data(), 10, name.data());
        if (!r.numbersNull) {
            PX_put_data_long(px, record.data() + 10, 4, r.count);
            PX_put_data_short(px, record.data() + 14, 2, r.small);
            PX_put_data_double(px, record.data() + 16, 8, r.ratio);
            PX_put_data_double(px, record.data() + 24, 8, r.price);
            pxval_t* day = PX_make_date(px, r.year, r.month, r.day);
            PX_put_data_long(px, record.data() + 32, 4, int(day->value.lval));
            px->free(px, day);
            pxval_t* stamp = PX_make_timestamp(px, r.year, r.month, r.day, r.hour, r.minute, r.second);
            PX_put_data_double(px, record.data() + 36, 8, stamp->value.dval);
            px->free(px, stamp);
        }
        if (r.flag >= 0)
            PX_put_data_byte(px, record.data() + 44, 1, char(r.flag));
        put(px, record);
    }
    PX_delete(px);
    clearHeader("types.db");
}

void writeMemo()
{
    pxdoc_t* px = createFile("memo.db", {{"ID", pxfLong, 4}, {"Notes", pxfMemoBLOb, 20}}, pxfFileTypNonIndexDB, 2, 0);
    if (PX_set_blob_file(px, pathOf("memo.mb").c_str()) < 0)
        fail("cannot create " + pathOf("memo.mb"));
    std::string shared(300, 's'), own;
    for (int i = 0; i < 5000; ++i)
        own += char('a' + i % 26);
    const std::string fits = "in leader", exact = "10 bytes!!", over = "11 bytes!!!";
    const std::vector<const std::string*> values{&fits, &shared, &own, nullptr, &exact, &over};
    std::vector<char> record(24, 0);
    int id = 1;
    for (const std::string* value : values) {
        PX_put_data_long(px, record.data(), 4, id++);
        if (value) {
            std::string copy = *value;
            if (PX_put_data_blob(px, record.data() + 4, 20, copy.data(), int(copy.size())) < 0)
                fail("cannot write a memo");
        }
        put(px, record);
    }
    PX_delete(px);
    clearHeader("memo.db");
    struct stat st {};
    const std::string mb = pathOf("memo.mb");
    if (::stat(mb.c_str(), &st) != 0 || ::truncate(mb.c_str(), (st.st_size + 4095) / 4096 * 4096) != 0)
        fail("cannot pad " + mb);
}

void writeExtra()
{
    pxdoc_t* px = createFile("extra.db", {{"Clock", pxfTime, 4}, {"Dec", pxfBCD, 2}, {"Raw", pxfBytes, 4}, {"N", pxfShort, 2}},
                             pxfFileTypNonIndexDB, 1, 0);
    std::vector<char> record(27, 0);
    pxval_t* clock = PX_make_time(px, 7, 8, 9);
    PX_put_data_long(px, record.data(), 4, int(clock->value.lval));
    px->free(px, clock);
    std::string amount = "98765.43";
    char bytes[] = {0x00, 0x7f, char(0x80), char(0xff)};
    PX_put_data_bcd(px, record.data() + 4, 2, amount.data());
    PX_put_data_bytes(px, record.data() + 21, 4, bytes);
    PX_put_data_short(px, record.data() + 25, 2, 1);
    put(px, record);
    // Midnight is a value, not NULL; a negative amount; no bytes.
    PX_put_data_long(px, record.data(), 4, 0);
    amount = "-0.25";
    PX_put_data_bcd(px, record.data() + 4, 2, amount.data());
    PX_put_data_short(px, record.data() + 25, 2, 2);
    put(px, record);
    PX_delete(px);
    clearHeader("extra.db");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pxsample DIR\n");
        return 1;
    }
    folder = argv[1];
    PX_boot();
    writeKeyed("keyed", 300);
    writeKeyed("empty", 0);
    writeTypes();
    writeMemo();
    writeExtra();
    PX_shutdown();
    return 0;
}
