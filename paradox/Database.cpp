#include "paradox/Database.h"

#include "paradox/CaseFold.h"
#include "paradox/CodePage.h"
#include "paradox/CommitGuard.h"
#include "paradox/Encoding.h"
#include "paradox/FileIo.h"
#include "paradox/FolderLock.h"
#include "paradox/RowChecksum.h"
#include "paradox/Sql.h"
#include "paradox/Statements.h"
#include "paradox/Table.h"
#include "paradox/Values.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace paradox {

namespace detail {

constexpr std::size_t kMaxTableName = 64;
constexpr std::size_t kMaxColumnName = 25;
constexpr std::array kBlockCodes7{8, 16, 32};
constexpr std::uint32_t kLargestAutoInc = 2147483647;

// Positions in the syntax tree are byte offsets into the statement being executed; an
// error names the 1-based character position there.
thread_local std::string_view executing;

Executing::Executing(std::string_view statement) : previous(executing) { executing = statement; }
Executing::~Executing() { executing = previous; }

std::string errorAt(std::size_t offset, const std::string& what)
{
    return "SQL error at position " + std::to_string(sql::characterPosition(executing, offset)) + ": " + what;
}

[[noreturn]] void sqlError(std::size_t offset, const std::string& what) { throw SqlError(errorAt(offset, what)); }

SqlError valueError(std::size_t offset, const std::string& what, Problem problem, const Header& h, int field)
{
    const Field& f = h.fields[std::size_t(field)];
    return SqlError(errorAt(offset, what), problem, tableText(h, f.name), fieldTypeText(f));
}

[[noreturn]] void sqlError(std::size_t offset, const std::string& what, Problem problem, const Header& h, int field)
{
    throw valueError(offset, what, problem, h, field);
}

std::string tableRef(const sql::Name& n) { return "table \"" + n.text + "\""; }

std::size_t characters(std::string_view utf8) { return sql::characterPosition(utf8, utf8.size()) - 1; }

// A table name becomes a file name, so it must stay a plain name inside the folder.
std::string checkTableName(const sql::Name& n, const CodePage& codePage)
{
    const std::string& t = n.text;
    const std::string what = "the table name \"" + t + "\" ";
    if (t.empty()) sqlError(n.pos, "the table name is empty");
    if (characters(t) > kMaxTableName) sqlError(n.pos, what + "is longer than " + std::to_string(kMaxTableName) + " characters");
    for (std::size_t i = 0; i < t.size(); ++i) {
        const auto c = static_cast<unsigned char>(t[i]);
        if (c < 0x20 || c == 0x7F) sqlError(n.pos, what + "holds a control character");
        if (std::strchr("/\\:*?\"<>|`#[].!$", c))
sqlError(n.textPos + i, what + "holds '" + std::string(1, char(c)) + "', which a table name cannot hold");
    }
    if (t.front() == ' ' || t.back() == ' ') sqlError(n.pos, what + "begins or ends with a blank");
    std::string cp;
    if (auto bad = codePage.fromUtf8(t, cp)) sqlError(n.textPos + *bad, what + "holds a character that " + codePage.name() + " lacks");
    if (isReservedDeviceName(t)) sqlError(n.pos, what + "is a reserved device name");
    return cp;
}

std::string checkColumnName(const sql::Name& n, const std::string& table, const CodePage& codePage)
{
    const std::string what = "table \"" + table + "\": the column name \"" + n.text + "\" ";
    if (n.text.empty()) sqlError(n.pos, "table \"" + table + "\": a column name is empty");
    if (characters(n.text) > kMaxColumnName) sqlError(n.pos, what + "is longer than " + std::to_string(kMaxColumnName) + " characters");
    for (char ch : n.text)
        if (const auto c = static_cast<unsigned char>(ch); c < 0x20 || c == 0x7F) sqlError(n.pos, what + "holds a control character");
    if (n.text.front() == ' ') sqlError(n.pos, what + "begins with a blank");
    std::string cp;
    if (auto bad = codePage.fromUtf8(n.text, cp)) sqlError(n.textPos + *bad, what + "holds a character that " + codePage.name() + " lacks");
    return cp;
}

int findColumn(const Header& h, const sql::Name& n, const std::string& table)
{
    const std::string want = foldCase(n.text);
    for (std::size_t i = 0; i < h.fields.size(); ++i)
        if (foldCase(tableText(h, h.fields[i].name)) == want) return int(i);
    sqlError(n.pos, "table \"" + table + "\" has no column \"" + n.text + "\"");
}

// The header of the table a CREATE TABLE defines; SqlError when the definition cannot be made.
Header definedHeader(const sql::CreateTable& ct, const std::string& cp, const CodePage& codePage)
{
    if (ct.columns.size() > std::size_t(kMaxFields))
        sqlError(ct.columns[kMaxFields].name.pos, tableRef(ct.table) + " would have more than 255 columns");
    Header h;
    h.tableName = cp;
    // The name came checked in the code page of names; a table of another code page holds it in its own.
    if (codePage.number() != h.codePage) {
        setCodePage(h, codePage.number());
        if (auto bad = codePage.fromUtf8(ct.table.text, h.tableName))
            sqlError(ct.table.textPos + *bad, "the table name \"" + ct.table.text + "\" holds a character that " + codePage.name() + " lacks");
    }
    std::set<std::string> seen;
    int recordSize = 0;
    for (const sql::ColumnDef& c : ct.columns) {
        Field f;
        const std::string name = checkColumnName(c.name, ct.table.text, codePage);
        auto made = fieldForType(c);
        if (!made.field) sqlError(c.type.pos, tableRef(ct.table) + ", column \"" + c.name.text + "\": " + made.error);
        f = *made.field;
        f.name = name;
        if (!seen.insert(foldCase(c.name.text)).second)
            sqlError(c.name.pos, tableRef(ct.table) + ": the column \"" + c.name.text + "\" is named twice");
        recordSize += f.bytes();
        h.fields.push_back(f);
    }
    h.recordSize = std::uint16_t(std::min(recordSize, 0xFFFF));
    if (recordSize <= 4 * 1024 - kBlockHeader) {
        h.version = kVersion5;
        h.blockCode = 4;
    } else {
        const auto code = std::find_if(kBlockCodes7.begin(), kBlockCodes7.end(),
                                       [&](int c) { return recordSize <= c * 1024 - kBlockHeader; });
        if (code == kBlockCodes7.end())
            sqlError(ct.table.pos, tableRef(ct.table) + ": a record of " + std::to_string(recordSize) +
                                        " bytes is larger than the largest Paradox block holds (32762 bytes)");
        h.version = kVersion7;
        h.blockCode = std::uint8_t(*code);
    }
    return h;
}

void checkPrimaryIndex(const Header& h, const sql::CreateIndex& ci)
{
    const std::string tn = ci.table.text;
    if (!ci.primary) sqlError(ci.endPos, "table \"" + tn + "\": only a primary index can be created; end the statement with WITH PRIMARY");
    if (h.keyed()) sqlError(ci.index.pos, "table \"" + tn + "\" already has a primary index");
    if (ci.columns.size() > std::size_t(kMaxKeyFields))
        sqlError(ci.columns[kMaxKeyFields].pos, "table \"" + tn + "\": a primary index has at most 16 columns");
    for (std::size_t i = 0; i < ci.columns.size(); ++i) {
        const int col = findColumn(h, ci.columns[i], tn);
        if (col != int(i))
            sqlError(ci.columns[i].pos, "table \"" + tn + "\": the primary index must cover the first columns in order; column " +
                                             std::to_string(i + 1) + " is \"" + tableText(h, h.fields[i].name) + "\", not \"" + ci.columns[i].text + "\"");
        if (h.fields[i].isBlob())
            sqlError(ci.columns[i].pos, "table \"" + tn + "\": the " + std::string(typeName(h.fields[i].type)) + " column \"" +
                                             ci.columns[i].text + "\" cannot be part of an index");
    }
    int keyLen = 0;
    for (std::size_t i = 0; i < ci.columns.size(); ++i) keyLen += h.fields[i].bytes();
    if (keyLen > h.blockSize() / 3)
        sqlError(ci.columns.front().pos, "table \"" + tn + "\": a key of " + std::to_string(keyLen) + " bytes is larger than a third of the " +
                                              std::to_string(h.blockSize()) + "-byte block");
}

void makePrimaryIndex(Table& t, const sql::CreateIndex& ci)
{
    checkPrimaryIndex(t.header(), ci);
    const std::string& tn = ci.table.text;
    const auto made = t.makePrimary(int(ci.columns.size()));
    if (made == Table::Result::Duplicate)
        sqlError(ci.columns.front().pos, "table \"" + tn + "\" holds rows with the same key, so the primary index cannot be created");
    if (made == Table::Result::Full)
        sqlError(ci.columns.front().pos, "table \"" + tn + "\" holds more rows than a primary index can number: a keyed Paradox table holds at most " +
                                              std::to_string(kMaxIndexedBlocks) + " blocks of " + std::to_string(kLargestBlockCode * 1024) + " bytes");
}

// Which literal of the statement each field of the table takes; nullptr where none.
void valuesByField(const Header& h, const sql::Insert& in, FieldValues& byField)
{
    const std::string& tn = in.table.text;
    // Only the table's own fields are cleared: the statement runs for every row.
    std::fill_n(byField.begin(), h.fields.size(), nullptr);
    if (in.columns.empty()) {
        if (in.values.size() != h.fields.size())
            sqlError(in.values.size() > h.fields.size() ? in.values[h.fields.size()].pos : in.valuesPos,
                     "table \"" + tn + "\" has " + std::to_string(h.fields.size()) + " columns, the statement gives " +
                         std::to_string(in.values.size()) + " values");
        for (std::size_t i = 0; i < h.fields.size(); ++i) byField[i] = &in.values[i];
        return;
    }
    if (in.values.size() != in.columns.size())
        sqlError(in.values.size() > in.columns.size() ? in.values[in.columns.size()].pos : in.valuesPos,
                 "table \"" + tn + "\": the statement names " + std::to_string(in.columns.size()) + " columns and gives " +
                     std::to_string(in.values.size()) + " values");
    for (std::size_t k = 0; k < in.columns.size(); ++k) {
        const int col = findColumn(h, in.columns[k], tn);
        if (byField[std::size_t(col)]) sqlError(in.columns[k].pos, "table \"" + tn + "\": the column \"" + in.columns[k].text + "\" is named twice");
        byField[std::size_t(col)] = &in.values[k];
    }
}

std::optional<std::uint32_t> encodeRow(const sql::Insert& in, const Header& h, const CodePage& codePage, const std::vector<int>& offsets,
                                       std::string& record, std::vector<Table::Blob>& blobs, std::string& scratch, std::vector<SqlError>* refusals,
                                       Unmappable* unmappable)
{
    const std::string& tn = in.table.text;
    // Raised at once, or kept with the refusals of the row's other fields.
    const auto refuse = [&](SqlError error) {
        if (!refusals) throw error;
        refusals->push_back(std::move(error));
    };
    FieldValues byField;
    valuesByField(h, in, byField);
    record.assign(h.recordSize, '\0');
    // The blobs' rooms are kept from row to row.
    std::size_t blobCount = 0;
    // The header keeps the last value handed out, as Paradox does.
    std::uint32_t lastAuto = h.autoInc;
    bool autoChanged = false;
    for (std::size_t i = 0; i < h.fields.size(); ++i) {
        const Field& f = h.fields[i];
        auto* out = reinterpret_cast<unsigned char*>(record.data()) + offsets[i];
        const sql::Literal* v = byField[i];
        if (f.type == FieldType::AutoIncrement && (!v || v->kind == sql::Literal::Kind::Null)) {
            if (lastAuto >= kLargestAutoInc) {
                refuse(valueError(in.valuesPos, "table \"" + tn + "\", column \"" + tableText(h, f.name) + "\": the autoincrement values are used up",
                                  Problem::NumberOutOfRange, h, int(i)));
                continue;
            }
            encodeInt(out, 4, ++lastAuto);
            autoChanged = true;
            continue;
        }
        if (!v) continue;
        std::optional<std::string> error;
        Problem problem = Problem::Other;
        const std::uint64_t alteredBefore = unmappable ? unmappable->altered : 0;
        if (f.isBlob()) {
            if (blobCount == blobs.size()) blobs.emplace_back();
            Table::Blob& blob = blobs[blobCount++];
            blob.field = int(i);
            error = blobContents(f, *v, codePage, blob.data, &problem, unmappable);
        } else {
            error = encodeLiteral(f, *v, codePage, out, scratch, &problem, unmappable);
        }
        if (error) {
            refuse(valueError(v->pos, "table \"" + tn + "\", column \"" + tableText(h, f.name) + "\" (" + fieldTypeText(f) + "): " + *error, problem, h,
                              int(i)));
            continue;
        }
        if (unmappable && unmappable->alteredFields && unmappable->altered != alteredBefore) unmappable->alteredFields->push_back(int(i));
        if (f.type == FieldType::AutoIncrement) {
            const auto value = std::uint32_t(decodeInt(out, 4));
            if (value > lastAuto) {
                lastAuto = value;
                autoChanged = true;
            }
        }
    }
    blobs.resize(blobCount);
    return autoChanged ? std::optional(lastAuto) : std::nullopt;
}

std::size_t keyPosition(const sql::Insert& in, const Header& h)
{
    if (in.columns.empty()) return in.values.empty() ? in.valuesPos : in.values.front().pos;
    const std::string first = foldCase(tableText(h, h.fields.front().name));
    for (std::size_t k = 0; k < in.columns.size() && k < in.values.size(); ++k)
        if (foldCase(in.columns[k].text) == first) return in.values[k].pos;
    return in.valuesPos;
}

// The key as it was stored, generated autoincrement values included.
std::string duplicateKeyText(const std::string& table, const Header& h, const std::vector<int>& offsets, const std::string& record)
{
    std::string values, columns;
    const auto* stored = reinterpret_cast<const unsigned char*>(record.data());
    for (int k = 0; k < h.keyFields; ++k) {
        const Field& f = h.fields[std::size_t(k)];
        const unsigned char* bytes = stored + offsets[std::size_t(k)];
        const std::string value = fieldText(h, f, bytes);
        const bool quoted = f.type == FieldType::Alpha || f.type == FieldType::Date || f.type == FieldType::Time || f.type == FieldType::Timestamp;
        values += (k ? ", " : "") + (isBlank(bytes, f.bytes()) ? std::string("NULL") : quoted ? shownText(value) : value);
        columns += (k ? ", \"" : "\"") + tableText(h, f.name) + "\"";
    }
    const bool several = h.keyFields > 1;
    return "table \"" + table + "\": a row with the key " + (several ? "(" + values + ")" : values) + (several ? " in columns " : " in column ") +
           columns + " already exists (duplicate key)";
}

std::string tableFullText(const std::string& table, const Header& h)
{
    return "table \"" + table + "\" is full: a " + (h.keyed() ? "keyed " : "") + "Paradox table holds at most " + std::to_string(h.maxBlocks()) +
           " blocks of " + std::to_string(h.blockSize()) + " bytes";
}

// Removes what is left of a replacement that did not go through; the failure that ended it
// is the one to report.
void discardQuietly(const fs::path& folder, const std::string& stem)
{
    try {
        dropTable(folder, stem);
    } catch (const Error&) {
    }
}

}  // namespace detail

