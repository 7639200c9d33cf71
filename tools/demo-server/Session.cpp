#include "Session.h"

#include "SqlText.h"
#include "Text.h"
#include "Types.h"
#include "Wire.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sqlite3.h>
#include <tuple>

namespace demo {

namespace {

constexpr uint8_t kTokenColMetadata = 0x81, kTokenReturnStatus = 0x79, kTokenReturnValue = 0xAC,
                  kTokenError = 0xAA, kTokenInfo = 0xAB, kTokenLoginAck = 0xAD, kTokenEnvChange = 0xE3,
                  kTokenRow = 0xD1, kTokenDone = 0xFD, kTokenDoneProc = 0xFE, kTokenDoneInProc = 0xFF;
constexpr uint16_t kDoneFinal = 0x00, kDoneMore = 0x01, kDoneError = 0x02, kDoneCount = 0x10, kDoneAttn = 0x20;
constexpr uint16_t kCmdSelect = 0xC1;

const std::u16string kServerName = u"QUILLMERE";

// The RPC procedure ids that clients use instead of names.
constexpr uint16_t kProcExecuteSql = 10, kProcPrepare = 11, kProcExecute = 12, kProcPrepExec = 13,
                   kProcUnprepare = 15;

struct Column {
    std::u16string name;
    ColumnType type;
};

struct Param {
    std::string name; // without '@', as the client wrote it
    bool null = true;
    int storage = SQLITE_NULL;
    int64_t integer = 0;
    double real = 0;
    std::string bytes;
};

void putEnvChange(Bytes& out, uint8_t type, std::u16string_view now, std::u16string_view before)
{
    Bytes body;
    put8(body, type);
    putBVarchar(body, now);
    putBVarchar(body, before);
    put8(out, kTokenEnvChange);
    put16(out, static_cast<uint16_t>(body.size()));
    putBytes(out, body.data(), body.size());
}

void putDone(Bytes& out, uint8_t token, uint16_t status, uint16_t command, uint64_t rows, uint32_t tds)
{
    put8(out, token);
    put16(out, status);
    put16(out, command);
    if (tds >= kTds72)
        put64(out, rows);
    else
        put32(out, static_cast<uint32_t>(rows));
}

void putMessage(Bytes& out, uint8_t token, int number, int state, int severity, std::string_view text, uint32_t tds)
{
    const std::u16string message = utf8ToUtf16(text);
    Bytes body;
    put32(body, static_cast<uint32_t>(number));
    put8(body, static_cast<uint8_t>(state));
    put8(body, static_cast<uint8_t>(severity));
    putUsVarchar(body, message);
    putBVarchar(body, kServerName);
    putBVarchar(body, u"");
    if (tds >= kTds72)
        put32(body, 1);
    else
        put16(body, 1);
    put8(out, token);
    put16(out, static_cast<uint16_t>(body.size()));
    putBytes(out, body.data(), body.size());
}

void putColMetadata(Bytes& out, const std::vector<Column>& columns, uint32_t tds)
{
    put8(out, kTokenColMetadata);
    put16(out, static_cast<uint16_t>(columns.size()));
    for (const Column& c : columns) {
        if (tds >= kTds72)
            put32(out, userTypeOf(c.type.kind));
        else
            put16(out, static_cast<uint16_t>(userTypeOf(c.type.kind)));
        put16(out, 0x0009); // nullable, updatability unknown
        putTypeInfo(out, c.type, tds);
        putBVarchar(out, c.name);
    }
}

// SQL Server's LIKE on catalog names: % and _ wildcards, case-insensitive.
bool likeMatch(std::string_view pattern, std::string_view text)
{
    if (pattern.empty())
        return text.empty();
    if (pattern[0] == '%') {
        for (size_t k = 0; k <= text.size(); ++k) {
            if (likeMatch(pattern.substr(1), text.substr(k)))
                return true;
        }
        return false;
    }
    if (text.empty())
        return false;
    if (pattern[0] == '[' && pattern.size() >= 3 && pattern[2] == ']') {
        return lowerAscii(pattern.substr(1, 1)) == lowerAscii(text.substr(0, 1)) &&
               likeMatch(pattern.substr(3), text.substr(1));
    }
    if (pattern[0] == '_' || lowerAscii(pattern.substr(0, 1)) == lowerAscii(text.substr(0, 1)))
        return likeMatch(pattern.substr(1), text.substr(1));
    return false;
}

class Session {
public:
    Session(int fd, const ServerConfig& config, uint16_t spid) : socket_(fd), config_(config), spid_(spid) {}
    ~Session()
    {
        if (db_)
            sqlite3_close(db_);
    }

    void run()
    {
        Message m;
        if (!socket_.readMessage(m))
            return;
        Encryption encryption = Encryption::None;
        if (m.type == kPrelogin) {
            encryption = answerPrelogin(m);
            if (encryption == Encryption::Refused)
                return;
            if (encryption != Encryption::None && !config_.tls->handshake(socket_))
                return;
            if (!socket_.readMessage(m))
                return;
        }
        if (encryption == Encryption::LoginOnly)
            socket_.stopTls();
        if (m.type != kLogin7 || !login(m))
            return;
        while (socket_.readMessage(m)) {
            switch (m.type) {
            case kSqlBatch: batch(m); break;
            case kRpc: rpc(m); break;
            case kAttention: socket_.takeAttention(); acknowledgeAttention(); continue;
            default: {
                ReplyWriter w = writer();
                Bytes out;
                putMessage(out, kTokenError, 50000, 1, 16, "Unsupported request type.", tds_);
                putDone(out, kTokenDone, kDoneError, 0, 0, tds_);
                w.append(out);
                w.finish();
            }
            }
            if (socket_.takeAttention())
                acknowledgeAttention();
        }
    }

private:
    ReplyWriter writer() { return ReplyWriter(socket_, spid_, packetSize_); }

    void acknowledgeAttention()
    {
        ReplyWriter w = writer();
        Bytes out;
        putDone(out, kTokenDone, kDoneAttn, 0, 0, tds_);
        w.append(out);
        w.finish();
    }

    enum class Encryption { None, LoginOnly, Everything, Refused };

    // The ENCRYPTION option of the client's PRELOGIN; "not supported" when it sends none.
    static uint8_t clientEncryption(const Bytes& data)
    {
        for (size_t at = 0; at + 5 <= data.size() && data[at] != 0xFF; at += 5) {
            const size_t offset = static_cast<size_t>(data[at + 1] << 8 | data[at + 2]);
            if (data[at] == 0x01 && offset < data.size())
                return data[offset];
        }
        return kEncryptNotSupported;
    }

    static constexpr uint8_t kEncryptOff = 0x00, kEncryptOn = 0x01, kEncryptNotSupported = 0x02,
                             kEncryptRequired = 0x03;

