// Splits a script into statements: each may span lines and end with ';'; a statement
// without ';' (CREATE INDEX ... WITH PRIMARY) ends where the next line begins a statement.
// Both rules apply only outside string literals and quoted names: a value or a name keeps
// its line breaks and whatever follows them, so a value can never start a statement of its
// own. A line that begins with "--" between statements is a remark and is passed over.
// A quote left open therefore runs to the end of the script, which becomes one
// statement the engine rejects.
//
// The script is fed in pieces and each statement is handed on as soon as it is complete,
// so memory is bounded by the longest statement, which is itself capped.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pxsql {

struct ScriptStatement {
    std::string text;
    std::size_t line = 0;      // 1-based line where the statement begins
};

// A statement longer than the reader's cap.
class ScriptError : public std::runtime_error {
public:
    using runtime_error::runtime_error;
};

class ScriptReader {
public:
    using Sink = std::function<void(const ScriptStatement&)>;
    static constexpr std::size_t kDefaultMaxStatement = std::size_t(64) << 20;

    explicit ScriptReader(Sink sink, std::size_t maxStatementBytes = kDefaultMaxStatement);

    // Throws ScriptError when a statement grows past the cap; nothing more may be fed then.
    void feed(std::string_view piece);
    // Hands on the statement the script ends with.
    void finish();

private:
    std::size_t wholeLine(std::string_view piece, std::size_t i);
    std::size_t plainRun(std::string_view piece, std::size_t i) const;
    void append(std::string_view run);
    [[noreturn]] void tooLong() const;
    void take(char c);
    void resolveLineStart();
    void emit(std::size_t length);

    Sink sink_;
    std::size_t max_;
    ScriptStatement current_;
    bool started_ = false;       // current_ holds more than blanks
    char close_ = 0;             // the quote that ends the open literal or name; 0 outside
    bool closeSeen_ = false;     // it was just read: the next character tells whether it doubles
    bool dashSeen_ = false;      // a '-' between statements: a second one begins a remark
    bool comment_ = false;       // inside a remark line
    std::size_t line_ = 1;
    // A line that began outside a literal while a statement was open: where it begins in
    // current_.text, and its first word so far, to see whether it starts a statement.
    bool lineStartPending_ = false;
    std::size_t lineStart_ = 0;
    std::size_t lineStartLine_ = 0;
    std::string firstWord_;
};

}  // namespace pxsql
