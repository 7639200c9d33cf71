// The kinds of refusal that a caller counting refused statements tells apart.
#pragma once

namespace paradox {

enum class Problem {
    Other,            // the reason tells
    TextTooLong,      // text longer than its Alpha field
    NotInCodePage,    // a character the table's code page lacks
    NumberOutOfRange, // a number the field's type cannot hold (exactly)
    DateOutOfRange,   // a date or time the field's type cannot hold
    BcdDigits,        // more digits, before or after the point, than a BCD field keeps
    DuplicateKey,     // the table holds a row with the same key
    TableFull,        // the table holds no more rows
};

}  // namespace paradox
