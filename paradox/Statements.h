// What executing a statement and checking it without writing share: the rules a statement
// must meet, raised as SqlError with the position in the statement being executed.
#pragma once

#include "paradox/CodePage.h"
#include "paradox/Database.h"
#include "paradox/Format.h"
#include "paradox/Problem.h"
#include "paradox/Sql.h"
#include "paradox/Table.h"
#include "paradox/Values.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace paradox::detail {

// The statement whose byte offsets the errors raised meanwhile turn into positions.
struct Executing {
    explicit Executing(std::string_view statement);
    ~Executing();
    Executing(const Executing&) = delete;
    Executing& operator=(const Executing&) = delete;
    std::string_view previous;
};

// "SQL error at position N: <what>".
std::string errorAt(std::size_t offset, const std::string& what);

// The table name as the header stores it, in `codePage`; SqlError when no table can have it.
std::string checkTableName(const sql::Name& name, const CodePage& codePage);
// The header of the table a CREATE TABLE defines, its names and text in `codePage`; the table
// name comes as `checkTableName` made it.
Header definedHeader(const sql::CreateTable& statement, const std::string& nameInCodePage, const CodePage& codePage);
// Everything a primary index needs of the table's definition (not of its rows).
void checkPrimaryIndex(const Header& table, const sql::CreateIndex& statement);
// The literal of an INSERT that each field of its table takes; nullptr where none.
using FieldValues = std::array<const sql::Literal*, kMaxFields>;
void valuesByField(const Header& table, const sql::Insert& statement, FieldValues& byField);
// Fills `record` (and `blobs`) with the row an INSERT makes in a table of this header, whose
// fields begin at `offsets`, its text in `codePage`. The blobs' rooms are reused. Returns the table's autoincrement value after the row when the
// row moved it on. A value a field cannot take is raised as SqlError, or, when `refusals` is
// given, added to it (in field order) and the other fields encoded; the row is then refused.
// `unmappable` says what becomes of characters the table's code page lacks.
std::optional<std::uint32_t> encodeRow(const sql::Insert& statement, const Header& table, const CodePage& codePage, const std::vector<int>& offsets,
                                       std::string& record, std::vector<Table::Blob>& blobs, std::string& scratch,
                                       std::vector<SqlError>* refusals = nullptr, Unmappable* unmappable = nullptr);
// Where a duplicate-key error points: the value given for the first key field.
std::size_t keyPosition(const sql::Insert& statement, const Header& table);
// Why a row with this record cannot go in: its key is there already.
std::string duplicateKeyText(const std::string& table, const Header& header, const std::vector<int>& offsets, const std::string& record);
// Why a table takes no more rows.
std::string tableFullText(const std::string& table, const Header& header);

}  // namespace paradox::detail
