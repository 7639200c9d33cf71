#include "db/EngineBackend.h"

#include "db/OdbcConnectionString.h"
#include "paradox/CaseFold.h"
#include "paradox/Database.h"
#include "paradox/FileIo.h"
#include "paradox/RowChecksum.h"
#include "paradox/Table.h"

#include <utility>
#include <vector>

namespace db {

namespace {

// Rows held in memory: the table list of a folder is short.
class ListCursor final : public Cursor {
public:
    ListCursor(std::vector<Field> columns, std::vector<std::vector<Value>> rows)
        : columns_(std::move(columns)), rows_(std::move(rows))
    {
    }

    std::vector<Field> describe() override { return columns_; }

    bool next(std::vector<Field>& fields) override
    {
        if (next_ >= rows_.size())
            return false;
        for (std::size_t i = 0; i < fields.size(); ++i)
            fields[i].value = rows_[next_][i];
        ++next_;
        return true;
    }

    std::int64_t recordCount() override { return static_cast<std::int64_t>(rows_.size()); }

private:
    std::vector<Field> columns_;
    std::vector<std::vector<Value>> rows_;
    std::size_t next_ = 0;
};

template <class F>
auto translated(F&& f)
{
    try {
        return f();
    } catch (const paradox::FolderError& e) {
        throw LastingError(e.what());
    } catch (const paradox::FolderInUseError& e) {
        throw LastingError(e.what());
    } catch (const paradox::Error& e) {
        throw Error(e.what());
    }
}

class EngineBackend final : public Backend {
public:
    EngineBackend(const std::filesystem::path& folder, const ParadoxText& text)
        : database_(translated([&] {
              // The connection is there to write: a second writer of the folder is refused
              // here, before it changes anything.
              auto database = std::make_unique<paradox::Database>(folder);
              database->setTextOptions(engineTextOptions(text));
              database->lockForWriting();
              return database;
          }))
    {
    }

    std::int64_t alteredValues() const override { return static_cast<std::int64_t>(database_->alteredValues()); }

    void execute(const std::string& statement) override
    {
        translated([&] { database_->execute(statement); });
    }

    void executeInsert(const std::string& statement, const paradox::sql::Insert& parsed) override
    {
        translated([&] { database_->execute(statement, parsed); });
    }

    std::unique_ptr<Cursor> tables() override
    {
        std::vector<Field> columns;
        for (const char* name : {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"})
            columns.push_back(Field{name, adVarWChar, Null{}, 255, 0, 0});
        std::vector<std::vector<Value>> rows;
        const std::string catalog = database_->folder().string();
        for (const std::string& name : translated([&] { return database_->tableNames(); }))
            rows.push_back({catalog, Null{}, name, std::string("TABLE")});
        return std::make_unique<ListCursor>(std::move(columns), std::move(rows));
    }

    std::unique_ptr<Cursor> query(const std::string& source) override
    {
        throw Error("The Paradox connection runs statements only and returns no rows: " + source);
    }

    std::optional<std::uint64_t> lastRowChecksum() override { return database_->lastRowChecksum(); }

    // From the table's files, opened anew: what another program or the disk did to them since
    // they were written shows.
    bool readBack(const std::string& table, const StoredRow& row) override
    {
        translated([&] { paradox::readRowChecksums(database_->table(table).path(), row); });
        return true;
    }

private:
    std::unique_ptr<paradox::Database> database_;
};

} // namespace

bool isParadoxDriver(const std::string& driverName) { return equalsIgnoringCase(driverName, kParadoxDriverName); }

std::filesystem::path paradoxFolder(const std::string& connectionString)
{
    const std::vector<ConnectionAttribute> attributes = parseConnectionString(connectionString);
    std::optional<std::string> folder = attributeValue(attributes, "Dbq");
    if (!folder || folder->empty())
        folder = attributeValue(attributes, "DefaultDir");
    if (!folder || folder->empty())
        throw Error("The Paradox connection string names no folder (Dbq= or DefaultDir=).");
    if (folder->size() > 1 && folder->back() == '\\')
        folder->pop_back();
    return paradox::fileio::pathOf(*folder);
}

paradox::TextOptions engineTextOptions(const ParadoxText& text)
{
    paradox::TextOptions options;
    if (text.codePage != 0)
        options.codePage = static_cast<std::uint16_t>(text.codePage);
    // Folded here, so that of two spellings of one table the later one wins.
    for (const auto& [table, codePage] : text.tableCodePages)
        options.tables[paradox::foldCase(table)] = static_cast<std::uint16_t>(codePage);
    options.replaceUnmappable = text.replaceUnmappable;
    return options;
}

std::unique_ptr<Backend> openEngineBackend(const std::string& connectionString, const ParadoxText& text)
{
    return std::make_unique<EngineBackend>(paradoxFolder(connectionString), text);
}

} // namespace db
