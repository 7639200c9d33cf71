// pxread: reads a Paradox table or its primary index through pxlib, a library written apart from
// our engine, so the tests can compare what another reader sees in the files the engine writes.
//
//   pxread TABLE.db        header, fields and every record as one CSV line
//   pxread --px TABLE.px   the index header and entries, each entry checked against TABLE.db
//
// Lines are "name: value"; the records follow a line "records:", the index entries a line
// "entries:". Text comes out in UTF-8 when iconv knows the table's code page, memos as stored,
// other blobs and Bytes in hex, a NULL as an empty cell. Every fault found in the file is a line
// "problem: ...". Exit status: 0 sound, 1 wrong arguments, 2 a part of the file cannot be read,
// 3 read, but with problems.
//
// pxlib 0.6.8 needs care: it reads a 4-byte integer through a C long, so a NULL Long, Date or Time
// is recognised here by its zero bytes; it cannot open a correctly padded .mb file, so blobs are
// read from the .mb by this program; its date formatting overruns on values out of range, which
// are therefore printed as plain numbers.

extern "C" {
#include <paradox.h>
}

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr long kLastDay = 3652059;          // 9999-12-31 as a day number (0001-01-01 is day 1)
constexpr double kDayMs = 86400000.0;

std::vector<std::string> problems;
int unreadable = 0;

int problemCount = 0;

void problem(std::string text) { problems.push_back(std::move(text)); }

// Problems found while a line was built are printed after it.
void flushProblems()
{
    for (const std::string& p : problems)
        std::printf("problem: %s\n", p.c_str());
    problemCount += int(problems.size());
    problems.clear();
}

void onPxlibError(pxdoc_t*, int level, const char* message, void*)
{
    if (level != PX_Warning)
        ++unreadable;
    std::fprintf(stderr, "pxlib: %s\n", message);
}

unsigned le16(const unsigned char* p) { return p[0] | unsigned(p[1]) << 8; }
std::uint32_t le32(const unsigned char* p) { return le16(p) | std::uint32_t(le16(p + 2)) << 16; }

// A file read by offset, independent of pxlib.
class RawFile {
public:
    explicit RawFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY))
    {
        struct stat st {};
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0)
            size_ = st.st_size;
    }
    ~RawFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    bool open() const { return fd_ >= 0; }
    long size() const { return size_; }
    bool read(long offset, void* into, long count) const
    {
        return offset >= 0 && count >= 0 && offset + count <= size_ && ::pread(fd_, into, std::size_t(count), offset) == count;
    }

private:
    int fd_;
    long size_ = 0;
};

// One table or index document of pxlib over a file opened for reading only.
struct Document {
    pxdoc_t* px = nullptr;
    FILE* file = nullptr;
    std::string path;

    pxhead_t& head() const { return *px->px_head; }
    long blockSize() const { return long(head().px_maxtablesize) * 1024; }
    long blockStart(int block) const { return head().px_headersize + (block - 1) * blockSize(); }
    int fieldCount() const { return PX_get_num_fields(px); }
    pxfield_t& field(int i) const { return PX_get_fields(px)[i]; }
    int keyLength(int keyFields) const
    {
        int length = 0;
        for (int i = 0; i < keyFields; ++i)
            length += field(i).px_flen;
        return length;
    }
};

bool openDocument(const std::string& path, Document& doc)
{
    doc.path = path;
    doc.px = PX_new3(onPxlibError, nullptr, nullptr, nullptr, nullptr);
    doc.file = std::fopen(path.c_str(), "rb");
    if (!doc.px || !doc.file) {
        std::fprintf(stderr, "pxread: cannot open %s\n", path.c_str());
        return false;
    }
    if (PX_open_fp(doc.px, doc.file) < 0) {
        std::fprintf(stderr, "pxread: %s is not a Paradox file pxlib can read\n", path.c_str());
        return false;
    }
    return true;
}

// The file beside `path` with another extension, in lower or upper case; empty when neither exists.
std::string companion(const std::string& path, const char* extension)
{
    const auto dot = path.rfind('.');
    const std::string stem = path.substr(0, dot == std::string::npos || path.find('/', dot) != std::string::npos ? path.size() : dot);
    std::string lower = stem + extension, upper = lower;
    for (std::size_t i = stem.size(); i < upper.size(); ++i)
        upper[i] = char(std::toupper(static_cast<unsigned char>(upper[i])));
    for (const std::string& candidate : {lower, upper})
        if (::access(candidate.c_str(), F_OK) == 0)
            return candidate;
    return {};
}