    // Answers the PRELOGIN and says what the pair of ENCRYPTION values makes of the connection.
    Encryption answerPrelogin(const Message& request)
    {
        const uint8_t client = clientEncryption(request.data);
        uint8_t answer = kEncryptNotSupported;
        Encryption result = Encryption::None;
        if (config_.tls) {
            const bool clientCan = client != kEncryptNotSupported;
            switch (config_.encryption) {
            case EncryptionSetting::Off:
                answer = !clientCan ? kEncryptNotSupported : client == kEncryptOff ? kEncryptOff : kEncryptOn;
                break;
            case EncryptionSetting::On: answer = clientCan ? kEncryptOn : kEncryptNotSupported; break;
            case EncryptionSetting::Required: answer = kEncryptRequired; break;
            }
            if (answer == kEncryptOff)
                result = Encryption::LoginOnly;
            else if (answer != kEncryptNotSupported)
                result = clientCan ? Encryption::Everything : Encryption::Refused;
        }
        // VERSION, ENCRYPTION, INSTOPT, THREADID, MARS.
        Bytes out;
        const uint16_t start = 5 * 5 + 1;
        const std::pair<uint8_t, uint16_t> options[] = {{0, 6}, {1, 1}, {2, 1}, {3, 0}, {4, 1}};
        uint16_t offset = start;
        for (const auto& [token, length] : options) {
            put8(out, token);
            out.push_back(static_cast<uint8_t>(offset >> 8));
            out.push_back(static_cast<uint8_t>(offset));
            out.push_back(static_cast<uint8_t>(length >> 8));
            out.push_back(static_cast<uint8_t>(length));
            offset = static_cast<uint16_t>(offset + length);
        }
        put8(out, 0xFF);
        const uint8_t version[] = {16, 0, 0x0F, 0xF5, 0, 0};
        putBytes(out, version, sizeof version);
        put8(out, answer);
        put8(out, 0x00);
        put8(out, 0x00);
        ReplyWriter w = writer();
        w.append(out);
        w.finish();
        return result;
    }

    static std::u16string loginText(const Bytes& data, size_t fieldOffset, bool password)
    {
        Reader field(data, fieldOffset);
        const uint16_t offset = field.u16();
        const uint16_t chars = field.u16();
        Bytes raw = Reader(data, offset).bytes(chars * 2u);
        if (password) {
            // Each byte was nibble-swapped and XORed with 0xA5 by the client.
            for (uint8_t& b : raw) {
                b ^= 0xA5;
                b = static_cast<uint8_t>((b << 4) | (b >> 4));
            }
        }
        std::u16string text;
        for (size_t i = 0; i + 1 < raw.size(); i += 2)
            text.push_back(static_cast<char16_t>(raw[i] | (raw[i + 1] << 8)));
        return text;
    }

    bool login(const Message& m)
    {
        std::string user, password, database;
        try {
            Reader r(m.data);
            r.u32();
            const uint32_t asked = r.u32();
            const uint32_t packet = r.u32();
            tds_ = asked >= kTds74 ? kTds74
                 : asked >= 0x73000000 ? kTds73
                 : asked >= 0x72000000 ? kTds72
                 : asked >= 0x71000000 ? kTds71
                                       : kTds70;
            packetSize_ = packet == 0 ? 4096 : std::clamp<size_t>(packet, 512, 32767);
            user = utf16ToUtf8(loginText(m.data, 40, false));
            password = utf16ToUtf8(loginText(m.data, 44, true));
            database = utf16ToUtf8(loginText(m.data, 68, false));
        } catch (const ProtocolError&) {
            return false;
        }

        ReplyWriter w = writer();
        Bytes out;
        const auto refuse = [&](bool unknownDatabase) {
            if (unknownDatabase) {
                putMessage(out, kTokenError, 4060, 1, 11,
                           "Cannot open database \"" + database + "\" requested by the login. The login failed.", tds_);
            }
            putMessage(out, kTokenError, 18456, 1, 14, "Login failed for user '" + user + "'.", tds_);
            putDone(out, kTokenDone, kDoneError, 0, 0, tds_);
            w.append(out);
            w.finish();
            return false;
        };
        if (!equalsNoCase(user, config_.user) || password != config_.password)
            return refuse(false);
        const DatabaseEntry* entry = config_.databases.empty() ? nullptr : &config_.databases.front();
        if (!database.empty()) {
            entry = nullptr;
            for (const DatabaseEntry& d : config_.databases) {
                if (equalsNoCase(d.name, database))
                    entry = &d;
            }
        }
        if (!entry || sqlite3_open_v2(entry->file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                                      nullptr) != SQLITE_OK)
            return refuse(true);
        sqlite3_busy_timeout(db_, 10000);
        dbName_ = entry->name;

        const std::u16string name = utf8ToUtf16(dbName_);
        putEnvChange(out, 1, name, u"master");
        putMessage(out, kTokenInfo, 5701, 2, 0, "Changed database context to '" + dbName_ + "'.", tds_);
        {
            Bytes body;
            put8(body, 7);
            const uint8_t collation[] = {0x09, 0x04, 0xD0, 0x00, 0x34};
            put8(body, sizeof collation);
            putBytes(body, collation, sizeof collation);
            put8(body, 0);
            put8(out, kTokenEnvChange);
            put16(out, static_cast<uint16_t>(body.size()));
            putBytes(out, body.data(), body.size());
        }
        putEnvChange(out, 2, u"us_english", u"");
        putMessage(out, kTokenInfo, 5703, 1, 0, "Changed language setting to us_english.", tds_);
        {
            const std::u16string product = u"Microsoft SQL Server";
            Bytes body;
            put8(body, 1);
            for (int shift = 24; shift >= 0; shift -= 8)
                put8(body, static_cast<uint8_t>(tds_ >> shift));
            putBVarchar(body, product);
            const uint8_t version[] = {16, 0, 0x0F, 0xF5};
            putBytes(body, version, sizeof version);
            put8(out, kTokenLoginAck);
            put16(out, static_cast<uint16_t>(body.size()));
            putBytes(out, body.data(), body.size());
        }
        const std::u16string size = utf8ToUtf16(std::to_string(packetSize_));
        putEnvChange(out, 4, size, u"4096");
        putDone(out, kTokenDone, kDoneFinal, 0, 0, tds_);
        w.append(out);
        w.finish();
        return true;
    }

    // Skips ALL_HEADERS, which clients of TDS 7.2 and later put before a batch or RPC.
    size_t headersEnd(const Bytes& data) const
    {
        if (tds_ < kTds72 || data.size() < 4)
            return 0;
        const size_t total = Reader(data).u32();
        return total <= data.size() ? total : data.size();
    }

    void batch(const Message& m)
    {
        const size_t start = headersEnd(m.data);
        std::u16string text;
        for (size_t i = start; i + 1 < m.data.size(); i += 2)
            text.push_back(static_cast<char16_t>(m.data[i] | (m.data[i + 1] << 8)));
        ReplyWriter w = writer();
        if (runStatements(w, utf16ToUtf8(text), false, {}) != Outcome::Cancelled)
            w.finish();
    }

    enum class Outcome { Done, Failed, Cancelled };

    static bool onlyBlanks(const char* p)
    {
        for (; *p; ++p) {
            if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n' && *p != ';')
                return false;
        }
        return true;
    }

    void fail(ReplyWriter& w, const ServerError& e, bool inProc)
    {
        Bytes out;
        putMessage(out, kTokenError, e.number, e.state, e.severity, e.message, tds_);
        putDone(out, inProc ? kTokenDoneInProc : kTokenDone, static_cast<uint16_t>(kDoneError | (inProc ? kDoneMore : 0)),
                0, 0, tds_);
        w.append(out);
    }

