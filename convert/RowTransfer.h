#pragma once
// One INSERT INTO statement per source row, every value written as a literal.
//
// Values are written from the value itself, never reparsed from a text form, so no locale, two-digit
// year or rounding changes data on the way: numbers with the shortest text that reads back as the
// same number (exact decimals stay exact), date-time values in the date rule's fixed patterns,
// apostrophes always doubled. Text stays text: only DATE and TIMESTAMP columns get the date rule,
// only numeric columns the comma-to-period change.

#include "db/Ado.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace convert {

// Reads a position list: the numeric list splits at ", ", the binary list at ","; blanks around
// an entry and the empty piece after the last separator are ignored.
std::vector<std::size_t> ParsePositionList(const std::string& list, const std::string& separator);

// "mm/dd/yyyy" at midnight, else "mm/dd/yyyy hh:nn:ss"; a time without a date (the zero date
// 12/30/1899) always shows its time.
std::string DateRuleText(const db::DateTime& value);
void AppendDateRuleText(std::string& out, const db::DateTime& value);
// The shortest text that reads back as the same double, with a period and no grouping.
std::string NumberText(double value);
// An exact decimal without trailing fractional zeros ("12.5000" gives "12.5").
std::string DecimalText(const std::string& decimal);
void AppendDecimalText(std::string& out, std::string_view decimal);

// The progress figure for the row counter (1 at the first row) of a table of rowCount rows:
// (counter + 1) / (rowCount + 1) x 100; 0 while the row count is unknown.
double RowProgress(std::int64_t rowCounter, std::int64_t rowCount);

class RowStatementBuilder {
public:
    RowStatementBuilder(const std::string& table, const std::string& numericPositions, const std::string& binaryPositions);

    // Starts the statement of the row with this key value.
    void begin(std::int64_t rowNumber);
    // Appends the value of the source field at this position (0 = first source field).
    void addValue(std::size_t position, const db::Field& field);
    // The finished statement, valid until the next begin().
    const std::string& finish();

    // All three for one row.
    std::string build(std::int64_t rowNumber, const std::vector<db::Field>& fields);

private:
    bool isNumeric(std::size_t position) const;
    bool isBinary(std::size_t position) const;
    void appendNull();
    void appendQuoted(std::string_view text);
    bool isDateColumn(std::size_t position, int adoType);

    std::string quotedTable_;
    std::vector<std::size_t> numeric_;
    std::vector<std::size_t> binary_;
    std::string statement_;
    enum DateColumn : unsigned char { Unknown, No, Yes };
    std::vector<DateColumn> dateColumn_;
};

} // namespace convert
