#include "paradox/Sql.h"

#include "paradox/Database.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace paradox::sql {

std::size_t characterPosition(std::string_view text, std::size_t byteOffset)
{
    std::size_t pos = 1;
    for (std::size_t i = 0; i < byteOffset && i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++pos;
    return pos;
}

namespace {

enum class Tok { Word, Quoted, String, Number, Punct, End, Binary };

// Tokens point into the statement; only a string with a doubled quote needs a copy of its
// own, so a statement of plain values is read without allocating.
struct Token {
    Tok kind = Tok::End;
    std::string_view view; // as written, without the quotes of names and strings
    std::string unescaped; // a string that held a doubled quote, with the quote single
    bool escaped = false;
    std::size_t offset = 0;

    std::string_view text() const { return escaped ? std::string_view(unescaped) : view; }
};

char upperAscii(unsigned char c);

std::string upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = upperAscii(static_cast<unsigned char>(c));
    return out;
}

bool space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool digit(unsigned char c) { return c >= '0' && c <= '9'; }
char upperAscii(unsigned char c) { return char(c >= 'a' && c <= 'z' ? c - 32 : c); }

bool wordStart(unsigned char c) { return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_' || c >= 0x80; }
bool wordChar(unsigned char c) { return wordStart(c) || digit(c); }

// A literal or a quoted name whose opening quote is at `i` and that ends at `close`, which
// it holds written twice: its text as written, between the quotes, with `i` moved past the
// closing one. False when it has none.
bool scanQuoted(std::string_view s, std::size_t& i, char close, std::string_view& text, bool& escaped)
{
    const std::size_t start = i + 1;
    escaped = false;
    for (++i;;) {
        const std::size_t quote = s.find(close, i);
        if (quote == std::string_view::npos) return false;
        i = quote + 1;
        if (i < s.size() && s[i] == close) {
            escaped = true;
            ++i;
            continue;
        }
        break;
    }
    text = s.substr(start, i - 1 - start);
    return true;
}

bool scanString(std::string_view s, std::size_t& i, std::string_view& text, bool& escaped)
{
    return scanQuoted(s, i, '\'', text, escaped);
}

void unescape(std::string_view written, char close, std::string& out)
{
    out.resize(written.size());
    char* to = out.data();
    const char* from = written.data();
    const char* const end = from + written.size();
    while (from != end) {
        const auto* quote = static_cast<const char*>(std::memchr(from, close, std::size_t(end - from)));
        const char* upTo = quote ? quote + 1 : end;
        std::memcpy(to, from, std::size_t(upTo - from));
        to += upTo - from;
        // The quote's second copy is left out.
        from = quote ? std::min(quote + 2, end) : end;
    }
    out.resize(std::size_t(to - out.data()));
}

class Parser {
public:
    explicit Parser(std::string_view s) : s_(s) { advance(); }

    void statement(Statement& st)
    {
        const std::string w = keyword();
        if (w == "DROP") {
            advance();
            expectKeyword("TABLE");
            st = DropTable{name("a table name")};
        } else if (w == "CREATE") {
            advance();
            const std::string what = keyword();
            if (what == "TABLE") {
                advance();
                st = createTable();
            } else if (what == "INDEX" || what == "UNIQUE") {
                advance();
                if (what == "UNIQUE") expectKeyword("INDEX");
                st = createIndex();
            } else {
                unexpected("TABLE or INDEX");
            }
        } else if (w == "INSERT") {
            advance();
            expectKeyword("INTO");
            if (!std::holds_alternative<Insert>(st)) st.emplace<Insert>();
            insert(std::get<Insert>(st));
        } else {
            unexpected("DROP, CREATE or INSERT");
        }
        if (isPunct(';')) advance();
        if (tok_.kind != Tok::End)
            error(tok_.offset, "unexpected " + describe(tok_) + " after the end of the statement");
    }

private:
    [[noreturn]] void error(std::size_t offset, const std::string& what) const
    {
        throw SqlError("SQL error at position " + std::to_string(characterPosition(s_, offset)) + ": " + what);
    }

    static std::string describe(const Token& t)
    {
        switch (t.kind) {
        case Tok::End: return "the end of the statement";
        case Tok::Quoted: return "\"" + std::string(t.text()) + "\"";
        default: return "'" + std::string(t.text()) + "'";
        }
    }

    [[noreturn]] void unexpected(const std::string& expected) const
    {
        error(tok_.offset, "expected " + expected + ", found " + describe(tok_));
    }

    std::string keyword() const { return tok_.kind == Tok::Word ? upper(tok_.view) : std::string(); }
    bool is(std::string_view k) const
    {
        if (tok_.kind != Tok::Word || tok_.view.size() != k.size()) return false;
        for (std::size_t i = 0; i < k.size(); ++i)
            if (upperAscii(static_cast<unsigned char>(tok_.view[i])) != k[i]) return false;
        return true;
    }
    bool isPunct(char p) const { return tok_.kind == Tok::Punct && tok_.view[0] == p; }

    void expectKeyword(std::string_view k)
    {
        if (!is(k)) unexpected(std::string(k));
        advance();
    }

    void expectPunct(char p)
    {
        if (!isPunct(p)) unexpected("'" + std::string(1, p) + "'");
        advance();
    }

    Name name(const std::string& what)
    {
        if (tok_.kind != Tok::Word && tok_.kind != Tok::Quoted) unexpected(what);
        const std::size_t at = tok_.offset;
        Name n{std::string(tok_.text()), at, tok_.kind == Tok::Quoted ? at + 1 : at};
        advance();
        return n;
    }

    long number(const std::string& what)
    {
        if (tok_.kind != Tok::Number || tok_.view.find_first_not_of("0123456789") != std::string_view::npos ||
            tok_.view.size() > 6)
            unexpected(what);
        const long v = std::stol(std::string(tok_.view));
        advance();
        return v;
    }

    // Items separated by commas up to the closing parenthesis, which is consumed; the opening
    // one has been read already.
    template <class Item>
    void listUntilClose(Item&& item)
    {
        for (;;) {
            item();
            if (isPunct(',')) {
                advance();
                continue;
            }
            if (isPunct(')'))
                break;
            unexpected("',' or ')'");
        }
        advance();
    }

    CreateTable createTable()
    {
        CreateTable ct{name("a table name"), {}};
        expectPunct('(');
        listUntilClose([&] {
            ColumnDef c;
            c.name = name("a column name");
            if (tok_.kind != Tok::Word) unexpected("a type name for column \"" + c.name.text + "\"");
            c.type = Name{upper(tok_.view), tok_.offset, tok_.offset};
            advance();
            if (isPunct('(')) {
                advance();
                c.args.push_back(number("a size"));
                if (isPunct(',')) {
                    advance();
                    c.args.push_back(number("a number of decimals"));
                }
                expectPunct(')');
            }
            ct.columns.push_back(std::move(c));
        });
        return ct;
    }

    CreateIndex createIndex()
    {
        CreateIndex ci;
        ci.index = name("an index name");
        expectKeyword("ON");
        ci.table = name("a table name");
        expectPunct('(');
        listUntilClose([&] {
            ci.columns.push_back(name("a column name"));
            if (keyword() == "ASC") advance();
            else if (keyword() == "DESC") error(tok_.offset, "descending indexes are not supported");
        });
        ci.endPos = tok_.offset;
        if (keyword() == "WITH") {
            advance();
            const std::string option = keyword();
            if (option == "PRIMARY") {
                ci.primary = true;
                advance();
            } else if (option == "DISALLOW" || option == "IGNORE") {
                advance();
                expectKeyword("NULL");
            } else {
                unexpected("PRIMARY, DISALLOW NULL or IGNORE NULL");
            }
        }
        return ci;
    }

    // Fills `in` in place, so that its lists keep their room from one statement to the next.
    void insert(Insert& in)
    {
        in.table = name("a table name");
        in.columns.clear();
        in.values.clear();
        if (isPunct('(')) {
            advance();
            listUntilClose([&] {
                in.columns.push_back(name("a column name"));
            });
        }
        in.valuesPos = tok_.offset;
        expectKeyword("VALUES");
        expectPunct('(');
        listUntilClose([&] {
            Literal& lit = in.values.emplace_back();
            lit.pos = tok_.offset;
            if (tok_.kind == Tok::Number) {
                lit.kind = Literal::Kind::Number;
                lit.view = tok_.view;
            } else if (tok_.kind == Tok::Binary) {
                lit.kind = Literal::Kind::Binary;
                lit.view = tok_.view;
            } else if (tok_.kind == Tok::String) {
                stringValue(lit);
                return;
            } else if (is("NULL")) {
                lit.kind = Literal::Kind::Null;
            } else if (is("TRUE") || is("FALSE")) {
                lit.kind = is("TRUE") ? Literal::Kind::True : Literal::Kind::False;
                lit.view = is("TRUE") ? "TRUE" : "FALSE";
            } else {
                unexpected("a value");
            }
            advance();
        });
    }

    // X'0A1B': hex digits, two a byte, between quotes.
    void binaryLiteral()
    {
        tok_.kind = Tok::Binary;
        ++i_;
        bool escaped = false;
        if (!scanString(s_, i_, tok_.view, escaped)) error(tok_.offset, "the binary value that starts here has no closing quote");
        // A character at a time against ranges: a search for any of 22 characters would try
        // each of them on every digit of a large blob.
        const auto hexDigit = [](char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); };
        const std::size_t bad = std::size_t(std::find_if_not(tok_.view.begin(), tok_.view.end(), hexDigit) - tok_.view.begin());
        if (bad != tok_.view.size())
            error(tok_.offset + 2 + bad, "a binary value holds hex digits only (X'0A1B'), not '" + std::string(1, tok_.view[bad]) + "'");
        if (tok_.view.size() % 2)
            error(tok_.offset, "a binary value has two hex digits a byte; X'" + std::string(tok_.view.substr(0, 20)) +
                                   (tok_.view.size() > 20 ? "..." : "") + "' has an odd number");
    }

    // A string, or strings and Chr(code) joined with '&', so that a value with line breaks
    // can be written on one line: 'one' & Chr(13) & Chr(10) & 'two'. Leaves the token after
    // the value current.
    void stringValue(Literal& lit)
    {
        lit.kind = Literal::Kind::String;
        if (tok_.escaped) {
            lit.owned = std::move(tok_.unescaped);
            lit.unescaped = true;
        } else {
            lit.view = tok_.view;
        }
        advance();
        if (!isPunct('&')) return;
        if (!lit.unescaped) {
            lit.owned.assign(lit.view);
            lit.unescaped = true;
        }
        while (isPunct('&')) {
            advance();
            if (tok_.kind == Tok::String) {
                lit.owned.append(tok_.text());
                advance();
                continue;
            }
            if (!is("CHR")) unexpected("a string or Chr(code) after '&'");
            advance();
            expectPunct('(');
            // Codes beyond ASCII would be a byte of their own in the UTF-8 statement.
            const std::string_view digits = tok_.view;
            if (tok_.kind != Tok::Number || digits.empty() || digits.size() > 3 ||
                !std::all_of(digits.begin(), digits.end(), [](char c) { return digit(static_cast<unsigned char>(c)); }) ||
                std::stoi(std::string(digits)) > 127)
                unexpected("a character code from 0 to 127");
            lit.owned += static_cast<char>(std::stoi(std::string(digits)));
            advance();
            expectPunct(')');
        }
    }

    void advance()
    {
        while (i_ < s_.size() && space(static_cast<unsigned char>(s_[i_]))) ++i_;
        tok_.kind = Tok::End;
        tok_.view = {};
        tok_.escaped = false;
        tok_.offset = i_;
        if (i_ >= s_.size()) return;
        const auto c = static_cast<unsigned char>(s_[i_]);
        if ((c == 'X' || c == 'x') && i_ + 1 < s_.size() && s_[i_ + 1] == '\'') {
            binaryLiteral();
        } else if (c == '\'') {
            tok_.kind = Tok::String;
            if (!scanString(s_, i_, tok_.view, tok_.escaped)) error(tok_.offset, "the string that starts here has no closing quote");
            if (tok_.escaped) unescape(tok_.view, '\'', tok_.unescaped);
        } else if (c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : char(c);
            tok_.kind = Tok::Quoted;
            if (!scanQuoted(s_, i_, close, tok_.view, tok_.escaped))
                error(tok_.offset, "the name that starts here has no closing " + std::string(1, close));
            if (tok_.escaped) unescape(tok_.view, close, tok_.unescaped);
            // "quote"d": a quote inside the name that was not written twice.
            std::size_t after = i_;
            while (after < s_.size() && wordChar(static_cast<unsigned char>(s_[after]))) ++after;
            if (after > i_ && after < s_.size() && s_[after] == close)
                error(tok_.offset, "the name " + std::string(s_.substr(tok_.offset, after + 1 - tok_.offset)) + " holds a " +
                                       std::string(1, close) + " that is not written twice");
        } else if (digit(c) || ((c == '-' || c == '+' || c == '.') && i_ + 1 < s_.size() &&
                                       (digit(static_cast<unsigned char>(s_[i_ + 1])) || s_[i_ + 1] == '.'))) {
            tok_.kind = Tok::Number;
            const std::size_t start = i_;
            if (s_[i_] == '-' || s_[i_] == '+') ++i_;
            while (i_ < s_.size() && digit(static_cast<unsigned char>(s_[i_]))) ++i_;
            if (i_ < s_.size() && s_[i_] == '.') {
                ++i_;
                while (i_ < s_.size() && digit(static_cast<unsigned char>(s_[i_]))) ++i_;
            }
            if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
                std::size_t j = i_ + 1;
                if (j < s_.size() && (s_[j] == '-' || s_[j] == '+')) ++j;
                if (j < s_.size() && digit(static_cast<unsigned char>(s_[j]))) {
                    i_ = j;
                    while (i_ < s_.size() && digit(static_cast<unsigned char>(s_[i_]))) ++i_;
                }
            }
            tok_.view = s_.substr(start, i_ - start);
            if (tok_.view == "-." || tok_.view == "+." || tok_.view == "." ||
                (i_ < s_.size() && wordChar(static_cast<unsigned char>(s_[i_]))))
                error(tok_.offset, "'" + std::string(s_.substr(start, i_ - start + 1)) + "' is not a number");
        } else if (wordStart(c)) {
            tok_.kind = Tok::Word;
            const std::size_t start = i_;
            while (i_ < s_.size() && wordChar(static_cast<unsigned char>(s_[i_]))) ++i_;
            tok_.view = s_.substr(start, i_ - start);
        } else if (c == '(' || c == ')' || c == ',' || c == ';' || c == '&') {
            tok_.kind = Tok::Punct;
            tok_.view = s_.substr(i_, 1);
            ++i_;
        } else {
            error(i_, "unexpected character '" + std::string(1, char(c)) + "'");
        }
    }

    std::string_view s_;
    std::size_t i_ = 0;
    Token tok_;
};