    // Runs every statement of the text; each ends with DONE (DONEINPROC inside a procedure, always
    // flagged "more" there). A cancelled result ends the reply with DONE_ATTN.
    Outcome runStatements(ReplyWriter& w, const std::string& tsql, bool inProc, const std::vector<Param>& params)
    {
        if (lowerAscii(tsql).find("sys.") != std::string::npos)
            refreshCatalogViews();
        std::set<std::string> schemas = schemaNames();
        schemas.insert("sys");
        const SqliteNames names{[&](std::string_view name) { return schemas.contains(lowerAscii(name)); }, dbName_,
                                [&](std::string_view name) { return globalVariable(name); }};
        const std::string text = toSqlite(tsql, names);
        const char* p = text.c_str();
        const uint8_t doneToken = inProc ? kTokenDoneInProc : kTokenDone;
        bool any = false;
        while (*p) {
            while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == ';')
                ++p;
            if (!*p)
                break;
            size_t optionLength = 0;
            if (isSessionOption(p, optionLength)) {
                sessionOption(std::string_view(p, optionLength));
                p += optionLength;
                any = true;
                Bytes out;
                putDone(out, doneToken, (inProc || !onlyBlanks(p)) ? kDoneMore : kDoneFinal, 0, 0, tds_);
                w.append(out);
                continue;
            }
            size_t wordEnd = 0;
            const std::string_view word = firstWord(p, wordEnd);
            if (equalsNoCase(word, "use") || equalsNoCase(word, "exec") || equalsNoCase(word, "execute") ||
                lowerAscii(word).starts_with("sp_")) {
                const size_t end = std::string_view(p).find_first_of(";\n");
                const std::string_view statement(p, end == std::string_view::npos ? std::strlen(p) : end);
                p += statement.size();
                any = true;
                const uint16_t more = (inProc || !onlyBlanks(p)) ? kDoneMore : kDoneFinal;
                const bool done = equalsNoCase(word, "use") ? useDatabase(w, statement.substr(wordEnd), doneToken, more, inProc)
                                                            : callProcedure(w, statement, more, inProc);
                if (!done)
                    return Outcome::Failed;
                continue;
            }
            sqlite3_stmt* raw = nullptr;
            const char* tail = nullptr;
            std::string limited;
            if (const std::optional<TopClause> top = topClause(p)) {
                // SELECT TOP n is SQLite's LIMIT n at the end of the statement.
                const std::string rest = std::string(p, top->begin) + std::string(p + top->end);
                const char* restTail = nullptr;
                if (sqlite3_prepare_v2(db_, rest.c_str(), -1, &raw, &restTail) == SQLITE_OK && raw) {
                    sqlite3_finalize(raw);
                    raw = nullptr;
                    const size_t length = static_cast<size_t>(restTail - rest.c_str());
                    limited = rest.substr(0, length);
                    while (!limited.empty() && (limited.back() == ';' || std::isspace(static_cast<unsigned char>(limited.back()))))
                        limited.pop_back();
                    limited += " LIMIT " + std::to_string(top->count);
                    p += length + (top->end - top->begin);
                }
            }
            if (sqlite3_prepare_v2(db_, limited.empty() ? p : limited.c_str(), -1, &raw, &tail) != SQLITE_OK &&
                !(limited.empty() && prepareUpToNextStatement(p, raw, tail))) {
                fail(w, fromSqlite(sqlite3_errmsg(db_)), inProc);
                return Outcome::Failed;
            }
            if (limited.empty())
                p = tail;
            if (!raw)
                continue;
            any = true;
            std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
            for (const Param& param : params)
                bind(raw, param);
            const uint16_t more = (inProc || !onlyBlanks(p)) ? kDoneMore : kDoneFinal;
            const Outcome o = step(w, raw, doneToken, more, inProc);
            if (o != Outcome::Done)
                return o;
        }
        if (!any) {
            Bytes out;
            putDone(out, doneToken, inProc ? kDoneMore : kDoneFinal, 0, 0, tds_);
            w.append(out);
        }
        return Outcome::Done;
    }

    // T-SQL needs no ';' between statements ("SET FMTONLY ON select * from t SET FMTONLY OFF"): where
    // SQLite stops at a word that begins a statement, the statement before it is prepared alone.
    bool prepareUpToNextStatement(const char* p, sqlite3_stmt*& raw, const char*& tail)
    {
        const int offset = sqlite3_error_offset(db_);
        if (offset <= 0)
            return false;
        size_t end = 0;
        const std::string next = lowerAscii(firstWord(p + offset, end));
        static const std::set<std::string> starts{"set", "select", "insert", "update", "delete", "use", "exec", "execute"};
        if (!starts.contains(next))
            return false;
        const std::string statement(p, static_cast<size_t>(offset));
        if (sqlite3_prepare_v2(db_, statement.c_str(), -1, &raw, nullptr) != SQLITE_OK)
            return false;
        tail = p + offset;
        return true;
    }

    // SET FMTONLY ON: results describe their columns and send no rows; nothing is changed.
    void sessionOption(std::string_view option)
    {
        std::string words;
        for (const char c : option)
            words += std::isspace(static_cast<unsigned char>(c)) ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (words.find(" FMTONLY ON") != std::string::npos)
            fmtOnly_ = true;
        if (words.find(" FMTONLY OFF") != std::string::npos)
            fmtOnly_ = false;
    }

    std::optional<std::string> globalVariable(std::string_view name) const
    {
        const std::string n = lowerAscii(name);
        if (n == "@@version")
            return "'Microsoft SQL Server 2022 (RTM) - 16.0.4085.2 (X64)' || char(10) || "
                   "'\tQuillmere demo server on SQLite ' || sqlite_version()";
        if (n == "@@spid")
            return std::to_string(spid_);
        if (n == "@@servername")
            return "'QUILLMERE'";
        if (n == "@@trancount")
            return "0";
        if (n == "@@language")
            return "'us_english'";
        return std::nullopt;
    }

    const DatabaseEntry* databaseNamed(std::string_view name) const
    {
        for (const DatabaseEntry& d : config_.databases)
            if (equalsNoCase(d.name, name))
                return &d;
        return nullptr;
    }

    // USE name: the session continues in that database.
    bool useDatabase(ReplyWriter& w, std::string_view rest, uint8_t doneToken, uint16_t more, bool inProc)
    {
        std::string name(rest);
        std::erase_if(name, [](char c) { return c == '"' || c == ' ' || c == '\t' || c == '\r'; });
        const DatabaseEntry* entry = databaseNamed(name);
        sqlite3* opened = nullptr;
        if (!entry || sqlite3_open_v2(entry->file.c_str(), &opened, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                                      nullptr) != SQLITE_OK) {
            if (opened)
                sqlite3_close(opened);
            fail(w, {911, 16, 1, "Database '" + name + "' does not exist. Make sure that the name is entered correctly."},
                 inProc);
            return false;
        }
        sqlite3_busy_timeout(opened, 10000);
        sqlite3_close(db_);
        db_ = opened;
        const std::string before = dbName_;
        dbName_ = entry->name;
        Bytes out;
        putEnvChange(out, 1, utf8ToUtf16(dbName_), utf8ToUtf16(before));
        putMessage(out, kTokenInfo, 5701, 1, 0, "Changed database context to '" + dbName_ + "'.", tds_);
        putDone(out, doneToken, more, 0, 0, tds_);
        w.append(out);
        return true;
    }

