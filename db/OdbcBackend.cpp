#include "db/OdbcBackend.h"

#include "db/OdbcConnectionString.h"
#include "db/OdbcHandles.h"
#include "db/OdbcText.h"
#include "db/OdbcTypes.h"
#include "db/ReadAhead.h"
#include "db/TlsLogin.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <regex>
#include <vector>

namespace db {

namespace {

using odbc::check;

bool containsIgnoringCase(std::string_view text, std::string_view part)
{
    return !std::ranges::search(text, part, [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }).empty();
}

// The server part "host", "host,port" or "host\instance" with "(local)" or "." as the host
// naming this machine, as the Windows driver reads them.
std::string withLocalHost(const std::string& server)
{
    const std::size_t end = std::min(server.find_first_of(",\\"), server.size());
    const std::string host = server.substr(0, end);
    if (equalsIgnoringCase(host, "(local)") || host == ".")
        return "127.0.0.1" + server.substr(end);
    return server;
}

SQLWCHAR* wide(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

std::optional<std::string> registeredDriverLibrary(const odbc::EnvironmentHandle& env, std::string_view name)
{
    std::array<SQLWCHAR, 512> description{};
    std::array<SQLWCHAR, 4096> attributes{};
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLSMALLINT descriptionLength = 0;
        SQLSMALLINT attributesLength = 0;
        SQLRETURN rc = SQLDriversW(env.get(), direction, description.data(), static_cast<SQLSMALLINT>(description.size()),
                                   &descriptionLength, attributes.data(), static_cast<SQLSMALLINT>(attributes.size()),
                                   &attributesLength);
        if (!SQL_SUCCEEDED(rc))
            return std::nullopt;
        direction = SQL_FETCH_NEXT;
        const std::string driver = utf16ToUtf8(reinterpret_cast<const char16_t*>(description.data()));
        if (!equalsIgnoringCase(driver, name))
            continue;
        // Attributes are "key=value" texts, each ended by a NUL, the list by a second NUL.
        std::string library;
        for (const SQLWCHAR* p = attributes.data(); *p != 0;) {
            const std::string pair = utf16ToUtf8(reinterpret_cast<const char16_t*>(p));
            if (pair.size() > 7 && equalsIgnoringCase(std::string_view(pair).substr(0, 7), "Driver="))
                library = pair.substr(7);
            while (*p != 0)
                ++p;
            ++p;
        }
        return library.empty() ? driver : library;
    }
}

// The driver writes the year 1 as "1-01-01"; SQL Server's text form has four digits.
void padYear(Value& value)
{
    auto* text = std::get_if<std::string>(&value);
    if (!text)
        return;
    const std::size_t dash = text->find('-');
    if (dash != std::string::npos && dash > 0 && dash < 4)
        text->insert(0, 4 - dash, '0');
}

// Whether the driver the prepared attributes name is FreeTDS's.
bool drivenByFreeTds(const std::vector<ConnectionAttribute>& attributes, const DriverCatalog& catalog)
{
    const std::optional<std::string> driver = attributeValue(attributes, "Driver");
    if (!driver)
        return false;
    const std::optional<std::string> library = catalog.registeredLibrary ? catalog.registeredLibrary(*driver)
                                                                         : std::nullopt;
    return containsIgnoringCase(library.value_or(*driver), "tdsodbc");
}

// One result set: its columns and a statement positioned on its rows.
class OdbcCursor;

class OdbcBackend final : public Backend {
public:
    OdbcBackend(const std::string& connectionString, const Connection& settings)
        : env_(odbc::allocateEnvironment()), dbc_(odbc::allocateConnection(env_)),
          queryTimeout_(settings.CommandTimeout)
    {
        const SQLULEN loginTimeout = static_cast<SQLULEN>(std::max(0, settings.ConnectionTimeout));
        check(SQLSetConnectAttrW(dbc_.get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(loginTimeout), 0),
              dbc_, "SQLSetConnectAttr");
        DriverCatalog catalog{[this](std::string_view name) { return registeredDriverLibrary(env_, name); },
                              findFreeTdsLibrary(), defaultSqlServerPort(), defaultTdsVersion(), kFreeTdsPacketSize};
        const std::string prepared = prepareConnectionString(connectionString, catalog);
        const std::vector<ConnectionAttribute> attributes = parseConnectionString(prepared);
        std::array<SQLWCHAR, 1024> completed{};
        SQLSMALLINT completedLength = 0;
        SQLRETURN rc = SQL_ERROR;
        {
            std::vector<ConnectionAttribute> viaConfig = attributes;
            const CertificateAuthorityConfig caConfig(viaConfig, drivenByFreeTds(viaConfig, catalog));
            std::u16string text = utf8ToUtf16(caConfig.active() ? freeTdsConnectionString(viaConfig) : prepared);
            rc = SQLDriverConnectW(dbc_.get(), nullptr, wide(text), static_cast<SQLSMALLINT>(text.size()),
                                   completed.data(), static_cast<SQLSMALLINT>(completed.size()), &completedLength,
                                   SQL_DRIVER_NOPROMPT);
        }
        // 42000 is the server refusing the login itself, which it can only do after the handshake.
        if (!SQL_SUCCEEDED(rc) && !odbc::hasState(SQL_HANDLE_DBC, dbc_.get(), "42000"))
            if (const std::optional<std::string> reason = encryptedLoginFailure(attributes))
                throw Error(*reason);
        check(rc, dbc_, "SQLDriverConnect");
    }

