#include "paradox/Validator.h"

#include "paradox/CaseFold.h"
#include "paradox/CodePage.h"
#include "paradox/Statements.h"
#include "paradox/Values.h"
#include "paradox/Table.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace paradox {

using namespace detail;

namespace {

// The rows a table of this definition can hold: its blocks, raised to the largest when they
// run out as Table does, filled whole.
std::uint64_t capacity(Header h)
{
    h.blockCode = kLargestBlockCode;
    return std::uint64_t(h.maxBlocks()) * std::uint64_t(h.recordsPerBlock());
}

[[noreturn]] void refused(std::size_t offset, const std::string& what) { throw SqlError(errorAt(offset, what)); }

}  // namespace

bool Validator::Keys::contains(std::string_view key) const
{
    const std::size_t count = rising_.size() / length_;
    if (count > 0 && key.compare(std::string_view(rising_).substr(rising_.size() - length_)) > 0) return false;
    // The packed run is sorted: a binary search over its fixed-length entries.
    std::size_t low = 0, high = count;
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        const int order = std::string_view(rising_).substr(middle * length_, length_).compare(key);
        if (order == 0) return true;
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return others_.contains(key);
}

void Validator::Keys::add(std::string_view key)
{
    // A key above every packed one is above every other one too: those were each below a packed one.
    if (rising_.empty() || key.compare(std::string_view(rising_).substr(rising_.size() - length_)) > 0)
        rising_.append(key);
    else
        others_.emplace(key);
}

Validator::Validator(fs::path folder) : folder_(std::move(folder)) {}

Validator::~Validator() = default;

Validator::Model Validator::modelOf(const Header& header)
{
    Model m;
    m.header = header;
    m.codePage = CodePage::of(header);
    for (int off = 0; const Field& f : header.fields) {
        m.offsets.push_back(off);
        off += f.bytes();
    }
    if (header.keyed()) m.keys.emplace(std::size_t(header.keyLength()));
    m.capacity = capacity(header);
    return m;
}

bool Validator::exists(const std::string& nameUtf8)
{
    const std::string folded = foldCase(nameUtf8);
    if (tables_.contains(folded)) return true;
    if (gone_.contains(folded)) return false;
    std::error_code ec;
    return fs::is_directory(folder_, ec) && findFamilyFile(folder_, nameUtf8, ".DB");
}

Validator::Model& Validator::table(const sql::Name& name)
{
    checkTableName(name, codePage_);
    const std::string folded = foldCase(name.text);
    if (auto it = tables_.find(folded); it != tables_.end()) return it->second;
    if (!exists(name.text)) refused(name.pos, "table \"" + name.text + "\" does not exist");
    if (!reader_) reader_ = std::make_unique<Database>(folder_);
    const Table& onDisk = reader_->table(name.text);
    Model m = modelOf(onDisk.header());
    m.rows = onDisk.recordCount();
    m.onDisk = true;
    if (m.keys) {
        const auto keyLength = std::size_t(onDisk.header().keyLength());
        onDisk.forEach([&](const unsigned char* r) { m.keys->add(std::string_view(reinterpret_cast<const char*>(r), keyLength)); });
    }
    return tables_.emplace(folded, std::move(m)).first->second;
}

void Validator::settle()
{
    if (!replacing_) return;
    Replacement replacement = std::move(*replacing_);
    replacing_.reset();
    if (replacement.next) {
        tables_.insert_or_assign(replacement.folded, std::move(*replacement.next));
    } else {
        tables_.erase(replacement.folded);
        gone_.insert(replacement.folded);
    }
}

void Validator::setTextOptions(TextOptions options) { text_ = options.checked(); }

void Validator::createTable(const sql::CreateTable& ct, const std::string& nameInCodePage)
{
    const std::string folded = foldCase(ct.table.text);
    const CodePage codePage = CodePage::numbered(text_.codePageOf(ct.table.text));
    if (!replacing_ || replacing_->next || replacing_->folded != folded) {
        settle();
        if (exists(ct.table.text)) refused(ct.table.pos, "table \"" + ct.table.text + "\" already exists");
        Model m = modelOf(definedHeader(ct, nameInCodePage, codePage));
        gone_.erase(folded);
        tables_.insert_or_assign(folded, std::move(m));
        return;
    }
    // A failed definition leaves the table being replaced as it was.
    try {
        replacing_->next = modelOf(definedHeader(ct, nameInCodePage, codePage));
    } catch (...) {
        replacing_.reset();
        throw;
    }
}