    // [EXEC[UTE]] procedure arg, @name = arg, ... inside a batch, as the text translated for SQLite
    // has it (strings in single quotes, bracketed names in double quotes).
    static std::vector<Param> batchArguments(std::string_view text)
    {
        std::vector<Param> params;
        size_t i = 0;
        const auto blanks = [&] {
            while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
                ++i;
        };
        while (true) {
            blanks();
            if (i >= text.size())
                break;
            Param param;
            if (text[i] == '@') {
                size_t end = i + 1;
                while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
                    ++end;
                param.name = std::string(text.substr(i + 1, end - i - 1));
                i = end;
                blanks();
                if (i < text.size() && text[i] == '=')
                    ++i;
                blanks();
            }
            std::string value;
            if (i < text.size() && (text[i] == '\'' || text[i] == '"')) {
                const char quote = text[i++];
                for (; i < text.size(); ++i) {
                    if (text[i] == quote) {
                        if (i + 1 < text.size() && text[i + 1] == quote) {
                            value += quote;
                            ++i;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    value += text[i];
                }
                param.null = false;
                param.storage = SQLITE_TEXT;
            } else {
                while (i < text.size() && text[i] != ',' && !std::isspace(static_cast<unsigned char>(text[i])))
                    value += text[i++];
                param.null = equalsNoCase(value, "null");
                param.storage = param.null ? SQLITE_NULL : SQLITE_TEXT;
            }
            param.bytes = value;
            params.push_back(std::move(param));
            blanks();
            if (i < text.size() && text[i] == ',')
                ++i;
            else
                break;
        }
        return params;
    }

    bool callProcedure(ReplyWriter& w, std::string_view statement, uint16_t more, bool inProc)
    {
        size_t end = 0;
        std::string_view word = firstWord(statement, end);
        if (equalsNoCase(word, "exec") || equalsNoCase(word, "execute")) {
            statement.remove_prefix(end);
            word = firstWord(statement, end);
        }
        const std::string name(word);
        const std::optional<ResultSet> result = catalogProcedure(lowerAscii(name), batchArguments(statement.substr(end)));
        if (!result) {
            fail(w, {2812, 16, 62, "Could not find stored procedure '" + name + "'."}, inProc);
            return false;
        }
        Bytes out = result->tokens;
        putDone(out, kTokenDoneInProc, kDoneMore | kDoneCount, kCmdSelect, result->rows, tds_);
        put8(out, kTokenReturnStatus);
        put32(out, 0);
        putDone(out, kTokenDoneProc, more, 0, 0, tds_);
        w.append(out);
        return true;
    }

    void bind(sqlite3_stmt* statement, const Param& param)
    {
        const int index = sqlite3_bind_parameter_index(statement, ("@" + param.name).c_str());
        if (index == 0)
            return;
        switch (param.storage) {
        case SQLITE_INTEGER: sqlite3_bind_int64(statement, index, param.integer); break;
        case SQLITE_FLOAT: sqlite3_bind_double(statement, index, param.real); break;
        case SQLITE_TEXT:
            sqlite3_bind_text(statement, index, param.bytes.data(), static_cast<int>(param.bytes.size()), SQLITE_TRANSIENT);
            break;
        case SQLITE_BLOB:
            sqlite3_bind_blob(statement, index, param.bytes.data(), static_cast<int>(param.bytes.size()), SQLITE_TRANSIENT);
            break;
        default: sqlite3_bind_null(statement, index); break;
        }
    }

    // Streams one statement's rows, one sqlite3_step per row; nothing of the result is kept.
    Outcome step(ReplyWriter& w, sqlite3_stmt* st, uint8_t doneToken, uint16_t more, bool inProc)
    {
        const int columns = sqlite3_column_count(st);
        int rc = fmtOnly_ ? SQLITE_DONE : sqlite3_step(st);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            fail(w, fromSqlite(sqlite3_errmsg(db_)), inProc);
            return Outcome::Failed;
        }
        Bytes out;
        if (columns == 0) {
            const std::string sql = lowerAscii(std::string_view(sqlite3_sql(st)).substr(0, 8));
            const bool counted = !fmtOnly_ && (sql.starts_with("insert") || sql.starts_with("update") ||
                                 sql.starts_with("delete") || sql.starts_with("replace"));
            putDone(out, doneToken, static_cast<uint16_t>(more | (counted ? kDoneCount : 0)), 0,
                    counted ? static_cast<uint64_t>(sqlite3_changes64(db_)) : 0, tds_);
            w.append(out);
            return Outcome::Done;
        }
        std::vector<Column> meta;
        const std::map<std::string, std::string> aliases = aliasTypes();
        for (int c = 0; c < columns; ++c) {
            const int first = rc == SQLITE_ROW ? sqlite3_column_type(st, c) : SQLITE_NULL;
            const char* name = sqlite3_column_name(st, c);
            meta.push_back({utf8ToUtf16(name ? name : ""),
                            forVersion(columnTypeFor(baseType(aliases, sqlite3_column_decltype(st, c)), first), tds_)});
        }
        putColMetadata(out, meta, tds_);
        w.append(out);
        uint64_t rows = 0;
        Bytes row;
        while (rc == SQLITE_ROW) {
            row.clear();
            put8(row, kTokenRow);
            try {
                for (int c = 0; c < columns; ++c)
                    putValue(row, meta[static_cast<size_t>(c)].type, cellOf(st, c));
            } catch (const ValueError& e) {
                fail(w, {e.number, 16, 1, e.message}, inProc);
                return Outcome::Failed;
            }
            w.append(row);
            ++rows;
            if (w.cancelled()) {
                out.clear();
                putDone(out, kTokenDone, kDoneAttn, 0, 0, tds_);
                w.append(out);
                w.finish();
                socket_.takeAttention();
                return Outcome::Cancelled;
            }
            rc = sqlite3_step(st);
        }
        if (rc != SQLITE_DONE) {
            fail(w, fromSqlite(sqlite3_errmsg(db_)), inProc);
            return Outcome::Failed;
        }
        out.clear();
        putDone(out, doneToken, static_cast<uint16_t>(more | kDoneCount), kCmdSelect, rows, tds_);
        w.append(out);
        return Outcome::Done;
    }

    // Reads one RPC parameter: name, status, TYPE_INFO and value.
    Param readParam(Reader& r)
    {
        Param p;
        const uint8_t nameLength = r.u8();
        std::string name = utf16ToUtf8(r.ucs2(nameLength));
        if (!name.empty() && name[0] == '@')
            name.erase(0, 1);
        p.name = name;
        r.u8(); // status flags
        const uint8_t type = r.u8();
        const auto setInteger = [&](const Bytes& b) {
            uint64_t v = 0;
            for (size_t i = 0; i < b.size(); ++i)
                v |= static_cast<uint64_t>(b[i]) << (8 * i);
            if (b.size() < 8 && b.size() > 0 && type != 0x30 && (b.back() & 0x80))
                v |= ~uint64_t(0) << (8 * b.size());
            p.null = false;
            p.storage = SQLITE_INTEGER;
            p.integer = static_cast<int64_t>(v);
        };
        const auto setText = [&](std::string text) {
            p.null = false;
            p.storage = SQLITE_TEXT;
            p.bytes = std::move(text);
        };
        switch (type) {
        case 0x30: case 0x32: case 0x34: case 0x38: case 0x7F: {
            const size_t n = type == 0x30 || type == 0x32 ? 1 : type == 0x34 ? 2 : type == 0x38 ? 4 : 8;
            setInteger(r.bytes(n));
            break;
        }
        case 0x26: case 0x68: {
            r.u8();
            const uint8_t n = r.u8();
            if (n > 0) {
                const Bytes b = r.bytes(n);
                setInteger(b);
                if (type == 0x68 || n == 1)
                    p.integer = b[0];
            }
            break;
        }
        case 0x6D: {
            r.u8();
            const uint8_t n = r.u8();
            if (n == 8) {
                const uint64_t bits = r.u64();
                std::memcpy(&p.real, &bits, 8);
                p.null = false;
                p.storage = SQLITE_FLOAT;
            } else if (n == 4) {
                const uint32_t bits = r.u32();
                float f;
                std::memcpy(&f, &bits, 4);
                p.real = f;
                p.null = false;
                p.storage = SQLITE_FLOAT;
            }
            break;
        }
        case 0x6A: case 0x6C: {
            r.u8();
            r.u8();
            const uint8_t scale = r.u8();
            const uint8_t n = r.u8();
            if (n > 0) {
                const uint8_t sign = r.u8();
                Bytes magnitude = r.bytes(n - 1u);
                std::string digits;
                while (std::any_of(magnitude.begin(), magnitude.end(), [](uint8_t b) { return b != 0; })) {
                    unsigned remainder = 0;
                    for (size_t i = magnitude.size(); i-- > 0;) {
                        const unsigned v = remainder * 256 + magnitude[i];
                        magnitude[i] = static_cast<uint8_t>(v / 10);
                        remainder = v % 10;
                    }
                    digits.insert(digits.begin(), static_cast<char>('0' + remainder));
                }
                if (digits.size() <= scale)
                    digits.insert(0, scale + 1 - digits.size(), '0');
                if (scale > 0)
                    digits.insert(digits.size() - scale, ".");
                setText((sign == 0 ? "-" : "") + digits);
            }
            break;
        }
        case 0xA7: case 0xAF: case 0xE7: case 0xEF: case 0xA5: case 0xAD: {
            const uint16_t max = r.u16();
            const bool binary = type == 0xA5 || type == 0xAD;
            if (!binary)
                r.skip(5);
            std::string data;
            bool present = false;
            if (max == 0xFFFF) {
                const uint64_t total = r.u64();
                if (total != ~uint64_t(0)) {
                    present = true;
                    for (uint32_t chunk = r.u32(); chunk != 0; chunk = r.u32()) {
                        const Bytes b = r.bytes(chunk);
                        data.append(b.begin(), b.end());
                    }
                }
            } else {
                const uint16_t n = r.u16();
                if (n != 0xFFFF) {
                    present = true;
                    const Bytes b = r.bytes(n);
                    data.assign(b.begin(), b.end());
                }
            }
            if (!present)
                break;
            if (binary) {
                p.null = false;
                p.storage = SQLITE_BLOB;
                p.bytes = std::move(data);
            } else if (type == 0xE7 || type == 0xEF) {
                std::u16string text;
                for (size_t i = 0; i + 1 < data.size(); i += 2)
                    text.push_back(static_cast<char16_t>(static_cast<uint8_t>(data[i]) | (static_cast<uint8_t>(data[i + 1]) << 8)));
                setText(utf16ToUtf8(text));
            } else {
                std::u16string text;
                for (char c : data)
                    text.push_back(static_cast<char16_t>(static_cast<uint8_t>(c)));
                setText(utf16ToUtf8(text));
            }
            break;
        }
        case 0x63: case 0x23: case 0x22: {
            r.u32();
            if (type != 0x22)
                r.skip(5);
            const uint32_t n = r.u32();
            if (n != 0xFFFFFFFF) {
                const Bytes b = r.bytes(n);
                std::string data(b.begin(), b.end());
                if (type == 0x63) {
                    std::u16string text;
                    for (size_t i = 0; i + 1 < data.size(); i += 2)
                        text.push_back(static_cast<char16_t>(static_cast<uint8_t>(data[i]) | (static_cast<uint8_t>(data[i + 1]) << 8)));
                    setText(utf16ToUtf8(text));
                } else {
                    p.null = false;
                    p.storage = type == 0x22 ? SQLITE_BLOB : SQLITE_TEXT;
                    p.bytes = std::move(data);
                }
            }
            break;
        }
        case 0x1F:
            break;
        default:
            throw ServerError{8016, 16, 1, "The incoming tabular data stream (TDS) remote procedure call (RPC) protocol "
                                           "stream is incorrect: unsupported parameter type."};
        }
        return p;
    }

    void rpc(const Message& m)
    {
        ReplyWriter w = writer();
        std::string name;
        uint16_t id = 0;
        std::vector<Param> params;
        try {
            Reader r(m.data, headersEnd(m.data));
            const uint16_t nameLength = r.u16();
            if (nameLength == 0xFFFF)
                id = r.u16();
            else
                name = utf16ToUtf8(r.ucs2(nameLength));
            r.u16(); // option flags
            while (r.left() > 0) {
                const uint8_t next = m.data[r.pos()];
                if (next == 0x80 || next == 0xFF || next == 0xFE)
                    break;
                params.push_back(readParam(r));
            }
        } catch (const ProtocolError&) {
            finishProc(w, fail(w, {8016, 16, 1, "The incoming tabular data stream (TDS) remote procedure call (RPC) "
                                                "protocol stream is incorrect."}));
            return;
        } catch (const ServerError& e) {
            finishProc(w, fail(w, e));
            return;
        }
        const auto dot = name.rfind('.');
        const std::string proc = lowerAscii(dot == std::string::npos ? name : name.substr(dot + 1));
        if (std::optional<ResultSet> result = catalogProcedure(proc, params)) {
            putDone(result->tokens, kTokenDoneInProc, kDoneMore | kDoneCount, kCmdSelect, result->rows, tds_);
            w.append(result->tokens);
            finishProc(w, true);
        } else if (id == kProcExecuteSql || proc == "sp_executesql") {
            const std::string sql = params.empty() ? std::string() : params[0].bytes;
            const std::string declaration = params.size() > 1 ? params[1].bytes : std::string();
            execute(w, sql,
                    named(params.size() > 2 ? std::vector<Param>(params.begin() + 2, params.end()) : std::vector<Param>{},
                          declaration),
                    std::nullopt);
        } else if (id == kProcPrepExec || proc == "sp_prepexec" || id == kProcPrepare || proc == "sp_prepare") {
            const bool run = id == kProcPrepExec || proc == "sp_prepexec";
            const std::string sql = params.size() > 2 ? params[2].bytes : std::string();
            const std::string declaration = params.size() > 1 ? params[1].bytes : std::string();
            const int32_t handle = nextHandle_++;
            prepared_[handle] = {sql, declaration};
            if (run) {
                execute(w, sql,
                        named(params.size() > 3 ? std::vector<Param>(params.begin() + 3, params.end()) : std::vector<Param>{},
                              declaration),
                        handle);
            } else {
                finishProc(w, true, handle);
            }
        } else if (id == kProcExecute || proc == "sp_execute") {
            const auto found = params.empty() ? prepared_.end() : prepared_.find(static_cast<int32_t>(params[0].integer));
            if (found == prepared_.end()) {
                finishProc(w, fail(w, {8179, 16, 4, "Could not find prepared statement with handle " +
                                                        std::to_string(params.empty() ? 0 : params[0].integer) + "."}));
            } else {
                execute(w, found->second.sql, named(std::vector<Param>(params.begin() + 1, params.end()), found->second.declaration),
                        std::nullopt);
            }
        } else if (id == kProcUnprepare || proc == "sp_unprepare") {
            if (!params.empty())
                prepared_.erase(static_cast<int32_t>(params[0].integer));
            finishProc(w, true);
        } else {
            finishProc(w, fail(w, {2812, 16, 62, "Could not find stored procedure '" + name + "'."}));
        }
    }

    bool fail(ReplyWriter& w, const ServerError& e)
    {
        fail(w, e, true);
        return false;
    }

    // RETURNSTATUS, the handle of a prepared statement as output parameter, DONEPROC.
    void finishProc(ReplyWriter& w, bool ok, std::optional<int32_t> handle = std::nullopt)
    {
        Bytes out;
        put8(out, kTokenReturnStatus);
        put32(out, ok ? 0 : 1);
        if (handle) {
            put8(out, kTokenReturnValue);
            put16(out, 0);
            putBVarchar(out, u"@handle");
            put8(out, 0x01);
            if (tds_ >= kTds72)
                put32(out, 0);
            else
                put16(out, 0);
            put16(out, 0x0009);
            put8(out, 0x26);
            put8(out, 4);
            put8(out, 4);
            put32(out, static_cast<uint32_t>(*handle));
        }
        putDone(out, kTokenDoneProc, ok ? kDoneFinal : kDoneError, 0, 0, tds_);
        w.append(out);
        w.finish();
    }

    // Values may come without names; they then follow the order of the declaration ("@P1 int, @P2 ...").
    static std::vector<Param> named(std::vector<Param> values, const std::string& declaration)
    {
        std::vector<std::string> names;
        for (size_t i = 0; i < declaration.size(); ++i) {
            if (declaration[i] != '@')
                continue;
            size_t end = i + 1;
            while (end < declaration.size() && (std::isalnum(static_cast<unsigned char>(declaration[end])) ||
                                                declaration[end] == '_'))
                ++end;
            names.push_back(declaration.substr(i + 1, end - i - 1));
            i = end;
        }
        for (size_t i = 0; i < values.size() && i < names.size(); ++i) {
            if (values[i].name.empty())
                values[i].name = names[i];
        }
        return values;
    }

    void execute(ReplyWriter& w, const std::string& sql, const std::vector<Param>& params, std::optional<int32_t> handle)
    {
        const Outcome o = runStatements(w, sql, true, params);
        if (o != Outcome::Cancelled)
            finishProc(w, o == Outcome::Done, handle);
    }

    // The schemas other than dbo, in lower case: a SQLite table "Schema.Name" is table Name of
    // schema Schema.
    std::set<std::string> schemaNames() const
    {
        std::set<std::string> schemas;
        sqlite3_stmt* raw = nullptr;
        sqlite3_prepare_v2(db_, "SELECT DISTINCT substr(name, 1, instr(name, '.') - 1) FROM sqlite_schema "
                                "WHERE type IN ('table','view') AND instr(name, '.') > 1", -1, &raw, nullptr);
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
        while (raw && sqlite3_step(raw) == SQLITE_ROW)
            schemas.insert(lowerAscii(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0))));
        return schemas;
    }