using namespace detail;

Database::Database(fs::path folder) : folder_(std::move(folder)), guard_(std::make_unique<CommitGuard>())
{
    fileio::FolderIdentity identity;
    if (!fileio::identify(folder_, identity)) {
        const int err = errno;
        throw FileError("Cannot open the folder '" + folder_.string() + "': " + std::strerror(err), err);
    }
    folderDevice_ = identity.device;
    folderInode_ = identity.node;
}

void Database::checkFolder() const
{
    fileio::FolderIdentity identity;
    if (!fileio::identify(folder_, identity) || identity != fileio::FolderIdentity{folderDevice_, folderInode_})
        throw FolderError("The folder '" + folder_.string() + "' is gone: it was removed or moved away while its tables were written", ENOENT);
}

// A DROP TABLE still waiting takes effect; a failure here has no statement left to report it.
Database::~Database()
{
    try {
        settle();
    } catch (const Error&) {
    }
}

void Database::lockForWriting()
{
    if (lock_) return;
    lock_ = std::make_unique<FolderLock>(folder_);
    guard_->keepOpen(lock_->descriptor());
}

void Database::forget(std::string_view nameUtf8) { close(open_.find(foldCase(nameUtf8))); }

void Database::close(std::map<std::string, std::unique_ptr<Table>>::iterator table)
{
    if (table == open_.end()) return;
    std::erase_if(byText_, [&](const auto& entry) { return entry.second == table->second.get(); });
    if (lastInsertedInto_ == table->second.get()) lastInsertedInto_ = nullptr;
    openedAt_.erase(table->first);
    open_.erase(table);
}

