#pragma once
// Typed values of the data-access layer: what a field of a recordset holds.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace db {

struct Null {
    bool operator==(const Null&) const = default;
};

// An exact decimal number as text: optional '-', digits, optional '.' and digits ("-12.3400").
// Kept as text so that no digit is lost on the way through a double.
struct Decimal {
    std::string text;
    bool operator==(const Decimal&) const = default;
};

// Calendar date and time of day; a date-only value has a zero time, a time-only value the
// date 1899-12-30 (as ADO's dates count from there).
struct DateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::uint32_t nanosecond = 0;
    bool operator==(const DateTime&) const = default;
};

// A uniqueidentifier in its canonical text form, upper case without braces
// ("6F9619FF-8B86-D011-B42D-00C04FC964FF").
struct Guid {
    std::string text;
    bool operator==(const Guid&) const = default;
};

using Bytes = std::vector<std::uint8_t>;

// Text is UTF-8.
using Value = std::variant<Null, bool, std::int64_t, double, Decimal, std::string, Bytes, DateTime, Guid>;

inline bool isNull(const Value& v) { return std::holds_alternative<Null>(v); }

} // namespace db
