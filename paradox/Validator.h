// Checks statements as Database::execute would run them, with nothing written and no lock
// taken: the folder's tables are read, and what the statements would make of them is kept in
// memory (the definitions of tables created or replaced, the keys and the number of rows
// inserted). A statement is refused with the same SqlError, from the same code, as by a real
// run that executes the same statements in the same order.
#pragma once

#include "paradox/CodePage.h"
#include "paradox/Database.h"
#include "paradox/Format.h"
#include "paradox/Table.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace paradox {

class Validator {
public:
    // The folder need not exist: it then holds no table.
    explicit Validator(std::filesystem::path folder);
    ~Validator();
    Validator(const Validator&) = delete;
    Validator& operator=(const Validator&) = delete;

    // One statement in UTF-8; it counts as done unless it throws SqlError. A row refused for
    // a value puts the refusals of its other fields' values in `otherValues` when given.
    void validate(std::string_view statementUtf8, std::vector<SqlError>* otherValues = nullptr);
    // The same for an INSERT handed over parsed as well, as Database::execute takes it.
    void validate(std::string_view statementUtf8, const sql::Insert& parsed, std::vector<SqlError>* otherValues = nullptr);
    // As Database::setTextOptions: the code pages of the tables created from here on, and
    // whether a character a code page lacks is written as '?'.
    void setTextOptions(TextOptions options);
    const TextOptions& textOptions() const { return text_; }

    // A value of the row the last statement inserted that would be written with '?' for a
    // character its table's code page lacks: its column and type as a refusal names them.
    struct AlteredValue {
        std::string column;
        std::string columnType;
    };
    const std::vector<AlteredValue>& alteredValues() const { return altered_; }
    // The type of a column of a table the statements made or the folder holds, as a refusal
    // names it ("Alpha 255"); empty when there is no such table or column.
    std::string columnType(const std::string& tableUtf8, const std::string& columnUtf8);

private:
    // The keys of a keyed table: those that came in rising order in one packed run of
    // fixed-length keys (a few bytes a row), the others in a set.
    class Keys {
    public:
        explicit Keys(std::size_t length) : length_(length) {}
        bool contains(std::string_view key) const;
        void add(std::string_view key);

    private:
        std::size_t length_;
        std::string rising_;
        std::set<std::string, std::less<>> others_;
    };

    struct Model {
        Header header;
        CodePage codePage = CodePage::of(header);
        std::vector<int> offsets;
        std::uint64_t rows = 0;
        std::optional<Keys> keys;
        std::uint64_t capacity = 0;  // the rows it can hold
        bool onDisk = false;  // read from the folder, no row inserted since
    };
    // A DROP TABLE waiting for the statement after it, as in Database.
    struct Replacement {
        std::string folded;
        std::optional<Model> next;  // the replacing table, once its CREATE TABLE went through
    };

    // `parsed` null: the text is parsed here.
    void validate(std::string_view statementUtf8, const sql::Insert* parsed, std::vector<SqlError>* otherValues);
    Model& table(const sql::Name& name);
    bool exists(const std::string& nameUtf8);
    void settle();
    void createTable(const sql::CreateTable& statement, const std::string& nameInCodePage);
    void createIndex(const sql::CreateIndex& statement);
    void insert(const sql::Insert& statement, std::vector<SqlError>* otherValues);
    static Model modelOf(const Header& header);
    void makeKeyed(Model& model, const sql::CreateIndex& statement);

    std::filesystem::path folder_;
    std::unique_ptr<Database> reader_;             // the folder's own tables, read once each
    std::map<std::string, Model> tables_;          // by case-folded name: every table met so far
    std::set<std::string> gone_;                   // folded names of the folder's tables dropped
    std::optional<Replacement> replacing_;
    sql::Statement parsed_;
    CodePage codePage_ = CodePage::of(Header{});  // of the names it checks, as in Database
    TextOptions text_;
    std::vector<int> alteredFields_;
    std::vector<AlteredValue> altered_;
    // The table the last INSERT went into, by its name as written there, so that a run of rows
    // into one table looks it up once; any other statement forgets it.
    Model* inserting_ = nullptr;
    std::string insertingName_;
    std::string record_, scratch_;
    std::vector<Table::Blob> blobs_;
    std::vector<SqlError> refusals_;
};

}  // namespace paradox
