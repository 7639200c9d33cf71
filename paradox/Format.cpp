#include "paradox/Format.h"

#include "paradox/Encoding.h"

#include <cstring>
#include <ctime>

namespace paradox {

int Field::bytes() const
{
    switch (type) {
    case FieldType::Alpha:
    case FieldType::Bytes:
    case FieldType::Memo:
    case FieldType::Blob:
    case FieldType::FormattedMemo:
    case FieldType::Ole:
    case FieldType::Graphic: return size;
    case FieldType::Date:
    case FieldType::Long:
    case FieldType::Time:
    case FieldType::AutoIncrement: return 4;
    case FieldType::Short: return 2;
    case FieldType::Money:
    case FieldType::Number:
    case FieldType::Timestamp: return 8;
    case FieldType::Logical: return 1;
    case FieldType::Bcd: return 17;
    }
    return size;
}

std::string_view typeName(FieldType type)
{
    switch (type) {
    case FieldType::Alpha: return "Alpha";
    case FieldType::Date: return "Date";
    case FieldType::Short: return "Short";
    case FieldType::Long: return "Long";
    case FieldType::Money: return "Money";
    case FieldType::Number: return "Number";
    case FieldType::Logical: return "Logical";
    case FieldType::Memo: return "Memo";
    case FieldType::Blob: return "Binary";
    case FieldType::FormattedMemo: return "Formatted memo";
    case FieldType::Ole: return "OLE";
    case FieldType::Graphic: return "Graphic";
    case FieldType::Time: return "Time";
    case FieldType::Timestamp: return "Timestamp";
    case FieldType::AutoIncrement: return "Autoincrement";
    case FieldType::Bcd: return "BCD";
    case FieldType::Bytes: return "Bytes";
    }
    return "unknown";
}

bool knownType(std::uint8_t c)
{
    return (c >= 0x01 && c <= 0x06) || c == 0x09 || (c >= 0x0C && c <= 0x10) || (c >= 0x14 && c <= 0x18);
}

int Header::keyLength() const
{
    int len = 0;
    for (int i = 0; i < keyFields && i < int(fields.size()); ++i) len += fields[std::size_t(i)].bytes();
    return len;
}

namespace {
constexpr std::uint8_t kHeaderChanges = 2;

int variableStart(const Header& h, bool index)
{
    return index || h.version < 5 ? hdr::FixedEnd : hdr::DbFixedEnd;
}

int usedBytes(const Header& h, bool index)
{
    const int n = int(h.fields.size());
    int size = variableStart(h, index) + 2 * n + 4 + h.nameFieldLength();
    if (!index) {
        size += 4 * n;
        for (const Field& f : h.fields) size += int(f.name.size()) + 1;
        size += 2 * n + int(h.sortName.size()) + 1;
    }
    return size;
}
}  // namespace

int headerBytesNeeded(const Header& h, bool index)
{
    const int used = usedBytes(h, index);
    return (used + 0x7FF) / 0x800 * 0x800;
}

std::vector<unsigned char> encodeHeader(const Header& h, bool index)
{
    std::vector<unsigned char> out(h.headerSize, 0);
    unsigned char* p = out.data();
    const int n = int(h.fields.size());
    putLe16(p + hdr::RecordSize, h.recordSize);
    putLe16(p + hdr::HeaderSize, h.headerSize);
    p[hdr::FileType] = h.fileType;
    p[hdr::BlockCode] = h.blockCode;
    putLe32(p + hdr::NumRecords, h.numRecords);
    putLe16(p + hdr::UsedBlocks, h.fileBlocks);
    putLe16(p + hdr::FileBlocks, h.fileBlocks);
    putLe16(p + hdr::FirstBlock, h.firstBlock);
    putLe16(p + hdr::LastBlock, h.lastBlock);
    putLe16(p + hdr::Unknown12, index ? 17 : h.fileType == kKeyedDb ? 12 : 0);
    putLe16(p + hdr::IndexRoot, h.indexRoot);
    p[hdr::IndexLevels] = h.indexLevels;
    putLe16(p + hdr::NumFields, std::uint16_t(n));
    putLe16(p + hdr::KeyFields, h.keyFields);
    if (!index) putLe32(p + hdr::Encryption, 0xFF00FF00u);
    p[hdr::SortOrder] = h.sortOrder;
    // Real keyed tables mostly repeat the table's change count in the index's 0x2C, which
    // must not be 0.
    if (index) p[hdr::IndexChanges] = kHeaderChanges;
    p[hdr::ChangeCount1] = kHeaderChanges;
    p[hdr::ChangeCount2] = 1;
    p[hdr::Version] = h.version;
    putLe16(p + hdr::MaxBlocks, h.fileBlocks);
    if (!index) {
        p[hdr::DbMarker] = 0x1F;
        p[hdr::DbMarker + 1] = 0x0F;
        p[hdr::DbMarker2] = 0x20;
    }
    putLe32(p + hdr::AutoInc, h.autoInc);
    const int used = usedBytes(h, index);
    putLe16(p + hdr::RealHeaderSize, std::uint16_t(used));

    int at = variableStart(h, index);
    for (const Field& f : h.fields) {
        p[at++] = static_cast<std::uint8_t>(f.type);
        p[at++] = f.size;
    }
    at += 4;                                  // table-name pointer
    if (!index) at += 4 * n;                  // field-name pointers
    std::memcpy(p + at, h.tableName.data(), std::min(h.tableName.size(), std::size_t(h.nameFieldLength() - 1)));
    at += h.nameFieldLength();
    if (!index) {
        for (const Field& f : h.fields) {
            std::memcpy(p + at, f.name.data(), f.name.size());
            at += int(f.name.size()) + 1;
        }
        const int numbersAt = at;
        for (int i = 0; i < n; ++i, at += 2) putLe16(p + at, std::uint16_t(i + 1));
        std::memcpy(p + at, h.sortName.data(), h.sortName.size());
        if (h.version >= 5) {
            const std::uint16_t versionId = std::uint16_t(0x0100 | h.version);
            putLe16(p + hdr::VersionId2, versionId);
            putLe16(p + hdr::VersionId3, versionId);
            putLe32(p + hdr::UpdateTime, std::uint32_t(std::time(nullptr)));
            putLe16(p + hdr::HiFieldId, std::uint16_t(n + 1));
            putLe16(p + hdr::FieldNumbersAt, std::uint16_t(numbersAt - hdr::FixedEnd));
            putLe16(p + hdr::CodePage, h.codePage);
            p[hdr::Unknown6C] = 1;
            p[hdr::Unknown6C + 1] = 1;
            putLe16(p + hdr::SortNameAt, std::uint16_t(used - 1 - int(h.sortName.size()) - hdr::FixedEnd));
        }
    }
    return out;
}

Header decodeHeader(const unsigned char* p, std::size_t size, bool index)
{
    if (size < hdr::FixedEnd) throw FormatFault{"the file is shorter than a Paradox header"};
    Header h;
    h.recordSize = getLe16(p + hdr::RecordSize);
    h.headerSize = getLe16(p + hdr::HeaderSize);
    h.fileType = p[hdr::FileType];
    h.blockCode = p[hdr::BlockCode];
    h.numRecords = getLe32(p + hdr::NumRecords);
    h.fileBlocks = getLe16(p + hdr::FileBlocks);
    h.firstBlock = getLe16(p + hdr::FirstBlock);
    h.lastBlock = getLe16(p + hdr::LastBlock);
    h.indexRoot = getLe16(p + hdr::IndexRoot);
    h.indexLevels = p[hdr::IndexLevels];
    const int n = getLe16(p + hdr::NumFields);
    h.keyFields = getLe16(p + hdr::KeyFields);
    h.sortOrder = p[hdr::SortOrder];
    h.version = p[hdr::Version];
    h.autoInc = getLe32(p + hdr::AutoInc);
    h.codePage = 0;

    if (h.version < 3 || h.version > 15) throw FormatFault{"unknown file version byte " + std::to_string(h.version)};
    if (index ? h.fileType != kPrimaryIndex : (h.fileType != kKeyedDb && h.fileType != kUnkeyedDb))
        throw FormatFault{"file type " + std::to_string(h.fileType) + " is not a " + (index ? "primary index" : "table")};
    const bool v7 = h.version >= kVersion7;
    const bool codeOk = v7 ? (h.blockCode == 1 || h.blockCode == 2 || h.blockCode == 4 || h.blockCode == 8 ||
                              h.blockCode == 16 || h.blockCode == 32)
                           : (h.blockCode >= 1 && h.blockCode <= 4);
    if (!codeOk) throw FormatFault{"block size code " + std::to_string(h.blockCode) + " is not valid"};
    if (h.headerSize < hdr::FixedEnd || h.headerSize > size) throw FormatFault{"header size " + std::to_string(h.headerSize) + " is not valid"};
    if (n < 1 || n > kMaxFields) throw FormatFault{std::to_string(n) + " fields"};
    if (h.keyFields > n || h.keyFields > kMaxKeyFields) throw FormatFault{std::to_string(h.keyFields) + " key fields"};
    if (h.recordSize == 0 || h.recordSize > h.blockSize() - kBlockHeader)
        throw FormatFault{"record size " + std::to_string(h.recordSize) + " does not fit a block"};

    const std::size_t limit = h.headerSize;
    std::size_t at = std::size_t(variableStart(h, index));
    auto need = [&](std::size_t bytes) {
        if (at + bytes > limit) throw FormatFault{"the header is cut short"};
    };
    need(2 * std::size_t(n));
    int sum = 0;
    for (int i = 0; i < n; ++i) {
        Field f;
        f.type = static_cast<FieldType>(p[at]);
        f.size = p[at + 1];
        at += 2;
        if (!knownType(p[at - 2])) throw FormatFault{"field " + std::to_string(i + 1) + " has unknown type " + std::to_string(p[at - 2])};
        if (f.type == FieldType::Bcd ? f.size > 32 : f.bytes() == 0)
            throw FormatFault{"field " + std::to_string(i + 1) + " has size " + std::to_string(f.size)};
        const bool sized = f.type == FieldType::Alpha || f.type == FieldType::Bytes || f.type == FieldType::Bcd || f.isBlob();
        if (!sized && f.size != f.bytes())
            throw FormatFault{"field " + std::to_string(i + 1) + " of type " + std::string(typeName(f.type)) + " has size " + std::to_string(f.size)};
        if (f.isBlob() && f.bytes() < 10) throw FormatFault{"blob field " + std::to_string(i + 1) + " is shorter than its descriptor"};
        sum += f.bytes();
        h.fields.push_back(f);
    }
    if (sum + (index ? 6 : 0) != h.recordSize) throw FormatFault{"record size " + std::to_string(h.recordSize) + " differs from the fields' " + std::to_string(sum)};
    need(4);
    at += 4;
    if (!index) {
        need(4 * std::size_t(n));
        at += 4 * std::size_t(n);
    }
    need(std::size_t(h.nameFieldLength()));
    h.tableName.assign(reinterpret_cast<const char*>(p + at), strnlen(reinterpret_cast<const char*>(p + at), std::size_t(h.nameFieldLength())));
    at += std::size_t(h.nameFieldLength());
    if (!index) {
        for (Field& f : h.fields) {
            const auto len = strnlen(reinterpret_cast<const char*>(p + at), limit - at);
            if (at + len >= limit) throw FormatFault{"the field names run past the header"};
            f.name.assign(reinterpret_cast<const char*>(p + at), len);
            at += len + 1;
        }
        if (h.version >= 5) h.codePage = getLe16(p + hdr::CodePage);
        if (at + 2 * std::size_t(n) < limit) {
            at += 2 * std::size_t(n);
            h.sortName.assign(reinterpret_cast<const char*>(p + at), strnlen(reinterpret_cast<const char*>(p + at), limit - at));
        }
    }
    return h;
}

std::vector<unsigned char> encodeMbHeader()
{
    std::vector<unsigned char> b(kMbUnit, 0);
    b[0] = 0;
    putLe16(&b[1], 1);
    putLe16(&b[3], 1);
    const unsigned char fixed[] = {0x82, 0x73, 0x02, 0x00, 0x29};
    std::memcpy(&b[5], fixed, sizeof fixed);
    putLe16(&b[0x0B], 0x1000);
    putLe16(&b[0x0D], 0x1000);
    b[0x10] = 0x10;
    putLe16(&b[0x11], 0x40);
    putLe16(&b[0x13], 0x0800);
    return b;
}

std::vector<unsigned char> encodeMbBlob(std::string_view data, std::uint16_t modification)
{
    const std::size_t units = (9 + data.size() + kMbUnit - 1) / kMbUnit;
    std::vector<unsigned char> b(units * kMbUnit, 0);
    b[0] = 2;
    putLe16(&b[1], std::uint16_t(units));
    putLe32(&b[3], std::uint32_t(data.size()));
    putLe16(&b[7], modification);
    std::memcpy(&b[9], data.data(), data.size());
    return b;
}

std::vector<unsigned char> encodeMbSharedBlock()
{
    std::vector<unsigned char> b(kMbUnit, 0);
    b[0] = 3;
    putLe16(&b[1], 1);
    return b;
}

}  // namespace paradox