char typeLetter(int type)
{
    switch (type) {
    case pxfAlpha: return 'A';
    case pxfDate: return 'D';
    case pxfShort: return 'S';
    case pxfLong: return 'I';
    case pxfCurrency: return '$';
    case pxfNumber: return 'N';
    case pxfLogical: return 'L';
    case pxfMemoBLOb: return 'M';
    case pxfBLOb: return 'B';
    case pxfFmtMemoBLOb: return 'F';
    case pxfOLE: return 'O';
    case pxfGraphic: return 'G';
    case pxfTime: return 'T';
    case pxfTimestamp: return '@';
    case pxfAutoInc: return '+';
    case pxfBCD: return '#';
    case pxfBytes: return 'Y';
    default: return '?';
    }
}

const char* fileTypeText(int type)
{
    switch (type) {
    case pxfFileTypIndexDB: return "keyed table";
    case pxfFileTypPrimIndex: return "primary index";
    case pxfFileTypNonIndexDB: return "table without key";
    default: return "secondary index";
    }
}

void printHeader(const Document& doc, const RawFile& raw)
{
    const pxhead_t& h = doc.head();
    unsigned char versionByte = 0;
    raw.read(0x39, &versionByte, 1);
    std::printf("file: %s\n", doc.path.c_str());
    std::printf("filetype: %d %s\n", h.px_filetype, fileTypeText(h.px_filetype));
    std::printf("version: %d.%d (byte 0x%02X)\n", h.px_fileversion / 10, h.px_fileversion % 10, versionByte);
    std::printf("tablename: %s\n", h.px_tablename ? h.px_tablename : "");
    std::printf("records: %d\n", h.px_numrecords);
    std::printf("recordsize: %d\n", h.px_recordsize);
    std::printf("headersize: %d\n", h.px_headersize);
    std::printf("blocksize: %ld (code %d)\n", doc.blockSize(), h.px_maxtablesize);
    std::printf("blocks: %u first %u last %u\n", h.px_fileblocks, h.px_firstblock, h.px_lastblock);
    std::printf("keyfields: %d\n", h.px_primarykeyfields);
    std::printf("codepage: %d\n", h.px_doscodepage);
    std::printf("sortorder: 0x%02X\n", static_cast<unsigned char>(h.px_sortorder));
    std::printf("autoinc: %d\n", h.px_autoinc);
    std::printf("numfields: %d\n", h.px_numfields);
}

// Prints the field list and checks the header against it and against the file's size.
void printAndCheckFields(const Document& doc, const RawFile& raw)
{
    const pxhead_t& h = doc.head();
    int sum = 0;
    for (int i = 0; i < doc.fieldCount(); ++i) {
        const pxfield_t& f = doc.field(i);
        std::printf("field %d: %s type=%c (0x%02X) size=%d", i + 1, f.px_fname ? f.px_fname : "", typeLetter(f.px_ftype),
                    static_cast<unsigned char>(f.px_ftype), f.px_flen);
        if (f.px_ftype == pxfBCD)
            std::printf(" decimals=%d", f.px_fdc);
        std::printf("\n");
        sum += f.px_flen;
        if ((h.px_filetype == pxfFileTypIndexDB || h.px_filetype == pxfFileTypNonIndexDB) && (!f.px_fname || !*f.px_fname))
            problem("field " + std::to_string(i + 1) + " is nameless");
    }
    // An index entry carries three 2-byte numbers after the key.
    if (h.px_filetype == pxfFileTypPrimIndex)
        sum += 6;
    if (sum != h.px_recordsize)
        problem("the header gives records of " + std::to_string(h.px_recordsize) + " bytes, the fields take " + std::to_string(sum));
    const int code = h.px_maxtablesize;
    const bool validCode = h.px_fileversion >= 70 ? (code == 1 || code == 2 || code == 4 || code == 8 || code == 16 || code == 32)
                                                  : (code >= 1 && code <= 4);
    if (!validCode)
        problem("block size code " + std::to_string(code) + " does not exist in version " + std::to_string(h.px_fileversion));
    if (h.px_filetype == pxfFileTypIndexDB && h.px_primarykeyfields < 1)
        problem("a keyed table with no key field");
    if (h.px_filetype == pxfFileTypNonIndexDB && h.px_primarykeyfields != 0)
        problem("a table without key names " + std::to_string(h.px_primarykeyfields) + " key fields");
    if (h.px_primarykeyfields > h.px_numfields)
        problem("more key fields than fields");
    const long needed = h.px_headersize + long(h.px_fileblocks) * doc.blockSize();
    if (raw.size() < needed)
        problem("the file holds " + std::to_string(raw.size()) + " bytes, its header and blocks need " + std::to_string(needed));
}

