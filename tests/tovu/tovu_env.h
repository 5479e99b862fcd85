#pragma once
// Shared set-up of the expression library tests: the library is brought up once per process
// (constants, default area, names) and each test starts from a freshly reset default area.

#include <gtest/gtest.h>

#include <string>

#include "tovu/dag.h"
#include "tovu/errors.h"
#include "tovu/storage.h"

class TovuTest : public ::testing::Test {
protected:
    void SetUp() override { storage_reset(); }
};

// Runs f under a library handler and answers the message it raised ("" when none).
template <typename F>
std::string tovuErrorOf(F&& f) {
    try {
        TovuHandlerGuard guard;
        f();
    } catch (const TovuError& e) {
        return e.message;
    }
    return "";
}

// An integer DAG from its base-10000 digits, least significant first.
inline Dag makeInteger(unsigned type, std::initializer_list<DagWord> digits) {
    Dag d = dag_new(digits.size() + 1, type);
    std::size_t i = 1;
    for (DagWord w : digits) d[i++] = w;
    return d;
}