    ~OdbcBackend() override;

    void execute(const std::string& statement) override
    {
        odbc::StatementHandle stmt = newStatement();
        std::u16string text = utf8ToUtf16(statement);
        SQLRETURN rc = SQLExecDirectW(stmt.get(), wide(text), static_cast<SQLINTEGER>(text.size()));
        // Later results of a batch may carry its errors, so every one is walked through.
        while (rc != SQL_NO_DATA) {
            check(rc, stmt, "SQLExecDirect");
            rc = SQLMoreResults(stmt.get());
        }
    }

    std::unique_ptr<Cursor> tables() override;
    std::unique_ptr<Cursor> query(const std::string& source) override;

    odbc::StatementHandle newStatement()
    {
        odbc::StatementHandle stmt = odbc::allocateStatement(dbc_);
        const SQLULEN timeout = static_cast<SQLULEN>(std::max(0, queryTimeout_));
        SQLRETURN rc = SQLSetStmtAttrW(stmt.get(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout), 0);
        // A driver that cannot honour the timeout exactly substitutes its own value (01S02).
        check(rc, stmt, "SQLSetStmtAttr");
        return stmt;
    }

    // Whether SQLGetData may read a column that comes before a bound one.
    bool getDataAnyColumn()
    {
        if (!getDataExtensions_) {
            SQLUINTEGER extensions = 0;
            const SQLRETURN rc = SQLGetInfoW(dbc_.get(), SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr);
            getDataExtensions_ = SQL_SUCCEEDED(rc) ? extensions : 0;
        }
        return (*getDataExtensions_ & SQL_GD_ANY_COLUMN) != 0;
    }

    // As check(), but a failure on a connection that broke (the server went away) is raised
    // as LastingError: every later call would meet it too.
    void checkConnected(SQLRETURN rc, const odbc::StatementHandle& stmt, const char* call)
    {
        if (SQL_SUCCEEDED(rc))
            return;
        const std::string text = odbc::diagnostics(SQL_HANDLE_STMT, stmt.get());
        SQLUINTEGER dead = SQL_CD_FALSE;
        if (SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_.get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) && dead == SQL_CD_TRUE)
            throw LastingError(text.empty() ? std::string(call) + ": the connection to the server broke." : text);
        check(rc, stmt, call);
    }

    void attach(OdbcCursor* cursor) { cursors_.push_back(cursor); }
    void detach(OdbcCursor* cursor) { std::erase(cursors_, cursor); }

private:
    std::int64_t countRows(const std::string& table);

