#pragma once
// The error trap every command handler runs under.
//
// A handler is a short list of numbered steps:
//
//     report::ErrorTrap trap(messages, report::locationText("Form1", "Form_Load"));
//     trap(126, [&] { setWindowTitle("Quillmere"); });
//     trap.when(116, [&] { return messages.question(...); }, [&] {
//         trap(118, [&] { ... });
//     });
//
// A step that throws shows the common error report with the number of the last numbered step
// reached, and the handler resumes with the step after it. A failure inside a helper without a
// trap rises to the step that called it and is reported with that step's number. A failure while
// the condition of `when` or `loop` is evaluated skips the whole statement: neither branch runs.

#include "report/MessageService.h"

#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace report {

class ErrorTrap {
public:
    ErrorTrap(MessageService& messages, std::string location);

    // Runs one numbered step.
    template <class Step>
    void operator()(int line, Step&& step)
    {
        line_ = line;
        try {
            step();
        } catch (...) {
            reportCurrent();
        }
    }

    // Runs a step that yields a value; empty when the step failed (and was reported).
    template <class T, class Step>
    std::optional<T> value(int line, Step&& step)
    {
        line_ = line;
        try {
            return std::optional<T>(step());
        } catch (...) {
            reportCurrent();
            return std::nullopt;
        }
    }

    // If-statement: the condition is evaluated as step `line`. A failure there skips both branches.
    template <class Condition, class Then>
    void when(int line, Condition&& condition, Then&& then)
    {
        when(line, std::forward<Condition>(condition), std::forward<Then>(then), [] {});
    }

    template <class Condition, class Then, class Else>
    void when(int line, Condition&& condition, Then&& then, Else&& otherwise)
    {
        std::optional<bool> decided = value<bool>(line, condition);
        if (!decided)
            return;
        try {
            if (*decided)
                then();
            else
                otherwise();
        } catch (...) {
            reportCurrent();
        }
    }

    // While-loop: the condition is evaluated as step `line` before each pass; a failure there
    // ends the loop. A failure in the body that no inner step caught ends that pass only.
    template <class Condition, class Body>
    void loop(int line, Condition&& condition, Body&& body)
    {
        for (;;) {
            std::optional<bool> more = value<bool>(line, condition);
            if (!more || !*more)
                return;
            try {
                body();
            } catch (...) {
                reportCurrent();
            }
        }
    }

    int line() const { return line_; }
    int reportsShown() const { return reports_; }
    const std::string& location() const { return location_; }

    // The description a failure reports: what() of a standard exception, else a fixed text.
    static std::string describe(std::exception_ptr failure);

private:
    void reportCurrent();

    MessageService& messages_;
    std::string location_;
    int line_ = 0;
    int reports_ = 0;
};

} // namespace report
