#include "convert/Check.h"

#include "db/EngineBackend.h"
#include "paradox/CodePage.h"
#include "paradox/Database.h"
#include "paradox/Format.h"
#include "paradox/Utf8.h"
#include "paradox/Validator.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <sstream>
#include <string_view>

namespace convert {

namespace {

// The option that keeps the data of a kind of problem, for source columns of the ADO types
// given (of any type when none is). A character outside the code page is kept by a code page
// that holds it, when one does; see codePageOption().
struct KeepingOption {
    CheckProblem problem;
    std::array<int, 2> adoTypes;
    std::string_view option;
};
constexpr std::array kKeepingOptions{
    KeepingOption{CheckProblem::TextTooLong, {}, "--long-text memo"},
    KeepingOption{CheckProblem::NotInCodePage, {}, "--unmappable replace"},
    KeepingOption{CheckProblem::NumberOutOfRange, {db::adBigInt, db::adUnsignedBigInt}, "--bigint decimal"},
    KeepingOption{CheckProblem::BinaryPlaceholder, {}, "--binary blob"},
};

// The code pages a table may be written in, in the order they are offered.
constexpr std::array<std::uint16_t, 10> kCodePages{1252, 1250, 1251, 1253, 1254, 1257, 437, 850, 852, 866};

std::string keepingOption(CheckProblem problem, int adoType)
{
    for (const KeepingOption& rule : kKeepingOptions) {
        const bool anyType = rule.adoTypes == std::array<int, 2>{};
        if (rule.problem == problem && (anyType || std::ranges::find(rule.adoTypes, adoType) != rule.adoTypes.end()))
            return std::string(rule.option);
    }
    return {};
}

CheckProblem checkProblem(paradox::Problem problem)
{
    switch (problem) {
    case paradox::Problem::TextTooLong: return CheckProblem::TextTooLong;
    case paradox::Problem::NotInCodePage: return CheckProblem::NotInCodePage;
    case paradox::Problem::NumberOutOfRange: return CheckProblem::NumberOutOfRange;
    case paradox::Problem::DateOutOfRange: return CheckProblem::DateOutOfRange;
    case paradox::Problem::BcdDigits: return CheckProblem::BcdDigits;
    case paradox::Problem::DuplicateKey: return CheckProblem::DuplicateKey;
    case paradox::Problem::TableFull: return CheckProblem::TableFull;
    case paradox::Problem::Other: break;
    }
    return CheckProblem::Other;
}

constexpr std::string_view kInsert = "INSERT INTO \"";

// Where the values of a row's statement begin: after the quoted table name ("" inside it
// doubled) and " VALUES (".
std::size_t valuesStart(const std::string& statement)
{
    std::size_t at = kInsert.size();
    while (at < statement.size()) {
        if (statement[at] == '"' && (at + 1 == statement.size() || statement[at + 1] != '"'))
            break;
        at += statement[at] == '"' ? 2 : 1;
    }
    const std::size_t open = statement.find('(', at);
    return open == std::string::npos ? statement.size() : open + 1;
}

// The table of a row's statement, its quotes undone.
std::string insertTable(const std::string& statement)
{
    std::string name;
    for (std::size_t at = kInsert.size(); at < statement.size() && (statement[at] != '"' || statement[at + 1] == '"'); ++at) {
        name += statement[at];
        if (statement[at] == '"')
            ++at;
    }
    return name;
}

// The first value of a row's statement: the key column's.
std::string keyValue(const std::string& statement)
{
    const std::size_t from = valuesStart(statement);
    const std::size_t to = statement.find_first_of(",)", from);
    return statement.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

// Whether the values of a table's rows, whose characters beyond ASCII are `characters`,
// can all be written in `codePage`.
bool holds(std::uint16_t codePage, const std::set<char32_t>& characters)
{
    paradox::Header header;
    if (!paradox::setCodePage(header, codePage))
        return false;
    std::string text, out;
    for (const char32_t c : characters)
        paradox::appendUtf8(text, c);
    return !paradox::CodePage::of(header).fromUtf8(text, out);
}

} // namespace

std::string ProblemText(CheckProblem problem)
{
    switch (problem) {
    case CheckProblem::TextTooLong: return "text longer than the field";
    case CheckProblem::NotInCodePage: return "a character outside the table's code page";
    case CheckProblem::NumberOutOfRange: return "a number outside the type's range";
    case CheckProblem::DateOutOfRange: return "a date outside the type's range";
    case CheckProblem::BcdDigits: return "digits a BCD field cannot hold";
    case CheckProblem::BinaryPlaceholder: return "binary replaced by the placeholder";
    case CheckProblem::Altered: return "a character outside the table's code page written as '?'";
    case CheckProblem::DuplicateKey: return "duplicate key";
    case CheckProblem::TableFull: return "more rows than a Paradox table holds";
    case CheckProblem::Other: break;
    }
    return "refused";
}

bool TableCheck::losesData() const
{
    return !problems.empty() || !definitionError.empty() || !readError.empty();
}

ConversionCheck::ConversionCheck(const std::string& paradoxFolder, const TypeOptions& options)
    : validator_(std::make_unique<paradox::Validator>(paradoxFolder))
{
    validator_->setTextOptions(db::engineTextOptions(ParadoxTextFor(options)));
}

ConversionCheck::~ConversionCheck() = default;

bool ConversionCheck::losesData() const
{
    for (const TableCheck& table : tables_)
        if (table.losesData())
            return true;
    return false;
}

void ConversionCheck::datatype(const DatatypeRecord& record) { datatypes_.push_back(record); }

bool ConversionCheck::statement(const std::string& statement, const std::function<std::string()>& sourceRow,
                                const paradox::sql::Insert* parsed)
{
    const bool row = statement.starts_with(kInsert);
    const std::int64_t number = row ? ++current_.rows : 0;
    // A row is named only when it is the table's first or has a problem: naming it by its key
    // costs more than checking it.
    const auto source = [&] { return sourceRow ? sourceRow() : std::to_string(number); };
    if (number == 1)
        firstRow_ = source();
    noteCharacters(statement);
    try {
        if (parsed)
            validator_->validate(statement, *parsed, &otherValues_);
        else
            validator_->validate(statement, &otherValues_);
        if (!validator_->alteredValues().empty()) {
            ++current_.rowsAltered;
            const std::string name = source();
            for (const paradox::Validator::AlteredValue& altered : validator_->alteredValues())
                count(name, CheckProblem::Altered, altered.column, altered.columnType, {});
        }
        return true;
    } catch (const paradox::SqlError& refusal) {
        if (!row) {
            // A table that cannot be made gets none of its rows, whatever they hold.
            if (current_.definitionError.empty())
                current_.definitionError = refusal.what();
            return false;
        }
        if (!current_.definitionError.empty())
            return false;
        ++current_.rowsRefused;
        if (onRefused)
            onRefused(insertTable(statement), keyValue(statement), checkProblem(refusal.problem()));
        const std::string name = source();
        count(name, checkProblem(refusal.problem()), refusal.column(), refusal.columnType(), refusal.what());
        for (const paradox::SqlError& other : otherValues_)
            count(name, checkProblem(other.problem()), other.column(), other.columnType(), other.what());
    } catch (const paradox::Error& failure) {
        // A table of the folder that cannot be read, say: every row would fail the same way.
        if (current_.definitionError.empty())
            current_.definitionError = failure.what();
    }
    return false;
}

int ConversionCheck::adoType(const std::string& column) const
{
    for (const DatatypeRecord& record : datatypes_)
        if (record.field == column)
            return record.adoType;
    return db::adEmpty;
}

void ConversionCheck::count(const std::string& sourceRow, CheckProblem problem, const std::string& column, const std::string& type,
                            const std::string& reason)
{
    for (ColumnProblem& known : current_.problems) {
        if (known.column == column && known.problem == problem) {
            ++known.rows;
            return;
        }
    }
    current_.problems.push_back(ColumnProblem{column, type, problem, 1, sourceRow, reason, {}});
}

// Only characters beyond ASCII matter to a code page. The table's and its columns' names are
// written in the table's code page as well as its text.
void ConversionCheck::noteCharacters(const std::string& statement)
{
    const std::size_t size = statement.size();
    for (std::size_t i = 0; i < size;) {
        // Eight ASCII bytes at a time: most text is ASCII.
        if (std::uint64_t word = 0; i + sizeof word <= size) {
            std::memcpy(&word, statement.data() + i, sizeof word);
            if ((word & 0x8080808080808080ull) == 0) {
                i += sizeof word;
                continue;
            }
        }
        const auto lead = static_cast<unsigned char>(statement[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t c = lead & (0x3F >> (length - 1));
        for (std::size_t k = 1; k < length && i + k < size; ++k)
            c = (c << 6) | (static_cast<unsigned char>(statement[i + k]) & 0x3F);
        if (c >= seenBelow_.size() || !seenBelow_[c]) {
            characters_.insert(c);
            if (c < seenBelow_.size())
                seenBelow_[c] = true;
        }
        i += length;
    }
}

std::string ConversionCheck::codePageOption(const std::string& table) const
{
    const bool plain = std::ranges::all_of(table, [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
    const std::uint16_t own = validator_->textOptions().codePageOf(table);
    for (const std::uint16_t codePage : kCodePages) {
        if (codePage == own || !holds(codePage, characters_))
            continue;
        const std::string choice = table + "=" + std::to_string(codePage);
        return "--code-page " + (plain ? choice : "'" + choice + "'");
    }
    return {};
}

const TableCheck& ConversionCheck::tableFinished(const TableSummary& summary)
{
    TableCheck done = std::move(current_);
    current_ = TableCheck{};
    done.table = summary.table;
    done.skipped = summary.skipped;
    done.readError = summary.readError;
    done.readFromStart = summary.rowsRead > 0 || summary.readError.empty();
    if (!done.definitionError.empty())
        done.problems.clear();
    // Every value of a binary column becomes the placeholder text, NULL too.
    for (const DatatypeRecord& column : datatypes_) {
        if (column.sourceType != "adlongvarbinary" || column.paradoxType != "VARCHAR" || done.rows == 0 ||
            !done.definitionError.empty())
            continue;
        const std::string type = validator_->columnType(done.table, column.field);
        done.problems.push_back(ColumnProblem{column.field, type, CheckProblem::BinaryPlaceholder, done.rows, firstRow_, {}, {}});
    }
    for (ColumnProblem& problem : done.problems) {
        problem.option = keepingOption(problem.problem, adoType(problem.column));
        if (problem.problem == CheckProblem::NotInCodePage || problem.problem == CheckProblem::Altered)
            if (const std::string option = codePageOption(done.table); !option.empty())
                problem.option = option;
    }
    datatypes_.clear();
    characters_.clear();
    seenBelow_.reset();
    firstRow_.clear();
    tables_.push_back(std::move(done));
    return tables_.back();
}

std::string CheckLines(const TableCheck& table)
{
    std::ostringstream out;
    out << table.table << ": ";
    if (table.skipped) {
        out << "skipped, the existing Paradox table would be kept\n";
        return out.str();
    }
    if (!table.readFromStart) {
        out << "cannot be read: " << table.readError << '\n';
        return out.str();
    }
    if (!table.definitionError.empty()) {
        out << "no row would be written: the table cannot be made: " << table.definitionError << '\n';
        return out.str();
    }
    out << table.rows << (table.rows == 1 ? " row" : " rows");
    if (table.rowsRefused > 0)
        out << ", " << table.rowsRefused << " would be refused";
    if (table.rowsAltered > 0)
        out << ", " << table.rowsAltered << (table.rowsRefused > 0 ? " altered" : " would be altered");
    if (table.rowsRefused == 0 && table.rowsAltered == 0 && table.problems.empty())
        out << ", all fit";
    out << '\n';
    if (!table.readError.empty())
        out << "  " << table.table << ": reading stopped after row " << table.rows << ": " << table.readError << '\n';
    for (const ColumnProblem& p : table.problems) {
        out << "  " << table.table;
        if (!p.column.empty())
            out << ", column " << p.column << " (" << p.paradoxType << ")";
        out << ": " << ProblemText(p.problem) << ", " << p.rows << (p.rows == 1 ? " row" : " rows") << ", first row "
            << p.firstRow;
        if (!p.option.empty())
            out << "; kept with " << p.option;
        if (p.problem == CheckProblem::Other)
            out << ": " << p.firstReason;
        out << '\n';
    }
    return out.str();
}

} // namespace convert