// A run writes its tables one after the other, and an open table holds its files and their
// mappings: a database of hundreds of tables ran out of file descriptors. The tables closed
// are opened again from their files when a statement names them.
void Database::closeOldestTables()
{
    constexpr std::size_t kTablesKeptOpen = 16;
    while (open_.size() >= kTablesKeptOpen && !openedAt_.empty()) {
        const auto oldest = std::min_element(openedAt_.begin(), openedAt_.end(),
                                             [](const auto& a, const auto& b) { return a.second < b.second; });
        close(open_.find(oldest->first));
    }
}

const fs::path& Database::folder() const { return folder_; }

std::vector<std::string> Database::tableNames()
{
    settle();
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        const std::string name = fileio::nameOf(entry.path().filename());
        if (name.size() > 3 && foldCase(name.substr(name.size() - 3)) == ".db" && entry.is_regular_file(ec))
            names.push_back(name.substr(0, name.size() - 3));
    }
    if (ec) throw FileError("Cannot read the folder '" + folder_.string() + "': " + ec.message(), ec.value());
    std::sort(names.begin(), names.end());
    return names;
}

Table& Database::table(std::string_view nameUtf8)
{
    const Executing name(nameUtf8);
    settle();
    // Read from its files, it ends where its blocks do.
    Table& t = table(sql::Name{std::string(nameUtf8), 0, 0});
    t.cutRoomAhead();
    return t;
}