    struct ResultSet {
        Bytes tokens; // COLMETADATA and ROWs
        uint64_t rows = 0;
    };

    // The column types of the catalog procedures' results.
    static constexpr ColumnType kSysname{Kind::NVarChar, 128}, kSmall{Kind::SmallInt}, kWhole{Kind::Int};

    static Cell textCell(const std::string& s)
    {
        Cell c;
        c.storage = SQLITE_TEXT;
        c.bytes = s;
        return c;
    }

    static Cell integerCell(int64_t value)
    {
        Cell c;
        c.storage = SQLITE_INTEGER;
        c.integer = value;
        return c;
    }

    // The procedures that answer ODBC's catalog functions; nothing for another name.
    std::optional<ResultSet> catalogProcedure(const std::string& proc, const std::vector<Param>& params)
    {
        if (proc == "sp_tables")
            return spTables(params);
        if (proc == "sp_columns" || proc == "sp_columns_100")
            return spColumns(params);
        if (proc == "sp_datatype_info" || proc == "sp_datatype_info_100")
            return spDatatypeInfo(params);
        return std::nullopt;
    }

    // Arguments by name (lower case, without '@') or, unnamed, by their place in `positional`.
    static std::map<std::string, std::optional<std::string>> arguments(const std::vector<Param>& params,
                                                                       const std::vector<std::string>& positional)
    {
        std::map<std::string, std::optional<std::string>> arg;
        for (size_t i = 0; i < params.size(); ++i) {
            const std::string key =
                params[i].name.empty() ? (i < positional.size() ? positional[i] : std::string()) : lowerAscii(params[i].name);
            const std::string value =
                params[i].storage == SQLITE_INTEGER ? std::to_string(params[i].integer) : params[i].bytes;
            arg[key] = params[i].null ? std::nullopt : std::optional<std::string>(value);
        }
        return arg;
    }