    odbc::EnvironmentHandle env_;
    odbc::ConnectionHandle dbc_;
    int queryTimeout_;
    std::optional<SQLUINTEGER> getDataExtensions_;
    // Open results, released before the connection goes so the driver sees them end first.
    std::vector<OdbcCursor*> cursors_;
};

struct Column {
    std::string name;
    int sqlType = 0;
    odbc::ColumnType type;
    std::int64_t size;
    int digits;
};

class OdbcCursor final : public Cursor {
public:
    OdbcCursor(OdbcBackend& owner, odbc::StatementHandle stmt, std::int64_t rows,
               std::vector<std::string> renamed = {}, std::string table = {})
        : owner_(&owner), stmt_(std::move(stmt)), rows_(rows), table_(std::move(table))
    {
        SQLSMALLINT count = 0;
        check(SQLNumResultCols(stmt_.get(), &count), stmt_, "SQLNumResultCols");
        for (SQLUSMALLINT i = 1; i <= count; ++i) {
            std::array<SQLWCHAR, 256> name{};
            SQLSMALLINT nameLength = 0;
            SQLSMALLINT sqlType = 0;
            SQLULEN size = 0;
            SQLSMALLINT digits = 0;
            SQLSMALLINT nullable = 0;
            check(SQLDescribeColW(stmt_.get(), i, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLength,
                                  &sqlType, &size, &digits, &nullable),
                  stmt_, "SQLDescribeCol");
            SQLLEN isUnsigned = SQL_FALSE;
            check(SQLColAttributeW(stmt_.get(), i, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned), stmt_,
                  "SQLColAttribute");
            Column column;
            column.name = i <= renamed.size() ? renamed[i - 1]
                                              : utf16ToUtf8(reinterpret_cast<const char16_t*>(name.data()));
            column.type = odbc::mapColumnType(sqlType, static_cast<std::int64_t>(size), isUnsigned == SQL_TRUE);
            column.sqlType = sqlType;
            column.size = static_cast<std::int64_t>(size);
            column.digits = digits;
            columns_.push_back(std::move(column));
        }
        if (!renamed.empty() && renamed.size() < columns_.size())
            columns_.resize(renamed.size());
        bindColumns();
        owner_->attach(this);
    }

    ~OdbcCursor() override
    {
        readAhead_.reset();
        if (owner_)
            owner_->detach(this);
    }

    // The connection is going: the rows end here, once a reading thread has let go of them.
    void release() noexcept
    {
        readAhead_.reset();
        stmt_.reset();
        owner_ = nullptr;
    }

    std::vector<Field> describe() override
    {
        std::vector<Field> fields;
        for (const Column& c : columns_) {
            Field f;
            f.name = c.name;
            f.Type = c.type.adoType;
            f.definedSize = c.size;
            if (!odbc::isKnownSqlType(c.sqlType))
                f.notice = "Column \"" + c.name + "\"" + (table_.empty() ? std::string() : " of " + table_) +
                           " has the SQL type " + std::to_string(c.sqlType) +
                           ", which this program does not know; its values are read as binary.";
            if (c.type.kind == odbc::ValueKind::Decimal) {
                f.precision = static_cast<int>(c.size);
                f.numericScale = c.digits;
            }
            fields.push_back(std::move(f));
        }
        return fields;
    }

    bool next(std::vector<Field>& fields) override
    {
        if (readAhead_)
            return readAhead_->next(fields);
        row_.resize(columns_.size());
        if (!fetch(row_.data()))
            return false;
        // Swapped, so that the previous row's storage is reused for the next.
        for (std::size_t i = 0; i < columns_.size(); ++i)
            std::swap(fields[i].value, row_[i]);
        return true;
    }

    // From here on the statement belongs to the reading thread until the cursor is closed.
    void readAhead() override
    {
        if (!readAhead_)
            readAhead_ = std::make_unique<ReadAhead>(columns_.size(), [this](Value* row) { return fetch(row); });
    }

    std::int64_t recordCount() override { return rows_; }