// The statement the executor meets once for every row, INSERT INTO name VALUES (...) in
// its plain spelling, read straight through without the parser's lookahead. It gives what
// the parser gives; at anything else (a column list, a name in brackets, an exponent, an
// error) it declines, and the parser reads the statement from the start.
class PlainInsert {
public:
    explicit PlainInsert(std::string_view s) : begin_(s.data()), p_(s.data()), end_(s.data() + s.size()) {}

    bool read(Insert& in)
    {
        if (!keyword("INSERT") || !keyword("INTO")) return false;
        skip();
        if (!name(in.table)) return false;
        skip();
        in.valuesPos = offset();
        if (!keyword("VALUES")) return false;
        skip();
        if (!at('(')) return false;
        ++p_;
        in.columns.clear();
        // The values of the row before are overwritten, not destroyed and made anew.
        std::size_t count = 0;
        for (;;) {
            skip();
            if (count == in.values.size()) in.values.emplace_back();
            if (!value(in.values[count++])) return false;
            skip();
            if (at(')')) break;
            if (!at(',')) return false;
            ++p_;
        }
        in.values.resize(count);
        ++p_;
        skip();
        if (at(';')) {
            ++p_;
            skip();
        }
        return p_ == end_;
    }

private:
    static unsigned char byte(char c) { return static_cast<unsigned char>(c); }
    std::size_t offset() const { return std::size_t(p_ - begin_); }
    void skip()
    {
        while (p_ != end_ && space(byte(*p_))) ++p_;
    }
    bool at(char c) const { return p_ != end_ && *p_ == c; }
    bool wordCharAt(const char* q) const { return q != end_ && wordChar(byte(*q)); }
    const char* digitsFrom(const char* q) const
    {
        while (q != end_ && digit(byte(*q))) ++q;
        return q;
    }

