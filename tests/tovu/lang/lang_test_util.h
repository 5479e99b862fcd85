#pragma once
// Helpers of the language tests: one statement parsed from a text with everything the driver
// reports, and a DAG printed to a string.

#include <string>
#include <vector>

#include "tests/tovu/tovu_env.h"
#include "tovu/parse_driver.h"
#include "tovu/print.h"

struct ParseOutcome {
    Dag statement = nullptr;
    std::string error;       // "" when none
    int errorPosition = -1;
    int consumed = 0;
    bool premature = false;
    int terminator = -1;
};

ParseOutcome parseFull(const std::string& text, const DagWord* history = nullptr,
                       bool nullLabels = false);

// Every message lang_parse reports, in order, as "E<pos>:<message>", "W<pos>:<message>" or
// "P<pos>" (premature end).
struct Reports {
    std::vector<std::string> lines;
};
Dag parseWithReports(const std::string& text, Reports* reports, bool defaultPremature = false);

// The first statement of the text, printed back (flags as print_expression).
std::string roundTrip(const std::string& text, unsigned flags = 0);