    void leaveUnread(const std::vector<bool>& columns) override
    {
        if (readAhead_)
            throw Error("The columns left unread must be chosen before the rows are read ahead.");
        unread_.assign(columns.begin(), columns.end());
        unread_.resize(columns_.size(), 0);
        // A long column that is not read no longer keeps the columns after it from being bound.
        bindColumns();
    }

private:
    // Columns of fixed or bounded size are bound, so that one SQLFetch converts them all;
    // the others (long text and binary) are read piece by piece with SQLGetData.
    struct Bound {
        SQLSMALLINT cType = 0;   // 0: not bound
        std::vector<std::uint8_t> data;
        SQLLEN indicator = 0;
    };

    static std::pair<SQLSMALLINT, std::size_t> binding(const Column& c)
    {
        using odbc::ValueKind;
        switch (c.type.kind) {
        case ValueKind::Bit: return {SQL_C_BIT, 1};
        case ValueKind::Integer: return {SQL_C_SBIGINT, sizeof(SQLBIGINT)};
        case ValueKind::Single: return {SQL_C_FLOAT, sizeof(SQLREAL)};
        case ValueKind::Double: return {SQL_C_DOUBLE, sizeof(SQLDOUBLE)};
        case ValueKind::Date: return {SQL_C_TYPE_DATE, sizeof(SQL_DATE_STRUCT)};
        // As digits, which need no wide characters: "hh:mm:ss.fffffffff" and room to spare.
        case ValueKind::Time: return {SQL_C_CHAR, 64};
        case ValueKind::Timestamp: return {SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT)};
        case ValueKind::Guid: return {SQL_C_GUID, sizeof(SQLGUID)};
        // Room for every character even where one source byte became two UTF-16 units.
        case ValueKind::Text:
            if (c.size > 0 && c.size <= 4000)
                return {SQL_C_WCHAR, (2 * static_cast<std::size_t>(c.size) + 1) * sizeof(SQLWCHAR)};
            break;
        case ValueKind::Decimal:
            if (c.size > 0 && c.size <= 100)
                return {SQL_C_CHAR, static_cast<std::size_t>(c.size) + 8};
            break;
        default: break;
        }
        return {0, 0};
    }

