#pragma once
// The expression library's own error plumbing: a stack of at most 14 error handlers that library
// errors go to, the fatal "system error" exit and the assertion exit.
//
// A handler takes the message and never returns.  Here handlers unwind with a C++ exception
// instead of a non-local jump: `TovuHandlerGuard` pushes a handler on construction and restores
// the depth it found on destruction (also while an exception passes), so no handler is ever left
// behind.  The default handler of the guard throws `TovuError`, which the caller catches right
// outside the guard's scope:
//
//     try {
//         TovuHandlerGuard guard;             // depth d -> d + 1
//         ... library work that may call tovu_error ...
//     } catch (const TovuError& e) {          // depth is d again here
//         report(e.message);
//     }
//
// A raise with no handler at all is an assertion failure (line 32 of "tovu/errors"), which
// ends the process with exit code 1; it never jumps into nothing.

#include <exception>
#include <string>

using TovuErrorHandler = void (*)(const char* message);   // never returns

// The exception that the guard's default handler throws.
struct TovuError : std::exception {
    std::string message;
    explicit TovuError(std::string m) : message(std::move(m)) {}
    const char* what() const noexcept override { return message.c_str(); }
};

constexpr int TOVU_MAX_HANDLERS = 14;

void error_push_handler(TovuErrorHandler handler);   // assertion at line 19 when 14 are stacked
void error_pop_handler();                            // assertion at line 25 when empty
int error_handler_depth();
void error_set_handler_depth(int depth);             // used by guards to restore what they found

[[noreturn]] void tovu_error(const char* message);
// Formats the message with one argument; the message is never cut (sized to fit).
[[noreturn]] void tovu_error_fmt(const char* format, const char* argument);
[[noreturn]] void tovu_error_fmt(const char* format, long argument);
// "kelvo: system error, %s\n" on stderr, exit code 1.
[[noreturn]] void tovu_system_error(const char* message);
// "kelvo: assertion failed at line %d of %s\n" on stderr, exit code 1.
[[noreturn]] void tovu_assert_fail(const char* file, int line);

// The stock handler: throws TovuError with the message.
[[noreturn]] void tovu_throw_handler(const char* message);

// Pushes a handler (by default tovu_throw_handler) and restores the depth it found when it goes.
class TovuHandlerGuard {
public:
    explicit TovuHandlerGuard(TovuErrorHandler handler = tovu_throw_handler);
    ~TovuHandlerGuard();
    TovuHandlerGuard(const TovuHandlerGuard&) = delete;
    TovuHandlerGuard& operator=(const TovuHandlerGuard&) = delete;

private:
    int depth_;   // depth found before the push
};

#define TOVU_ASSERT(cond, file, line) \
    do { if (!(cond)) tovu_assert_fail(file, line); } while (0)
