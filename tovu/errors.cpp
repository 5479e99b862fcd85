// The expression library's handler stack, its fatal exits and the stock throwing handler.
//
// A handler never returns: the stock one throws TovuError, which unwinds to the caller's catch
// while the TovuHandlerGuard destructors put the depth back to what each guard found.

#include "tovu/errors.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kErrorsSource = "tovu/errors";

TovuErrorHandler handlers[TOVU_MAX_HANDLERS] = {};
int handlerDepth = 0;

// Formats one argument into a message sized to fit (arguments may be names or paths of any
// length, so nothing is cut).
template <typename Arg>
std::string formatOne(const char* format, Arg argument) {
    int size = std::snprintf(nullptr, 0, format, argument);
    if (size < 0) return format;
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, argument);
    text.resize(static_cast<std::size_t>(size));
    return text;
}

}  // namespace

void error_push_handler(TovuErrorHandler handler) {
    TOVU_ASSERT(handlerDepth < TOVU_MAX_HANDLERS, kErrorsSource, 19);
    handlers[handlerDepth++] = handler;
}

void error_pop_handler() {
    TOVU_ASSERT(handlerDepth > 0, kErrorsSource, 25);
    handlers[--handlerDepth] = nullptr;
}

int error_handler_depth() { return handlerDepth; }

void error_set_handler_depth(int depth) {
    if (depth < 0) depth = 0;
    if (depth > handlerDepth) return;   // a guard only ever takes handlers away
    for (int i = depth; i < handlerDepth; ++i) handlers[i] = nullptr;
    handlerDepth = depth;
}

void tovu_error(const char* message) {
    TOVU_ASSERT(handlerDepth > 0, kErrorsSource, 32);
    handlers[handlerDepth - 1](message);
    tovu_assert_fail(kErrorsSource, 34);   // a handler that returned
}

void tovu_error_fmt(const char* format, const char* argument) {
    std::string message = formatOne(format, argument ? argument : "");
    tovu_error(message.c_str());
}

void tovu_error_fmt(const char* format, long argument) {
    std::string message = formatOne(format, argument);
    tovu_error(message.c_str());
}

void tovu_system_error(const char* message) {
    std::fprintf(stderr, "kelvo: system error, %s\n", message);
    std::fflush(stderr);
    std::exit(1);
}

void tovu_assert_fail(const char* file, int line) {
    std::fprintf(stderr, "kelvo: assertion failed at line %d of %s\n", line, file);
    std::fflush(stderr);
    std::exit(1);
}

void tovu_throw_handler(const char* message) { throw TovuError(message); }

TovuHandlerGuard::TovuHandlerGuard(TovuErrorHandler handler) : depth_(handlerDepth) {
    error_push_handler(handler);
}

TovuHandlerGuard::~TovuHandlerGuard() { error_set_handler_depth(depth_); }