    // Binds every column it can that is not bound yet. Without SQL_GD_ANY_COLUMN, SQLGetData
    // reads only columns after the last bound one, so binding stops at the first column that
    // must be read with it; a column left unread is never read and does not stop it.
    void bindColumns()
    {
        bound_.resize(columns_.size());
        const bool anyColumn = owner_->getDataAnyColumn();
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            if (bound_[i].cType || (i < unread_.size() && unread_[i]))
                continue;
            const auto [cType, bytes] = binding(columns_[i]);
            if (!cType) {
                if (anyColumn)
                    continue;
                break;
            }
            Bound& b = bound_[i];
            b.data.resize(bytes);
            check(SQLBindCol(stmt_.get(), static_cast<SQLUSMALLINT>(i + 1), cType, b.data.data(),
                             static_cast<SQLLEN>(b.data.size()), &b.indicator),
                  stmt_, "SQLBindCol");
            b.cType = cType;
        }
    }

    // The bound value of a column, if it was bound and arrived whole.
    const Bound* whole(SQLUSMALLINT column, std::size_t terminator) const
    {
        const Bound& b = bound_[column - 1];
        if (!b.cType)
            return nullptr;
        if (b.indicator == SQL_NULL_DATA)
            return &b;
        return b.indicator != SQL_NO_TOTAL && static_cast<std::size_t>(b.indicator) + terminator <= b.data.size()
                   ? &b
                   : nullptr;
    }

    template <class T>
    bool readFixed(SQLUSMALLINT column, SQLSMALLINT cType, T& target)
    {
        if (const Bound* b = whole(column, 0)) {
            if (b->indicator == SQL_NULL_DATA)
                return false;
            std::memcpy(&target, b->data.data(), sizeof target);
            return true;
        }
        SQLLEN indicator = 0;
        check(SQLGetData(stmt_.get(), column, cType, &target, sizeof target, &indicator), stmt_, "SQLGetData");
        return indicator != SQL_NULL_DATA;
    }

    // Text and binary of any length, in pieces, into `data` (a string or vector of units whose
    // storage is reused); false when the value is NULL.
    template <class Unit, class Units>
    bool readPieces(SQLUSMALLINT column, SQLSMALLINT cType, Units& data)
    {
        const std::size_t terminator = cType == SQL_C_BINARY ? 0 : sizeof(Unit);
        const std::size_t room = buffer_.size() - terminator;
        data.clear();
        SQLLEN before = SQL_NO_TOTAL;
        for (;;) {
            SQLLEN indicator = 0;
            SQLRETURN rc = SQLGetData(stmt_.get(), column, cType, buffer_.data(), static_cast<SQLLEN>(buffer_.size()),
                                      &indicator);
            if (rc == SQL_NO_DATA)
                break;
            check(rc, stmt_, "SQLGetData");
            if (indicator == SQL_NULL_DATA)
                return false;
            // Each piece leaves less to read; a driver that hands out the same rest again would
            // keep this loop going for ever.
            if (indicator != SQL_NO_TOTAL && before != SQL_NO_TOTAL && indicator >= before)
                throw Error("The driver returned the value of column \"" + columns_[column - 1].name + "\"" +
                            (table_.empty() ? std::string() : " of " + table_) +
                            " again and again without end; the reading was stopped.");
            before = indicator;
            const bool last = indicator != SQL_NO_TOTAL && static_cast<std::size_t>(indicator) <= room;
            const std::size_t bytes = last ? static_cast<std::size_t>(indicator) : room;
            const Unit* units = reinterpret_cast<const Unit*>(buffer_.data());
            data.insert(data.end(), units, units + bytes / sizeof(Unit));
            if (last)
                break;
        }
        return true;
    }

    // Into `text`, whose storage is reused; false when the value is NULL.
    bool readText(SQLUSMALLINT column, std::string& text)
    {
        if (const Bound* b = whole(column, sizeof(char16_t))) {
            if (b->indicator == SQL_NULL_DATA)
                return false;
            utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(b->data.data()),
                                            static_cast<std::size_t>(b->indicator) / sizeof(char16_t)),
                        text);
            return true;
        }
        const bool present = readPieces<char16_t>(column, SQL_C_WCHAR, pieces_);
        if (present)
            utf16ToUtf8(pieces_, text);
        // A long value's room is not kept for the rows after it.
        if (pieces_.capacity() > buffer_.size())
            std::u16string().swap(pieces_);
        return present;
    }

    std::optional<std::string> readText(SQLUSMALLINT column)
    {
        std::string text;
        return readText(column, text) ? std::optional<std::string>(std::move(text)) : std::nullopt;
    }

    // Exact numbers come as digits, which need no wide characters. Into `digits`, whose
    // storage is reused; false when the value is NULL.
    bool readDigits(SQLUSMALLINT column, std::string& digits)
    {
        if (const Bound* b = whole(column, 1)) {
            if (b->indicator == SQL_NULL_DATA)
                return false;
            digits.assign(reinterpret_cast<const char*>(b->data.data()), static_cast<std::size_t>(b->indicator));
            return true;
        }
        return readPieces<char>(column, SQL_C_CHAR, digits);
    }

    // The column's value into `value`; text and binary reuse the storage it holds.
    void read(SQLUSMALLINT column, odbc::ValueKind kind, Value& value);

    // Fetches the next row into `values`, one per column; false after the last row.
    bool fetch(Value* values)
    {
        if (!stmt_)
            throw Error(kObjectClosed);
        SQLRETURN rc = SQLFetch(stmt_.get());
        if (rc == SQL_NO_DATA) {
            stmt_.reset();
            return false;
        }
        owner_->checkConnected(rc, stmt_, "SQLFetch");
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            if (!unread_.empty() && unread_[i]) {
                values[i] = Null{};
                continue;
            }
            read(static_cast<SQLUSMALLINT>(i + 1), columns_[i].type.kind, values[i]);
            if (columns_[i].sqlType == odbc::kSqlSsTimestampOffset)
                padYear(values[i]);
        }
        return true;
    }

    OdbcBackend* owner_;
    odbc::StatementHandle stmt_;
    std::int64_t rows_;
    std::string table_; // the source table, for messages; may be empty
    std::vector<Column> columns_;
    std::vector<Bound> bound_;
    // Columns whose values the caller does not use; empty: none. Bytes, not bits: it is looked
    // at for every value.
    std::vector<char> unread_;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(64 * 1024);
    std::u16string pieces_; // a long text value as read, before it becomes UTF-8
    std::vector<Value> row_; // a row fetched without reading ahead
    // Last, so that its thread has stopped before the members it reads go.
    std::unique_ptr<ReadAhead> readAhead_;
};

