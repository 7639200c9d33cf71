#pragma once
// The choices that let a run keep data the fixed type rules would lose: long text as memos,
// long binary values as blobs, big integers as BCD numbers, the code page of the tables and
// what becomes of a character outside it. Each default is the fixed rules' own behaviour, which
// a Paradox application written against them may rely on.

#include "db/Ado.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace convert {

enum class LongText { Text, Memo };            // --long-text text|memo
enum class BinaryColumns { Placeholder, Blob }; // --binary placeholder|blob
enum class BigIntegers { Int, Decimal };       // --bigint int|decimal
enum class Unmappable { Reject, Replace };     // --unmappable reject|replace

struct TableCodePage {
    std::string table; // the Paradox table's name, letter case ignored
    int codePage = 0;
    bool operator==(const TableCodePage&) const = default;
};

struct TypeOptions {
    LongText longText = LongText::Text;
    BinaryColumns binary = BinaryColumns::Placeholder;
    BigIntegers bigInt = BigIntegers::Int;
    Unmappable unmappable = Unmappable::Reject;
    int codePage = 0;                          // of every table; 0: the engine's own, 1252
    std::vector<TableCodePage> tableCodePages; // of single tables; a later entry wins
    bool operator==(const TypeOptions&) const = default;
};

// The option texts as the command line and the settings store spell them; empty for others.
std::optional<LongText> ParseLongText(std::string_view text);
std::optional<BinaryColumns> ParseBinary(std::string_view text);
std::optional<BigIntegers> ParseBigInt(std::string_view text);
std::optional<Unmappable> ParseUnmappable(std::string_view text);

// The code pages tables can be written in, ascending.
const std::vector<int>& WritableCodePages();
// Adds one code page choice, "N" (every table) or "TABLE=N"; the reason when it is neither or N
// is not a code page tables can be written in.
std::optional<std::string> AddCodePage(TypeOptions& options, std::string_view choice);
// The Paradox connection's text settings for the options.
db::ParadoxText ParadoxTextFor(const TypeOptions& options);

} // namespace convert
