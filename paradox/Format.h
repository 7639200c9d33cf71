// The on-disk structures of Paradox tables: file header, field descriptors, data and index
// blocks, primary index entries and the blob (.MB) file.
//
// File header, fixed part (.DB and .PX; little-endian):
//   off   size  meaning
//   0x00  2     record size (.PX: key length + 6)
//   0x02  2     header size: bytes before block 1
//   0x04  1     file type: 0 keyed .DB, 1 .PX, 2 unkeyed .DB
//   0x05  1     block size code: block size = code * 1024
//   0x06  4     records (.PX: index entries of all levels)
//   0x0A  2     blocks in use
//   0x0C  2     blocks in the file
//   0x0E  2     first block of the chain, 0 when empty
//   0x10  2     last block of the chain, 0 when empty
//   0x12  2     unknown: 12 keyed .DB, 17 .PX, 0 unkeyed
//   0x1E  2     .PX: root index block
//   0x20  1     .PX: index levels
//   0x21  2     fields (.PX: key fields)
//   0x23  2     leading key fields (.PX: 0)
//   0x25  4     .DB: 0xFF00FF00
//   0x29  1     sort order, paired with the code page (CodePage.h)
//   0x2C  1     .PX: index change count, never 0; the .DB's 0x2D, as most real files have it
//   0x2D  1     header change count (2)
//   0x2E  1     second change count (1)
//   0x39  1     version: 0x0B = 5.x, 0x0C = 7.x
//   0x3A  2     maximum blocks (= blocks in the file)
//   0x3E  2     .DB: 0x1F 0x0F
//   0x49  4     the last autoincrement value handed out (0 before the first)
//   0x51  2     bytes of the header in use
//   0x56  1     .DB: 0x20
// .DB only, 0x58..0x77:
//   0x58  2     0x010B (5.x) or 0x010C (7.x), again at 0x5A
//   0x60  4     update time
//   0x64  2     fields + 1
//   0x66  2     offset of the field-number array - 0x58
//   0x5C  4     password code, 0 when the table is not protected (3.x: at 0x25)
//   0x6A  2     code page (0 in tables that name theirs by sort order only)
//   0x6C  2     0x01 0x01
//   0x6E  2     offset of the sort-order name - 0x58 = bytes of the header in use - 0x59 - its length
// Variable part, at 0x78 (.DB) or 0x58 (.PX, and .DB before 4.x), n fields:
//   2n bytes field descriptors (type, size); 4 bytes pointer; .DB: 4n bytes pointers;
//   table name NUL-padded to 79 bytes (261 in 7.x); .DB: field names NUL-terminated,
//   n u16 field numbers 1..n, sort-order name NUL-terminated; zeros up to the header size.
//
// Block header (every block of .DB and .PX, little-endian):
//   0     2     next block, 0 = last
//   2     2     previous block, 0 = first
//   4     2     offset of the last record = (records - 1) * record size, signed
// Records follow at offset 6 without gaps.
//
// Primary index entry (.PX): key bytes as in the table, then three Short-encoded values:
// block number (a .DB block at level 1, a .PX block above), record count below it, 0.
// Block 1 is the root; each lower level follows in chain order, level 1 last.
//
// Blob descriptor (last 10 bytes of a memo/blob field, after its leader; little-endian):
//   0     4     .MB offset of the 4 KB block | 0xFF for a block of its own
//   4     4     length
//   8     2     modification number
// .MB file: 4 KB units. Block 0 is the header (type 0). A type-2 block holds one blob:
//   0     1     type 2
//   1     2     4 KB units of the block
//   3     4     length
//   7     2     modification number
//   9     ...   data
// A type-3 block (one unit) is shared by up to 64 blobs of at most 2 KB; the descriptor's
// low byte is the blob's slot:
//   0     1     type 3
//   1     2     1 (units)
//   12    5*64  slots: data offset / 16, 16-byte chunks, u16 modification number, bytes
//               used in the last chunk; filled from slot 63 down
//   0x150 ...   data in 16-byte chunks
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace paradox {

enum class FieldType : std::uint8_t {
    Alpha = 0x01, Date = 0x02, Short = 0x03, Long = 0x04, Money = 0x05, Number = 0x06,
    Logical = 0x09, Memo = 0x0C, Blob = 0x0D, FormattedMemo = 0x0E, Ole = 0x0F, Graphic = 0x10,
    Time = 0x14, Timestamp = 0x15, AutoIncrement = 0x16, Bcd = 0x17, Bytes = 0x18,
};

struct Field {
    std::string name;          // code page text
    FieldType type = FieldType::Alpha;
    std::uint8_t size = 0;     // the descriptor's size byte (BCD: decimals)
    int bytes() const;         // space in the record
    bool isBlob() const
    {
        return type == FieldType::Memo || type == FieldType::Blob || type == FieldType::FormattedMemo || type == FieldType::Ole ||
               type == FieldType::Graphic;
    }
    int leader() const { return bytes() - 10; }
};

std::string_view typeName(FieldType type);   // "Alpha", "Long", ...
bool knownType(std::uint8_t code);

namespace hdr {
constexpr int RecordSize = 0x00, HeaderSize = 0x02, FileType = 0x04, BlockCode = 0x05,
              NumRecords = 0x06, UsedBlocks = 0x0A, FileBlocks = 0x0C, FirstBlock = 0x0E,
              LastBlock = 0x10, Unknown12 = 0x12, IndexRoot = 0x1E, IndexLevels = 0x20,
              NumFields = 0x21, KeyFields = 0x23, Encryption = 0x25, SortOrder = 0x29,
              IndexChanges = 0x2C, ChangeCount1 = 0x2D, ChangeCount2 = 0x2E, Version = 0x39,
              MaxBlocks = 0x3A, DbMarker = 0x3E, AutoInc = 0x49, RealHeaderSize = 0x51,
              DbMarker2 = 0x56, VersionId2 = 0x58, VersionId3 = 0x5A, UpdateTime = 0x60,
              HiFieldId = 0x64, FieldNumbersAt = 0x66, CodePage = 0x6A, Unknown6C = 0x6C,
              SortNameAt = 0x6E, PasswordCode = 0x5C;
constexpr int FixedEnd = 0x58;       // .PX and pre-4.x .DB variable part
constexpr int DbFixedEnd = 0x78;     // 4.x and later .DB variable part
}  // namespace hdr

constexpr std::uint8_t kKeyedDb = 0, kPrimaryIndex = 1, kUnkeyedDb = 2;
constexpr std::uint8_t kVersion5 = 0x0B, kVersion7 = 0x0C;
constexpr int kBlockHeader = 6;
constexpr int kMaxFields = 255;
constexpr int kMaxKeyFields = 16;
constexpr int kMaxBlocks = 65535;
// A primary index names data blocks (and its own) by Short values, which end at 32,767: the
// pattern of 32,768 is the NULL one. A keyed table numbers no more blocks than that.
constexpr int kMaxIndexedBlocks = 32767;
constexpr std::uint8_t kLargestBlockCode = 32;   // 32 KB, level 7 only
constexpr int kMbUnit = 4096;
constexpr std::size_t kMbSharedMax = 2048;   // larger blobs get a block of their own
// The largest blob: its block counts its 4 KB units in 16 bits, 9 bytes of them its header.
constexpr std::size_t kMbLargestBlob = std::size_t(0xFFFF) * kMbUnit - 9;
constexpr int kMbSharedSlots = 64, kMbSharedData = 0x150, kMbChunk = 16;
constexpr std::uint16_t kCodePage1252 = 1252;
constexpr std::uint8_t kSortBinary1252 = 0x4C;     // "DBWINUS0", see CodePage.h
constexpr std::string_view kSortNameBinary1252 = "DBWINUS0";

struct Header {
    std::uint16_t recordSize = 0;
    std::uint16_t headerSize = 0x800;
    std::uint8_t fileType = kUnkeyedDb;
    std::uint8_t blockCode = 4;
    std::uint32_t numRecords = 0;
    std::uint16_t fileBlocks = 0;
    std::uint16_t firstBlock = 0;
    std::uint16_t lastBlock = 0;
    std::uint16_t indexRoot = 0;
    std::uint8_t indexLevels = 0;
    std::uint16_t keyFields = 0;
    std::uint8_t sortOrder = kSortBinary1252;
    std::uint8_t version = kVersion5;
    std::uint32_t autoInc = 0;
    std::uint16_t codePage = kCodePage1252;
    std::string tableName;     // as stored in the header
    std::string sortName{kSortNameBinary1252};
    std::vector<Field> fields;

    int blockSize() const { return blockCode * 1024; }
    int recordsPerBlock() const { return (blockSize() - kBlockHeader) / recordSize; }
    int keyLength() const;
    bool keyed() const { return fileType == kKeyedDb && keyFields > 0; }
    int maxBlocks() const { return keyed() ? kMaxIndexedBlocks : kMaxBlocks; }
    int nameFieldLength() const { return version >= kVersion7 ? 261 : 79; }
};

// Thrown by the decoders for a structure that cannot be right.
struct FormatFault {
    std::string what;
};

// Bytes of the header a .DB (index = false) or .PX (index = true) needs before block 1.
int headerBytesNeeded(const Header& h, bool index);
std::vector<unsigned char> encodeHeader(const Header& h, bool index);
Header decodeHeader(const unsigned char* data, std::size_t size, bool index);

// Blob files.
std::vector<unsigned char> encodeMbHeader();
std::vector<unsigned char> encodeMbBlob(std::string_view data, std::uint16_t modification);
// An empty block for blobs of up to kMbSharedMax bytes, which share it (type 3).
std::vector<unsigned char> encodeMbSharedBlock();

}  // namespace paradox