OdbcBackend::~OdbcBackend()
{
    for (OdbcCursor* cursor : cursors_)
        cursor->release();
}

// -?digits(.digits)? : checked by hand, since this runs for every decimal value read.
bool isExactNumber(std::string_view text)
{
    std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    auto digits = [&] {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i > start;
    };
    if (!digits())
        return false;
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (!digits())
            return false;
    }
    return i == text.size();
}

// "-.5" and ".5" as some drivers write them become "-0.5" and "0.5".
void normalizeDecimal(std::string& text)
{
    auto blank = [](unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    if (std::any_of(text.begin(), text.end(), blank))
        text.erase(std::remove_if(text.begin(), text.end(), blank), text.end());
    const std::size_t digitsStart = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (digitsStart < text.size() && text[digitsStart] == '.')
        text.insert(digitsStart, "0");
    if (!text.empty() && text[0] == '+')
        text.erase(0, 1);
    if (!isExactNumber(text))
        throw Error("The driver returned \"" + text + "\" for an exact number.");
}

// "hh:mm:ss" with up to nine digits of fraction, as drivers write a time of day; `text` ends in
// a NUL after its `size` characters.
DateTime timeFromText(const char* text, std::size_t size)
{
    DateTime t;
    int consumed = 0;
    if (std::sscanf(text, "%2d:%2d:%2d%n", &t.hour, &t.minute, &t.second, &consumed) != 3)
        throw Error("The driver returned \"" + std::string(text, size) + "\" for a time of day.");
    std::size_t pos = static_cast<std::size_t>(consumed);
    if (pos < size && text[pos] == '.') {
        std::uint32_t scale = 100000000;
        for (++pos; pos < size && std::isdigit(static_cast<unsigned char>(text[pos])) && scale > 0; ++pos) {
            t.nanosecond += static_cast<std::uint32_t>(text[pos] - '0') * scale;
            scale /= 10;
        }
    }
    return t;
}

// Into `out`, whose storage is reused.
void guidText(const SQLGUID& g, std::string& out)
{
    char text[37];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", static_cast<unsigned>(g.Data1),
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                  g.Data4[7]);
    out.assign(text, 36);
}

// The alternative `value` is to hold, keeping the storage it holds already.
template <class T>
T& holding(Value& value)
{
    if (T* held = std::get_if<T>(&value))
        return *held;
    return value.emplace<T>();
}

// The value `made` makes when `present`, else NULL. Assigned as its own type, so that a field
// that held a value of that type in the row before is overwritten in place.
template <class Make>
void assign(Value& value, bool present, Make&& made)
{
    if (present)
        value = made();
    else
        value = Null{};
}