    static std::optional<std::string> argument(const std::map<std::string, std::optional<std::string>>& arg,
                                               const char* key)
    {
        const auto found = arg.find(key);
        return found == arg.end() ? std::nullopt : found->second;
    }

    struct CatalogEntry {
        std::string owner, name, type, table; // table: the SQLite name
    };

    // Every table and view; a SQLite table "Schema.Name" is Name of schema Schema, the others dbo's.
    std::vector<CatalogEntry> catalogEntries() const
    {
        std::vector<CatalogEntry> entries{{"sys", "trace_xe_action_map", "SYSTEM TABLE", ""},
                                          {"sys", "trace_xe_event_map", "SYSTEM TABLE", ""}};
        sqlite3_stmt* raw = nullptr;
        sqlite3_prepare_v2(db_, "SELECT name, type FROM sqlite_schema WHERE type IN ('table','view') "
                                "AND name NOT LIKE 'sqlite!_%' ESCAPE '!'", -1, &raw, nullptr);
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
        while (raw && sqlite3_step(raw) == SQLITE_ROW) {
            const std::string type = reinterpret_cast<const char*>(sqlite3_column_text(raw, 1));
            const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
            const size_t dot = name.find('.');
            const bool qualified = dot != std::string::npos && dot > 0;
            entries.push_back({qualified ? name.substr(0, dot) : "dbo", qualified ? name.substr(dot + 1) : name,
                               type == "view" ? "VIEW" : "TABLE", name});
        }
        return entries;
    }

    static std::string sqlLiteral(const std::string& text)
    {
        std::string quoted = "'";
        for (const char c : text)
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        return quoted + "'";
    }