// The blocks of a table or index in chain order and the records each holds.
struct ChainBlock {
    int number;
    int records;
};

std::vector<ChainBlock> walkChain(const Document& doc, const RawFile& raw)
{
    const pxhead_t& h = doc.head();
    const int recordSize = h.px_recordsize;
    std::vector<ChainBlock> chain;
    std::vector<bool> seen(h.px_fileblocks + 1, false);
    int previous = 0, total = 0;
    for (int block = int(h.px_firstblock); block != 0;) {
        unsigned char top[6];
        if (block < 0 || unsigned(block) > h.px_fileblocks || !raw.read(doc.blockStart(block), top, 6)) {
            problem("the chain of blocks leads to block " + std::to_string(block) + ", outside the file");
            return chain;
        }
        if (seen[std::size_t(block)]) {
            problem("the chain of blocks comes back to block " + std::to_string(block));
            return chain;
        }
        seen[std::size_t(block)] = true;
        const int next = int(le16(top)), back = int(le16(top + 2)), lastOffset = static_cast<std::int16_t>(le16(top + 4));
        if (back != previous)
            problem("block " + std::to_string(block) + " names block " + std::to_string(back) + " before it, the chain has " + std::to_string(previous));
        int records = 0;
        if (recordSize <= 0 || lastOffset < -recordSize || lastOffset % recordSize != 0 || lastOffset > doc.blockSize() - 6 - recordSize)
            problem("block " + std::to_string(block) + " gives its last record at offset " + std::to_string(lastOffset) + ", not a record boundary");
        else
            records = lastOffset / recordSize + 1;
        chain.push_back({block, records});
        total += records;
        previous = block;
        block = next;
    }
    if (h.px_lastblock != unsigned(previous))
        problem("the header names block " + std::to_string(h.px_lastblock) + " last, the chain ends at " + std::to_string(previous));
    if (chain.size() > h.px_fileblocks)
        problem("the chain holds more blocks than the file");
    if (h.px_filetype != pxfFileTypPrimIndex && total != h.px_numrecords)
        problem("the header counts " + std::to_string(h.px_numrecords) + " records, the blocks hold " + std::to_string(total));
    return chain;
}