void OdbcCursor::read(SQLUSMALLINT column, odbc::ValueKind kind, Value& value)
{
    using odbc::ValueKind;
    switch (kind) {
    case ValueKind::Text:
        if (!readText(column, holding<std::string>(value)))
            value = Null{};
        return;
    case ValueKind::Bit: {
        unsigned char v = 0;
        assign(value, readFixed(column, SQL_C_BIT, v), [&] { return v != 0; });
        return;
    }
    case ValueKind::Integer: {
        SQLBIGINT v = 0;
        assign(value, readFixed(column, SQL_C_SBIGINT, v), [&] { return static_cast<std::int64_t>(v); });
        return;
    }
    case ValueKind::Single: {
        SQLREAL v = 0;
        assign(value, readFixed(column, SQL_C_FLOAT, v), [&] { return static_cast<double>(v); });
        return;
    }
    case ValueKind::Double: {
        SQLDOUBLE v = 0;
        assign(value, readFixed(column, SQL_C_DOUBLE, v), [&] { return static_cast<double>(v); });
        return;
    }
    case ValueKind::Decimal: {
        std::string& digits = holding<Decimal>(value).text;
        if (readDigits(column, digits))
            normalizeDecimal(digits);
        else
            value = Null{};
        return;
    }
    case ValueKind::Date: {
        SQL_DATE_STRUCT d{};
        assign(value, readFixed(column, SQL_C_TYPE_DATE, d), [&] { return DateTime{d.year, d.month, d.day, 0, 0, 0, 0}; });
        return;
    }
    case ValueKind::Time: {
        // Text keeps the fraction of a second, which the ODBC time structure has no room for.
        if (const Bound* b = whole(column, 1)) {
            assign(value, b->indicator != SQL_NULL_DATA, [&] {
                return timeFromText(reinterpret_cast<const char*>(b->data.data()), static_cast<std::size_t>(b->indicator));
            });
            return;
        }
        const auto text = readText(column);
        assign(value, text.has_value(), [&] { return timeFromText(text->c_str(), text->size()); });
        return;
    }
    case ValueKind::Timestamp: {
        SQL_TIMESTAMP_STRUCT t{};
        assign(value, readFixed(column, SQL_C_TYPE_TIMESTAMP, t), [&] {
            return DateTime{t.year, t.month, t.day, t.hour, t.minute, t.second, static_cast<std::uint32_t>(t.fraction)};
        });
        return;
    }
    case ValueKind::Guid: {
        SQLGUID g{};
        if (readFixed(column, SQL_C_GUID, g))
            guidText(g, holding<Guid>(value).text);
        else
            value = Null{};
        return;
    }
    case ValueKind::Binary:
        if (!readPieces<std::uint8_t>(column, SQL_C_BINARY, holding<Bytes>(value)))
            value = Null{};
        return;
    }
    value = Null{};
}

std::unique_ptr<Cursor> OdbcBackend::tables()
{
    odbc::StatementHandle stmt = newStatement();
    check(SQLTablesW(stmt.get(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), stmt, "SQLTables");
    // ODBC names the columns TABLE_CAT and TABLE_SCHEM; the schema rowset calls them as below.
    return std::make_unique<OdbcCursor>(*this, std::move(stmt), -1,
                                        std::vector<std::string>{"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"});
}

// The table of a source "SELECT * FROM [name]", "SELECT * FROM [schema].[name]" or the same with
// plain names, else empty.
std::optional<std::string> wholeTableSource(const std::string& source)
{
    static const std::string part = R"((?:\[(?:[^\]]|\]\])+\]|[A-Za-z_][A-Za-z0-9_]*))";
    static const std::regex pattern(R"(\s*SELECT\s+\*\s+FROM\s+()" + part + R"((?:\s*\.\s*)" + part + R"()?)\s*;?\s*)",
                                    std::regex::icase);
    std::smatch match;
    if (!std::regex_match(source, match, pattern))
        return std::nullopt;
    return match[1].str();
}

std::int64_t OdbcBackend::countRows(const std::string& table)
{
    odbc::StatementHandle stmt = newStatement();
    std::u16string text = utf8ToUtf16("SELECT COUNT(*) FROM " + table);
    check(SQLExecDirectW(stmt.get(), wide(text), static_cast<SQLINTEGER>(text.size())), stmt, "SQLExecDirect");
    check(SQLFetch(stmt.get()), stmt, "SQLFetch");
    SQLBIGINT count = 0;
    SQLLEN indicator = 0;
    check(SQLGetData(stmt.get(), 1, SQL_C_SBIGINT, &count, sizeof count, &indicator), stmt, "SQLGetData");
    // Read to the end, so that the connection is free for the rows without a cancel.
    for (SQLRETURN rc = SQLFetch(stmt.get()); rc != SQL_NO_DATA; rc = SQLFetch(stmt.get()))
        check(rc, stmt, "SQLFetch");
    for (SQLRETURN rc = SQLMoreResults(stmt.get()); rc != SQL_NO_DATA; rc = SQLMoreResults(stmt.get()))
        check(rc, stmt, "SQLMoreResults");
    return indicator == SQL_NULL_DATA ? -1 : static_cast<std::int64_t>(count);
}

std::unique_ptr<Cursor> OdbcBackend::query(const std::string& source)
{
    // The rows stream forward only, so their number for the progress display is asked for
    // first, while the connection has no other result open.
    std::int64_t rows = -1;
    const std::optional<std::string> table = wholeTableSource(source);
    if (table)
        rows = countRows(*table);
    odbc::StatementHandle stmt = newStatement();
    std::u16string text = utf8ToUtf16(source);
    checkConnected(SQLExecDirectW(stmt.get(), wide(text), static_cast<SQLINTEGER>(text.size())), stmt, "SQLExecDirect");
    return std::make_unique<OdbcCursor>(*this, std::move(stmt), rows, std::vector<std::string>{}, table.value_or(""));
}

} // namespace

