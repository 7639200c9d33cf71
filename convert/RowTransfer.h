#pragma once
// One INSERT INTO statement per source row, every value written as a literal.
//
// Values are written from the value itself, never reparsed from a text form, so no locale, two-digit
// year or rounding changes data on the way: numbers with the shortest text that reads back as the
// same number of their own precision (exact decimals stay exact), date-time values in the date
// rule's fixed patterns, apostrophes always doubled. Text stays text: only DATE and TIMESTAMP
// columns get the date rule, only numeric columns the comma-to-period change. NaN and the
// infinities, which no number literal names, are written quoted for the engine to refuse.

#include "convert/TypeOptions.h"
#include "db/Ado.h"
#include "paradox/Sql.h"

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
// The shortest text that reads back as the same double, with a period and no grouping; NaN,
// Infinity and -Infinity for the values that are no number.
std::string NumberText(double value);
// The same for a single-precision value (a real column).
std::string SingleText(float value);
// An exact decimal without trailing fractional zeros ("12.5000" gives "12.5").
std::string DecimalText(const std::string& decimal);
void AppendDecimalText(std::string& out, std::string_view decimal);

// The progress figure for the row counter (1 at the first row) of a table of rowCount rows:
// (counter + 1) / (rowCount + 1) x 100; 0 while the row count is unknown.
double RowProgress(std::int64_t rowCounter, std::int64_t rowCount);

// A column whose values lost fractions of a second: the date rule writes whole seconds.
struct DroppedFractions {
    std::string column;
    std::int64_t values = 0;  // values that lost a fraction
    std::string firstValue;   // the first of them in full, "02/29/2024 13:45:30.123"
};

class RowStatementBuilder {
public:
    // With BinaryColumns::Blob a binary column's value is written whole as a binary literal
    // (X'0A1B'), NULL as NULL; otherwise as the placeholder '<OLEOBJECT>', whatever it holds.
    RowStatementBuilder(const std::string& table, const std::string& numericPositions, const std::string& binaryPositions,
                        BinaryColumns binaryValues = BinaryColumns::Placeholder);

    // Starts the statement of the row with this key value.
    void begin(std::int64_t rowNumber);
    // Appends the value of the source field at this position (0 = first source field).
    void addValue(std::size_t position, const db::Field& field);
    // The finished statement, valid until the next begin().
    const std::string& finish();
    // What the Paradox engine's parser makes of the finished statement, pointing into it, so
    // that the engine need not read it again; null for a row with a value the builder wrote
    // as the source gave it (a numeric column's text that is no plain number), which only the
    // parser can read. Valid until the next begin().
    const paradox::sql::Insert* parsed() const { return described_ ? &parsed_ : nullptr; }

    // All three for one row.
    std::string build(std::int64_t rowNumber, const std::vector<db::Field>& fields);

    // The columns whose values lost fractions of a second so far, in the order first met.
    const std::vector<DroppedFractions>& droppedFractions() const { return droppedFractions_; }

private:
    enum class ColumnClass : unsigned char { Unknown, Plain, Numeric, Binary };
    // Binary wins over numeric; looked up in the position lists once per column.
    ColumnClass columnClass(std::size_t position);
    void appendNull();
    void appendQuoted(std::string_view text);
    void appendBinary(const db::Field& field);
    bool isDateColumn(std::size_t position, int adoType);
    void noteDroppedFraction(const db::Field& field, const db::DateTime& value);
    // The literal that starts at `start` and holds the `size` characters from `from` on.
    void describe(paradox::sql::Literal::Kind kind, std::size_t start, std::size_t from, std::size_t size)
    {
        if (literals_ == spans_.size())
            addLiteral();
        paradox::sql::Literal& literal = parsed_.values[literals_];
        literal.kind = kind;
        literal.pos = start;
        literal.unescaped = false;
        spans_[literals_++] = Span{from, size};
    }
    // Room for one more literal than any row had so far.
    void addLiteral();
    // The number written from `start` on, when the parser reads it as written.
    void describeNumber(std::size_t start);

    std::string quotedTable_;
    std::vector<std::size_t> numeric_;
    std::vector<std::size_t> binary_;
    std::vector<ColumnClass> columnClass_; // by position
    BinaryColumns binaryValues_;
    std::string statement_;
    enum DateColumn : unsigned char { Unknown, No, Yes };
    std::vector<DateColumn> dateColumn_;
    std::vector<DroppedFractions> droppedFractions_;
    // The row's statement as the parser gives it; the literals' text is placed in finish(),
    // once the statement no longer moves.
    paradox::sql::Insert parsed_;
    struct Span {
        std::size_t from, size;
    };
    std::vector<Span> spans_; // as many as parsed_.values while a row is built
    std::size_t literals_ = 0;
    bool described_ = true;
};

} // namespace convert