Table& Database::table(const sql::Name& n)
{
    if (auto it = byText_.find(n.text); it != byText_.end() && it->second->intact()) return *it->second;
    checkTableName(n, codePage_);
    const std::string key = foldCase(n.text);
    if (auto it = open_.find(key); it != open_.end()) {
        if (it->second->intact()) return *it->second;
        // A statement failed halfway through the table; it is read again from its files.
        forget(n.text);
    }
    const std::optional<fs::path> path = dbFile(n.text);
    if (!path) sqlError(n.pos, tableRef(n) + " does not exist");
    closeOldestTables();
    // Only a table that opened is kept: a damaged file fails again, the same way, next time.
    std::unique_ptr<Table> opened = Table::open(*path, guard_.get());
    Table& t = *opened;
    open_.emplace(key, std::move(opened));
    openedAt_[key] = ++openings_;
    byText_.emplace(n.text, &t);
    return t;
}

// A run of a database of thousands of tables looks for one .DB after another: the folder is
// read once for all of them, and a file found or made is taken while it is still there.
std::optional<fs::path> Database::dbFile(std::string_view nameUtf8)
{
    const std::string key = foldCase(nameUtf8);
    if (const auto known = dbFiles_.find(key); known != dbFiles_.end() && hasEntry(known->second)) return known->second;
    dbFiles_ = findTableFiles(folder_);
    if (const auto found = dbFiles_.find(key); found != dbFiles_.end()) return found->second;
    return std::nullopt;
}