std::string prepareConnectionString(std::string_view connectionString, const DriverCatalog& catalog)
{
    std::vector<ConnectionAttribute> attributes = parseConnectionString(connectionString);
    const std::optional<std::string> driver = attributeValue(attributes, "Driver");
    if (!driver)
        return std::string(connectionString);
    std::optional<std::string> library = catalog.registeredLibrary ? catalog.registeredLibrary(*driver) : std::nullopt;
    if (!library && equalsIgnoringCase(*driver, "SQL Server") && !catalog.freeTdsLibrary.empty()) {
        library = catalog.freeTdsLibrary;
        setAttribute(attributes, "Driver", *library);
    }
    if (!containsIgnoringCase(library.value_or(*driver), "tdsodbc"))
        return formatConnectionString(attributes);
    if (std::optional<std::string> server = attributeValue(attributes, "Server")) {
        const std::string local = withLocalHost(*server);
        if (local != *server)
            setAttribute(attributes, "Server", local);
        if (server->find_first_of(",\\") == std::string::npos && !attributeValue(attributes, "Port"))
            setAttribute(attributes, "Port", catalog.defaultPort);
    }
    if (!catalog.defaultTdsVersion.empty() && !attributeValue(attributes, "TDS_Version"))
        setAttribute(attributes, "TDS_Version", catalog.defaultTdsVersion);
    if (!catalog.packetSize.empty() && !attributeValue(attributes, "PacketSize"))
        setAttribute(attributes, "PacketSize", catalog.packetSize);
    return freeTdsConnectionString(attributes);
}

std::string freeTdsConnectionString(const std::vector<ConnectionAttribute>& attributes)
{
    std::string text;
    for (const ConnectionAttribute& a : attributes) {
        if (a.value.find_first_of(";{}") == std::string::npos) {
            text += (a.raw.empty() ? a.key + "=" + a.value : a.raw) + ";";
            continue;
        }
        if (a.value.find("};") != std::string::npos)
            throw Error("The FreeTDS driver cannot take the value of " + a.key +
                        " in the connection string: it holds \"};\".");
        text += a.key + "={" + a.value + "};";
    }
    return text;
}

std::string findFreeTdsLibrary()
{
#ifdef _WIN32
    return {};
#else
    static const char* const candidates[] = {
        "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so",
        "/usr/lib/i386-linux-gnu/odbc/libtdsodbc.so",   "/usr/lib/odbc/libtdsodbc.so",
        "/usr/lib64/libtdsodbc.so.0",                   "/usr/lib64/libtdsodbc.so",
        "/usr/local/lib/libtdsodbc.so",                 "/opt/homebrew/lib/libtdsodbc.so",
    };
    std::error_code ignored;
    for (const char* path : candidates)
        if (std::filesystem::exists(path, ignored))
            return path;
    return {};
#endif
}

std::string defaultSqlServerPort()
{
    const char* port = std::getenv("TDSPORT");
    return port && *port ? port : "1433";
}

std::string defaultTdsVersion()
{
    const char* version = std::getenv("TDSVER");
    return version && *version ? "" : "7.4";
}

std::unique_ptr<Backend> openOdbcBackend(const std::string& connectionString, const Connection& settings)
{
    return std::make_unique<OdbcBackend>(connectionString, settings);
}

} // namespace db