// Makes the table keyed as Table::makePrimary does. Rows inserted since the table was read
// are not kept, only counted: the keys are checked for the rows the folder's file holds.
void Validator::makeKeyed(Model& m, const sql::CreateIndex& ci)
{
    checkPrimaryIndex(m.header, ci);
    Header keyed = m.header;
    keyed.fileType = kKeyedDb;
    keyed.keyFields = std::uint16_t(ci.columns.size());
    Keys keys(std::size_t(keyed.keyLength()));
    if (m.onDisk && m.rows > 0) {
        std::vector<std::string> found;
        const auto keyLength = std::size_t(keyed.keyLength());
        reader_->table(ci.table.text).forEach([&](const unsigned char* r) { found.emplace_back(reinterpret_cast<const char*>(r), keyLength); });
        std::sort(found.begin(), found.end());
        if (std::adjacent_find(found.begin(), found.end()) != found.end())
            refused(ci.columns.front().pos, "table \"" + ci.table.text + "\" holds rows with the same key, so the primary index cannot be created");
        for (const std::string& key : found) keys.add(key);
    }
    const std::uint64_t keyedCapacity = capacity(keyed);
    if (m.rows > keyedCapacity)
        refused(ci.columns.front().pos, "table \"" + ci.table.text + "\" holds more rows than a primary index can number: a keyed Paradox table holds at most " +
                                            std::to_string(kMaxIndexedBlocks) + " blocks of " + std::to_string(kLargestBlockCode * 1024) + " bytes");
    m.header = keyed;
    m.capacity = keyedCapacity;
    m.keys.emplace(std::move(keys));
}

void Validator::createIndex(const sql::CreateIndex& ci)
{
    if (!replacing_ || !replacing_->next || replacing_->folded != foldCase(ci.table.text)) {
        settle();
        makeKeyed(table(ci.table), ci);
        return;
    }
    // Whatever fails from here on leaves the table being replaced as it was.
    Replacement replacement = std::move(*replacing_);
    replacing_.reset();
    makeKeyed(*replacement.next, ci);
    tables_.insert_or_assign(replacement.folded, std::move(*replacement.next));
}

void Validator::insert(const sql::Insert& in, std::vector<SqlError>* otherValues)
{
    settle();
    if (!inserting_ || in.table.text != insertingName_) {
        inserting_ = &table(in.table);
        insertingName_ = in.table.text;
    }
    Model& m = *inserting_;
    refusals_.clear();
    alteredFields_.clear();
    Unmappable unmappable{text_.replaceUnmappable, 0, &alteredFields_};
    const std::optional<std::uint32_t> lastAuto = encodeRow(in, m.header, m.codePage, m.offsets, record_, blobs_, scratch_, &refusals_, &unmappable);
    if (!refusals_.empty()) {
        // The first is the one executing the row meets.
        if (otherValues) otherValues->assign(refusals_.begin() + 1, refusals_.end());
        throw refusals_.front();
    }
    std::string_view key;
    if (m.keys) {
        key = std::string_view(record_).substr(0, std::size_t(m.header.keyLength()));
        if (m.keys->contains(key))
            throw SqlError(errorAt(keyPosition(in, m.header), duplicateKeyText(in.table.text, m.header, m.offsets, record_)), Problem::DuplicateKey,
                           tableText(m.header, m.header.fields.front().name), fieldTypeText(m.header.fields.front()));
    }
    if (m.rows >= m.capacity)
        throw SqlError(errorAt(in.valuesPos, tableFullText(in.table.text, m.header)), Problem::TableFull, {}, {});
    if (m.keys) m.keys->add(key);
    for (const int field : alteredFields_) {
        const Field& f = m.header.fields[std::size_t(field)];
        altered_.push_back({tableText(m.header, f.name), fieldTypeText(f)});
    }
    ++m.rows;
    m.onDisk = false;
    if (lastAuto) m.header.autoInc = *lastAuto;
}

void Validator::validate(std::string_view statementUtf8, std::vector<SqlError>* otherValues)
{
    validate(statementUtf8, nullptr, otherValues);
}

void Validator::validate(std::string_view statementUtf8, const sql::Insert& parsed, std::vector<SqlError>* otherValues)
{
    validate(statementUtf8, &parsed, otherValues);
}

void Validator::validate(std::string_view statementUtf8, const sql::Insert* parsed, std::vector<SqlError>* otherValues)
{
    if (otherValues) otherValues->clear();
    altered_.clear();
    const Executing statement(statementUtf8);
    if (parsed) {
        insert(*parsed, otherValues);
        return;
    }
    sql::parse(statementUtf8, parsed_);
    if (!std::holds_alternative<sql::Insert>(parsed_)) inserting_ = nullptr;
    if (const auto* drop = std::get_if<sql::DropTable>(&parsed_)) {
        checkTableName(drop->table, codePage_);
        settle();
        if (!exists(drop->table.text)) refused(drop->table.pos, "table \"" + drop->table.text + "\" does not exist");
        replacing_ = Replacement{foldCase(drop->table.text), std::nullopt};
    } else if (const auto* ct = std::get_if<sql::CreateTable>(&parsed_)) {
        createTable(*ct, checkTableName(ct->table, codePage_));
    } else if (const auto* ci = std::get_if<sql::CreateIndex>(&parsed_)) {
        checkTableName(ci->table, codePage_);
        createIndex(*ci);
    } else {
        insert(std::get<sql::Insert>(parsed_), otherValues);
    }
}

std::string Validator::columnType(const std::string& tableUtf8, const std::string& columnUtf8)
{
    const auto it = tables_.find(foldCase(tableUtf8));
    if (it == tables_.end()) return {};
    const Header& h = it->second.header;
    for (const Field& f : h.fields)
        if (foldCase(tableText(h, f.name)) == foldCase(columnUtf8)) return fieldTypeText(f);
    return {};
}

}  // namespace paradox