    // sys.schemas, sys.tables and sys.partitions as session views over the tables of the moment,
    // so that a client reads row counts from the catalog as it does on SQL Server. Each table is
    // one heap partition (index_id 0) whose row count SQLite counts when the view is read.
    // sys.columns, sys.indexes and sys.index_columns name each table's columns and its primary
    // key, as index 1 flagged is_primary_key, its columns in key order.
    void refreshCatalogViews()
    {
        std::map<std::string, int> schemaIds{{"dbo", 1}, {"sys", 4}};
        std::string tables, partitions, columns;
        int objectId = 1000;
        for (const CatalogEntry& e : catalogEntries()) {
            if (e.type != "TABLE" || e.table.empty() || lowerAscii(e.owner) == "sys")
                continue;
            const auto schema = schemaIds.try_emplace(e.owner, 5 + static_cast<int>(schemaIds.size())).first;
            const std::string id = std::to_string(++objectId);
            std::string table = "\"";
            for (const char c : e.table)
                table += c == '"' ? std::string("\"\"") : std::string(1, c);
            table += '"';
            tables += (tables.empty() ? "VALUES (" : ", (") + id + ", " + sqlLiteral(e.name) + ", " +
                      std::to_string(schema->second) + ")";
            partitions += (partitions.empty() ? "VALUES (" : ", (") + id + ", " + id + ", 0, 1, (SELECT COUNT(*) FROM " +
                          table + "))";
            columns += std::string(columns.empty() ? "" : " UNION ALL ") + "SELECT " + id +
                       ", cid + 1, name, pk FROM pragma_table_info(" + sqlLiteral(e.table) + ")";
        }
        std::string schemas;
        for (const auto& [name, id] : schemaIds)
            schemas += (schemas.empty() ? "VALUES (" : ", (") + std::to_string(id) + ", " + sqlLiteral(name) + ")";
        const std::string sql =
            "DROP VIEW IF EXISTS temp.\"sys.schemas\"; DROP VIEW IF EXISTS temp.\"sys.tables\";"
            "DROP VIEW IF EXISTS temp.\"sys.partitions\"; DROP VIEW IF EXISTS temp.\"sys.columns\";"
            "DROP VIEW IF EXISTS temp.\"sys.indexes\"; DROP VIEW IF EXISTS temp.\"sys.index_columns\";"
            "DROP VIEW IF EXISTS temp.catalog_columns;"
            "CREATE TEMP VIEW \"sys.schemas\"(schema_id, name) AS " + schemas + ";"
            "CREATE TEMP VIEW \"sys.tables\"(object_id, name, schema_id) AS " +
            (tables.empty() ? "SELECT NULL, NULL, NULL WHERE 0" : tables) + ";"
            "CREATE TEMP VIEW \"sys.partitions\"(partition_id, object_id, index_id, partition_number, rows) AS " +
            (partitions.empty() ? "SELECT NULL, NULL, NULL, NULL, NULL WHERE 0" : partitions) + ";"
            "CREATE TEMP VIEW catalog_columns(object_id, column_id, name, pk) AS " +
            (columns.empty() ? "SELECT NULL, NULL, NULL, NULL WHERE 0" : columns) + ";"
            "CREATE TEMP VIEW \"sys.columns\"(object_id, column_id, name) AS "
            "SELECT object_id, column_id, name FROM catalog_columns;"
            "CREATE TEMP VIEW \"sys.indexes\"(object_id, index_id, name, is_primary_key) AS "
            "SELECT DISTINCT object_id, 1, 'PK', 1 FROM catalog_columns WHERE pk > 0;"
            "CREATE TEMP VIEW \"sys.index_columns\"(object_id, index_id, column_id, key_ordinal) AS "
            "SELECT object_id, 1, column_id, pk FROM catalog_columns WHERE pk > 0;";
        sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    }

    // Whether an entry passes sp_tables' or sp_columns' name, owner and qualifier patterns.
    bool catalogMatch(const CatalogEntry& e, const std::map<std::string, std::optional<std::string>>& arg) const
    {
        const auto name = argument(arg, "table_name");
        const auto owner = argument(arg, "table_owner");
        const auto qualifier = argument(arg, "table_qualifier");
        return !(name && !name->empty() && !likeMatch(*name, e.name)) &&
               !(owner && !owner->empty() && !likeMatch(*owner, e.owner)) &&
               !(qualifier && !qualifier->empty() && !equalsNoCase(*qualifier, dbName_));
    }

