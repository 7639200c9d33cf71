#include "db/Ado.h"

#include "db/AdoBackend.h"
#include "db/EngineBackend.h"
#include "db/OdbcBackend.h"
#include "db/OdbcConnectionString.h"

#include <algorithm>

namespace db {

std::unique_ptr<Backend> openBackend(const std::string& connectionString, const Connection& settings)
{
    const std::optional<std::string> driver = attributeValue(parseConnectionString(connectionString), "Driver");
    if (driver && isParadoxDriver(*driver))
        return openEngineBackend(connectionString, settings.Text);
    return openOdbcBackend(connectionString, settings);
}

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::Open(const std::string& connectionString)
{
    if (backend_)
        throw Error(kObjectOpen);
    backend_ = openBackend(connectionString, *this);
    alteredValues_ = 0;
}

void Connection::Execute(const std::string& statement, const paradox::sql::Insert* parsed)
{
    if (parsed)
        backend().executeInsert(statement, *parsed);
    else
        backend().execute(statement);
}

Recordset Connection::OpenSchema(int schema)
{
    if (schema != adSchemaTables)
        throw Error("Object or provider is not capable of performing requested operation.");
    return Recordset(backend().tables());
}

void Connection::Close()
{
    if (!backend_)
        throw Error(kObjectClosed);
    alteredValues_ = backend_->alteredValues();
    backend_.reset();
}

bool Connection::isOpen() const { return backend_ != nullptr; }

std::int64_t Connection::AlteredValues() const { return backend_ ? backend_->alteredValues() : alteredValues_; }

Backend& Connection::backend()
{
    if (!backend_)
        throw Error(kObjectClosed);
    return *backend_;
}

Recordset::Recordset() = default;

Recordset::Recordset(std::unique_ptr<Cursor> cursor)
{
    std::vector<Field> fields = cursor->describe();
    attach(std::move(cursor), std::move(fields));
}

Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

void Recordset::attach(std::unique_ptr<Cursor> cursor, std::vector<Field> fields)
{
    const bool empty = !cursor->next(fields);
    cursor_ = std::move(cursor);
    fields_ = std::move(fields);
    eof_ = empty;
    bof_ = empty;
}

void Recordset::Open(const std::string& source, Connection& activeConnection, int, int)
{
    if (cursor_)
        throw Error(kObjectOpen);
    std::unique_ptr<Cursor> cursor = activeConnection.backend().query(source);
    std::vector<Field> fields = cursor->describe();
    if (needsValue) {
        std::vector<bool> unread(fields.size());
        for (std::size_t i = 0; i < fields.size(); ++i)
            unread[i] = !needsValue(fields[i]);
        if (std::ranges::find(unread, true) != unread.end())
            cursor->leaveUnread(unread);
    }
    if (readsAhead)
        cursor->readAhead();
    attach(std::move(cursor), std::move(fields));
}

void Recordset::requireOpen() const
{
    if (!cursor_)
        throw Error(kObjectClosed);
}

bool Recordset::Eof() const
{
    requireOpen();
    return eof_;
}

bool Recordset::bof() const
{
    requireOpen();
    return bof_;
}

void Recordset::MoveNext()
{
    requireOpen();
    if (eof_)
        throw Error(kNoCurrentRecord);
    bof_ = false;
    if (!cursor_->next(fields_)) {
        eof_ = true;
        for (Field& f : fields_)
            f.value = Null{};
    }
}

const std::vector<Field>& Recordset::Fields() const
{
    requireOpen();
    return fields_;
}

const Field& Recordset::Fields(const std::string& name) const
{
    for (const Field& f : Fields())
        if (equalsIgnoringCase(f.name, name))
            return f;
    throw Error(kItemNotFound);
}

std::int64_t Recordset::RecordCount()
{
    requireOpen();
    return cursor_->recordCount();
}

void Recordset::Close()
{
    requireOpen();
    cursor_.reset();
    fields_.clear();
    eof_ = true;
    bof_ = true;
}

bool Recordset::isOpen() const { return cursor_ != nullptr; }

} // namespace db
