#include "Script.h"

#include <array>
#include <cctype>
#include <cstring>

namespace pxsql {

namespace {

bool space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The characters outside a literal or name that take() does more with than append them.
constexpr auto kRunStops = [] {
    std::array<bool, 256> stops{};
    for (const char c : std::string_view("'\"`[;\n")) stops[static_cast<unsigned char>(c)] = true;
    return stops;
}();

bool statementKeyword(const std::string& upperWord)
{
    return upperWord == "CREATE" || upperWord == "DROP" || upperWord == "INSERT";
}

}  // namespace

ScriptReader::ScriptReader(Sink sink, std::size_t maxStatementBytes) : sink_(std::move(sink)), max_(maxStatementBytes) {}

void ScriptReader::feed(std::string_view piece)
{
    for (std::size_t i = 0; i < piece.size();) {
        if (const std::size_t whole = wholeLine(piece, i)) {
            i += whole;
            continue;
        }
        const std::size_t run = plainRun(piece, i);
        if (run == 0) {
            take(piece[i++]);
            continue;
        }
        append(piece.substr(i, run));
        i += run;
    }
}

// Between statements, a statement that ends with ';' on the line it begins on, as most do, is
// handed on at once when the piece holds all of it: what take() would do character by
// character, without its states. 0, having done nothing, for anything else.
std::size_t ScriptReader::wholeLine(std::string_view piece, std::size_t i)
{
    if (started_ || dashSeen_ || comment_ || lineStartPending_) return 0;
    const auto first = static_cast<unsigned char>(piece[i]);
    if (first == '-' || space(char(first))) return 0;
    const char* const pieceEnd = piece.data() + piece.size();
    const char* p = piece.data() + i;
    const auto* lineEnd = static_cast<const char*>(std::memchr(p, '\n', std::size_t(pieceEnd - p)));
    const char* const end = lineEnd ? lineEnd : pieceEnd;
    for (;;) {
        while (p != end && !kRunStops[static_cast<unsigned char>(*p)]) ++p;
        if (p == end) return 0;
        if (*p == ';') {
            const std::size_t length = std::size_t(p + 1 - piece.data()) - i;
            current_.line = line_;
            current_.text.assign(piece.data() + i, length);
            if (length > max_) tooLong();
            started_ = true;
            emit(length);
            return length;
        }
        const char close = *p == '[' ? ']' : *p;
        for (++p;;) {
            p = static_cast<const char*>(std::memchr(p, close, std::size_t(end - p)));
            if (!p) return 0;
            // A closing quote the piece ends with may yet be doubled.
            if (p + 1 == pieceEnd) return 0;
            if (p + 1 != end && p[1] == close) {
                p += 2;
                continue;
            }
            ++p;
            break;
        }
    }
}

// How many characters from `i` on take() would only append to the open statement, so that
// they can be appended at once: inside a literal or name those before its closing quote,
// outside one those before a quote or ';'; never a line break, which take() counts.
std::size_t ScriptReader::plainRun(std::string_view piece, std::size_t i) const
{
    if (!started_ || closeSeen_ || lineStartPending_ || comment_ || dashSeen_) return 0;
    std::size_t j = i;
    if (close_) {
        while (j < piece.size() && piece[j] != close_ && piece[j] != '\n') ++j;
    } else {
        while (j < piece.size() && !kRunStops[static_cast<unsigned char>(piece[j])]) ++j;
    }
    return j - i;
}

void ScriptReader::append(std::string_view run)
{
    current_.text += run;
    if (current_.text.size() > max_) tooLong();
}

void ScriptReader::tooLong() const
{
    throw ScriptError("line " + std::to_string(current_.line) + ": the statement that begins here is longer than " +
                      std::to_string(max_) + " bytes; the rest of the script is not read");
}

void ScriptReader::finish()
{
    if (dashSeen_) {
        dashSeen_ = false;
        started_ = true;
        current_.line = line_;
        current_.text += '-';
    }
    if (lineStartPending_) resolveLineStart();
    if (started_) emit(current_.text.size());
}

void ScriptReader::take(char c)
{
    if (lineStartPending_) {
        if (std::isalpha(static_cast<unsigned char>(c))) {
            // Longer than every keyword is enough to tell it is none.
            if (firstWord_.size() < 7) firstWord_ += char(std::toupper(static_cast<unsigned char>(c)));
        } else if (c == '\n' || !space(c) || !firstWord_.empty()) {
            resolveLineStart();
        }
    }
    if (comment_) {
        // A "--" line between statements is a remark: it runs to the line's end.
        if (c == '\n') {
            comment_ = false;
            ++line_;
        }
        return;
    }
    if (dashSeen_) {
        dashSeen_ = false;
        if (c == '-') {
            comment_ = true;
            return;
        }
        started_ = true;
        current_.line = line_;
        current_.text += '-';
    }
    if (!started_) {
        if (c == '-') {
            dashSeen_ = true;
            return;
        }
        if (space(c)) {
            if (c == '\n') ++line_;
            return;
        }
        started_ = true;
        current_.line = line_;
    }
    current_.text += c;
    if (current_.text.size() > max_) tooLong();
    if (closeSeen_) {
        // The quote before ends the literal or name unless this one doubles it.
        closeSeen_ = false;
        if (c == close_) return;
        close_ = 0;
    }
    if (close_) {
        if (c == close_) closeSeen_ = true;
    } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
        close_ = c == '[' ? ']' : c;
    } else if (c == ';') {
        emit(current_.text.size());
        return;
    }
    if (c == '\n') {
        ++line_;
        if (!close_) {
            lineStartPending_ = true;
            lineStart_ = current_.text.size();
            lineStartLine_ = line_;
            firstWord_.clear();
        }
    }
}

// The line's first word is complete: a keyword there ends the open statement at the line's start.
void ScriptReader::resolveLineStart()
{
    lineStartPending_ = false;
    if (!statementKeyword(firstWord_)) return;
    std::string rest = current_.text.substr(lineStart_);
    emit(lineStart_);
    std::size_t blanks = 0;
    while (blanks < rest.size() && space(rest[blanks])) ++blanks;
    rest.erase(0, blanks);
    current_.text = std::move(rest);
    current_.line = lineStartLine_;
    started_ = true;
}

// Hands on the first `length` bytes of the open statement; nothing stays open.
void ScriptReader::emit(std::size_t length)
{
    current_.text.resize(length);
    sink_(current_);
    current_.text.clear();
    started_ = false;
    close_ = 0;
    closeSeen_ = false;
    lineStartPending_ = false;
}

}  // namespace pxsql