void Database::settle()
{
    if (!replacing_) return;
    const Replacement replacement = std::move(*replacing_);
    replacing_.reset();
    if (replacement.newStem.empty())
        dropTable(folder_, replacement.name);
    else
        replaceTable(folder_, replacement.name, replacement.newStem, guard_.get());
}

TextOptions TextOptions::checked() const
{
    auto check = [](std::uint16_t number) {
        if (!sortOrderFor(number)) throw Error("The engine writes no tables in code page " + std::to_string(number));
    };
    check(codePage);
    TextOptions folded = *this;
    folded.tables.clear();
    for (const auto& [name, number] : tables) {
        check(number);
        folded.tables[foldCase(name)] = number;
    }
    return folded;
}

std::uint16_t TextOptions::codePageOf(std::string_view tableUtf8) const
{
    const auto own = tables.find(foldCase(tableUtf8));
    return own == tables.end() ? codePage : own->second;
}

void Database::setTextOptions(TextOptions options) { text_ = options.checked(); }

void Database::createTable(const sql::CreateTable& ct, const std::string& cp)
{
    const CodePage codePage = CodePage::numbered(text_.codePageOf(ct.table.text));
    if (!replacing_ || !replacing_->newStem.empty() || replacing_->folded != foldCase(ct.table.text)) {
        settle();
        const MainFiles existing = findMainFiles(folder_, ct.table.text);
        if (existing.db) sqlError(ct.table.pos, tableRef(ct.table) + " already exists");
        const Header h = definedHeader(ct, cp, codePage);
        forget(ct.table.text);
        Table::create(folder_, ct.table.text, h, &existing);
        dbFiles_[foldCase(ct.table.text)] = folder_ / fileio::pathOf(ct.table.text + ".DB");
        return;
    }
    // A name no table can have, as it holds a period. Whatever fails from here on leaves the
    // table being replaced as it was.
    const std::string newStem = "~" + ct.table.text + ".new";
    try {
        Table::create(folder_, newStem, definedHeader(ct, cp, codePage));
    } catch (...) {
        replacing_.reset();
        discardQuietly(folder_, newStem);
        throw;
    }
    replacing_->name = ct.table.text;
    replacing_->newStem = newStem;
}