std::string csvCell(const char* text, std::size_t length)
{
    const std::string value(text, length);
    if (value.find_first_of(",\"\r\n") == std::string::npos)
        return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string hexText(const unsigned char* bytes, std::size_t length)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

bool allZero(const char* bytes, int length)
{
    for (int i = 0; i < length; ++i)
        if (bytes[i])
            return false;
    return true;
}

// The value of a blob field: in the record's leader when it fits, else in the .mb file, either in
// a block of its own or in one of the 64 slots of a shared block. False for a fault (a problem).
bool readBlob(const RawFile* mb, const char* field, int fieldLength, std::string& value)
{
    const auto* descriptor = reinterpret_cast<const unsigned char*>(field) + fieldLength - 10;
    const std::uint32_t where = le32(descriptor), length = le32(descriptor + 4);
    const long leader = fieldLength - 10;
    value.clear();
    if (length == 0)
        return true;
    if (long(length) <= leader) {
        value.assign(field, length);
        return true;
    }
    const long block = where & ~0xFFu;
    const unsigned slot = where & 0xFFu;
    unsigned char head[12];
    if (!mb || !mb->read(block, head, sizeof head)) {
        problem("a blob of " + std::to_string(length) + " bytes lies in a .mb block at " + std::to_string(block) + " that cannot be read");
        return false;
    }
    long start = -1;
    if (head[0] == 2 && slot == 0xFF && le32(head + 3) == length) {
        start = block + 9;
    } else if (head[0] == 3 && slot < 64) {
        unsigned char entry[5];
        if (mb->read(block + 12 + 5 * long(slot), entry, 5) && entry[0] != 0 && entry[1] != 0
            && (long(entry[1]) - 1) * 16 + entry[4] == long(length))
            start = block + long(entry[0]) * 16;
    }
    if (start < 0) {
        problem("the .mb block at " + std::to_string(block) + " (type " + std::to_string(head[0]) + ", slot " + std::to_string(slot)
                + ") does not hold the blob of " + std::to_string(length) + " bytes its record names");
        return false;
    }
    value.resize(length);
    if (!mb->read(start, value.data(), long(length))) {
        problem("the blob of " + std::to_string(length) + " bytes at .mb offset " + std::to_string(start) + " runs past the file's end");
        return false;
    }
    return true;
}

// Takes a string pxlib allocated for the document.
std::string taken(pxdoc_t* px, char* text)
{
    std::string value = text ? text : "";
    if (text)
        px->free(px, text);
    return value;
}

std::string numberText(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

// One value as a CSV cell; empty for NULL.
std::string cell(pxdoc_t* px, const pxfield_t& f, char* data, const RawFile* mb)
{
    const int type = f.px_ftype;
    const bool fourBytes = type == pxfLong || type == pxfAutoInc || type == pxfDate || type == pxfTime;
    if (fourBytes && allZero(data, 4))
        return {};
    long whole = 0;
    short small = 0;
    double real = 0;
    char byte = 0;
    char* text = nullptr;
    switch (type) {
    case pxfAlpha:
        if (PX_get_data_alpha(px, data, f.px_flen, &text) > 0 && text) {
            const std::string value = taken(px, text);
            return csvCell(value.data(), value.size());
        }
        return {};
    case pxfShort:
        return PX_get_data_short(px, data, 2, &small) > 0 ? std::to_string(small) : std::string();
    case pxfLong:
    case pxfAutoInc:
        return PX_get_data_long(px, data, 4, &whole) > 0 ? std::to_string(whole) : std::string();
    case pxfNumber:
    case pxfCurrency:
        return PX_get_data_double(px, data, 8, &real) > 0 ? numberText(real) : std::string();
    case pxfDate:
        if (PX_get_data_long(px, data, 4, &whole) <= 0)
            return {};
        return whole >= 1 && whole <= kLastDay ? taken(px, PX_date2string(px, whole, "Y-m-d")) : "day " + std::to_string(whole);
    case pxfTime:
        if (PX_get_data_long(px, data, 4, &whole) <= 0)
            return {};
        return whole >= 0 && whole < long(kDayMs) ? taken(px, PX_time2string(px, whole, "H:i:s")) : "ms " + std::to_string(whole);
    case pxfTimestamp:
        if (PX_get_data_double(px, data, 8, &real) <= 0)
            return {};
        if (real >= kDayMs && real < (kLastDay + 1) * kDayMs)
            return taken(px, PX_timestamp2string(px, real, "Y-m-d H:i:s"));
        return "ms " + numberText(real);
    case pxfLogical:
        return PX_get_data_byte(px, data, 1, &byte) > 0 ? (byte ? "true" : "false") : std::string();
    case pxfBCD:
        if (PX_get_data_bcd(px, reinterpret_cast<unsigned char*>(data), f.px_fdc, &text) < 0) {
            problem("a BCD value does not carry the field's " + std::to_string(f.px_fdc) + " decimals");
            return {};
        }
        return taken(px, text);
    case pxfBytes:
        return allZero(data, f.px_flen) ? std::string() : hexText(reinterpret_cast<unsigned char*>(data), std::size_t(f.px_flen));
    case pxfMemoBLOb:
    case pxfFmtMemoBLOb:
    case pxfBLOb:
    case pxfOLE:
    case pxfGraphic: {
        std::string value;
        if (!readBlob(mb, data, f.px_flen, value))
            return "(unreadable blob)";
        if (type == pxfMemoBLOb || type == pxfFmtMemoBLOb)
            return csvCell(value.data(), value.size());
        return hexText(reinterpret_cast<const unsigned char*>(value.data()), value.size());
    }
    default:
        problem("field type " + std::to_string(type) + " is unknown");
        return {};
    }
}

void useUtf8WhenKnown(Document& doc)
{
    const std::string codePage = "CP" + std::to_string(doc.head().px_doscodepage);
    const iconv_t probe = iconv_open("UTF-8", codePage.c_str());
    if (probe == iconv_t(-1))
        return;
    iconv_close(probe);
    PX_set_targetencoding(doc.px, "UTF-8");
}

int finish()
{
    flushProblems();
    if (unreadable)
        return 2;
    return problemCount ? 3 : 0;
}

int readTable(const std::string& path)
{
    Document doc;
    if (!openDocument(path, doc))
        return 2;
    const RawFile raw(path);
    const pxhead_t& h = doc.head();
    if (h.px_filetype != pxfFileTypIndexDB && h.px_filetype != pxfFileTypNonIndexDB) {
        std::fprintf(stderr, "pxread: %s is not a table (file type %d)\n", path.c_str(), h.px_filetype);
        return 2;
    }
    printHeader(doc, raw);
    printAndCheckFields(doc, raw);
    walkChain(doc, raw);
    useUtf8WhenKnown(doc);

    std::unique_ptr<RawFile> mb;
    if (const std::string mbPath = companion(path, ".mb"); !mbPath.empty()) {
        mb = std::make_unique<RawFile>(mbPath);
        std::printf("blobfile: %s\n", mbPath.c_str());
        if (mb->size() % 4096 != 0)
            problem("the .mb file's " + std::to_string(mb->size()) + " bytes are no whole number of 4096-byte blocks");
    }
    flushProblems();

    const int keyLength = h.px_filetype == pxfFileTypIndexDB ? doc.keyLength(h.px_primarykeyfields) : 0;
    int fieldBytes = 0;
    for (int i = 0; i < doc.fieldCount(); ++i)
        fieldBytes += doc.field(i).px_flen;
    std::vector<char> record(std::size_t(std::max(fieldBytes, h.px_recordsize)) + 1);
    std::string previousKey;
    std::printf("records:\n");
    int shown = 0;
    for (; shown < h.px_numrecords; ++shown) {
        if (!PX_get_record(doc.px, shown, record.data())) {
            std::fprintf(stderr, "pxread: record %d of %s cannot be read\n", shown + 1, path.c_str());
            ++unreadable;
            break;
        }
        // Encoded keys compare as bytes; each must exceed the one before.
        const std::string key(record.data(), std::size_t(keyLength));
        if (keyLength && shown > 0 && key <= previousKey)
            problem("record " + std::to_string(shown + 1) + " does not have a key above the record before it");
        previousKey = key;
        std::string line;
        for (int i = 0, offset = 0; i < doc.fieldCount(); offset += doc.field(i).px_flen, ++i)
            line += (i ? "," : "") + cell(doc.px, doc.field(i), record.data() + offset, mb.get());
        std::printf("%s\n", line.c_str());
        flushProblems();
    }
    return finish();
}

// Each entry of the lowest level stands for one data block of the table, in chain order, and
// carries that block's first key and record count; an entry above stands for one index block and
// carries the first key and the summed count of the entries in it.
void checkIndexAgainstTable(const Document& index, const std::vector<pxpindex_t>& entries, const std::string& tablePath)
{
    Document table;
    if (!openDocument(tablePath, table)) {
        ++unreadable;
        return;
    }
    const RawFile tableRaw(tablePath);
    std::printf("table: %s\n", tablePath.c_str());
    const std::vector<ChainBlock> chain = walkChain(table, tableRaw);
    const int keyLength = index.keyLength(index.fieldCount());
    if (table.head().px_primarykeyfields != index.fieldCount() || table.keyLength(table.head().px_primarykeyfields) != keyLength)
        problem("the index's key fields differ from the table's");

    std::size_t lowest = 0;
    std::string firstKey(std::size_t(keyLength), '\0');
    long covered = 0;
    for (std::size_t e = 0; e < entries.size(); ++e) {
        const pxpindex_t& entry = entries[e];
        const std::string entryKey(entry.data, std::size_t(keyLength));
        const std::string which = "entry " + std::to_string(e + 1) + " (level " + std::to_string(entry.level) + ")";
        if (entry.level == 1) {
            covered += entry.numrecords;
            if (lowest >= chain.size()) {
                problem(which + " has no data block left in the chain to stand for");
                continue;
            }
            const ChainBlock& block = chain[lowest++];
            if (entry.blocknumber != block.number)
                problem(which + " names data block " + std::to_string(entry.blocknumber) + ", the chain has block " + std::to_string(block.number) + " there");
            if (entry.numrecords != block.records)
                problem(which + " counts " + std::to_string(entry.numrecords) + " records, data block " + std::to_string(block.number) + " holds " + std::to_string(block.records));
            if (!tableRaw.read(table.blockStart(block.number) + 6, firstKey.data(), keyLength) || firstKey != entryKey)
                problem(which + " does not carry the first key of data block " + std::to_string(block.number));
            continue;
        }
        long below = 0;
        const pxpindex_t* first = nullptr;
        for (const pxpindex_t& other : entries)
            if (other.myblocknumber == entry.blocknumber && other.level == entry.level - 1) {
                below += other.numrecords;
                if (!first)
                    first = &other;
            }
        if (!first)
            problem(which + " names index block " + std::to_string(entry.blocknumber) + ", which holds no entries of the level below");
        else if (below != entry.numrecords)
            problem(which + " counts " + std::to_string(entry.numrecords) + " records, the entries of index block " + std::to_string(entry.blocknumber) + " count " + std::to_string(below));
        else if (std::memcmp(first->data, entry.data, std::size_t(keyLength)) != 0)
            problem(which + " does not carry the first key of index block " + std::to_string(entry.blocknumber));
    }
    if (lowest < chain.size())
        problem("data block " + std::to_string(chain[lowest].number) + " and those after it have no index entry");
    if (covered != table.head().px_numrecords)
        problem("the lowest index entries count " + std::to_string(covered) + " records, the table holds " + std::to_string(table.head().px_numrecords));

    // pxlib's own pairing of a table with its index: key fields and record total.
    const int before = unreadable;
    const bool paired = PX_add_primary_index(table.px, index.px) == 0;
    unreadable = before;
    if (!paired)
        problem("pxlib does not take the file as the primary index of " + tablePath);
    std::printf("index matches the table: %s\n", paired && problems.empty() && problemCount == 0 ? "yes" : "no");
    // The table document now refers to the index's entries; both live until the program ends.
}

int readIndex(const std::string& path)
{
    Document doc;
    if (!openDocument(path, doc))
        return 2;
    const RawFile raw(path);
    if (doc.head().px_filetype != pxfFileTypPrimIndex) {
        std::fprintf(stderr, "pxread: %s is not a primary index (file type %d)\n", path.c_str(), doc.head().px_filetype);
        return 2;
    }
    printHeader(doc, raw);
    std::printf("indexroot: %d\n", doc.head().px_indexroot);
    std::printf("indexlevels: %d\n", doc.head().px_numindexlevels);
    printAndCheckFields(doc, raw);
    walkChain(doc, raw);
    flushProblems();
    if (PX_read_primary_index(doc.px) < 0) {
        std::fprintf(stderr, "pxread: pxlib cannot read the entries of %s\n", path.c_str());
        return 2;
    }
    const auto* first = static_cast<const pxpindex_t*>(doc.px->px_data);
    const std::vector<pxpindex_t> entries(first, first + doc.px->px_datalen);
    if (long(entries.size()) != doc.head().px_numrecords)
        problem("the header counts " + std::to_string(doc.head().px_numrecords) + " entries, the blocks hold " + std::to_string(entries.size()));
    std::printf("entries: key fields, block, records, third number, index block, level\n");
    long lowestRecords = 0;
    for (const pxpindex_t& entry : entries) {
        std::string line;
        for (int i = 0, offset = 0; i < doc.fieldCount(); offset += doc.field(i).px_flen, ++i)
            line += cell(doc.px, doc.field(i), entry.data + offset, nullptr) + ",";
        std::printf("%s%d,%d,%d,%d,%d\n", line.c_str(), entry.blocknumber, entry.numrecords, entry.dummy, entry.myblocknumber, entry.level);
        if (entry.level == 1)
            lowestRecords += entry.numrecords;
    }
    std::printf("level1records: %ld\n", lowestRecords);
    flushProblems();
    if (const std::string table = companion(path, ".db"); !table.empty())
        checkIndexAgainstTable(doc, entries, table);
    return finish();
}

} // namespace

int main(int argc, char** argv)
{
    PX_boot();
    if (argc == 2 && argv[1][0] != '-')
        return readTable(argv[1]);
    if (argc == 3 && std::strcmp(argv[1], "--px") == 0)
        return readIndex(argv[2]);
    std::fprintf(stderr, "usage: pxread TABLE.db\n       pxread --px TABLE.px\n");
    return 1;
}