    // Alias types ("CREATE TYPE Phone FROM nvarchar(24)") as the SQLite table "sys.alias_types"
    // (name, base) declares them, by lower-case name.
    std::map<std::string, std::string> aliasTypes() const
    {
        std::map<std::string, std::string> aliases;
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db_, "SELECT name, base FROM \"sys.alias_types\"", -1, &raw, nullptr) != SQLITE_OK)
            return aliases;
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
        while (sqlite3_step(raw) == SQLITE_ROW) {
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
            const auto* base = reinterpret_cast<const char*>(sqlite3_column_text(raw, 1));
            if (name && base)
                aliases[lowerAscii(name)] = base;
        }
        return aliases;
    }

    // A declared type, with an alias type replaced by its base type.
    static const char* baseType(const std::map<std::string, std::string>& aliases, const char* declared)
    {
        if (!declared || aliases.empty())
            return declared;
        std::string name = lowerAscii(declared);
        std::erase_if(name, [](char c) { return c == '[' || c == ']' || c == '"'; });
        const auto found = aliases.find(name);
        return found == aliases.end() ? declared : found->second.c_str();
    }

    // The catalog as SQL Server's sp_tables gives it: ordered by type, owner and name.
    ResultSet spTables(const std::vector<Param>& params) const
    {
        const auto arg = arguments(params, {"table_name", "table_owner", "table_qualifier", "table_type"});
        std::vector<std::string> types;
        if (const auto list = argument(arg, "table_type")) {
            std::string item;
            for (char c : *list + ",") {
                if (c == ',') {
                    if (!item.empty())
                        types.push_back(item);
                    item.clear();
                } else if (c != '\'' && c != '"' && !(c == ' ' && item.empty())) {
                    item.push_back(c);
                }
            }
            for (std::string& t : types) {
                while (!t.empty() && t.back() == ' ')
                    t.pop_back();
            }
        }
        std::vector<CatalogEntry> entries = catalogEntries();
        std::erase_if(entries, [&](const CatalogEntry& e) {
            return !catalogMatch(e, arg) ||
                   (!types.empty() && std::none_of(types.begin(), types.end(),
                                                   [&](const std::string& t) { return equalsNoCase(t, e.type); }));
        });
        std::sort(entries.begin(), entries.end(), [](const CatalogEntry& a, const CatalogEntry& b) {
            const auto key = [](const CatalogEntry& e) {
                return std::make_tuple(e.type, lowerAscii(e.owner), lowerAscii(e.name));
            };
            return key(a) < key(b);
        });

        const std::vector<Column> columns{{u"TABLE_QUALIFIER", {Kind::NVarChar, 128}},
                                          {u"TABLE_OWNER", {Kind::NVarChar, 128}},
                                          {u"TABLE_NAME", {Kind::NVarChar, 128}},
                                          {u"TABLE_TYPE", {Kind::VarChar, 32}},
                                          {u"REMARKS", {Kind::VarChar, 254}}};
        ResultSet result;
        putColMetadata(result.tokens, columns, tds_);
        for (const CatalogEntry& e : entries) {
            put8(result.tokens, kTokenRow);
            putValue(result.tokens, columns[0].type, textCell(dbName_));
            putValue(result.tokens, columns[1].type, textCell(e.owner));
            putValue(result.tokens, columns[2].type, textCell(e.name));
            putValue(result.tokens, columns[3].type, textCell(e.type));
            putValue(result.tokens, columns[4].type, Cell{});
        }
        result.rows = entries.size();
        return result;
    }

    // The columns of the matching tables, as SQLColumns reads them (ODBC 3 codes).
    ResultSet spColumns(const std::vector<Param>& params) const
    {
        const auto arg = arguments(params, {"table_name", "table_owner", "table_qualifier", "column_name"});
        const auto columnPattern = argument(arg, "column_name");
        std::vector<CatalogEntry> entries = catalogEntries();
        std::erase_if(entries, [&](const CatalogEntry& e) { return e.table.empty() || !catalogMatch(e, arg); });
        std::sort(entries.begin(), entries.end(), [](const CatalogEntry& a, const CatalogEntry& b) {
            return std::make_tuple(lowerAscii(a.owner), lowerAscii(a.name)) <
                   std::make_tuple(lowerAscii(b.owner), lowerAscii(b.name));
        });
        const ColumnType remark{Kind::VarChar, 254}, definition{Kind::NVarChar, 4000}, tiny{Kind::TinyInt};
        const std::vector<Column> columns{
            {u"TABLE_QUALIFIER", kSysname}, {u"TABLE_OWNER", kSysname},    {u"TABLE_NAME", kSysname},
            {u"COLUMN_NAME", kSysname},     {u"DATA_TYPE", kSmall},     {u"TYPE_NAME", kSysname},
            {u"PRECISION", kWhole},      {u"LENGTH", kWhole},        {u"SCALE", kSmall},
            {u"RADIX", kSmall},          {u"NULLABLE", kSmall},      {u"REMARKS", remark},
            {u"COLUMN_DEF", definition}, {u"SQL_DATA_TYPE", kSmall}, {u"SQL_DATETIME_SUB", kSmall},
            {u"CHAR_OCTET_LENGTH", kWhole}, {u"ORDINAL_POSITION", kWhole}, {u"IS_NULLABLE", remark},
            {u"SS_DATA_TYPE", tiny}};
        ResultSet result;
        putColMetadata(result.tokens, columns, tds_);
        const std::map<std::string, std::string> aliases = aliasTypes();
        for (const CatalogEntry& e : entries) {
            sqlite3_stmt* raw = nullptr;
            std::string pragma = "SELECT name, type, \"notnull\", dflt_value FROM pragma_table_xinfo(?)";
            sqlite3_prepare_v2(db_, pragma.c_str(), -1, &raw, nullptr);
            std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
            if (!raw)
                continue;
            sqlite3_bind_text(raw, 1, e.table.c_str(), -1, SQLITE_TRANSIENT);
            for (int ordinal = 1; sqlite3_step(raw) == SQLITE_ROW; ++ordinal) {
                const std::string column = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
                if (columnPattern && !columnPattern->empty() && !likeMatch(*columnPattern, column))
                    continue;
                const char* declared = reinterpret_cast<const char*>(sqlite3_column_text(raw, 1));
                const OdbcFacts f = odbcFacts(columnTypeFor(baseType(aliases, declared), SQLITE_NULL));
                const bool nullable = sqlite3_column_int(raw, 2) == 0;
                const bool dateTime = f.dataType == 91 || f.dataType == 93;
                const bool character = f.dataType == 1 || f.dataType == 12 || f.dataType == -1 || f.dataType == -8 ||
                                       f.dataType == -9 || f.dataType == -10;
                const bool binary = f.dataType == -2 || f.dataType == -3 || f.dataType == -4;
                const char* defaultValue = reinterpret_cast<const char*>(sqlite3_column_text(raw, 3));
                const std::string defaultText = defaultValue ? defaultValue : "";
                put8(result.tokens, kTokenRow);
                const auto put = [&](size_t c, const Cell& cell) { putValue(result.tokens, columns[c].type, cell); };
                put(0, textCell(dbName_));
                put(1, textCell(e.owner));
                put(2, textCell(e.name));
                put(3, textCell(column));
                put(4, integerCell(f.dataType));
                put(5, textCell(f.name));
                put(6, integerCell(f.precision));
                put(7, integerCell(f.length));
                put(8, f.scale < 0 ? Cell{} : integerCell(f.scale));
                put(9, f.radix == 0 ? Cell{} : integerCell(f.radix));
                put(10, integerCell(nullable ? 1 : 0));
                put(11, Cell{});
                put(12, defaultValue ? textCell(defaultText) : Cell{});
                put(13, integerCell(dateTime ? 9 : f.dataType));
                put(14, dateTime ? integerCell(f.dateTimeSub) : Cell{});
                put(15, character || binary ? integerCell(f.length) : Cell{});
                put(16, integerCell(ordinal));
                const std::string yesNo = nullable ? "YES" : "NO";
                put(17, textCell(yesNo));
                put(18, Cell{});
                ++result.rows;
            }
        }
        return result;
    }

    // The types SQLGetTypeInfo lists: all, or those of one ODBC data type (the first argument).
    ResultSet spDatatypeInfo(const std::vector<Param>& params) const
    {
        const auto arg = arguments(params, {"data_type", "odbcver"});
        const auto wanted = argument(arg, "data_type");
        const int dataType = wanted ? std::atoi(wanted->c_str()) : 0;
        std::vector<OdbcFacts> types;
        std::set<std::string> seen;
        for (const ColumnType& t : everyType()) {
            const OdbcFacts f = odbcFacts(t);
            if ((dataType == 0 || f.dataType == dataType) && seen.insert(f.name).second)
                types.push_back(f);
        }
        std::stable_sort(types.begin(), types.end(),
                         [](const OdbcFacts& a, const OdbcFacts& b) { return a.dataType < b.dataType; });
        const ColumnType text{Kind::VarChar, 32};
        const std::vector<Column> columns{
            {u"TYPE_NAME", kSysname},       {u"DATA_TYPE", kSmall},        {u"PRECISION", kWhole},
            {u"LITERAL_PREFIX", text},  {u"LITERAL_SUFFIX", text},    {u"CREATE_PARAMS", text},
            {u"NULLABLE", kSmall},       {u"CASE_SENSITIVE", kSmall},   {u"SEARCHABLE", kSmall},
            {u"UNSIGNED_ATTRIBUTE", kSmall}, {u"MONEY", kSmall},        {u"AUTO_INCREMENT", kSmall},
            {u"LOCAL_TYPE_NAME", kSysname}, {u"MINIMUM_SCALE", kSmall},    {u"MAXIMUM_SCALE", kSmall},
            {u"SQL_DATA_TYPE", kSmall},  {u"SQL_DATETIME_SUB", kSmall}, {u"NUM_PREC_RADIX", kWhole},
            {u"INTERVAL_PRECISION", kSmall}, {u"USERTYPE", kSmall}};
        ResultSet result;
        putColMetadata(result.tokens, columns, tds_);
        for (const OdbcFacts& f : types) {
            const bool numeric = f.radix != 0;
            const bool dateTime = f.dataType == 91 || f.dataType == 93;
            const int precision = f.precision == 0 ? (f.dataType == -9 ? 4000 : 8000) : f.precision;
            const auto optionalText = [&](const std::string& v) { return v.empty() ? Cell{} : textCell(v); };
            put8(result.tokens, kTokenRow);
            const auto put = [&](size_t c, const Cell& cell) { putValue(result.tokens, columns[c].type, cell); };
            put(0, textCell(f.name));
            put(1, integerCell(f.dataType));
            put(2, integerCell(precision));
            put(3, optionalText(f.literalPrefix));
            put(4, optionalText(f.literalSuffix));
            put(5, optionalText(f.createParams));
            put(6, integerCell(1));
            put(7, integerCell(0));
            put(8, integerCell(3));
            put(9, numeric || f.dataType == -7 ? integerCell(f.isUnsigned ? 1 : 0) : Cell{});
            put(10, integerCell(f.money ? 1 : 0));
            put(11, numeric ? integerCell(0) : Cell{});
            put(12, textCell(f.name));
            put(13, f.scale < 0 ? Cell{} : integerCell(0));
            put(14, f.scale < 0 ? Cell{} : integerCell(f.dataType == 2 || f.dataType == 3 ? 38 : f.scale));
            put(15, integerCell(dateTime ? 9 : f.dataType));
            put(16, dateTime ? integerCell(f.dateTimeSub) : Cell{});
            put(17, f.radix == 0 ? Cell{} : integerCell(f.radix));
            put(18, Cell{});
            put(19, integerCell(0));
            ++result.rows;
        }
        return result;
    }

    Socket socket_;
    const ServerConfig& config_;
    uint16_t spid_;
    uint32_t tds_ = kTds74;
    size_t packetSize_ = 4096;
    sqlite3* db_ = nullptr;
    std::string dbName_;
    struct Prepared {
        std::string sql;
        std::string declaration;
    };
    std::map<int32_t, Prepared> prepared_;
    int32_t nextHandle_ = 1;
    bool fmtOnly_ = false;
};

} // namespace

void serveClient(int fd, const ServerConfig& config, uint16_t spid)
{
    try {
        Session(fd, config, spid).run();
    } catch (const ProtocolError&) {
        // The client broke the protocol or went away mid-reply; its socket closes with the session.
    }
}

} // namespace demo