// Some failures are the folder's, not the statement's: they would meet every statement
// after it, and are raised as FolderError, naming the folder and the cause.
void Database::execute(std::string_view statementUtf8) { execute(statementUtf8, nullptr); }

void Database::execute(std::string_view statementUtf8, const sql::Insert& parsed) { execute(statementUtf8, &parsed); }

void Database::execute(std::string_view statementUtf8, const sql::Insert* parsed)
{
    lastInsertedInto_ = nullptr;
    try {
        run(statementUtf8, parsed);
    } catch (const FolderError&) {
        throw;
    } catch (const FileError& e) {
        checkFolder();
        const int code = e.code();
        if (fileio::noRoom(code))
            throw FolderError("The folder '" + folder_.string() + "' has no room for more data (" + e.what() + ")", code);
        if ((code == EACCES || code == EPERM || code == EROFS) && !fileio::writable(folder_))
            throw FolderError("The folder '" + folder_.string() + "' can no longer be written (" + e.what() + ")", code);
        throw;
    }
}

void Database::run(std::string_view statementUtf8, const sql::Insert* parsed)
{
    const Executing statement(statementUtf8);
    if (!parsed) sql::parse(statementUtf8, parsed_);
    if (!lock_) lockForWriting();
    const bool inserting = parsed || std::holds_alternative<sql::Insert>(parsed_);
    // Only a run of INSERTs keeps the room their tables took ahead.
    if (!inserting)
        for (auto& [name, t] : open_)
            t->cutRoomAhead();
    lookAtFolder(inserting);
    if (parsed)
        perform(*parsed);
    else
        std::visit([this](const auto& st) { perform(st); }, parsed_);
}

// Tables open for writing go on taking rows after their folder was removed, into files
// nobody can reach; so the folder is looked at before every other statement and every
// so many inserts.
void Database::lookAtFolder(bool inserting)
{
    constexpr std::uint32_t kInsertsBetweenChecks = 1024;
    if (!inserting || ++insertsUnchecked_ == kInsertsBetweenChecks) {
        insertsUnchecked_ = 0;
        checkFolder();
    }
}

void Database::perform(const sql::DropTable& drop)
{
    checkTableName(drop.table, codePage_);
    settle();
    forget(drop.table.text);
    if (!dbFile(drop.table.text)) sqlError(drop.table.pos, tableRef(drop.table) + " does not exist");
    replacing_ = Replacement{drop.table.text, foldCase(drop.table.text), {}};
}

void Database::perform(const sql::CreateTable& create) { createTable(create, checkTableName(create.table, codePage_)); }

void Database::perform(const sql::CreateIndex& ci)
{
    checkTableName(ci.table, codePage_);
    if (!replacing_ || replacing_->newStem.empty() || replacing_->folded != foldCase(ci.table.text)) {
        settle();
        makePrimaryIndex(table(ci.table), ci);
        return;
    }
    const Replacement replacement = std::move(*replacing_);
    replacing_.reset();
    try {
        makePrimaryIndex(*Table::open(folder_ / fileio::pathOf(replacement.newStem + ".DB"), guard_.get()), ci);
        replaceTable(folder_, replacement.name, replacement.newStem, guard_.get());
    } catch (...) {
        discardQuietly(folder_, replacement.newStem);
        throw;
    }
}

void Database::perform(const sql::Insert& in)
{
    settle();
    insert(in);
}

void Database::insert(const sql::Insert& in)
{
    Table& t = table(in.table);
    const Header& h = t.header();
    Unmappable unmappable{text_.replaceUnmappable, 0};
    const std::optional<std::uint32_t> lastAutoInc = encodeRow(in, h, t.codePage(), t.fieldOffsets(), record_, blobs_, scratch_, nullptr, &unmappable);
    const auto result = t.append(record_, blobs_, lastAutoInc);
    if (result == Table::Result::Duplicate)
        sqlError(keyPosition(in, h), duplicateKeyText(in.table.text, h, t.fieldOffsets(), record_), Problem::DuplicateKey, h, 0);
    if (result == Table::Result::Full) throw SqlError(errorAt(in.valuesPos, tableFullText(in.table.text, h)), Problem::TableFull, {}, {});
    alteredValues_ += unmappable.altered;
    lastInsertedInto_ = &t;
}

std::optional<std::uint64_t> Database::lastRowChecksum() const
{
    if (!lastInsertedInto_) return std::nullopt;
    return rowChecksum(*lastInsertedInto_, reinterpret_cast<const unsigned char*>(record_.data()), blobs_);
}

}  // namespace paradox