    // The whole word `k`, in any letter case.
    bool keyword(std::string_view k)
    {
        skip();
        if (std::size_t(end_ - p_) < k.size()) return false;
        for (std::size_t j = 0; j < k.size(); ++j)
            if (upperAscii(byte(p_[j])) != k[j]) return false;
        if (wordCharAt(p_ + k.size())) return false;
        p_ += k.size();
        return true;
    }

    bool name(Name& n)
    {
        const std::size_t at = offset();
        if (this->at('"')) {
            const auto* end = static_cast<const char*>(std::memchr(p_ + 1, '"', std::size_t(end_ - p_ - 1)));
            // A doubled quote inside, or an open one: the parser reads and reports it.
            if (!end || (end + 1 != end_ && end[1] == '"')) return false;
            // Mostly the name of the statement before, which keeps its room.
            if (n.text != std::string_view(p_ + 1, std::size_t(end - p_ - 1))) n.text.assign(p_ + 1, end);
            n.pos = at;
            n.textPos = at + 1;
            p_ = end + 1;
            return true;
        }
        if (p_ == end_ || !wordStart(byte(*p_))) return false;
        const char* start = p_;
        while (wordCharAt(p_)) ++p_;
        if (n.text != std::string_view(start, std::size_t(p_ - start))) n.text.assign(start, p_);
        n.pos = n.textPos = at;
        return true;
    }

