#pragma once
// The pre-flight check: the statements a run would execute, handed to the Paradox engine's
// validator instead of the folder, and what it refuses counted per table, column and kind of
// problem, with the option that would keep the data.

#include "convert/DatatypeRecord.h"
#include "convert/Run.h"

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "paradox/Database.h"

namespace paradox {
class Validator;
}

namespace convert {

enum class CheckProblem {
    TextTooLong,
    NotInCodePage,
    NumberOutOfRange,
    DateOutOfRange,
    BcdDigits,
    BinaryPlaceholder, // written as the placeholder text, not refused
    Altered,           // written with '?' for characters outside the table's code page, not refused
    DuplicateKey,
    TableFull,         // the rows from the first one on that the table cannot hold
    Other,
};

// "text longer than the field", ...
std::string ProblemText(CheckProblem problem);

// One kind of problem of one column of a table.
struct ColumnProblem {
    std::string column;      // empty when the problem is the row's as a whole (a full table)
    std::string paradoxType; // "Alpha 255"
    CheckProblem problem = CheckProblem::Other;
    std::int64_t rows = 0;
    std::string firstRow;       // the first such source row: its primary-key value, else its number
    std::string firstReason;    // the engine's reason for it
    std::string option;         // the option that keeps the data; empty when there is none
};

struct TableCheck {
    std::string table;
    bool skipped = false;         // an existing table the run would keep
    std::int64_t rows = 0;        // rows read from the source
    std::int64_t rowsRefused = 0; // rows whose statement the engine refuses
    std::int64_t rowsAltered = 0; // rows written with '?' for a character the code page lacks
    std::string definitionError;  // why the table cannot be made; then none of its rows is written
    std::string readError;        // why the source could not be read to its end
    bool readFromStart = true;    // false: not one row could be read
    std::vector<ColumnProblem> problems;

    bool losesData() const;
};

// Takes the statements and datatype records of a run, table by table, and judges them with
// the code pages and the choice for unmappable characters of the run's type options.
class ConversionCheck : public StatementCheck {
public:
    explicit ConversionCheck(const std::string& paradoxFolder, const TypeOptions& options = {});
    ~ConversionCheck();
    ConversionCheck(const ConversionCheck&) = delete;
    ConversionCheck& operator=(const ConversionCheck&) = delete;

    void datatype(const DatatypeRecord& record);
    // A row without `sourceRow` is named by its number in the table.
    bool statement(const std::string& statement, const std::function<std::string()>& sourceRow = {},
                   const paradox::sql::Insert* parsed = nullptr) override;
    // Ends the table the run just left; its result is the last of tables().
    const TableCheck& tableFinished(const TableSummary& summary);

    const std::vector<TableCheck>& tables() const { return tables_; }
    bool losesData() const;

    // Called with the key value of every row the engine refuses.
    std::function<void(const std::string& table, const std::string& key, CheckProblem problem)> onRefused;

private:
    // Counts one row's refused value of a column.
    void count(const std::string& sourceRow, CheckProblem problem, const std::string& column, const std::string& type,
               const std::string& reason);
    int adoType(const std::string& column) const;
    void noteCharacters(const std::string& statement);
    // "--code-page TABLE=N" for the first code page other than the table's own that holds every
    // character of the table, its name and its columns' names included.
    std::string codePageOption(const std::string& table) const;

    std::unique_ptr<paradox::Validator> validator_;
    TableCheck current_;
    std::vector<DatatypeRecord> datatypes_;
    std::set<char32_t> characters_; // every character beyond ASCII of the table's statements
    std::bitset<0x800> seenBelow_;  // those of two UTF-8 bytes, to spare a lookup per character
    std::vector<paradox::SqlError> otherValues_;
    std::string firstRow_;
    std::vector<TableCheck> tables_;
};

// The lines the check prints for a table: "<table>: N rows ..." and one line per problem.
std::string CheckLines(const TableCheck& table);

} // namespace convert
