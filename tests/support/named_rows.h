#pragma once
// Printing of a parameterised test's row by its name: a failing row then reads
//   "where GetParam() = <row name>"
// instead of the row's bytes.  A row is any struct with a `name` member that reads as text.
// GoogleTest finds PrintTo by argument-dependent lookup, so a test file brings it into the
// namespace that declares its rows:
//   namespace {
//   using kelvo_test::PrintTo;
//   struct Row { const char* name; ... };

#include <concepts>
#include <ostream>
#include <string_view>

namespace kelvo_test {

template <class Row>
concept NamedRow = requires(const Row& row) {
    { row.name } -> std::convertible_to<std::string_view>;
};

template <NamedRow Row>
void PrintTo(const Row& row, std::ostream* os) {
    *os << std::string_view(row.name);
}

}  // namespace kelvo_test