    // A string literal from its opening quote on, its doubled quotes undone in `owned`.
    bool string(Literal& lit)
    {
        const char* start = p_ + 1;
        const char* q = start;
        bool escaped = false;
        for (;;) {
            q = static_cast<const char*>(std::memchr(q, '\'', std::size_t(end_ - q)));
            if (!q) return false;
            if (q + 1 == end_ || q[1] != '\'') break;
            escaped = true;
            q += 2;
        }
        lit.kind = Literal::Kind::String;
        lit.view = std::string_view(start, std::size_t(q - start));
        p_ = q + 1;
        if (escaped) {
            unescape(lit.view, '\'', lit.owned);
            lit.unescaped = true;
        }
        return true;
    }

    bool value(Literal& lit)
    {
        if (p_ == end_) return false;
        lit.pos = offset();
        lit.view = {};
        lit.unescaped = false;
        const auto c = byte(*p_);
        if (c == '\'') return string(lit);
        if (digit(c) || ((c == '-' || c == '+') && p_ + 1 != end_ && digit(byte(p_[1])))) {
            const char* start = p_;
            const char* q = digitsFrom(digit(c) ? p_ : p_ + 1);
            if (q != end_ && *q == '.') q = digitsFrom(q + 1);
            // An exponent, or what the parser reports as not a number.
            if (wordCharAt(q) || (q != end_ && *q == '.')) return false;
            lit.kind = Literal::Kind::Number;
            lit.view = std::string_view(start, std::size_t(q - start));
            p_ = q;
            return true;
        }
        if (keyword("NULL")) {
            lit.kind = Literal::Kind::Null;
        } else if (keyword("TRUE")) {
            lit.kind = Literal::Kind::True;
            lit.view = "TRUE";
        } else if (keyword("FALSE")) {
            lit.kind = Literal::Kind::False;
            lit.view = "FALSE";
        } else {
            return false;
        }
        return true;
    }

    const char* begin_;
    const char* p_;
    const char* end_;
};

bool startsWithInsert(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(" \t\n\v\f\r");
    return first != std::string_view::npos && (s[first] | 0x20) == 'i';
}

}  // namespace

Statement parse(std::string_view statementUtf8)
{
    Statement st;
    parse(statementUtf8, st);
    return st;
}

void parse(std::string_view statementUtf8, Statement& into)
{
    if (startsWithInsert(statementUtf8)) {
        if (!std::holds_alternative<Insert>(into)) into.emplace<Insert>();
        if (PlainInsert(statementUtf8).read(std::get<Insert>(into))) return;
    }
    Parser(statementUtf8).statement(into);
}

namespace detail {

void parseInFull(std::string_view statementUtf8, Statement& into)
{
    Parser(statementUtf8).statement(into);
}

}  // namespace detail

}  // namespace paradox::sql
