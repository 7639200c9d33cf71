// The code page of a table's text and the sort order that goes with it.
//
// A table names its code page in the header word at 0x6A (4.x and later) and its sort order
// twice: the byte at 0x29 and the name at the end of the header. The Borland Database Engine
// picks a table's language driver, and so the way it decodes and compares the table's text,
// from the sort order, so a table must carry the sort order that real writers pair with the
// code page of the bytes it holds. Pairs seen in tables written by Paradox 3.0-7.0 and the
// BDE, of three independent origins, with the BDE language driver each one names:
//
//   code page  0x29  name       language driver            Alpha keys compare
//   437        0x00  ascii      Paradox 'ascii'            by byte value (binary)
//   850        0x00  ascii      Paradox 'ascii'            by byte value (binary)
//   437        0xB7  intl       Paradox 'intl'             in dictionary order
//   1252       0x4C  DBWINUS0   'ascii' ANSI               by byte value (binary)
//   1252       0x11  ANSII850   Pdox ANSI Intl850          in dictionary order
//   1252       0x40  DBWINWE0   'WEurope' ANSI             in dictionary order
//   936        0x03  china      Paradox China 936          (double-byte text)
//   0 (none)   0x14  BLROM800   SQL Link ROMAN8            (HP Roman-8 text)
// pxlib writes 1252 with 0x62 "ANSIINTL" (Pdox ANSI Intl, a dictionary order).
//
// The BDE documents its English-language drivers as binary collations, which sort by the
// code page's numeric values; 'ascii' and its ANSI counterpart 'ascii' ANSI (DBWINUS0) are
// those, the others are dictionary orders. The engine keeps keys in the order of their
// encoded bytes, so it writes only binary orders: the DOS code pages (437, 850, 852, 866)
// with "ascii", as the 850 tables above pair it with a DOS code page other than its own,
// and the Windows code pages (1250-1254, 1257) with "DBWINUS0", the binary order of the ANSI
// tables. Its keys, Alpha ones included, are then in the order the declared driver sorts
// them; the code page word says how the bytes decode. No table of the eastern code pages
// written by Paradox itself was at hand, so their pairing rests on this reasoning alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace paradox {

struct Header;

// How one single-byte code page decodes each byte; 0 where it assigns the byte no character.
struct CodePageTable {
    std::uint16_t number;      // as stored at 0x6A; 0 for HP Roman-8, which tables name by sort order only
    const char* name;
    char32_t decode[256];
};
// Made at build time from iconv.
extern const CodePageTable kCodePageTables[];
extern const std::size_t kCodePageTableCount;

struct SortOrder {
    std::uint8_t id;           // header byte 0x29
    std::string_view name;     // the name at the end of the header
};

// The binary sort order that tables of `codePage` are written with; empty when this engine
// writes no tables in that code page.
std::optional<SortOrder> sortOrderFor(std::uint16_t codePage);
// Sets the code page of a table to be written and the sort order that goes with it; false
// when the engine writes no tables in that code page.
bool setCodePage(Header& header, std::uint16_t codePage);

// Whether the table's sort order compares text by byte value, the order the engine keeps
// keys in.
bool binarySortOrder(const Header& header);

// A single-byte code page of tables' text, as a value that converts text both ways. A code
// page the program has no decoding table for converts plain ASCII only, which every code
// page of Paradox tables shares.
class CodePage {
public:
    // The code page a table names: its code page word, or where that is 0 its sort order.
    static CodePage of(const Header& header);
    // The code page of that number (as stored in a header).
    static CodePage numbered(std::uint16_t number);

    std::uint16_t number() const { return number_; }
    bool known() const { return table_ != nullptr; }
    // "code page 437", or "HP Roman-8", for messages.
    const std::string& name() const { return name_; }

    // UTF-8 as text of this code page. Returns the offset (in bytes of the UTF-8 text) of the
    // first character the code page lacks or of malformed UTF-8, else nothing, with `out` filled.
    // With `replaced`, a character the code page lacks is written as '?' and counted there; only
    // malformed UTF-8 is then refused.
    std::optional<std::size_t> fromUtf8(std::string_view utf8, std::string& out, std::size_t* replaced = nullptr) const;
    // Text of this code page as UTF-8; bytes the code page leaves unassigned, NUL among them,
    // become U+FFFD. False, with `out` undefined, when a byte is beyond ASCII and the code
    // page is not known.
    bool toUtf8(std::string_view bytes, std::string& out) const;

private:
    struct Encoder;
    CodePage(const CodePageTable* table, std::uint16_t number, std::string name);

    const CodePageTable* table_ = nullptr;
    const Encoder* encoder_ = nullptr;
    std::uint16_t number_ = 0;
    std::string name_;
};

// A table's text (Alpha values, memos, field names) as UTF-8, in the table's code page.
// Text of a table whose code page is unknown is read as far as it is plain ASCII; a byte
// beyond it throws an Error naming the code page.
std::string tableText(const Header& header, std::string_view bytes);

}  // namespace paradox
